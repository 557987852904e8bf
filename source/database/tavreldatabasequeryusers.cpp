// The subscribers who have logged in on this computer (table User).

#include "tavreldatabasequery.h"

#include "clock.h"
#include "constants.h"
#include "database.h"
#include "valuehelpers.h"

namespace {

const char SELECT_PASSWORD[] = "SELECT Password FROM %1 WHERE Login = :Login LIMIT 1";
const char SELECT_USER_WITH_PASSWORD[] = "SELECT * FROM %1 WHERE Login = :Login AND Password = :Password LIMIT 1";
const char SELECT_LAST_REMEMBERED[]
    = "SELECT * FROM %1 WHERE NOT (PasswordSaveDate is NULL) ORDER BY PasswordSaveDate DESC LIMIT 1";
const char SELECT_REMEMBERED[] = "SELECT * FROM %1 WHERE NOT (PasswordSaveDate is NULL) ORDER BY Login";
const char SELECT_NAME[] = "SELECT Name FROM %1 WHERE Login = :Login LIMIT 1";
const char UPDATE_NAME[] = "UPDATE %1 SET Name = :Name WHERE Login = :Login";
const char SELECT_FULL_ACCESS[] = "SELECT FullAccess FROM %1 WHERE Login = :Login LIMIT 1";
const char UPDATE_FULL_ACCESS[] = "UPDATE %1 SET FullAccess = :FullAccess WHERE Login = :Login";
const char SELECT_USER[] = "SELECT * FROM %1 WHERE Login = :Login LIMIT 1";
const char REPLACE_USER[] = "REPLACE INTO %1 (Login, Password, PasswordSaveDate, Name, FullAccess) VALUES (:Login, "
                            ":Password, :PasswordSaveDate, :Name, :FullAccess)";
const char INSERT_USER[]
    = "INSERT INTO %1 (Login, Password, PasswordSaveDate, Name) VALUES (:Login, :Password, :PasswordSaveDate, :Name)";

QString userSql(const char *text)
{
    return QString::fromLatin1(text).arg(TABLE_USER);
}

} // namespace

// The first column of the login's row as text; a null string without a row.
QString TavrelDataBaseQuery::userText(const char *text, const QString &login)
{
    QSqlQuery query = statement(userSql(text));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return QString();
    const QString value = query.next() ? query.value(0).toString() : QString();
    query.finish();
    return value;
}

QString TavrelDataBaseQuery::userPassword(const QString &login)
{
    return userText(SELECT_PASSWORD, login);
}

// Offline login: a user without a digest (none given) must never be let in.
bool TavrelDataBaseQuery::isUserExists(const QString &login, const QString &password)
{
    if (password.isEmpty())
        return false;
    QSqlQuery query = statement(userSql(SELECT_USER_WITH_PASSWORD));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":Password"), password);
    if (!query.exec())
        return false;
    const bool exists = query.next();
    query.finish();
    return exists;
}

QPair<QString, QString> TavrelDataBaseQuery::lastRememberedUser()
{
    QPair<QString, QString> user;
    QSqlQuery query = statement(userSql(SELECT_LAST_REMEMBERED));
    if (!query.exec())
        return user;
    if (query.next()) {
        user.first = query.value(QStringLiteral("Login")).toString();
        user.second = query.value(QStringLiteral("Password")).toString();
    }
    query.finish();
    return user;
}

QStringList TavrelDataBaseQuery::rememberedLogins()
{
    QStringList logins;
    QSqlQuery query = statement(userSql(SELECT_REMEMBERED));
    if (!query.exec())
        return logins;
    while (query.next())
        logins << query.value(QStringLiteral("Login")).toString();
    query.finish();
    return logins;
}

QString TavrelDataBaseQuery::userName(const QString &login)
{
    const QString name = userText(SELECT_NAME, login);
    return name.isNull() ? QStringLiteral("") : name;
}

void TavrelDataBaseQuery::setUserName(const QString &login, const QString &name)
{
    QSqlQuery query = statement(userSql(UPDATE_NAME));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":Name"), name);
    run(query);
}

bool TavrelDataBaseQuery::isFullAccess(const QString &login)
{
    QSqlQuery query = statement(userSql(SELECT_FULL_ACCESS));
    query.bindValue(QStringLiteral(":Login"), login);
    if (!query.exec())
        return false;
    const bool fullAccess = query.next() && variantIsTrue(query.value(0));
    query.finish();
    return fullAccess;
}

void TavrelDataBaseQuery::setFullAccess(const QString &login, bool value)
{
    QSqlQuery query = statement(userSql(UPDATE_FULL_ACCESS));
    query.bindValue(QStringLiteral(":Login"), login);
    query.bindValue(QStringLiteral(":FullAccess"), value);
    run(query);
}

// A known user keeps the stored full-access flag, and the stored name and digest when none is given;
// the remembered state always follows the remember argument.
bool TavrelDataBaseQuery::saveUser(const QString &login, const QString &password, bool remember, const QString &name)
{
    QSqlQuery select = statement(userSql(SELECT_USER));
    select.bindValue(QStringLiteral(":Login"), login);
    if (!select.exec())
        return false;
    const QVariant saveDate
        = remember ? QVariant(static_cast<uint>(Clock::currentDateTimeUtc().toSecsSinceEpoch())) : QVariant();

    QSqlQuery write;
    if (select.next()) {
        const bool fullAccess = variantIsTrue(select.value(QStringLiteral("FullAccess")));
        const QVariant storedName = select.value(QStringLiteral("Name"));
        const QVariant storedPassword = select.value(QStringLiteral("Password"));
        select.finish();
        write = statement(userSql(REPLACE_USER));
        write.bindValue(QStringLiteral(":FullAccess"), fullAccess);
        write.bindValue(QStringLiteral(":Name"), name.isNull() ? storedName : QVariant(name));
        write.bindValue(QStringLiteral(":Password"), password.isNull() ? storedPassword : QVariant(password));
    } else {
        select.finish();
        write = statement(userSql(INSERT_USER));
        write.bindValue(QStringLiteral(":Name"), QVariant());
        write.bindValue(QStringLiteral(":Password"), password.isNull() ? QVariant() : QVariant(password));
    }
    write.bindValue(QStringLiteral(":Login"), login);
    write.bindValue(QStringLiteral(":PasswordSaveDate"), saveDate);
    return run(write);
}
