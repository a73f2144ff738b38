#include "engine/servers.h"

#include "common/appdir.h"
#include "common/textcodec.h"
#include "engine/sqlconnectionname.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace Engine {

static const char ServersFileName[] = "SERVERS.ini";
static const char DemoFileName[] = "demo.db";

QString ServersFilePath()
{
    return Common::ConfigFilePath(QLatin1String(ServersFileName));
}

// A timeout in whole seconds; anything else (empty, negative, not a number) is
// the default, so that a slip in the file never means waiting forever.
static int ConnectTimeoutValue(const QString &value)
{
    bool ok = false;
    const int seconds = value.toInt(&ok);
    return ok && seconds >= 0 ? seconds : DefaultConnectTimeout;
}

std::optional<ServerEntry> FindServerInText(const QString &text, const QString &serverName)
{
    const QString wanted = serverName.trimmed();
    std::optional<ServerEntry> entry;
    bool inWanted = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))
            || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            // The first section of that name counts; a later duplicate is ignored.
            if (entry)
                break;
            const QString section = line.mid(1, line.size() - 2).trimmed();
            inWanted = section.compare(wanted, Qt::CaseInsensitive) == 0;
            if (inWanted)
                entry = ServerEntry{section, {}, {}, {}, -1, {}, {}, DefaultConnectTimeout};
            continue;
        }
        if (!inWanted)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed().toUpper();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("DRIVER"))
            entry->driver = value.toUpper();
        else if (key == QLatin1String("DATABASE"))
            entry->database = value;
        else if (key == QLatin1String("HOST"))
            entry->host = value;
        else if (key == QLatin1String("PORT"))
            entry->port = value.isEmpty() ? -1 : value.toInt();
        else if (key == QLatin1String("OPTIONS"))
            entry->options = value;
        else if (key == QLatin1String("USERCASE"))
            entry->userCase = value.toUpper();
        else if (key == QLatin1String("CONNECT_TIMEOUT"))
            entry->connectTimeout = ConnectTimeoutValue(value);
    }
    return entry;
}

std::optional<QString> LoginUserId(const ServerEntry &server, const QString &userId)
{
    const QChar quote = QLatin1Char('"');
    if (userId.size() >= 2 && userId.startsWith(quote) && userId.endsWith(quote))
        return userId.mid(1, userId.size() - 2).replace(QStringLiteral("\"\""), QString(quote));
    const QString userCase = !server.userCase.isEmpty()                ? server.userCase
                             : server.driver == QLatin1String("QPSQL") ? QStringLiteral("LOWER")
                                                                       : QStringLiteral("KEEP");
    if (userCase == QLatin1String("KEEP"))
        return userId;
    if (userCase != QLatin1String("LOWER"))
        return std::nullopt;
    // PostgreSQL folds only A-Z in an unquoted name (in a UTF-8 database): other
    // letters stay as they are, so folding them here would miss such a role.
    QString folded = userId;
    for (QChar &c : folded) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

std::optional<ServerEntry> FindServer(const QString &serverName)
{
    QString text;
    if (!Common::ReadTextFile(ServersFilePath(), &text))
        return std::nullopt;
    return FindServerInText(text, serverName);
}

// The sample schema: departments and employees with a few rows, NULLs included,
// and the one-row table DUAL that users of Oracle reach for out of habit.
static const char *const DemoStatements[] = {
    "CREATE TABLE DEPARTMENTS (DEPT_ID INTEGER PRIMARY KEY, DEPT_NAME TEXT NOT NULL, "
    "LOCATION TEXT)",
    "CREATE TABLE EMPLOYEES (EMP_ID INTEGER PRIMARY KEY, EMP_NAME TEXT NOT NULL, JOB TEXT, "
    "MANAGER_ID INTEGER REFERENCES EMPLOYEES (EMP_ID), HIRE_DATE DATE, SALARY NUMERIC(10,2), "
    "COMMISSION NUMERIC(10,2), DEPT_ID INTEGER REFERENCES DEPARTMENTS (DEPT_ID))",
    "CREATE TABLE DUAL (DUMMY TEXT)",
    "INSERT INTO DUAL VALUES ('X')",
    "INSERT INTO DEPARTMENTS VALUES (10, '総務部', '東京')",
    "INSERT INTO DEPARTMENTS VALUES (20, '営業部', '大阪')",
    "INSERT INTO DEPARTMENTS VALUES (30, '開発部', '福岡')",
    "INSERT INTO DEPARTMENTS VALUES (40, '品質管理部', NULL)",
    "INSERT INTO EMPLOYEES VALUES (1001, '山田 太郎', '部長', NULL, '2005-04-01', 650000, NULL, "
    "10)",
    "INSERT INTO EMPLOYEES VALUES (1002, '佐藤 花子', '課長', 1001, '2010-04-01', 480000, NULL, "
    "20)",
    "INSERT INTO EMPLOYEES VALUES (1003, '鈴木 一郎', '営業', 1002, '2015-10-01', 320000, "
    "45000.5, 20)",
    "INSERT INTO EMPLOYEES VALUES (1004, '高橋 美咲', '技術者', 1001, '2018-04-01', 350000, "
    "NULL, 30)",
    "INSERT INTO EMPLOYEES VALUES (1005, '田中 健', '技術者', 1004, '2021-07-15', 290000, NULL, "
    "30)",
    "INSERT INTO EMPLOYEES VALUES (1006, '伊藤 さくら', NULL, NULL, '2024-04-01', 250000.75, "
    "NULL, NULL)",
};

static bool FillDemoDatabase(const QString &path)
{
    SqlConnectionName name;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name.name());
    db.setDatabaseName(path);
    if (!db.open() || !db.transaction())
        return false;
    QSqlQuery query(db);
    for (const char *statement : DemoStatements) {
        if (!query.exec(QString::fromUtf8(statement))) {
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

// Builds demo.db under a temporary name and moves it into place, so that a
// failure never leaves a half-made database behind.
static bool CreateDemoDatabase(const QString &path)
{
    if (QFile::exists(path))
        return true;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return false;
    const QString partPath = path + QStringLiteral(".part");
    QFile::remove(partPath);
    const bool made = FillDemoDatabase(partPath) && QFile::rename(partPath, path);
    QFile::remove(partPath);
    return made;
}

static QString DefaultServersText()
{
    const QStringList lines = {
        QStringLiteral("; Server names for Korvane: one section per name (letter case does not "
                       "matter)."),
        QStringLiteral("; DRIVER   Qt SQL driver: QSQLITE, QPSQL, QODBC, QOCI, QMYSQL"),
        QStringLiteral("; DATABASE database name, SQLite file (relative to this folder) or ODBC "
                       "DSN"),
        QStringLiteral("; HOST, PORT  where the server listens (empty: the driver's default)"),
        QStringLiteral("; OPTIONS  the driver's connect options"),
        QStringLiteral("; CONNECT_TIMEOUT  seconds a connect may take (default 15, 0: no limit)"),
        QStringLiteral("; USERCASE LOWER: the user ID in lower case (QPSQL's default), KEEP: as "
                       "typed; a \"USER\" in double quotes always goes as written"),
        QString(),
        QStringLiteral("[DEMO]"),
        QStringLiteral("DRIVER=QSQLITE"),
        QStringLiteral("DATABASE=") + QLatin1String(DemoFileName),
        QStringLiteral("HOST="),
        QStringLiteral("PORT="),
        QStringLiteral("OPTIONS="),
    };
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

bool CreateServersFileIfMissing()
{
    const QString serversPath = ServersFilePath();
    if (QFile::exists(serversPath))
        return true;
    // Without its database the DEMO entry would be useless: then the next start tries again.
    if (!CreateDemoDatabase(Common::DataFilePath(QLatin1String(DemoFileName))))
        return false;
    if (QFile::exists(serversPath))
        return true;
    return Common::WriteTextFile(serversPath, DefaultServersText());
}

} // namespace Engine
