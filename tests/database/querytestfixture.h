#ifndef QUERYTESTFIXTURE_H
#define QUERYTESTFIXTURE_H

// A database file in a temporary folder, brought to the last migration, with its query object.

#include "database.h"
#include "databasetesthelpers.h"
#include "tavreldatabasequery.h"
#include "tavrelmigration.h"

#include <QTemporaryDir>

#include <memory>

class QueryTestFixture
{
public:
    bool open()
    {
        dir = std::make_unique<QTemporaryDir>();
        if (!dir->isValid())
            return false;
        db = std::make_unique<DataBase>(dir->filePath(QStringLiteral("Tavrel.Dat")));
        TavrelMigration migration(*db);
        if (!migration.upToLastMigration())
            return false;
        query = std::make_unique<TavrelDataBaseQuery>(db.get());
        return true;
    }

    void close()
    {
        query.reset();
        db.reset();
        dir.reset();
    }

    QSqlDatabase &sql() { return db->database; }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<DataBase> db;
    std::unique_ptr<TavrelDataBaseQuery> query;
};

#endif // QUERYTESTFIXTURE_H
