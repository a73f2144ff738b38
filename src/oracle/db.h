#pragma once

#include "oracle/oo4o.h"

#include <QString>

#include <functional>
#include <memory>

/// The one current connection of the application, the values that describe it,
/// its transaction flag, and the routines the rest of the program connects,
/// queries, executes and ends transactions through.
///
/// ConnectDatabase, OpenDynaset and ExecuteStatement resume on error: they never
/// raise, and leave a failure in Common::LastError for the caller to test right
/// after the call. The other routines raise Common::RuntimeError.
namespace DB {

/// The single session object, created on first use and never replaced.
oo4o &CurrentSession();

/// The connection last opened successfully through the dialog or at start-up;
/// written only by those callers, never by the routines below.
QString CurrentUserId();
void SetCurrentUserId(const QString &value);
QString CurrentPassword();
void SetCurrentPassword(const QString &value);
QString CurrentServerName();
void SetCurrentServerName(const QString &value);
/// 1 when the current connection is the saved start-up connection, else 0.
qint16 CurrentIsInitial();
void SetCurrentIsInitial(qint16 value);

/// The server has a transaction open, as it said after the last statement: the
/// one that BeginTransaction began, or one that a typed BEGIN opened.
bool InTransaction();
/// A statement other than a query ran in the open transaction since it began:
/// work that a commit keeps and a rollback or a closed connection undoes.
bool UncommittedChanges();
/// The current connection was found broken (the server went away); it stays
/// so until the next connect, and every statement and commit fails meanwhile.
bool ConnectionLost();

/// Called after every routine below that may change the three states above, on
/// the calling thread; the window shows them. Null for none.
void SetStateListener(std::function<void()> listener);
/// Calls the listener: for callers that learn of a change another way (a lost
/// connection found while rows are read).
void NotifyStateChanged();

/// What happened on the current connection, for what follows it besides the
/// window's state display (the names that completion offers).
struct ConnectionEvent
{
    enum Kind {
        Connected,    ///< a connect succeeded, with this login
        Disconnected, ///< the connection was closed
        StatementRan, ///< ExecuteStatement ran sql without error
        StateChanged, ///< as the state listener is told
    };
    Kind kind = StateChanged;
    QString userId, password, serverName; ///< of Connected
    QString sql;                          ///< of StatementRan
};
/// Told of every event above, on the calling thread. Null for none.
void SetEventListener(std::function<void(const ConnectionEvent &)> listener);

/// Connects CurrentSession with these credentials; success is read from the
/// error state. The connection open before is closed (rolling back its work) only
/// once the new one is open: a failed connect leaves it as it was. The four
/// connection values are not touched.
void ConnectDatabase(const QString &userId, const QString &password, const QString &serverName);

/// Closes the connection, if any (rolling back uncommitted work), and clears InTransaction.
void DisconnectDatabase();

/// A dynaset on the query's first row, or empty with the error state set.
std::shared_ptr<Ora::Dynaset> OpenDynaset(const QString &sql, qint32 options);

/// Runs a statement; a failure is left in the error state. A statement that
/// returned rows gives a dynaset on its first row with these options; others
/// give empty.
std::shared_ptr<Ora::Dynaset> ExecuteStatement(const QString &sql, qint32 options = 0);

/// The query's rows written as CSV by the database itself into the sink, on
/// the connection's thread (PostgreSQL's COPY), each value as the result list
/// shows it; the number of rows, or std::nullopt where the database has no such
/// way. A failure is left in the error state.
std::optional<qint64>
CopyCsv(const QString &sql, qint32 options, const Engine::CsvFormat &format, Engine::CsvSink &sink);

/// Begins a transaction, unless there is no session.
void BeginTransaction();
/// Rolls back when InTransaction is set; otherwise does nothing. Raises on a
/// lost connection, every time.
void RollbackTransaction();
/// Commits when InTransaction is set; otherwise does nothing. Raises on a lost
/// connection, every time: nothing was committed.
void CommitTransaction();

} // namespace DB
