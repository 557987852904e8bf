#ifndef TAVRELMIGRATION_H
#define TAVRELMIGRATION_H

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>

class DataBase;

// Brings the database file to the last schema step. Every applied step is recorded in the table
// MigrationHistory; the greatest recorded name (names sort as text in step order) is the file's step.
class TavrelMigration : public QObject
{
    Q_OBJECT

public:
    enum Name {
        NoMigration = 0,
        Empty = 1,
        MigrationTable = 2,
        AddUserTable = 3,
        Orders = 4,
        AddFavourites = 5,
        AddFiltersWithBranchesAndRegions = 6,
        AddAdditionInfoFieldsToOrders = 7,
        AddUserSettingsOptions = 8,
        AddUserAccountPaided = 9,
        AddProxySettings = 10,
        LastMigration = AddProxySettings
    };

    // Ends the process with exit code -1 when the names, taken in text order, do not give strictly
    // rising step numbers above 0.
    TavrelMigration(DataBase &dataBase, QObject *parent = nullptr);
    // The same with a name table of the caller's (a test seam for the order check).
    TavrelMigration(DataBase &dataBase, const QMap<Name, QString> &names, QObject *parent = nullptr);
    ~TavrelMigration() override;

    // Brings the file to the last step in one transaction; on failure ends the process with -1.
    bool upToLastMigration();
    // Runs the steps after the current one up to the target in one transaction, recording each.
    bool upMigration(Name target);
    Name currentMigration();
    // The statements of one step; it neither records the step nor opens a transaction.
    bool upStep(Name step);

    QString nameOf(Name step) const;
    Name valueOf(const QString &name) const;

private:
    void initMigrationNames();
    void checkMigrationOrder();
    bool runStatement(const QString &text);
    bool runStatements(const QString &text);

    QMap<Name, QString> migrationNames;
    QMap<QString, Name> migrationValues;
    QPointer<DataBase> dataBase;
};

#endif // TAVRELMIGRATION_H
