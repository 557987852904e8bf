// The per-user settings row (table UserSettings) and the proxy row (table ProxySettings).

#include "tavreldatabasequery.h"

#include "constants.h"
#include "database.h"

namespace {

const char SELECT_USER_SETTINGS[] = "SELECT * FROM %1 WHERE Login = :Login LIMIT 1";
const char SELECT_PROXY_SETTINGS[] = "SELECT * FROM %1 LIMIT 1";

// "INSERT OR REPLACE INTO <table> ( A , B ) VALUES ( :A , :B );" over the keys in map order. The keys
// have been checked against the table's columns: nothing from outside reaches the SQL text.
QString insertOrReplaceText(const QString &table, const QStringList &columns)
{
    QStringList pieces {QStringLiteral("INSERT OR REPLACE INTO %1 (").arg(table)};
    for (int i = 0; i < columns.size(); ++i) {
        if (i > 0)
            pieces << QStringLiteral(",");
        pieces << columns.at(i);
    }
    pieces << QStringLiteral(") VALUES (");
    for (int i = 0; i < columns.size(); ++i) {
        if (i > 0)
            pieces << QStringLiteral(",");
        pieces << QLatin1Char(':') + columns.at(i);
    }
    pieces << QStringLiteral(");");
    return pieces.join(QLatin1Char(' '));
}

} // namespace

// One row replaced by the values of a map whose every key must be one of the table's columns.
// Optionally the table is emptied first; both happen in one transaction level.
bool TavrelDataBaseQuery::replaceSettingsRow(const QString &table, const QStringList &allowedColumns,
                                             const QVariantMap &values, bool clearFirst)
{
    if (values.isEmpty())
        return false;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        if (!allowedColumns.contains(it.key()))
            return false;
    }
    dataBase->beginTransaction();
    if (clearFirst && !clearTable(table))
        return failLevel();
    QSqlQuery insert = statement(insertOrReplaceText(table, values.keys()));
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        insert.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!run(insert))
        return failLevel();
    return dataBase->commitOrRollback();
}

bool TavrelDataBaseQuery::saveUserSettings(const QString &login, const QVariantMap &values)
{
    static const QStringList columns {SETTING_LOGIN, SETTING_WORK_MODE_IN_BACKGROUND,
                                      SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME, SETTING_USE_AUTO_ENTER,
                                      SETTING_AUTO_ENTER_TIMEOUT};
    QVariantMap row = values;
    row.insert(SETTING_LOGIN, login);
    return replaceSettingsRow(TABLE_USER_SETTINGS, columns, row, false);
}

QVariantMap TavrelDataBaseQuery::userSettings(const QString &login)
{
    QSqlQuery query = statement(QString::fromLatin1(SELECT_USER_SETTINGS).arg(TABLE_USER_SETTINGS));
    query.bindValue(QStringLiteral(":Login"), login);
    return settingsRow(query);
}

bool TavrelDataBaseQuery::saveProxySettings(const QVariantMap &settings)
{
    static const QStringList columns {PROXY_TYPE, PROXY_HOST_NAME, PROXY_PORT, PROXY_AUTH_LOGIN, PROXY_AUTH_PASSWORD};
    return replaceSettingsRow(TABLE_PROXY_SETTINGS, columns, settings, true);
}

QVariantMap TavrelDataBaseQuery::proxySettings()
{
    return settingsRow(statement(QString::fromLatin1(SELECT_PROXY_SETTINGS).arg(TABLE_PROXY_SETTINGS)));
}

QVariantMap TavrelDataBaseQuery::settingsRow(QSqlQuery query)
{
    QVariantMap row;
    if (!query.exec())
        return row;
    if (query.next())
        row = columnMap(query);
    query.finish();
    return row;
}
