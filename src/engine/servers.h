#pragma once

#include <QString>

#include <optional>

/// Server names: the net service names a user types are looked up in SERVERS.ini
/// in the configuration folder (Common::ConfigDirectory), one section per name:
///
///     [DEMO]
///     DRIVER=QSQLITE        Qt SQL driver: QSQLITE, QPSQL, QODBC, QOCI, QMYSQL, ...
///     DATABASE=demo.db      database name, SQLite file (relative to the data folder) or ODBC DSN
///     HOST=                 server host, where the driver uses one
///     PORT=                 server port; empty for the driver's default
///     OPTIONS=              the driver's connect options (QSqlDatabase::setConnectOptions)
///     CONNECT_TIMEOUT=15    seconds a connect may take before it fails (PostgreSQL and ODBC);
///                           0 waits as long as the network does
///     USERCASE=             LOWER: the user ID goes in lower case (A-Z only), as PostgreSQL
///                           folds an unquoted name; the default for QPSQL, and the setting
///                           for an ODBC data source that reaches PostgreSQL.
///                           KEEP: the user ID goes as given; the default for other drivers.
///
/// A user ID in double quotes ("MixedCase") goes as written, without the quotes, whatever
/// USERCASE says, as PostgreSQL takes a quoted name; "" inside stands for one ".
namespace Engine {

/// Seconds a connect may take when SERVERS.ini says nothing: an unreachable host
/// then fails in good time rather than after the system's TCP timeout.
inline constexpr int DefaultConnectTimeout = 15;

/// One server entry of SERVERS.ini.
struct ServerEntry
{
    QString name;
    QString driver;
    QString database;
    QString host;
    int port = -1;
    QString options;
    QString userCase; ///< LOWER, KEEP, or empty for the driver's default (in capitals)
    int connectTimeout = DefaultConnectTimeout; ///< seconds; 0 for none
};

/// The user ID to log in with on that server, after USERCASE and double quotes (above);
/// nothing when USERCASE holds a value other than LOWER or KEEP.
std::optional<QString> LoginUserId(const ServerEntry &server, const QString &userId);

/// The file name of the server list in the configuration folder.
QString ServersFilePath();

/// The entry for a server name (letter case ignored); empty when the file or the
/// section is missing. The file is read at every call, so edits apply at once.
std::optional<ServerEntry> FindServer(const QString &serverName);

/// Parses the text of a server list.
std::optional<ServerEntry> FindServerInText(const QString &text, const QString &serverName);

/// First start: when SERVERS.ini is missing, creates the sample SQLite database
/// demo.db in the data folder (unless that file exists) and SERVERS.ini with its
/// DEMO entry in the configuration folder. An existing file is never overwritten. Returns true when
/// SERVERS.ini exists afterwards; a folder that cannot be written gives false.
bool CreateServersFileIfMissing();

} // namespace Engine
