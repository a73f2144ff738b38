#pragma once

#include "oracle/component.h"

#include <QString>

#include <memory>

/// The session wrapper: the credentials of one connection with its session and
/// database objects, and open, close, query, execute and the transaction commands.
///
/// Two error disciplines, each method keeping its own:
/// - resume on error (oraDBOpen after its close, oraGetExecute, oraExecute): the
///   thread's error state (Common::LastError) is cleared, a failure is recorded
///   there and the method returns normally; the caller tests it right after.
/// - propagate (oraDBClose, oraBeginTrans, oraRollback, oraCommit): a failure of
///   the component is raised as Common::RuntimeError.
///
/// States: closed (no session, no database), open (both), half-open (the session was
/// created but "OpenDatabase" failed while no connection was open). The credentials
/// survive closing and reopening.
class oo4o
{
public:
    enum class State { Closed, Open, HalfOpen };

    QString GetUserId() const { return mUserId; }
    void SetUserId(const QString &text) { mUserId = text; }
    QString GetPassWord() const { return mPassword; }
    void SetPassWord(const QString &text) { mPassword = text; }
    QString GetServerName() const { return mServerName; }
    void SetServerName(const QString &text) { mServerName = text; }

    /// Connects with the stored credentials, and only once that succeeded closes
    /// the connection open before (rolling back what it held): a failed connect
    /// leaves the working connection as it was. Success is read from the error state.
    void oraDBOpen();
    /// Releases the database, rolls back what the session holds and releases it.
    /// A lost connection closes without a word: the server discarded its work.
    void oraDBClose();
    /// A dynaset on the query's first row, or empty (error state set).
    std::shared_ptr<Ora::Dynaset> oraGetExecute(const QString &sql, qint32 options);
    /// The rows processed by the statement; 0 when it failed (error state set).
    qint32 oraExecute(const QString &sql);
    /// Runs any statement: a dynaset when it returned rows, else empty (and the
    /// error state set when it failed).
    std::shared_ptr<Ora::Dynaset> oraExecuteReturningRows(const QString &sql, qint32 options);
    /// The query's rows written as CSV by the server into the sink (see
    /// Ora::Database::CopyCsv); resumes on error, leaving it in the error state.
    std::optional<qint64> oraCopyCsv(const QString &sql,
                                     qint32 options,
                                     const Engine::CsvFormat &format,
                                     Engine::CsvSink &sink);
    /// 0 when the command was issued, 1 when there is no session.
    qint32 oraBeginTrans();
    qint32 oraRollback();
    qint32 oraCommit();

    State state() const;
    /// The server has a transaction open (as last asked).
    bool inTransaction() const { return mSession && mSession->inTransaction(); }
    /// A statement other than a query ran in the open transaction.
    bool hasPendingWork() const { return mSession && mSession->hasPendingWork(); }
    /// The connection was found broken; it stays so until the next connect.
    bool isLost() const { return mSession && mSession->isLost(); }

private:
    std::shared_ptr<Ora::Session> mSession;
    std::shared_ptr<Ora::Database> mDatabase;
    QString mUserId;
    QString mPassword;
    QString mServerName;
};
