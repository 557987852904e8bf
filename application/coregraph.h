#ifndef COREGRAPH_H
#define COREGRAPH_H

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class CoreHost;
class TavrelMigration;
class TavrelSynchronization;

// The program's long-lived objects, made in the start-up's fixed order and published through the host as
// they come, and destroyed in exactly the reverse order: each published pointer turns null as its object
// goes. The windowed program adds its forms around the core objects with adopt(); tests build the same
// graph, so what they exercise is what the program runs.
class CoreGraph
{
public:
    explicit CoreGraph(CoreHost *host);
    ~CoreGraph();
    CoreGraph(const CoreGraph &) = delete;
    CoreGraph &operator=(const CoreGraph &) = delete;

    // Makes the access manager, the database file (owner-only) and its migration, the online-state manager,
    // the request builder and the query object, publishes them, runs `beforeEngine`, then makes and
    // publishes the engine and brings the schema up to date.
    void build(const QString &databaseName, const std::function<void()> &beforeEngine = {});

    // Takes an object into the graph: it is destroyed in reverse order of arrival with the rest.
    template<typename T> T *adopt(std::unique_ptr<T> object)
    {
        T *raw = object.get();
        m_objects.push_back(std::move(object));
        return raw;
    }

    TavrelMigration *migration() const { return m_migration; }
    TavrelSynchronization *engine() const;
    // Destroys the engine and puts a new one in its place (tests start each case with a fresh engine).
    TavrelSynchronization *renewEngine();
    // Destroys the engine and leaves its place empty until renewEngine().
    void dropEngine();
    // Destroys everything now, newest first.
    void clear();

private:
    CoreHost *m_host;
    TavrelMigration *m_migration = nullptr;
    std::vector<std::unique_ptr<QObject>> m_objects;
    std::size_t m_engineSlot = 0;
};

#endif // COREGRAPH_H
