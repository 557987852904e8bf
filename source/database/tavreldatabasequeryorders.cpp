// Order storage of TavrelDataBaseQuery: the order lists of a login read by kind and sort, single
// records, counters, list moves, the detail update and the index that keeps the sorted id lists fast.

#include "tavreldatabasequery.h"

#include "constants.h"
#include "database.h"
#include "order.h"

#include <QSqlQuery>

namespace {

const QString ORDERS_ALL = QStringLiteral("SELECT * FROM %1 WHERE Login = :Login ORDER BY %2");
const QString ORDERS_NEW = QStringLiteral(
    "SELECT * FROM %1 WHERE (Type = 'New' OR Type = 'NewViewed') AND Login = :Login ORDER BY Type, %2");
const QString ORDERS_VIEWED = QStringLiteral("SELECT * FROM %1 WHERE (Type = 'Viewed' OR Type = 'NewViewed') AND "
                                             "Login = :Login ORDER BY Type DESC, %2");
const QString ORDERS_OF_TYPE = QStringLiteral("SELECT * FROM %1 WHERE Type = :Type AND Login = :Login ORDER BY %2");
const QString ORDER_IDS = QStringLiteral("SELECT Id FROM %1 WHERE Login = :Login AND Type = :Type ORDER BY %2");
const QString ORDER_ONE = QStringLiteral("SELECT * FROM %1 WHERE Login = :Login AND Id = :Id ");
const QString ORDER_TYPE = QStringLiteral("SELECT Type FROM %1 WHERE Id = :Id AND Login = :Login LIMIT 1");
const QString NEW_COUNT
    = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE (Type = 'New' OR Type = 'NewViewed') AND Login = :Login ");
const QString VIEWED_COUNT = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE (Type = 'Viewed') AND Login = :Login ");
const QString MARK_ALL_VIEWED
    = QStringLiteral("UPDATE %1 SET Type = 'Viewed' WHERE Login = :Login AND NOT (Type = 'NewViewed')");
const QString UPDATE_ORDER = QStringLiteral(
    "UPDATE %1 SET Type = :Type, OpeningTime = :OpeningTime, ClosingTime = :ClosingTime, ChangeDate = "
    ":ChangeDate, Branch = :Branch, Region = :Region, PlacementMethod = :PlacementMethod, OriginalTitle = "
    ":OriginalTitle, GosID = :GosID, FinancingSource = :FinancingSource, CurrencyName = :CurrencyName, "
    "Information = :Information, ApplicationGuarantee = :ApplicationGuarantee, ContractGuarantee = "
    ":ContractGuarantee, SubjectFullName = :SubjectFullName,SubjectShortName = :SubjectShortName, LegalFormName "
    "= :LegalFormName,OGRN_INN_KPP = :OGRN_INN_KPP, OrderSourceUri = :OrderSourceUri,Commercial = :Commercial, "
    "EconomicSectorParentName = :EconomicSectorParentName,GeoPlaceName = :GeoPlaceName, ContactNames = "
    ":ContactNames, ContactValues = :ContactValues, DocNames = :DocNames, DocUrls = :DocUrls, Name = :Name, "
    "Amount = :Amount, Url = :Url, FullAccess = :FullAccess WHERE Id = :Id AND Login = :Login");
// The id list travels as one bound JSON array instead of being written into the statement text: the
// text stays constant (one cached statement), and a list of any length fits.
const QString UPDATE_NOT_PRESENT = QStringLiteral(
    "UPDATE %1 SET Type = 'Viewed' WHERE NOT (Id IN (SELECT value FROM json_each(:Ids))) AND Login = :Login ");

// The list views read the ids of a whole list ordered by one of the three sort terms; these covering
// indexes let SQLite walk them in order instead of sorting the list on every read.
const QStringList ORDER_INDEXES = {
    QStringLiteral("CREATE INDEX IF NOT EXISTS %1_ListById ON %1 (Login, Type, Id)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS %1_ListByOpeningTime ON %1 (Login, Type, OpeningTime, Id)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS %1_ListByAmount ON %1 (Login, Type, CAST(Amount as NUMERIC), Id)"),
};
// The purge looks up the live favourites of every order it considers, by order id alone.
const QString FAVOURITES_BY_ORDER_INDEX = QStringLiteral("CREATE INDEX IF NOT EXISTS %1_ByOrderId ON %1 (OrderId)");

} // namespace

QString TavrelDataBaseQuery::sortColumn(int sortField)
{
    switch (sortField) {
    case 0:
        return QStringLiteral("Id");
    case 1:
        return QStringLiteral("OpeningTime");
    case 2:
        return QStringLiteral("CAST(Amount as NUMERIC)");
    default:
        return QString();
    }
}

QString TavrelDataBaseQuery::sortTerm(int sortField, bool ascending)
{
    const QString column = sortColumn(sortField);
    if (column.isEmpty() || ascending)
        return column;
    return column + QStringLiteral(" DESC");
}

QString TavrelDataBaseQuery::idsToJson(const QList<qint64> &ids)
{
    QString text;
    text.reserve(ids.size() * 12 + 2);
    text += QLatin1Char('[');
    for (int i = 0; i < ids.size(); ++i) {
        if (i)
            text += QLatin1Char(',');
        text += QString::number(ids.at(i));
    }
    text += QLatin1Char(']');
    return text;
}

Entity::Order *TavrelDataBaseQuery::orderFromRow(const QSqlQuery &query)
{
    auto *order = new Entity::Order;
    order->fromVariantMap(recordMap(query));
    return order;
}

bool TavrelDataBaseQuery::createOrderIndexes(const QSqlDatabase &connection)
{
    QStringList texts;
    for (const QString &text : ORDER_INDEXES)
        texts.append(text.arg(TABLE_ORDERS));
    texts.append(FAVOURITES_BY_ORDER_INDEX.arg(TABLE_FAVOURITES));
    bool ok = true;
    for (const QString &text : texts) {
        // Unprepared: DDL that runs once has no place in the statement cache.
        QSqlQuery query(connection);
        ok = query.exec(text) && ok;
    }
    return ok;
}

bool TavrelDataBaseQuery::ensureOrderIndexes()
{
    if (orderIndexesReady)
        return true;
    const bool ok = createOrderIndexes(dataBase->database);
    // Inside a caller's transaction the indexes stand or fall with it; try again next time.
    orderIndexesReady = ok && dataBase->transactionDepth == 0;
    return ok;
}

QList<Entity::Order *> TavrelDataBaseQuery::orders(const QString &login, Entity::OrderList::Type kind, int sortField,
                                                   bool ascending)
{
    QList<Entity::Order *> result;
    const QString sort = sortTerm(sortField, ascending);
    if (sort.isEmpty())
        return result;
    ensureOrderIndexes();
    const QString *text = &ORDERS_OF_TYPE;
    if (kind == Entity::OrderList::All)
        text = &ORDERS_ALL;
    else if (kind == Entity::OrderList::New)
        text = &ORDERS_NEW;
    else if (kind == Entity::OrderList::Viewed)
        text = &ORDERS_VIEWED;
    QSqlQuery query = statement(text->arg(TABLE_ORDERS, sort));
    if (text == &ORDERS_OF_TYPE)
        query.bindValue(QStringLiteral(":Type"), Entity::OrderList::typeToString(kind));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return result;
    while (query.next())
        result.append(orderFromRow(query));
    query.finish();
    return result;
}

QList<qint64> TavrelDataBaseQuery::orderIds(const QString &login, const QString &kind, int sortField, bool ascending)
{
    QList<qint64> result;
    const QString sort = sortTerm(sortField, ascending);
    if (sort.isEmpty())
        return result;
    ensureOrderIndexes();
    QSqlQuery query = statement(ORDER_IDS.arg(TABLE_ORDERS, sort));
    query.setForwardOnly(true);
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":Type"), kind);
    if (query.exec()) {
        while (query.next())
            result.append(query.value(0).toLongLong());
    }
    query.finish();
    return result;
}

Entity::Order *TavrelDataBaseQuery::order(const QString &login, qint64 id)
{
    QSqlQuery query = statement(ORDER_ONE.arg(TABLE_ORDERS));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":Id"), id);
    if (!query.exec())
        return nullptr;
    Entity::Order *result = nullptr;
    if (query.next())
        result = orderFromRow(query);
    query.finish();
    return result;
}

Entity::OrderList::Type TavrelDataBaseQuery::orderType(const QString &login, qint64 id,
                                                       Entity::OrderList::Type defaultKind)
{
    QSqlQuery query = statement(ORDER_TYPE.arg(TABLE_ORDERS));
    query.bindValue(QStringLiteral(":Id"), id);
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return defaultKind;
    Entity::OrderList::Type result = defaultKind;
    if (query.next())
        result = Entity::OrderList::stringToType(query.value(0).toString());
    query.finish();
    return result;
}

int TavrelDataBaseQuery::countOrders(const QString &text, const QString &login)
{
    QSqlQuery query = statement(text.arg(TABLE_ORDERS));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return 0;
    const int result = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return result;
}

int TavrelDataBaseQuery::newOrdersCount(const QString &login)
{
    return countOrders(NEW_COUNT, login);
}

int TavrelDataBaseQuery::viewedOrdersCount(const QString &login)
{
    return countOrders(VIEWED_COUNT, login);
}

bool TavrelDataBaseQuery::markAllOrdersViewed(const QString &login)
{
    QSqlQuery query = statement(MARK_ALL_VIEWED.arg(TABLE_ORDERS));
    query.bindValue(QStringLiteral(":Login"), login);
    return run(query);
}

bool TavrelDataBaseQuery::updateOrder(const QString &login, Entity::Order *order)
{
    if (!order)
        return false;
    if (order->type == Entity::OrderList::New)
        order->type = Entity::OrderList::Viewed;
    QSqlQuery query = statement(UPDATE_ORDER.arg(TABLE_ORDERS));
    bindListColumns(query, login, order, true);
    query.bindValue(QStringLiteral(":OriginalTitle"), order->originalTitle);
    query.bindValue(QStringLiteral(":GosID"), order->gosId);
    query.bindValue(QStringLiteral(":FinancingSource"), order->financingSource);
    query.bindValue(QStringLiteral(":Information"), order->information);
    query.bindValue(QStringLiteral(":ApplicationGuarantee"), order->applicationGuarantee);
    query.bindValue(QStringLiteral(":ContractGuarantee"), order->contractGuarantee);
    query.bindValue(QStringLiteral(":SubjectFullName"), order->subjectFullName);
    query.bindValue(QStringLiteral(":SubjectShortName"), order->subjectShortName);
    query.bindValue(QStringLiteral(":LegalFormName"), order->legalFormName);
    query.bindValue(QStringLiteral(":OGRN_INN_KPP"), order->ogrnInnKpp);
    query.bindValue(QStringLiteral(":OrderSourceUri"), order->orderSourceUri);
    query.bindValue(QStringLiteral(":DocNames"), order->docNames);
    query.bindValue(QStringLiteral(":DocUrls"), order->docUrls);
    query.bindValue(QStringLiteral(":Commercial"), order->commercial);
    query.bindValue(QStringLiteral(":EconomicSectorParentName"), order->economicSectorParentName);
    query.bindValue(QStringLiteral(":GeoPlaceName"), order->geoPlaceName);
    query.bindValue(QStringLiteral(":ContactNames"), order->contactNames);
    query.bindValue(QStringLiteral(":ContactValues"), order->contactValues);
    return run(query);
}

void TavrelDataBaseQuery::updateOrdersNotPresentInDB(const QString &login, const QList<Entity::Order *> &orders)
{
    QList<qint64> ids;
    ids.reserve(orders.size());
    for (const Entity::Order *order : orders) {
        if (order)
            ids.append(order->id);
    }
    QSqlQuery query = statement(UPDATE_NOT_PRESENT.arg(TABLE_ORDERS));
    query.bindValue(QStringLiteral(":Ids"), idsToJson(ids));
    query.bindValue(QStringLiteral(":Login"), login);
    run(query);
}
