#include "oracle/oo4o.h"

#include "oracle/oraerrors.h"

[[noreturn]] static void RaiseNoObject(const QString &what)
{
    Ora::Raise(Ora::ErrObjectNotSet,
               QStringLiteral("Not connected: there is no %1 object.").arg(what),
               Ora::LayerSource());
}

void oo4o::oraDBOpen()
{
    oraDBClose();

    Common::LastError::clear();
    Ora::ResumeOnError([&] { mSession = Ora::CreateObject(QLatin1String(Ora::SessionProgId)); });
    // Nothing is added to the credentials: empty ones give "/".
    const QString connectString = mUserId + QLatin1Char('/') + mPassword;
    Ora::ResumeOnError([&] {
        if (!mSession)
            RaiseNoObject(QStringLiteral("session"));
        mDatabase = mSession->OpenDatabase(mServerName, connectString, 0);
    });
}

void oo4o::oraDBClose()
{
    mDatabase.reset();
    if (mSession) {
        oraRollback();
        mSession.reset();
    }
}

std::shared_ptr<Ora::Dynaset> oo4o::oraGetExecute(const QString &sql, qint32 options)
{
    std::shared_ptr<Ora::Dynaset> result;
    Common::LastError::clear();
    Ora::ResumeOnError([&] {
        if (!mDatabase)
            RaiseNoObject(QStringLiteral("database"));
        result = mDatabase->DbCreateDynaset(sql, options);
    });
    return result;
}

qint32 oo4o::oraExecute(const QString &sql)
{
    qint32 rows = 0;
    Common::LastError::clear();
    Ora::ResumeOnError([&] {
        if (!mDatabase)
            RaiseNoObject(QStringLiteral("database"));
        rows = mDatabase->ExecuteSQL(sql);
    });
    return rows;
}

qint32 oo4o::oraBeginTrans()
{
    if (!mSession)
        return 1;
    mSession->BeginTrans();
    return 0;
}

qint32 oo4o::oraRollback()
{
    if (!mSession)
        return 1;
    mSession->ResetTrans();
    return 0;
}

qint32 oo4o::oraCommit()
{
    if (!mSession)
        return 1;
    mSession->CommitTrans();
    return 0;
}

oo4o::State oo4o::state() const
{
    if (!mSession)
        return State::Closed;
    return mDatabase ? State::Open : State::HalfOpen;
}
