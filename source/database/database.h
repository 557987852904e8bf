#ifndef DATABASE_H
#define DATABASE_H

#include <QMap>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

#include <memory>

class QSqlQuery;

// One SQLite connection with nested transactions and a cache of prepared statements.
//
// The application keeps one instance on the GUI thread (the default connection). A worker thread that
// needs the file opens a connection of its own with openWorkerConnection(); a connection and its cached
// statements must only be used by the thread that created them.
class DataBase : public QObject
{
    Q_OBJECT

public:
    // Opens the application's connection (the default connection name). When the file cannot be
    // opened the process ends with exit code -1.
    DataBase(const QString &databaseName, const QString &userName = QString(), const QString &password = QString(),
             QObject *parent = nullptr);
    ~DataBase() override;

    // A further connection to the same file under its own connection name, for use on the calling
    // thread only. A file that cannot be opened does not end the process: check isOpen().
    static std::unique_ptr<DataBase> openWorkerConnection(const QString &databaseName, const QString &connectionName);

    bool isOpen() const;
    // The file name given to the constructor; safe to read from any thread.
    QString databaseName() const { return fileName; }

    // Nested transactions: only the outermost level is a real transaction; the levels below it are
    // savepoints, so an inner rollback undoes exactly the writes of its own level and the outermost
    // commit or rollback decides about the rest.
    bool beginTransaction();
    bool commit();
    bool rollback();
    // Closes a level; a failed commit (or release of a savepoint) is followed by a rollback of that
    // level and false.
    bool commitOrRollback();
    // commitOrRollback(), then every flag := value when it succeeded and := !value when it failed.
    bool commitAndSetResults(const QList<bool *> &flags, bool value);

    // The cached statement prepared from exactly that text. A statement whose preparation failed is
    // prepared again on its next use. The pointer stays owned by the cache; callers work on a copy.
    QSqlQuery *preparedQuery(const QString &text);
    // The cached statement kept under a name: prepared from the text when the name is new or when
    // reprepare is set (or when its last preparation failed), returned as it is otherwise.
    QSqlQuery *namedQuery(const QString &name, const QString &text, bool reprepare);

    bool isTableExists(const QString &tableName);

    // How many transaction levels are open through this object; 1 means the real transaction.
    int transactionDepth = 0;
    QSqlDatabase database;

private:
    DataBase(const QString &databaseName, const QString &connectionName, QObject *parent);
    bool open(const QString &connectionName, const QString &userName, const QString &password);
    bool execute(const QString &statement);
    bool closeLevel(bool commitLevel);
    static QString savepointName(int level);
    QSqlQuery *cachedStatement(const QString &key, const QString &text, bool reprepare);

    QSqlQuery *tableExistsQuery = nullptr;
    QMap<QString, QSqlQuery *> queries;
    QSet<QString> unprepared;
    QString fileName;
};

#endif // DATABASE_H
