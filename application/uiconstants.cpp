#include "uiconstants.h"

const QString LINK_SCHEME = QStringLiteral("tavrel://");
const QString LINK_FAVOURITE_ADD = QStringLiteral("tavrel://favourites/add");
const QString LINK_FAVOURITE_DEL = QStringLiteral("tavrel://favourites/del");
const QString LINK_ORDER_READ = QStringLiteral("tavrel://orderRead");
const QString LINK_SORT_BY_ID = QStringLiteral("tavrel://sortById");
const QString LINK_SORT_BY_DATE = QStringLiteral("tavrel://sortByDate");
const QString LINK_SORT_BY_SUM = QStringLiteral("tavrel://sortBySum");
const QString LINK_DELETE_ALL = QStringLiteral("tavrel://deleteAll");
const QString LINK_GOTO_SITE = QStringLiteral("tavrel://gotoSite");
const QString LINK_RETURN = QStringLiteral("tavrel://return");
const QString LINK_ADD_FAVOURITE = QStringLiteral("tavrel://addFavourite");
const QString LINK_NEW_ORDERS = QStringLiteral("tavrel://newOrders");

const QString LINK_STYLE_SELECTED = QStringLiteral("color:white; text-decoration: none;");
const QString LINK_STYLE_UNSELECTED = QStringLiteral("color:black; text-decoration: none;");
const QString PAGE_LINK_STYLE_CURRENT
    = QStringLiteral("color:black; text-decoration: none; background-color: rgb(255, 227, 199);");
const QString PAGE_LINK_STYLE_NORMAL = QStringLiteral("color:blue; text-decoration: underline;");
