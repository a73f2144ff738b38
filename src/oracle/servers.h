#pragma once

#include <QString>

#include <optional>

/// Server names: the net service names a user types are looked up in SERVERS.ini
/// in the application directory, one section per name:
///
///     [DEMO]
///     DRIVER=QSQLITE        Qt SQL driver: QSQLITE, QPSQL, QODBC, QOCI, QMYSQL, ...
///     DATABASE=demo.db      database name, SQLite file (relative to the folder) or ODBC DSN
///     HOST=                 server host, where the driver uses one
///     PORT=                 server port; empty for the driver's default
///     OPTIONS=              the driver's connect options (QSqlDatabase::setConnectOptions)
namespace Ora {

/// One server entry of SERVERS.ini.
struct ServerEntry
{
    QString name;
    QString driver;
    QString database;
    QString host;
    int port = -1;
    QString options;
};

/// The file name of the server list in the application directory.
QString ServersFilePath();

/// The entry for a server name (letter case ignored); empty when the file or the
/// section is missing. The file is read at every call, so edits apply at once.
std::optional<ServerEntry> FindServer(const QString &serverName);

/// Parses the text of a server list.
std::optional<ServerEntry> FindServerInText(const QString &text, const QString &serverName);

/// First start: when SERVERS.ini is missing, creates the sample SQLite database
/// demo.db (unless that file exists) and SERVERS.ini with its DEMO entry, in the
/// application directory. An existing file is never overwritten. Returns true when
/// SERVERS.ini exists afterwards; a folder that cannot be written gives false.
bool CreateServersFileIfMissing();

} // namespace Ora
