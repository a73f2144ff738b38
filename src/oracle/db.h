#pragma once

#include "oracle/oo4o.h"

#include <QString>

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

/// A transaction was begun through BeginTransaction and not yet ended.
bool InTransaction();
void SetInTransaction(bool value);

/// Disconnects, then connects CurrentSession with these credentials; success is
/// read from the error state. The four connection values are not touched.
void ConnectDatabase(const QString &userId, const QString &password, const QString &serverName);

/// Closes the connection, if any (rolling back uncommitted work), and clears InTransaction.
void DisconnectDatabase();

/// A dynaset on the query's first row, or empty with the error state set.
std::shared_ptr<Ora::Dynaset> OpenDynaset(const QString &sql, qint32 options);

/// Runs a statement that returns no rows; a failure is left in the error state.
void ExecuteStatement(const QString &sql);

/// Begins a transaction; sets InTransaction unless there is no session.
void BeginTransaction();
/// Rolls back when InTransaction is set, then clears it; otherwise does nothing.
void RollbackTransaction();
/// Commits when InTransaction is set, then clears it; otherwise does nothing.
void CommitTransaction();

} // namespace DB
