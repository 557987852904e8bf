#ifndef SYNCTASKTYPE_H
#define SYNCTASKTYPE_H

// The numbered kinds of work the synchronization engine runs. The numbers are
// shared with the windows, which ask for tasks and listeners by number.
namespace SyncTaskType {
enum Type {
    None = 0,
    Login = 1,
    NewOrders = 2,
    OrderListListener = 3,
    CleanupOrders = 4,
    OrderListListenerOnce = 5,
    FiltersSync = 6,
    FiltersListener = 7,
    FavouritesLoad = 8,
    FavouritesListener = 9,
    FavouritesSync = 10,
    FavouriteAdd = 11,
    FavouriteRemove = 12,
    DictionariesSync = 13,
    DictionariesListener = 14
};
} // namespace SyncTaskType

// What a task's run and its result slots answer to the scheduler.
namespace SyncTaskResult {
enum Code { Failed = 1, Done = 2, Keep = 3 };
} // namespace SyncTaskResult

#endif // SYNCTASKTYPE_H
