#include "engine/nativedriver.h"

#include "engine/sqlconnectionname.h"

#include <QSqlDriver>
#include <QSqlResult>

#include <dlfcn.h>

namespace Engine {

namespace {

// A function of the ODBC driver manager that the QODBC plugin loaded, or null;
// unixODBC and iODBC go by several names. A few calls need no ODBC headers.
template<typename Function>
Function OdbcFunction(const char *name)
{
    for (const char *soname : {"libodbc.so.2", "libodbc.so.1", "libodbc.so", "libiodbc.so.2"}) {
        // The manager stays loaded as long as the plugin does: no reference is kept.
        if (void *library = dlopen(soname, RTLD_NOW | RTLD_NOLOAD)) {
            void *function = dlsym(library, name);
            dlclose(library);
            if (function)
                return reinterpret_cast<Function>(function);
        }
    }
    return nullptr;
}

// The ODBC handle (connection or statement) that QODBC gives as a handle, or null.
void *OdbcHandle(const QVariant &handle)
{
    if (!handle.isValid() || qstrcmp(handle.typeName(), "void*") != 0)
        return nullptr;
    return *static_cast<void *const *>(handle.constData());
}

// A value of an ODBC connection string in braces, where ';', '{', '}' and '=' are
// part of the value; a '}' inside is doubled.
QString OdbcBraced(const QString &value)
{
    return QLatin1Char('{') + QString(value).replace(QLatin1Char('}'), QLatin1String("}}"))
           + QLatin1Char('}');
}

// QODBC ends the connection string with ";UID=" and ";PWD=" followed by the user name
// and password exactly as set, so they are quoted here. They stay out of the database
// name on purpose: QODBC chooses between DSN=, FILEDSN= and a whole connection string
// by searching that name for DRIVER=, SERVER= and ".dsn", and a password must not sway it.
// psqlODBC reads a user ID literally, braces included, so one goes in braces only when
// it could not be read back otherwise; it reads an unbraced password percent-encoded
// ('+' for a space, %41 for 'A'), so a password always goes in braces.
QString OdbcUserId(const QString &userId)
{
    return userId.contains(QLatin1Char(';')) || userId.startsWith(QLatin1Char('{'))
               ? OdbcBraced(userId)
               : userId;
}

QString OdbcPassword(const QString &password)
{
    return password.isEmpty() ? password : OdbcBraced(password);
}

// The database name handed to QODBC for a server entry.
QString OdbcDatabaseName(const ServerEntry &server)
{
    QString name = server.database;
    // QODBC takes a name without DRIVER=, SERVER= or ".dsn" in it for a data
    // source name and puts DSN= before it: one written as DSN=... would get two.
    if (name.startsWith(QLatin1String("DSN="), Qt::CaseInsensitive)
        && !name.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive)
        && !name.contains(QLatin1String("SERVER="), Qt::CaseInsensitive)
        && !name.contains(QLatin1String(".dsn"), Qt::CaseInsensitive))
        name.remove(0, 4);
    // psqlODBC reads the whole result into memory unless told to fetch it in
    // blocks through a cursor; other drivers ignore keywords they do not know.
    if (!name.contains(QLatin1String("UseDeclareFetch"), Qt::CaseInsensitive))
        name += QStringLiteral(";UseDeclareFetch=1;Fetch=1000");
    return name;
}

// QODBC, through the driver manager it loaded. ODBC cannot tell whether a
// transaction is open: the statements' first words decide. To PostgreSQL
// (psqlODBC) a statement inside a transaction runs under a savepoint as on QPSQL.
class OdbcDriver final : public NativeDriver
{
public:
    void setLogin(QSqlDatabase &db,
                  const ServerEntry &server,
                  const QString &userId,
                  const QString &password) override
    {
        db.setDatabaseName(OdbcDatabaseName(server));
        db.setUserName(OdbcUserId(userId));
        db.setPassword(OdbcPassword(password));
        db.setConnectOptions(ConnectOptions(server, QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT")));
        mLogin = {db.databaseName(), db.userName(), db.password(), db.connectOptions()};
    }

    void attach(const QSqlDatabase &db) override;
    bool connectionLost() const override;

    void *statementHandle(const QSqlQuery &query) const override
    {
        return OdbcHandle(query.result()->handle());
    }

    void cancel(void *statement) override
    {
        if (!statement)
            return;
        if (const auto cancel = OdbcFunction<short (*)(void *)>("SQLCancel"))
            cancel(statement);
    }

    void cancelFetch() override;

    bool preparesFirst(const QString &sql) const override
    {
        // On ODBC a prepared statement has its handle before it runs, which is what
        // a cancel needs. A '?' would be taken for a parameter marker; such a text
        // is sent as it is.
        return !sql.contains(QLatin1Char('?'));
    }

    // Through ODBC as well: psqlODBC undoes a failed statement by itself, but
    // not a fetch that failed or was cancelled, which aborts the transaction.
    bool usesSavepoints() const override { return mBackendPid > 0; }
    // psqlODBC rolls back the whole transaction when a fetch fails.
    bool failedFetchEndsTransaction() const override { return mBackendPid > 0; }
    // A transaction that autocommit off began stays open in the driver until it
    // ends there; ending it puts ODBC back in autocommit mode.
    bool endsTypedTransactionInDriver() const override { return true; }

private:
    void *mConnection = nullptr; // QODBC's connection handle
    // To PostgreSQL: the backend and the login a cancel during a fetch uses.
    qint64 mBackendPid = 0;
    struct
    {
        QString databaseName, userName, password, options;
    } mLogin;
};

void OdbcDriver::attach(const QSqlDatabase &db)
{
    mConnection = OdbcHandle(db.driver()->handle());
    // psqlODBC passes a cancel on to the server only while a statement executes,
    // not while its rows are fetched: then the server is asked by the backend's
    // process id, over a connection of the cancel's own.
    if (db.driver()->dbmsType() == QSqlDriver::PostgreSQL) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT pg_backend_pid()")) && query.next())
            mBackendPid = query.value(0).toLongLong();
    }
}

// Asks the ODBC driver manager whether the connection is dead (SQL_ATTR_CONNECTION_DEAD).
// The QODBC plugin has loaded the driver manager already; one call needs no headers.
bool OdbcDriver::connectionLost() const
{
    if (!mConnection)
        return false;
    const auto getConnectAttr
        = OdbcFunction<short (*)(void *, int, void *, int, int *)>("SQLGetConnectAttr");
    if (!getConnectAttr)
        return false;
    const int AttrConnectionDead = 1209;
    const short Success = 0, SuccessWithInfo = 1;
    quint32 dead = 0;
    const short result
        = getConnectAttr(mConnection, AttrConnectionDead, &dead, sizeof dead, nullptr);
    return (result == Success || result == SuccessWithInfo) && dead == 1;
}

// Asks PostgreSQL behind ODBC to cancel what this connection's backend runs,
// from a short connection of its own with the same login.
void OdbcDriver::cancelFetch()
{
    if (mBackendPid <= 0)
        return;
    const SqlConnectionName name;
    {
        QSqlDatabase side = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name.name());
        side.setDatabaseName(mLogin.databaseName);
        side.setUserName(mLogin.userName);
        side.setPassword(mLogin.password);
        side.setConnectOptions(mLogin.options);
        if (side.open())
            QSqlQuery(side).exec(QStringLiteral("SELECT pg_cancel_backend(%1)").arg(mBackendPid));
        side.close();
    }
}

} // namespace

std::unique_ptr<NativeDriver> MakeOdbcDriver()
{
    return std::make_unique<OdbcDriver>();
}

} // namespace Engine
