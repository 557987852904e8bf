#include "viewordersmodel.h"

#include "appsettings.h"
#include "constants.h"
#include "favouriteitem.h"
#include "formattedtextpatterns.h"
#include "mainwindow.h"
#include "order.h"
#include "orderslazycollection.h"
#include "ordertablerow.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "ui_formattedtextpatterns.h"

#include <QLabel>

ViewOrdersModel::ViewOrdersModel(QObject *parent)
    : QAbstractTableModel(parent)
    , pageSize(qMax(1, AppSettings::rowsPerPage()))
{
}

ViewOrdersModel::~ViewOrdersModel()
{
    if (collection)
        collection->clear();
    favourites.clear();
}

int ViewOrdersModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    const int n = collection ? collection->count() : 0;
    if (n == 0)
        return 1;
    if (page < pageCount() - 1)
        return pageSize;
    return (n - 1) % pageSize + 1;
}

int ViewOrdersModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

// The rows are widgets and carry no cell data; only assistive tools get a row's text.
QVariant ViewOrdersModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::AccessibleTextRole || !index.isValid() || !collection)
        return QVariant();
    if (collection->count() == 0)
        return loading ? tr("Загрузка...") : tr("Нет заказов");
    const Entity::Order *order = collection->orderAt(absoluteIndex(index.row()));
    return order ? tr("Заказ № %1: %2").arg(order->id).arg(order->name) : QVariant();
}

QVariant ViewOrdersModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

void ViewOrdersModel::setCollection(OrdersLazyCollection *newCollection)
{
    if (collection)
        collection->clear();
    collection = newCollection;
}

void ViewOrdersModel::selectPage(int newPage)
{
    page = newPage;
}

void ViewOrdersModel::setCurrentPage(int newPage)
{
    if (newPage == page)
        return;
    page = newPage;
    refresh();
}

int ViewOrdersModel::pageCount() const
{
    const int n = collection ? collection->count() : 0;
    return n > 0 ? (n - 1) / pageSize + 1 : 0;
}

void ViewOrdersModel::refreshRow(int row)
{
    emit dataChanged(index(row, 0), index(row, columnCount() - 1), {});
}

void ViewOrdersModel::refresh()
{
    const int n = collection ? collection->count() : 0;
    if (n <= page * pageSize)
        page = qMax((n - 1) / pageSize, 0);

    beginResetModel();
    if (collection && n > page * pageSize) {
        favourites.clear();
        TavrelApplication *app = TavrelApplication::instance();
        TavrelDataBaseQuery *query = app ? app->dataBaseQuery.data() : nullptr;
        const QString login = app && app->synchronization ? app->synchronization->currentLogin() : QString();
        // Entries cover the whole list, but only those of the page shown are ever read: the others stay
        // empty, which spares reading every favourite row at each page change.
        QList<Entity::FavouriteItem *> &entries = favourites.items;
        entries.reserve(collection->ids.count);
        for (int i = 0; i < collection->ids.count; ++i)
            entries.append(nullptr);
        const int last = qMin(qMin(n, collection->ids.count), (page + 1) * pageSize);
        for (int index = page * pageSize; query && index < last; ++index) {
            const qint64 id = collection->ids.value(index);
            if (id >= 0)
                entries[index] = query->favourite(login, id);
        }
    }
    endResetModel();
}

void ViewOrdersModel::setFavouriteEntry(int index, Entity::FavouriteItem *item)
{
    if (index < 0)
        return;
    QList<Entity::FavouriteItem *> &entries = favourites.items;
    while (entries.size() <= index)
        entries.append(nullptr);
    delete entries.at(index);
    entries[index] = item;
}

void ViewOrdersModel::rowActionActivated(const QString &url)
{
    emit subItemMouseEaterClicked();
    TavrelApplication *app = TavrelApplication::instance();
    if (url != LINK_ORDER_READ && url != LINK_FAVOURITE_ADD && url != LINK_FAVOURITE_DEL) {
        if (app && app->mainWindow)
            app->mainWindow->browserLinkActivate(url);
        return;
    }

    auto *label = qobject_cast<QLabel *>(sender());
    QObject *row = label ? label->parent() : nullptr;
    while (row && !qobject_cast<OrderTableRow *>(row))
        row = row->parent();
    if (!row || !collection)
        return;
    bool isNumber = false;
    const int rowNumber = row->objectName().toInt(&isNumber);
    if (!isNumber)
        return;
    const int listIndex = absoluteIndex(rowNumber);
    if (!collection->orderAt(listIndex))
        return;
    const qint64 id = collection->ids.value(listIndex);

    if (url == LINK_ORDER_READ) {
        if (app && app->mainWindow)
            app->mainWindow->readOrder(id);
        return;
    }
    TavrelSynchronization *engine = app ? app->synchronization.data() : nullptr;
    TavrelDataBaseQuery *query = app ? app->dataBaseQuery.data() : nullptr;
    if (!engine || !query)
        return;
    const QString addFavTemplate = FormattedTextPatterns::instance()->formatOrderTableAddFav->text();
    if (url == LINK_FAVOURITE_ADD) {
        if (!engine->addFavourite(id))
            return;
        Entity::FavouriteItem *item = query->favouriteWithOrder(engine->currentLogin(), id, true);
        if (!item)
            return;
        setFavouriteEntry(listIndex, item);
        label->setText(addFavTemplate.arg(QStringLiteral("favouriteFullyStar"), LINK_FAVOURITE_DEL));
    } else {
        if (!engine->removeFavourite(id))
            return;
        label->setText(addFavTemplate.arg(QStringLiteral("favouriteEmptyStar"), LINK_FAVOURITE_ADD));
        if (listIndex < favourites.items.size())
            setFavouriteEntry(listIndex, nullptr);
    }
    emit favouriteCountChanged();
}
