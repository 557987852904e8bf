#include "tavrelmigration.h"

#include "clock.h"
#include "constants.h"
#include "database.h"

#include <QDebug>
#include <QSqlQuery>
#include <QVariant>

#include <cstdlib>

namespace {

const char CREATE_MIGRATION_HISTORY[]
    = "CREATE TABLE IF NOT EXISTS %1 (MigrationName TEXT PRIMARY KEY NOT NULL, MigrationDate INTEGER)";

const char CREATE_USER[]
    = "CREATE TABLE IF NOT EXISTS %1 (Name TEXT,Login TEXT PRIMARY KEY NOT NULL,Password TEXT,PasswordSaveDate "
      "INTEGER NULL)";

const char CREATE_ORDERS[]
    = "CREATE TABLE IF NOT EXISTS %1 (Type TEXT,Id INTEGER,OpeningTime INTEGER,ClosingTime INTEGER,ChangeDate "
      "INTEGER,Branch TEXT,Region TEXT,PlacementMethod TEXT,Name TEXT,Amount TEXT,Url TEXT, Login TEXT, CONSTRAINT "
      "Prim_Key_%1 PRIMARY KEY (Login, Id)); ";

const char CREATE_FAVOURITES[]
    = "CREATE TABLE IF NOT EXISTS %1 (Login TEXT,OrderId INTEGER,ChangeDate INTEGER,State TEXT,CONSTRAINT "
      "Prim_Key_%1 PRIMARY KEY (Login, OrderId));";

const char CREATE_FILTERS[]
    = "CREATE TABLE IF NOT EXISTS %1 (DisplayOrder      INTEGER,WordsExceptions   TEXT,OpenCompetition   "
      "INTEGER,PriceQuotation    INTEGER,ElectronicAuction INTEGER,Preselection      INTEGER,EasyPurchase      "
      "INTEGER,OpeningTimeFrom   INTEGER,OpeningTimeTo     INTEGER,ClosingTimeFrom   INTEGER,ClosingTimeTo     "
      "INTEGER,AllWordsRequired  INTEGER,WithMorphology    INTEGER,AmountOrdersTo    TEXT,AmountOrdersFrom  "
      "TEXT,OrderType         TEXT,SearchArea        TEXT,Name              TEXT,Login             TEXT,LocalId  "
      "         INTEGER PRIMARY KEY,Id                INTEGER,FilterChangeDate  INTEGER,Enabled           "
      "INTEGER,WordSerch         TEXT,State             TEXT);";

// Regions and Branches: %1 the table, %2 its change-date column.
const char CREATE_DICTIONARY[]
    = "CREATE TABLE IF NOT EXISTS %1 (ParentId INTEGER,Name TEXT,Id INTEGER PRIMARY KEY,%2 INTEGER)";

// FilterRegions and FilterBranches: %1 the table, %2 the prefix of the linked id column.
const char CREATE_FILTER_LINKS[]
    = "CREATE TABLE IF NOT EXISTS %1 (FilterId INTEGER,%2Id INTEGER,CONSTRAINT Prim_Key_%1 PRIMARY KEY (FilterId, "
      "%2Id))";

const char ALTER_ORDERS_ADD_DETAILS[]
    = "ALTER TABLE %1 ADD COLUMN GosID TEXT;ALTER TABLE %1 ADD COLUMN StartPrice TEXT;ALTER TABLE %1 ADD COLUMN "
      "FinancingSource TEXT;ALTER TABLE %1 ADD COLUMN CurrencyName TEXT;ALTER TABLE %1 ADD COLUMN GeoPlaceName "
      "TEXT;ALTER TABLE %1 ADD COLUMN Information TEXT;ALTER TABLE %1 ADD COLUMN ApplicationGuarantee    "
      "TEXT;ALTER TABLE %1 ADD COLUMN ContractGuarantee TEXT;ALTER TABLE %1 ADD COLUMN SubjectFullName      "
      "TEXT;ALTER TABLE %1 ADD COLUMN Commercial            TEXT;ALTER TABLE %1 ADD COLUMN SubjectShortName     "
      "TEXT;ALTER TABLE %1 ADD COLUMN LegalFormName          TEXT;ALTER TABLE %1 ADD COLUMN OGRN_INN_KPP          "
      "        TEXT;ALTER TABLE %1 ADD COLUMN OrderSourceUri               TEXT;ALTER TABLE %1 ADD COLUMN DocNames "
      "             TEXT;ALTER TABLE %1 ADD COLUMN DocUrls               TEXT;ALTER TABLE %1 ADD COLUMN "
      "ContactNames TEXT;ALTER TABLE %1 ADD COLUMN EconomicSectorParentName TEXT;ALTER TABLE %1 ADD COLUMN "
      "ContactValues TEXT";

const char CREATE_USER_SETTINGS[]
    = "CREATE TABLE IF NOT EXISTS %1 (Login TEXT PRIMARY KEY,WorkModeInBackground         "
      "INTEGER,NewOrdersRefreshIntervalTime INTEGER,UseAutoEnter                 INTEGER,AutoEnterTimeout        "
      "     INTEGER);";

// %1 the order table, %2 the user table.
const char ALTER_ADD_FULL_ACCESS[]
    = "ALTER TABLE %1 ADD COLUMN FullAccess INTEGER;ALTER TABLE %1 ADD COLUMN OriginalTitle TEXT;ALTER TABLE %2 ADD "
      "COLUMN FullAccess INTEGER";

const char CREATE_PROXY_SETTINGS[]
    = "CREATE TABLE IF NOT EXISTS %1 (ProxyType INTEGER PRIMARY KEY,HostName                 TEXT,Port           "
      "       INTEGER,AuthLogin                TEXT,AuthPassword              TEXT);";

const char SELECT_CURRENT_MIGRATION[] = "SELECT MigrationName FROM %1 ORDER BY MigrationName DESC LIMIT 1";

const char INSERT_MIGRATION[] = "INSERT INTO %1 (MigrationName, MigrationDate) VALUES (:MigrationName, :MigrationDate)";

QString text(const char *statement)
{
    return QString::fromLatin1(statement);
}

} // namespace

TavrelMigration::TavrelMigration(DataBase &dataBase, QObject *parent)
    : QObject(parent)
    , dataBase(&dataBase)
{
    initMigrationNames();
    checkMigrationOrder();
}

TavrelMigration::TavrelMigration(DataBase &dataBase, const QMap<Name, QString> &names, QObject *parent)
    : QObject(parent)
    , migrationNames(names)
    , dataBase(&dataBase)
{
    checkMigrationOrder();
}

TavrelMigration::~TavrelMigration() = default;

void TavrelMigration::initMigrationNames()
{
    migrationNames.clear();
    migrationNames.insert(Empty, QStringLiteral("20131028-0000-Empty"));
    migrationNames.insert(MigrationTable, QStringLiteral("20131029-0010-MigrationTable"));
    migrationNames.insert(AddUserTable, QStringLiteral("20131029-0020-AddUserTable"));
    migrationNames.insert(Orders, QStringLiteral("20131101-0000-Orders"));
    migrationNames.insert(AddFavourites, QStringLiteral("20131111-0000-AddFavourites"));
    migrationNames.insert(AddFiltersWithBranchesAndRegions,
                          QStringLiteral("20131120-0000-AddFiltersWithBranchesAndRegions"));
    migrationNames.insert(AddAdditionInfoFieldsToOrders, QStringLiteral("20131211-0000-AddAdditionInfoFieldsToOrders"));
    migrationNames.insert(AddUserSettingsOptions, QStringLiteral("20131213-0000-AddUserSettingsOptions"));
    migrationNames.insert(AddUserAccountPaided, QStringLiteral("20131218-0000-AddUserAccountPaided"));
    migrationNames.insert(AddProxySettings, QStringLiteral("20140425_0000_AddProxySettings"));
}

// The current step is read as the greatest recorded name, so the names must sort as text in the
// order of their numbers; a table that breaks this would make the file skip or repeat steps.
void TavrelMigration::checkMigrationOrder()
{
    migrationValues.clear();
    bool ordered = true;
    for (auto it = migrationNames.constBegin(); it != migrationNames.constEnd(); ++it) {
        if (migrationValues.contains(it.value()))
            ordered = false;
        migrationValues.insert(it.value(), it.key());
    }
    int previous = NoMigration;
    for (auto it = migrationValues.constBegin(); it != migrationValues.constEnd(); ++it) {
        if (it.value() <= previous)
            ordered = false;
        previous = it.value();
    }
    if (!ordered) {
        qDebug() << "Error in migration order.";
        std::_Exit(-1);
    }
}

QString TavrelMigration::nameOf(Name step) const
{
    return migrationNames.value(step);
}

TavrelMigration::Name TavrelMigration::valueOf(const QString &name) const
{
    return migrationValues.value(name, NoMigration);
}

TavrelMigration::Name TavrelMigration::currentMigration()
{
    if (!dataBase || !dataBase->database.isOpen())
        return NoMigration;
    if (!dataBase->isTableExists(TABLE_MIGRATION_HISTORY))
        return Empty;
    QSqlQuery query(*dataBase->preparedQuery(text(SELECT_CURRENT_MIGRATION).arg(TABLE_MIGRATION_HISTORY)));
    if (!query.exec())
        return Empty;
    if (!query.next()) {
        query.finish();
        return Empty;
    }
    const QString name = query.value(QStringLiteral("MigrationName")).toString();
    query.finish();
    return valueOf(name);
}

bool TavrelMigration::upToLastMigration()
{
    if (upMigration(LastMigration))
        return true;
    qDebug() << "Migration fault. Terminating.";
    std::_Exit(-1);
}

bool TavrelMigration::upMigration(Name target)
{
    const Name current = currentMigration();
    if (current == NoMigration)
        return false;
    if (current == target)
        return true;
    if (current > target)
        return false;

    dataBase->beginTransaction();
    const auto fail = [this](Name step) {
        dataBase->rollback();
        qDebug() << "Failed up migration step:" << nameOf(step);
        return false;
    };
    // The record statement can only be prepared once its table exists.
    if (current == Empty && !upStep(MigrationTable))
        return fail(MigrationTable);

    for (int step = current + 1; step <= target; ++step) {
        const Name name = static_cast<Name>(step);
        QSqlQuery record(*dataBase->preparedQuery(text(INSERT_MIGRATION).arg(TABLE_MIGRATION_HISTORY)));
        record.bindValue(QStringLiteral(":MigrationName"), nameOf(name));
        record.bindValue(QStringLiteral(":MigrationDate"),
                         static_cast<uint>(Clock::currentDateTimeUtc().toSecsSinceEpoch()));
        const bool ok = upStep(name) && record.exec();
        record.finish();
        if (!ok)
            return fail(name);
    }
    return dataBase->commitOrRollback();
}

bool TavrelMigration::runStatement(const QString &statement)
{
    QSqlQuery query(*dataBase->preparedQuery(statement));
    const bool ok = query.exec();
    query.finish();
    return ok;
}

// Runs a text of several statements separated by ";", stopping at the first that fails.
bool TavrelMigration::runStatements(const QString &statements)
{
    const QStringList parts = statements.split(QLatin1Char(';'));
    for (const QString &part : parts) {
        if (!runStatement(part))
            return false;
    }
    return true;
}

bool TavrelMigration::upStep(Name step)
{
    if (!dataBase)
        return false;
    switch (step) {
    case Empty:
        return true;
    case MigrationTable:
        return runStatement(text(CREATE_MIGRATION_HISTORY).arg(TABLE_MIGRATION_HISTORY));
    case AddUserTable:
        return runStatement(text(CREATE_USER).arg(TABLE_USER));
    case Orders:
        return runStatement(text(CREATE_ORDERS).arg(TABLE_ORDERS));
    case AddFavourites:
        return runStatement(text(CREATE_FAVOURITES).arg(TABLE_FAVOURITES));
    case AddFiltersWithBranchesAndRegions:
        return runStatement(text(CREATE_FILTERS).arg(TABLE_FILTERS))
            && runStatement(text(CREATE_DICTIONARY).arg(TABLE_BRANCHES, QStringLiteral("BranchChangeDate")))
            && runStatement(text(CREATE_DICTIONARY).arg(TABLE_REGIONS, QStringLiteral("RegionChangeDate")))
            && runStatement(text(CREATE_FILTER_LINKS).arg(TABLE_FILTER_BRANCHES, QStringLiteral("Branch")))
            && runStatement(text(CREATE_FILTER_LINKS).arg(TABLE_FILTER_REGIONS, QStringLiteral("Region")));
    case AddAdditionInfoFieldsToOrders:
        return runStatements(text(ALTER_ORDERS_ADD_DETAILS).arg(TABLE_ORDERS));
    case AddUserSettingsOptions:
        return runStatement(text(CREATE_USER_SETTINGS).arg(TABLE_USER_SETTINGS));
    case AddUserAccountPaided:
        return runStatements(text(ALTER_ADD_FULL_ACCESS).arg(TABLE_ORDERS, TABLE_USER));
    case AddProxySettings:
        return runStatement(text(CREATE_PROXY_SETTINGS).arg(TABLE_PROXY_SETTINGS));
    case NoMigration:
        break;
    }
    return false;
}
