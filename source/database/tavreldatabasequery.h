#ifndef TAVRELDATABASEQUERY_H
#define TAVRELDATABASEQUERY_H

#include "branchlist.h"
#include "favouriteitemlist.h"
#include "filterlist.h"
#include "orderlist.h"
#include "regionlist.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class DataBase;
class QSqlDatabase;

namespace Entity {
class FavouriteItem;
class Filter;
class Order;
} // namespace Entity

// Every read and write of the local database. Each operation fills %1 of its SQL text with a
// table-name constant, takes the prepared statement from the connection's cache, binds every value by
// placeholder and reports failure only through its result.
//
// The members are split over several source files by topic: tavreldatabasequery.cpp (frame,
// dictionaries), ...users.cpp, ...settings.cpp, ...filters.cpp, ...orders.cpp, ...favourites.cpp.
class TavrelDataBaseQuery : public QObject
{
public:
    // The connection must outlive the query object. Loads the region and economic-sector
    // dictionaries at once (they stay empty while their tables do not exist yet).
    explicit TavrelDataBaseQuery(DataBase *dataBase, QObject *parent = nullptr);
    ~TavrelDataBaseQuery() override;

    // --- dictionaries ----------------------------------------------------------------------------
    void reloadDictionaries();
    // New lists of new records ordered by name; the caller owns the records.
    Entity::RegionList regions();
    Entity::BranchList branches();
    // In one transaction (a savepoint inside a caller's): optionally delete every row, then insert or
    // replace each record. Any failure undoes the whole call and gives false.
    bool replaceRegions(const Entity::RegionList &list, bool clearFirst);
    bool replaceBranches(const Entity::BranchList &list, bool clearFirst);
    // The dictionaries loaded at construction; they own their records.
    const Entity::RegionList &cachedRegions() const { return regionList; }
    const Entity::BranchList &cachedBranches() const { return branchList; }

    // --- users -----------------------------------------------------------------------------------
    QString userPassword(const QString &login);
    // A null password digest never matches.
    bool isUserExists(const QString &login, const QString &password);
    // (login, password digest) of the newest remembered user; two null strings when there is none.
    QPair<QString, QString> lastRememberedUser();
    QStringList rememberedLogins();
    QString userName(const QString &login);
    void setUserName(const QString &login, const QString &name);
    bool isFullAccess(const QString &login);
    void setFullAccess(const QString &login, bool value);
    bool saveUser(const QString &login, const QString &password, bool remember, const QString &name = QString());

    // --- settings rows ---------------------------------------------------------------------------
    // Only the columns of UserSettings are accepted (Login is the login argument); any other key
    // gives false and writes nothing.
    bool saveUserSettings(const QString &login, const QVariantMap &values);
    QVariantMap userSettings(const QString &login);
    // Only the columns of ProxySettings are accepted. The old row is replaced in one transaction, so a
    // failed write keeps it.
    bool saveProxySettings(const QVariantMap &settings);
    QVariantMap proxySettings();

    // --- filters ---------------------------------------------------------------------------------
    Entity::FilterList filters(const QString &login);
    bool saveFilters(const QString &login, Entity::FilterList &list, bool replaceAll);
    // Gives the row the service's id. It becomes Sync only when it still holds the version pushed
    // (its change time is pushedChangeDate, or no time is given); a row edited since keeps its
    // change to be pushed again, as an update (a New row becomes Edited).
    bool setFilterSynchronized(const QString &login, qint64 localId, qint64 serviceId,
                               const QDateTime &pushedChangeDate = QDateTime());
    // Deletes the login's filters in one transaction; false (nothing deleted) when a delete fails.
    bool removeFilter(const QString &login, const QList<qint64> &localIds);

    // --- orders ----------------------------------------------------------------------------------
    QList<Entity::Order *> orders(const QString &login, Entity::OrderList::Type type, int sortField, bool ascending);
    QList<qint64> orderIds(const QString &login, const QString &type, int sortField, bool ascending);
    Entity::Order *order(const QString &login, qint64 id);
    Entity::OrderList::Type orderType(const QString &login, qint64 id, Entity::OrderList::Type defaultType);
    int newOrdersCount(const QString &login);
    int viewedOrdersCount(const QString &login);
    bool markAllOrdersViewed(const QString &login);
    bool updateOrder(const QString &login, Entity::Order *order);
    void updateOrdersNotPresentInDB(const QString &login, const QList<Entity::Order *> &orders);
    // The purge of old orders: purgeOldOrders on this object's file with the clock's current time.
    // It runs on a connection of its own, so the purge worker thread may call it.
    void removeOldOrders();
    // Deletes, for every login, the orders opened before purgeCutOff(nowUtc) that no live favourite
    // (of any login) keeps. Safe to call from any thread: it opens, uses and closes a connection of
    // its own to databaseFile (busy timeout included) and never touches the GUI thread's connection
    // or statement cache. Returns the number of deleted orders, or -1 when the purge failed.
    static int purgeOldOrders(const QString &databaseFile, const QDateTime &nowUtc);
    // One calendar month before nowUtc, in UTC (the day clamped to the end of a shorter month).
    static QDateTime purgeCutOff(const QDateTime &nowUtc);
    static QString sortColumn(int sortField);

    // --- received orders -------------------------------------------------------------------------
    // Each bulk writer stores a whole list in one transaction. notStoredCount (may be null) receives
    // the number of orders the login had not stored at all ("OrdersNotInDbCount"); it stays 0 when the
    // save fails. Stored rows keep their detail columns. A failed lookup of the stored rows fails the
    // whole save; saveOrdersWithType and saveOrdersKeepNewViewed then return every id of the list.
    QList<qint64> queryOrdersNotPresentInDB1(const QString &login, const QList<qint64> &ids,
                                             int *notStoredCount = nullptr);
    QList<qint64> queryOrdersNotPresentInDB2(const QString &login, const QList<qint64> &ids, bool onlyViewed,
                                             int *notStoredCount = nullptr);
    bool saveOrders(const QString &login, const QList<Entity::Order *> &orders, int *notStoredCount = nullptr);
    bool saveFoundOrders(const QString &login, const QList<Entity::Order *> &orders, int *notStoredCount = nullptr);
    QList<qint64> saveOrdersWithType(const QString &login, const QList<Entity::Order *> &orders,
                                     int *notStoredCount = nullptr);
    QList<qint64> saveOrdersKeepNewViewed(const QString &login, const QList<Entity::Order *> &orders,
                                          int *notStoredCount = nullptr);

    // --- favourites ------------------------------------------------------------------------------
    int favouritesCount(const QString &login);
    bool removeFavourite(const QString &login, qint64 orderId);
    bool markAllFavouritesDeleted(const QString &login);
    bool saveFavourite(const QString &login, Entity::FavouriteItem *item);
    // With clearFirst the login's rows are replaced by every record of the list; without it only the
    // records whose changed flag is set are written.
    bool saveFavourites(const QString &login, const QList<Entity::FavouriteItem *> &items, bool clearFirst);
    bool clearFavourites(const QString &login);
    bool removeFavouriteInTransaction(const QString &login, const QList<Entity::FavouriteItem *> &items);
    Entity::FavouriteItem *favourite(const QString &login, qint64 orderId);
    QList<Entity::FavouriteItem *> favourites(const QString &login, bool withOrders);
    Entity::FavouriteItem *favouriteWithOrder(const QString &login, qint64 orderId, bool withOrder);
    Entity::FavouriteItemList favouritesOfType(const QString &login, const QString &type);
    int favouritesOfTypeCount(const QString &login, const QString &type);
    // Delete the list's orders but keep those of its favourites, in one transaction; when every order
    // of the list is a favourite, exactly those favourites are marked Deleted.
    bool removeAllNewOrders(const QString &login);
    bool removeAllViewedOrders(const QString &login);
    // Live favourites by order id (0), opening time (1) or amount (2); favourites whose order is not
    // stored come last in both directions.
    QList<qint64> favouriteOrderIds(const QString &login, int sortField, bool ascending);

protected:
    // A copy of the cached statement for the text with %1 (and %2) already filled in.
    QSqlQuery statement(const QString &text) const;
    // A named cached statement (texts that change with every call, such as an id list).
    QSqlQuery namedStatement(const QString &name, const QString &text) const;
    // The current row keyed by the lower-cased column names: the record map of the entity records.
    static QVariantMap recordMap(const QSqlQuery &query);
    // The current row keyed by the column names as the table spells them (the settings rows).
    static QVariantMap columnMap(const QSqlQuery &query);
    // Executes a statement that yields no rows and finishes it; whether it ran.
    static bool run(QSqlQuery &query);
    // The failure path of a writer: rolls back the level the writer opened and gives false.
    bool failLevel();
    // Deletes every row of the table.
    bool clearTable(const QString &table);

    QPointer<DataBase> dataBase;

private:
    QString userText(const char *text, const QString &login);
    bool replaceSettingsRow(const QString &table, const QStringList &allowedColumns, const QVariantMap &values,
                            bool clearFirst);
    static QVariantMap settingsRow(QSqlQuery query);
    bool readFilterLinks(const QString &table, const QString &column, qint64 filterId, QList<qint64> &ids);
    bool writeFilter(const QString &login, Entity::Filter *filter);
    bool writeFilterLinks(const QString &table, const QString &column, qint64 filterId, const QList<qint64> &ids);

    template<typename Record, typename List> List readDictionary(const QString &table);
    template<typename Record>
    bool replaceDictionary(const QList<Record *> &items, const QString &table, const QString &changeDateColumn,
                           bool clearFirst);

    // Order and favourite storage helpers.
    enum class BulkSaveKind { Orders, FoundOrders, WithType, KeepNewViewed };
    static QString sortTerm(int sortField, bool ascending);
    static QString idsToJson(const QList<qint64> &ids);
    static Entity::Order *orderFromRow(const QSqlQuery &query);
    // Binds the columns an order list reply carries (and :Login, :Id, optionally :Type).
    static void bindListColumns(QSqlQuery &query, const QString &login, const Entity::Order *order, bool withType);
    static QList<qint64> notStoredIds(const QList<qint64> &ids, const QHash<qint64, QString> &storedTypes,
                                      const QString &storedType, int *notStoredCount);
    // The indexes that keep the sorted order lists and the purge fast (CREATE INDEX IF NOT EXISTS).
    static bool createOrderIndexes(const QSqlDatabase &connection);
    bool ensureOrderIndexes();
    int countOrders(const QString &text, const QString &login);
    bool lookupStoredOrders(const QString &login, const QList<qint64> &ids, QHash<qint64, QString> &storedTypes);
    bool bulkSaveOrders(const QString &login, const QList<Entity::Order *> &orders, BulkSaveKind kind,
                        int *notStoredCount, QList<qint64> *failedIds);
    bool runLoginStatement(const QString &text, const QString &table, const QString &login,
                           const QVariant &id = QVariant());
    static bool writeFavourite(QSqlQuery &query, const QString &login, const Entity::FavouriteItem *item);
    QList<Entity::FavouriteItem *> readFavourites(const QString &login, bool withOrders, bool *ok);
    QList<Entity::FavouriteItem *> readFavouritesOfType(const QString &login, const QString &type, bool *ok);
    bool clearOrderList(const QString &login, bool newList);

    bool orderIndexesReady = false;
    Entity::RegionList regionList;
    Entity::BranchList branchList;
};

// Comparators of favourites by their orders' opening time and amount. A favourite without an order
// sorts after every favourite with one; an amount that is no finite number counts as 0.
bool lessThanByDate(const Entity::FavouriteItem *first, const Entity::FavouriteItem *second);
bool lessThanByAmount(const Entity::FavouriteItem *first, const Entity::FavouriteItem *second);

#endif // TAVRELDATABASEQUERY_H
