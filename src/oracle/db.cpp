#include "oracle/db.h"

#include "engine/errors.h"
#include "engine/servers.h"
#include "engine/sqlthread.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace DB {

static std::unique_ptr<oo4o> currentSession;
static QString currentUserId;
static QString currentPassword;
static QString currentServerName;
static qint16 currentIsInitial = 0;
static std::function<void()> stateListener;
static std::function<void(const ConnectionEvent &)> eventListener;

static void Tell(const ConnectionEvent &event)
{
    if (eventListener)
        eventListener(event);
}

// Connections must be closed while Qt SQL still exists, not during static
// destruction; a program that quits without disconnecting rolls back here.
// A connect given up still ends in the background: it is waited for as long
// as a connect may take.
static void ReleaseCurrentSession()
{
    currentSession.reset();
    Engine::SqlThread::waitForReleased(std::chrono::seconds(Engine::DefaultConnectTimeout + 5));
}

// Tells the listener once the routine it guards has ended, whichever way.
static auto NotifyAtEnd()
{
    return qScopeGuard([] { NotifyStateChanged(); });
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
    return currentSession && currentSession->inTransaction();
}

bool UncommittedChanges()
{
    return currentSession && currentSession->hasPendingWork();
}

bool ConnectionLost()
{
    return currentSession && currentSession->isLost();
}

void SetStateListener(std::function<void()> listener)
{
    stateListener = std::move(listener);
}

void SetEventListener(std::function<void(const ConnectionEvent &)> listener)
{
    eventListener = std::move(listener);
}

void NotifyStateChanged()
{
    if (stateListener)
        stateListener();
    Tell({});
}

void ConnectDatabase(const QString &userId, const QString &password, const QString &serverName)
{
    const auto notify = NotifyAtEnd();
    Common::LastError::clear();
    Engine::ResumeOnError([&] {
        oo4o &session = CurrentSession();
        session.SetUserId(userId);
        session.SetPassWord(password);
        session.SetServerName(serverName);
        session.oraDBOpen();
    });
    if (!Common::LastError::isSet())
        Tell({ConnectionEvent::Connected, userId, password, serverName, {}});
}

void DisconnectDatabase()
{
    const auto notify = NotifyAtEnd();
    CurrentSession().oraDBClose();
    Tell({ConnectionEvent::Disconnected, {}, {}, {}, {}});
}

std::shared_ptr<Ora::Dynaset> OpenDynaset(const QString &sql, qint32 options)
{
    const auto notify = NotifyAtEnd();
    Common::LastError::clear();
    std::shared_ptr<Ora::Dynaset> dynaset;
    Engine::ResumeOnError([&] { dynaset = CurrentSession().oraGetExecute(sql, options); });
    return dynaset;
}

std::shared_ptr<Ora::Dynaset> ExecuteStatement(const QString &sql, qint32 options)
{
    const auto notify = NotifyAtEnd();
    Common::LastError::clear();
    auto dynaset = CurrentSession().oraExecuteReturningRows(sql, options);
    if (!Common::LastError::isSet())
        Tell({ConnectionEvent::StatementRan, {}, {}, {}, sql});
    return dynaset;
}

std::optional<qint64>
CopyCsv(const QString &sql, qint32 options, const Engine::CsvFormat &format, Engine::CsvSink &sink)
{
    const auto notify = NotifyAtEnd();
    return CurrentSession().oraCopyCsv(sql, options, format, sink);
}

void BeginTransaction()
{
    const auto notify = NotifyAtEnd();
    CurrentSession().oraBeginTrans();
}

void RollbackTransaction()
{
    const auto notify = NotifyAtEnd();
    if (!InTransaction() && !ConnectionLost())
        return;
    CurrentSession().oraRollback();
}

void CommitTransaction()
{
    const auto notify = NotifyAtEnd();
    if (!InTransaction() && !ConnectionLost())
        return;
    CurrentSession().oraCommit();
}

} // namespace DB
