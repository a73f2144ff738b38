#pragma once

#include <QString>

namespace Connections {

/// Where the connection dialog keeps saved passwords instead of DB.ini: the
/// desktop keyring (the Secret Service, through QtKeychain). Every call waits
/// for its answer, for a bounded time, with the windows still painted.
/// Production uses the keyring; tests may install another implementation.
class PasswordStore
{
public:
    enum class Status {
        Ok,
        NotFound,    ///< the keyring holds no entry for the key
        Refused,     ///< locked, and the user refused to unlock it (or access was denied)
        Unavailable, ///< no keyring answers on this desktop
        Failed       ///< anything else, said by the detail
    };
    struct Result
    {
        Status status = Status::Failed;
        QString password; ///< what read() found
        QString detail;   ///< the keyring's own words when it failed (never a password)
        bool ok() const { return status == Status::Ok; }
    };

    virtual ~PasswordStore() = default;

    /// Whether a keyring answers at all; asks nothing of the user.
    virtual bool isAvailable() = 0;
    virtual Result store(const QString &key, const QString &password) = 0;
    virtual Result read(const QString &key) = 0;
    /// Removing a key the keyring does not hold is no failure.
    virtual Result remove(const QString &key) = 0;

    /// The implementation in use (the desktop keyring unless a test installed another).
    static PasswordStore &instance();
    /// Installs another implementation (not owned); nullptr restores the keyring.
    static void install(PasswordStore *store);
};

/// The keyring entry of a connection: "USER@SERVER", as typed.
QString PasswordKey(const QString &userId, const QString &serverName);

/// The keyring's password of a saved connection whose record holds none.
PasswordStore::Result ReadSavedPassword(const QString &userId, const QString &serverName);

/// A sentence, in Japanese, of why the keyring gave no password (for a status or message).
QString PasswordStoreFailureText(const PasswordStore::Result &result);

/// The desktop keyring through QtKeychain, under a service name ("korvane"; the
/// tests use names of their own).
class KeychainStore : public PasswordStore
{
public:
    explicit KeychainStore(QString service = QStringLiteral("korvane"), int timeoutMs = 60000);

    bool isAvailable() override;
    Result store(const QString &key, const QString &password) override;
    Result read(const QString &key) override;
    Result remove(const QString &key) override;

private:
    QString mService;
    int mTimeoutMs;
};

} // namespace Connections
