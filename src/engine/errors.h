#pragma once

#include "common/errors.h"

#include <QSqlError>
#include <QString>

/// Error numbers and error reporting of the database component layer.
///
/// Every failure of the layer is a Common::RuntimeError whose number is nonzero,
/// whose description is the database's own message (QPSQL appends the SQLSTATE in
/// parentheses) and whose source is the Qt SQL driver name (QSQLITE, QPSQL, QODBC,
/// QOCI, ...), or "Korvane" for failures found before any driver is involved.
///
/// How a database error becomes a number, the one place where this is decided:
/// - QPSQL: the SQLSTATE (five characters 0-9/A-Z) read as a base-36 number, so
///   each state keeps a number of its own: 42601 -> 6819553, 23505 -> 3505685.
/// - every other driver: the driver's native error code when it is a nonzero
///   integer (SQLite result codes, Oracle ORA numbers, ODBC native codes, which
///   psqlODBC sets to 1 for every statement error).
/// - no usable code (a lost connection, a refused login on QPSQL): ErrDatabase.
namespace Engine {

enum ErrorNumber {
    ErrObjectNotSet = 91,            ///< a call on an empty session or database object
    ErrCannotCreateObject = 429,     ///< unknown identifier, or the driver plugin is missing
    ErrDatabase = 440,               ///< a database error that brought no code of its own
    ErrFetchOutOfSequence = 1002,    ///< the dynaset's query was ended by a later statement
    ErrNoCurrentRow = 3021,          ///< a field value read at the end of the rows
    ErrTransactionRolledBack = 2091, ///< a failed statement made SQLite undo the transaction
    ErrConnectionLost = 3114,        ///< the connection to the server was lost
    ErrCancelled = 1013,             ///< cancelled between two steps of one statement
    ErrConnectAbandoned = 1092,      ///< a connect given up before it ended
    ErrServerNotResolved = 12154,    ///< a server name that SERVERS.ini does not know
};

/// The source of errors raised by the layer itself.
QString LayerSource();

/// What a statement stopped before it started says (ErrCancelled).
QString CancelledDescription();

/// The number for a database error of the given driver (rules above).
int ErrorNumberFor(const QString &driverName, const QSqlError &error);

/// The whole error record for a database error of the given driver.
Common::ErrorInfo ErrorFrom(const QString &driverName, const QSqlError &error);

[[noreturn]] void Raise(int number, const QString &description, const QString &source);
[[noreturn]] void Raise(const QString &driverName, const QSqlError &error);

/// Runs one step of a resume-on-error routine: a failure is recorded in the
/// thread's error state instead of propagating, and the routine goes on.
template<typename Step>
void ResumeOnError(Step &&step)
{
    try {
        step();
    } catch (const Common::RuntimeError &error) {
        Common::LastError::set(error.info());
    }
}

} // namespace Engine
