#include "editor/schemaloader.h"

#include "common/errors.h"
#include "engine/connectioncore.h"
#include "engine/rowsink.h"
#include "engine/sqlthread.h"

#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlRecord>

#include <atomic>
#include <functional>
#include <mutex>

namespace Editor {

namespace {

// Every relation with its columns in order, one row a column; a relation
// without columns gives one row with a null column. Comments come from
// pg_description, as col_description would give them, without a lookup a row.
const char PostgresRelations[] = R"(
select n.nspname, c.relname, c.relkind,
       case when pg_catalog.pg_table_is_visible(c.oid) then 1 else 0 end,
       a.attname, d.description
from pg_catalog.pg_class c
join pg_catalog.pg_namespace n on n.oid = c.relnamespace
left join pg_catalog.pg_attribute a
       on a.attrelid = c.oid and a.attnum > 0 and not a.attisdropped
left join pg_catalog.pg_description d
       on d.objoid = c.oid and d.classoid = 'pg_catalog.pg_class'::regclass
      and d.objsubid = a.attnum
where c.relkind in ('r', 'v', 'm', 'f', 'p')
  and n.nspname <> 'information_schema' and n.nspname !~ '^pg_'
order by c.oid, a.attnum)";

const char PostgresSchemas[] = R"(
select nspname from pg_catalog.pg_namespace
where nspname <> 'information_schema' and nspname !~ '^pg_')";

const char SqliteRelations[] = R"(
select '', m.name, m.type, 1, p.name, null
from sqlite_master m left join pragma_table_info(m.name) p
where m.type in ('table', 'view') and m.name not like 'sqlite~_%' escape '~'
order by m.name, p.cid)";

// Rows handed over cell by cell, kept as texts until the row is whole.
class TextRowSink : public Engine::RowSink
{
public:
    explicit TextRowSink(std::function<void(const QStringList &)> onRow)
        : mOnRow(std::move(onRow))
    {}
    ~TextRowSink() override { flush(); }

    void beginRow() override
    {
        flush();
        mStarted = true;
    }
    void addNull() override { mCells << QString(); }
    void addText(QStringView text) override { mCells << text.toString(); }
    void addInteger(qint64 value) override { mCells << QString::number(value); }
    void addValue(const QVariant &value) override { mCells << value.toString(); }

private:
    void flush()
    {
        if (mStarted)
            mOnRow(mCells);
        mCells.clear();
        mStarted = false;
    }

    std::function<void(const QStringList &)> mOnRow;
    QStringList mCells;
    bool mStarted = false;
};

// Builds the catalog from rows of (schema, relation, kind, visible, column, comment),
// the rows of one relation together.
class CatalogBuilder
{
public:
    void addRow(const QStringList &row)
    {
        if (row.size() < 6)
            return;
        if (mRelation < 0 || row[0] != mSchema || row[1] != mName) {
            mSchema = row[0];
            mName = row[1];
            const bool view = row[2] == QLatin1String("v") || row[2] == QLatin1String("m")
                              || row[2] == QLatin1String("view");
            mRelation
                = catalog->addRelation(mSchema, mName, view ? NameKind::View : NameKind::Table,
                                       row[3] != QLatin1String("0"));
        }
        if (!row[4].isNull())
            catalog->addColumn(mRelation, row[4], row[5]);
    }

    std::shared_ptr<SchemaCatalog> catalog = std::make_shared<SchemaCatalog>();

private:
    QString mSchema, mName;
    int mRelation = -1;
};

} // namespace

/// What the loading thread and the window share of one load.
struct SchemaLoader::Job
{
    std::mutex mutex;
    SchemaLoader *owner = nullptr;          // null once the load is abandoned
    Engine::ConnectionCore *core = nullptr; // while the connection is open
    std::atomic<bool> stopped = false;

    void abandon()
    {
        std::lock_guard lock(mutex);
        stopped = true;
        owner = nullptr;
        if (core)
            core->cancel();
    }
};

namespace {

// Reads every row of a query into the builder, a batch at a time, until the
// rows end or the load is abandoned.
void ReadQuery(Engine::ConnectionCore &core,
               const char *sql,
               const std::function<void(const QStringList &)> &onRow,
               const std::atomic<bool> &stopped)
{
    QStringList names;
    const quint64 ticket = core.openQuery(QString::fromLatin1(sql), &names);
    TextRowSink sink(onRow);
    bool cancelled = false;
    while (!stopped && core.readRows(ticket, sink, 4096, false, &cancelled) > 0 && !cancelled) {
    }
    core.closeQuery(ticket);
}

// Drivers without a catalogue query of ours: the tables and views the driver
// lists, and their fields.
void ReadDriverLists(Engine::ConnectionCore &core,
                     CatalogBuilder &builder,
                     const std::atomic<bool> &stopped)
{
    const QSqlDatabase db = core.database();
    for (const auto &[type, kind] :
         {std::pair(QSql::Tables, "table"), std::pair(QSql::Views, "view")}) {
        for (const QString &table : db.tables(type)) {
            if (stopped)
                return;
            // Quoted, so that the driver does not fold or split the name.
            const QSqlRecord record
                = db.record(db.driver()->escapeIdentifier(table, QSqlDriver::TableName));
            if (record.isEmpty())
                builder.addRow({QString(), table, QLatin1String(kind), QStringLiteral("1"),
                                QString(), QString()});
            for (int i = 0; i < record.count(); ++i)
                builder.addRow({QString(), table, QLatin1String(kind), QStringLiteral("1"),
                                record.fieldName(i), QString()});
        }
    }
}

std::shared_ptr<SchemaCatalog> ReadCatalog(Engine::ConnectionCore &core,
                                           const std::atomic<bool> &stopped)
{
    CatalogBuilder builder;
    const auto addRow = [&builder](const QStringList &row) { builder.addRow(row); };
    const QString driver = core.driverName();
    if (driver == QLatin1String("QPSQL")) {
        ReadQuery(core, PostgresRelations, addRow, stopped);
        ReadQuery(
            core, PostgresSchemas,
            [&builder](const QStringList &row) { builder.catalog->addSchema(row.value(0)); },
            stopped);
    } else if (driver == QLatin1String("QSQLITE")) {
        ReadQuery(core, SqliteRelations, addRow, stopped);
    } else {
        ReadDriverLists(core, builder, stopped);
    }
    builder.catalog->finish();
    return builder.catalog;
}

} // namespace

SchemaLoader::SchemaLoader(QObject *parent)
    : QObject(parent)
{}

SchemaLoader::~SchemaLoader()
{
    stop();
}

void SchemaLoader::start(const Engine::ServerEntry &server,
                         const QString &userId,
                         const QString &password)
{
    stop();
    auto job = std::make_shared<Job>();
    job->owner = this;
    mJob = job;
    mThread = std::make_unique<Engine::SqlThread>();
    mThread->post([job, server, userId, password] {
        std::shared_ptr<const SchemaCatalog> catalog;
        QString failure;
        try {
            Engine::ConnectionCore core(server, userId, password);
            {
                std::lock_guard lock(job->mutex);
                job->core = &core;
            }
            const auto detach = qScopeGuard([&job] {
                std::lock_guard lock(job->mutex);
                job->core = nullptr;
            });
            if (!job->stopped)
                catalog = ReadCatalog(core, job->stopped);
        } catch (const Common::RuntimeError &error) {
            failure = error.description();
        } catch (const std::exception &error) {
            failure = QString::fromLocal8Bit(error.what());
        }
        // Told on the window's thread, unless the load was abandoned meanwhile.
        std::lock_guard lock(job->mutex);
        if (job->owner && !job->stopped)
            QMetaObject::invokeMethod(
                job->owner,
                [owner = job->owner, job, catalog, failure] {
                    owner->finished(job, catalog, failure);
                },
                Qt::QueuedConnection);
    });
}

void SchemaLoader::stop()
{
    if (!mJob)
        return;
    mJob->abandon();
    mJob.reset();
    Engine::SqlThread::release(std::move(mThread));
}

void SchemaLoader::finished(const std::shared_ptr<Job> &job,
                            const std::shared_ptr<const SchemaCatalog> &catalog,
                            const QString &failure)
{
    if (job != mJob)
        return; // a load abandoned after it had ended
    mJob.reset();
    Engine::SqlThread::release(std::move(mThread));
    if (catalog)
        emit loaded(catalog);
    else
        emit failed(failure);
}

} // namespace Editor
