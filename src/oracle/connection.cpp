#include "oracle/connection.h"

#include "oracle/connectioncore.h"

namespace Ora {

Connection::Connection(const ServerEntry &server, const QString &userId, const QString &password)
    : mDriverName(server.driver)
{
    mThread.run([&] { mCore = std::make_unique<ConnectionCore>(server, userId, password); });
}

Connection::~Connection()
{
    mCore->cancel();
    mThread.run([this] { mCore.reset(); });
}

RunningStatement Connection::statement(bool query) const
{
    return {query, !query && mDriverName == QLatin1String("QSQLITE") && mCore->inTransaction()};
}

void Connection::beginTransaction()
{
    mThread.run([this] { mCore->beginTransaction(); });
}

void Connection::rollbackTransaction()
{
    mThread.run([this] { mCore->rollbackTransaction(); });
}

void Connection::commitTransaction()
{
    mThread.run([this] { mCore->commitTransaction(); });
}

bool Connection::inTransaction() const
{
    // Written only by tasks on the thread, which this thread has waited for.
    return mCore->inTransaction();
}

qint32 Connection::execute(const QString &sql)
{
    qint32 rows = 0;
    mThread.runStatement([&] { rows = mCore->execute(sql); }, statement(false),
                         [this] { mCore->cancel(); });
    return rows;
}

quint64 Connection::openQuery(const QString &sql, QStringList *columnNames)
{
    quint64 ticket = 0;
    mThread.runStatement([&] { ticket = mCore->openQuery(sql, columnNames); }, statement(true),
                         [this] { mCore->cancel(); });
    return ticket;
}

bool Connection::fetchRow(quint64 ticket, QVariantList *values)
{
    bool row = false;
    mThread.runStatement([&] { row = mCore->fetchRow(ticket, values); }, statement(true),
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
    mThread.runStatement(
        [&] { rows = mCore->readRows(ticket, sink, maxRows, keepTrailingBlanks, cancelled); },
        statement(true), [this] { mCore->cancel(); }, meanwhile);
    return rows;
}

void Connection::closeQuery(quint64 ticket)
{
    mThread.run([&] { mCore->closeQuery(ticket); });
}

void Connection::stopQuery()
{
    mThread.run([this] { mCore->stopQuery(); });
}

} // namespace Ora
