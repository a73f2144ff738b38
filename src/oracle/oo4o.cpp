#include "oracle/oo4o.h"

#include "engine/errors.h"

[[noreturn]] static void RaiseNoObject(const QString &what)
{
    Engine::Raise(Engine::ErrObjectNotSet,
                  QStringLiteral("接続されていません（%1のオブジェクトがありません）。").arg(what),
                  Engine::LayerSource());
}

void oo4o::oraDBOpen()
{
    Common::LastError::clear();
    std::shared_ptr<Ora::Session> session;
    std::shared_ptr<Ora::Database> database;
    Engine::ResumeOnError([&] { session = Ora::CreateObject(QLatin1String(Ora::SessionProgId)); });
    // Nothing is added to the credentials: empty ones give "/".
    const QString connectString = mUserId + QLatin1Char('/') + mPassword;
    Engine::ResumeOnError([&] {
        if (!session)
            RaiseNoObject(QStringLiteral("セッション"));
        database = session->OpenDatabase(mServerName, connectString, 0);
    });
    if (!database) {
        if (!mDatabase)
            mSession = session; // closed or half-open before: half-open now
        return;
    }
    // The new connection replaces the old one, whatever the old one says: the
    // caller settled its work before connecting elsewhere.
    try {
        oraDBClose();
    } catch (const Common::RuntimeError &) {
        mDatabase.reset();
        mSession.reset(); // its connection rolls back as it closes
    }
    mSession = std::move(session);
    mDatabase = std::move(database);
}

void oo4o::oraDBClose()
{
    mDatabase.reset();
    if (mSession) {
        if (!mSession->isLost())
            oraRollback();
        mSession.reset();
    }
}

// Runs a call on the open database, resuming on error: a failure, a missing
// database included, is left in the error state, and the result stays empty.
template<typename Result, typename Call>
static Result OnDatabase(const std::shared_ptr<Ora::Database> &database, Call call)
{
    Result result{};
    Common::LastError::clear();
    Engine::ResumeOnError([&] {
        if (!database)
            RaiseNoObject(QStringLiteral("データベース"));
        result = call(*database);
    });
    return result;
}

std::shared_ptr<Ora::Dynaset> oo4o::oraGetExecute(const QString &sql, qint32 options)
{
    return OnDatabase<std::shared_ptr<Ora::Dynaset>>(
        mDatabase, [&](Ora::Database &database) { return database.DbCreateDynaset(sql, options); });
}

qint32 oo4o::oraExecute(const QString &sql)
{
    return OnDatabase<qint32>(mDatabase,
                              [&](Ora::Database &database) { return database.ExecuteSQL(sql); });
}

std::shared_ptr<Ora::Dynaset> oo4o::oraExecuteReturningRows(const QString &sql, qint32 options)
{
    return OnDatabase<std::shared_ptr<Ora::Dynaset>>(mDatabase, [&](Ora::Database &database) {
        return database.ExecuteReturningRows(sql, options);
    });
}

std::optional<qint64> oo4o::oraCopyCsv(const QString &sql,
                                       qint32 options,
                                       const Engine::CsvFormat &format,
                                       Engine::CsvSink &sink)
{
    return OnDatabase<std::optional<qint64>>(mDatabase, [&](Ora::Database &database) {
        return database.CopyCsv(sql, options, format, sink);
    });
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
