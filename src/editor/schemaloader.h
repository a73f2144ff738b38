#pragma once

#include "editor/schemacatalog.h"
#include "engine/servers.h"

#include <QObject>

#include <memory>

namespace Engine {
class SqlThread;
}

namespace Editor {

/// Reads the names of a database for completion, on a connection and a thread
/// of its own, so that neither a statement that runs nor the window waits for
/// it. One load at a time: starting another, or stop(), abandons the one
/// before, whose result is then never reported. A load that fails (the server
/// went away, a catalogue it cannot read) reports failed() and nothing else.
///
/// PostgreSQL: one catalogue query over pg_class, pg_namespace, pg_attribute and
/// pg_description (column comments), system schemas left out, and one for the
/// schemas. SQLite: sqlite_master with pragma_table_info. Other drivers: the
/// driver's own list of tables and views and their fields.
class SchemaLoader : public QObject
{
    Q_OBJECT

public:
    explicit SchemaLoader(QObject *parent = nullptr);
    ~SchemaLoader() override;

    void start(const Engine::ServerEntry &server, const QString &userId, const QString &password);
    /// Abandons the load that runs, if any: cancelled on the server where the
    /// driver allows, its connection closed in the background.
    void stop();
    bool isLoading() const { return bool(mJob); }

signals:
    void loaded(std::shared_ptr<const Editor::SchemaCatalog> catalog);
    void failed(const QString &message);

private:
    struct Job;
    void finished(const std::shared_ptr<Job> &job,
                  const std::shared_ptr<const SchemaCatalog> &catalog,
                  const QString &failure);

    std::shared_ptr<Job> mJob;
    std::unique_ptr<Engine::SqlThread> mThread;
};

} // namespace Editor
