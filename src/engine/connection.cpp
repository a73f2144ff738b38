#include "engine/connection.h"

#include "engine/errors.h"

namespace Engine {

Connection::Connection(const ServerEntry &server, const QString &userId, const QString &password)
    : mDriverName(server.driver)
    , mThread(std::make_unique<SqlThread>())
{
    // The connect owns what it uses, so that it can go on after being given up.
    auto made = std::make_shared<std::unique_ptr<ConnectionCore>>();
    const bool ended = mThread->runOrAbandon([made, server, userId, password] {
        *made = std::make_unique<ConnectionCore>(server, userId, password);
    });
    if (!ended) {
        mThread->post([made] { made->reset(); });
        SqlThread::release(std::move(mThread));
        Raise(ErrConnectAbandoned, QStringLiteral("接続を中止しました。"), LayerSource());
    }
    mCore = std::move(*made);
}

Connection::~Connection()
{
    mCore->cancel();
    mThread->run([this] { mCore.reset(); });
}

RunningStatement Connection::statement(bool query, bool readingRows) const
{
    // SQLite rolls back the transaction of an interrupted write; psqlODBC that
    // of a fetch cancelled while rows are read.
    const bool undoes = query ? readingRows && mCore->cancelWhileReadingEndsTransaction()
                              : mDriverName == QLatin1String("QSQLITE") && mCore->inTransaction();
    return {query, undoes, true};
}

// A transaction command cannot be stopped halfway; the wait keeps the window
// live while the server takes its time.
static const RunningStatement TransactionCommand{false, false, false};

void Connection::beginTransaction()
{
    mThread->runStatement([this] { mCore->beginTransaction(); }, TransactionCommand, [] {});
}

void Connection::rollbackTransaction()
{
    mThread->runStatement([this] { mCore->rollbackTransaction(); }, TransactionCommand, [] {});
}

void Connection::commitTransaction()
{
    mThread->runStatement([this] { mCore->commitTransaction(); }, TransactionCommand, [] {});
}

// The states below are written only by tasks on the thread, which this thread
// has waited for.
bool Connection::inTransaction() const
{
    return mCore->inTransaction();
}

bool Connection::hasPendingWork() const
{
    return mCore->hasPendingWork();
}

bool Connection::isLost() const
{
    return mCore->isLost();
}

ConnectionCore::Outcome Connection::execute(const QString &sql)
{
    ConnectionCore::Outcome outcome;
    mThread->runStatement([&] { outcome = mCore->execute(sql); }, statement(false),
                          [this] { mCore->cancel(); });
    return outcome;
}

quint64 Connection::openQuery(const QString &sql, QStringList *columnNames)
{
    quint64 ticket = 0;
    mThread->runStatement([&] { ticket = mCore->openQuery(sql, columnNames); }, statement(true),
                          [this] { mCore->cancel(); });
    return ticket;
}

bool Connection::fetchRow(quint64 ticket, QVariantList *values)
{
    bool row = false;
    mThread->runStatement([&] { row = mCore->fetchRow(ticket, values); }, statement(true, true),
                          [this] { mCore->cancel(); });
    return row;
}

qsizetype Connection::readRows(quint64 ticket,
                               RowSink &sink,
                               qsizetype maxRows,
                               bool keepTrailingBlanks,
                               bool *cancelled,
                               const std::function<void()> &meanwhile)
{
    qsizetype rows = 0;
    mThread->runStatement(
        [&] { rows = mCore->readRows(ticket, sink, maxRows, keepTrailingBlanks, cancelled); },
        statement(true, true), [this] { mCore->cancel(); }, meanwhile);
    return rows;
}

std::optional<qint64>
Connection::copyCsv(const QString &sql, const CsvFormat &format, CsvSink &sink)
{
    std::optional<qint64> rows;
    mThread->runStatement([&] { rows = mCore->copyCsv(sql, format, sink); }, statement(true),
                          [this] { mCore->cancel(); });
    return rows;
}

void Connection::closeQuery(quint64 ticket)
{
    mThread->run([&] { mCore->closeQuery(ticket); });
}

void Connection::stopQuery()
{
    mThread->run([this] { mCore->stopQuery(); });
}

} // namespace Engine
