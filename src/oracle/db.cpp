#include "oracle/db.h"

#include "oracle/oraerrors.h"

#include <QCoreApplication>

namespace DB {

static std::unique_ptr<oo4o> currentSession;
static QString currentUserId;
static QString currentPassword;
static QString currentServerName;
static qint16 currentIsInitial = 0;
static bool inTransaction = false;

// Connections must be closed while Qt SQL still exists, not during static
// destruction; a program that quits without disconnecting rolls back here.
static void ReleaseCurrentSession()
{
    currentSession.reset();
}

oo4o &CurrentSession()
{
    if (!currentSession) {
        currentSession = std::make_unique<oo4o>();
        qAddPostRoutine(ReleaseCurrentSession);
    }
    return *currentSession;
}

QString CurrentUserId()
{
    return currentUserId;
}

void SetCurrentUserId(const QString &value)
{
    currentUserId = value;
}

QString CurrentPassword()
{
    return currentPassword;
}

void SetCurrentPassword(const QString &value)
{
    currentPassword = value;
}

QString CurrentServerName()
{
    return currentServerName;
}

void SetCurrentServerName(const QString &value)
{
    currentServerName = value;
}

qint16 CurrentIsInitial()
{
    return currentIsInitial;
}

void SetCurrentIsInitial(qint16 value)
{
    currentIsInitial = value;
}

bool InTransaction()
{
    return inTransaction;
}

void SetInTransaction(bool value)
{
    inTransaction = value;
}

void ConnectDatabase(const QString &userId, const QString &password, const QString &serverName)
{
    DisconnectDatabase();

    Common::LastError::clear();
    Ora::ResumeOnError([&] {
        oo4o &session = CurrentSession();
        session.SetUserId(userId);
        session.SetPassWord(password);
        session.SetServerName(serverName);
        session.oraDBOpen();
    });
}

void DisconnectDatabase()
{
    CurrentSession().oraDBClose();
    inTransaction = false;
}

std::shared_ptr<Ora::Dynaset> OpenDynaset(const QString &sql, qint32 options)
{
    Common::LastError::clear();
    std::shared_ptr<Ora::Dynaset> dynaset;
    Ora::ResumeOnError([&] { dynaset = CurrentSession().oraGetExecute(sql, options); });
    return dynaset;
}

void ExecuteStatement(const QString &sql)
{
    Common::LastError::clear();
    Ora::ResumeOnError([&] { CurrentSession().oraExecute(sql); });
}

void BeginTransaction()
{
    if (CurrentSession().oraBeginTrans() == 0)
        inTransaction = true;
}

void RollbackTransaction()
{
    if (!inTransaction)
        return;
    CurrentSession().oraRollback();
    inTransaction = false;
}

void CommitTransaction()
{
    if (!inTransaction)
        return;
    CurrentSession().oraCommit();
    inTransaction = false;
}

} // namespace DB
