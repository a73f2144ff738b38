#pragma once

#include "engine/connectioncore.h"
#include "engine/servers.h"
#include "engine/sqlthread.h"

#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

namespace Engine {

class CsvSink;
class RowSink;
struct CsvFormat;

/// One open database connection, used from the program's thread while it lives
/// on a thread of its own (see SqlThread): every call runs there and is waited
/// for. Every call but closing waits through the thread's StatementWait, so that
/// the window stays live; statements, query opening and row reading can be
/// cancelled, and a connect can be given up. The calls are those of
/// ConnectionCore, which does the work.
class Connection
{
public:
    /// Connects; raises what the connect raised, or ErrConnectAbandoned when the
    /// wait gave it up (it then ends in the background, and its connection is
    /// closed there).
    Connection(const ServerEntry &server, const QString &userId, const QString &password);
    /// Cancels a statement that still runs, then closes the connection there.
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QString driverName() const { return mDriverName; }

    void beginTransaction();
    void rollbackTransaction();
    void commitTransaction();
    bool inTransaction() const;
    bool hasPendingWork() const;
    bool isLost() const;

    ConnectionCore::Outcome execute(const QString &sql);
    quint64 openQuery(const QString &sql, QStringList *columnNames);
    bool fetchRow(quint64 ticket, QVariantList *values);
    /// Meanwhile, when given, runs on the calling thread while the rows are read.
    qsizetype readRows(quint64 ticket,
                       RowSink &sink,
                       qsizetype maxRows,
                       bool keepTrailingBlanks,
                       bool *cancelled,
                       const std::function<void()> &meanwhile = {});
    std::optional<qint64> copyCsv(const QString &sql, const CsvFormat &format, CsvSink &sink);
    void closeQuery(quint64 ticket);
    void stopQuery();

private:
    RunningStatement statement(bool query, bool readingRows = false) const;

    QString mDriverName;
    std::unique_ptr<SqlThread> mThread;
    std::unique_ptr<ConnectionCore> mCore; // made, used and destroyed on mThread
};

} // namespace Engine
