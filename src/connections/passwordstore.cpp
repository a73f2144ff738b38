#include "connections/passwordstore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <utility>

namespace Connections {
namespace {

PasswordStore *installedStore = nullptr;

PasswordStore::Status statusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return PasswordStore::Status::Ok;
    case QKeychain::EntryNotFound:
        return PasswordStore::Status::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return PasswordStore::Status::Refused;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return PasswordStore::Status::Unavailable;
    default:
        return PasswordStore::Status::Failed;
    }
}

// Starts the job and waits for it in a local event loop that leaves out the
// user's input but keeps painting. A job that outlives the wait finishes, and
// deletes itself, later; its answer then goes nowhere.
PasswordStore::Result runJob(QKeychain::Job *job, int timeoutMs)
{
    PasswordStore::Result result;
    result.status = PasswordStore::Status::Failed;
    result.detail
        = QStringLiteral("キーリングが%1秒以内に応答しませんでした。").arg(timeoutMs / 1000);
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        result.status = statusOf(done->error());
        result.detail
            = result.status == PasswordStore::Status::Ok ? QString() : done->errorString();
        if (auto *reader = qobject_cast<QKeychain::ReadPasswordJob *>(done))
            result.password = reader->textData();
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->setAutoDelete(true);
    job->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return result;
}

// Whether the Secret Service's default keyring is locked. Through libsecret, a
// read whose unlock prompt was refused or could not be shown finds no entry.
bool defaultKeyringLocked()
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.secrets"),
        QStringLiteral("/org/freedesktop/secrets/aliases/default"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Locked");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
           && qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant().toBool();
}

} // namespace

PasswordStore &PasswordStore::instance()
{
    if (installedStore)
        return *installedStore;
    static KeychainStore keyring;
    return keyring;
}

void PasswordStore::install(PasswordStore *store)
{
    installedStore = store;
}

QString PasswordKey(const QString &userId, const QString &serverName)
{
    return userId + QLatin1Char('@') + serverName;
}

PasswordStore::Result ReadSavedPassword(const QString &userId, const QString &serverName)
{
    PasswordStore &store = PasswordStore::instance();
    if (!store.isAvailable())
        return {PasswordStore::Status::Unavailable, QString(), QString()};
    return store.read(PasswordKey(userId, serverName));
}

QString PasswordStoreFailureText(const PasswordStore::Result &result)
{
    switch (result.status) {
    case PasswordStore::Status::Ok:
        return QString();
    case PasswordStore::Status::NotFound:
        return QStringLiteral("キーリングにパスワードがありません。");
    case PasswordStore::Status::Refused:
        return QStringLiteral("キーリングのロックが解除されませんでした。");
    case PasswordStore::Status::Unavailable:
        return QStringLiteral("キーリングが使えません。");
    case PasswordStore::Status::Failed:
        break;
    }
    return QStringLiteral("キーリングを使えませんでした：%1").arg(result.detail);
}

KeychainStore::KeychainStore(QString service, int timeoutMs)
    : mService(std::move(service))
    , mTimeoutMs(timeoutMs)
{}

// A keyring answers when the session bus has, or can start, a Secret Service
// (or KWallet, which QtKeychain also speaks to).
bool KeychainStore::isAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QStringList names
        = {QStringLiteral("org.freedesktop.secrets"), QStringLiteral("org.kde.kwalletd5"),
           QStringLiteral("org.kde.kwalletd6")};
    const QStringList activatable = bus.interface()->activatableServiceNames().value();
    for (const QString &name : names) {
        if (bus.interface()->isServiceRegistered(name).value() || activatable.contains(name))
            return true;
    }
    return false;
}

PasswordStore::Result KeychainStore::store(const QString &key, const QString &password)
{
    auto *job = new QKeychain::WritePasswordJob(mService);
    job->setInsecureFallback(false);
    job->setKey(key);
    job->setTextData(password);
    return runJob(job, mTimeoutMs);
}

PasswordStore::Result KeychainStore::read(const QString &key)
{
    auto *job = new QKeychain::ReadPasswordJob(mService);
    job->setInsecureFallback(false);
    job->setKey(key);
    Result result = runJob(job, mTimeoutMs);
    if (result.status == Status::NotFound && defaultKeyringLocked())
        result.status = Status::Refused;
    return result;
}

PasswordStore::Result KeychainStore::remove(const QString &key)
{
    auto *job = new QKeychain::DeletePasswordJob(mService);
    job->setInsecureFallback(false);
    job->setKey(key);
    Result result = runJob(job, mTimeoutMs);
    if (result.status == Status::NotFound)
        result.status = Status::Ok;
    return result;
}

} // namespace Connections
