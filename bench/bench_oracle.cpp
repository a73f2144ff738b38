// Times the database layer on this machine, per driver: opening a connection,
// running a one-row query, and going on after a query stopped early. Needs the
// server of scripts/with-postgres for QPSQL and QODBC; SQLite always runs.

#include "common/errors.h"
#include "oracle/oo4o.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Timing
{
    double median = 0;
    double minimum = 0;
};

// Milliseconds per call, over a number of calls.
Timing Measure(int runs, const std::function<void()> &call)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        call();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return Timing{times[times.size() / 2], times.front()};
}

bool Check(const char *what)
{
    if (!Common::LastError::isSet())
        return true;
    std::fprintf(stderr, "%s: %s\n", what, qPrintable(Common::LastError::get().description));
    return false;
}

void Bench(const QString &server,
           const QString &user,
           const QString &password,
           const QString &endless)
{
    oo4o session;
    session.SetUserId(user);
    session.SetPassWord(password);
    session.SetServerName(server);
    session.oraDBOpen();
    if (!Check(qPrintable(server)))
        return;

    const Timing open = Measure(20, [&] { session.oraDBOpen(); });
    const Timing query = Measure(200, [&] {
        std::shared_ptr<Ora::Dynaset> dynaset
            = session.oraGetExecute(QStringLiteral("SELECT 1"), 0);
        if (!dynaset || dynaset->isEof() || dynaset->fields().at(0).value().toInt() != 1)
            std::fprintf(stderr, "the one-row query failed\n");
    });
    Check("query");
    const Timing stopped = Measure(5, [&] {
        std::shared_ptr<Ora::Dynaset> dynaset = session.oraGetExecute(endless, 0);
        if (dynaset)
            dynaset->moveNext();
        dynaset.reset();
        session.oraExecute(QStringLiteral("SELECT 1"));
    });
    Check("stopped query");
    std::printf("%-8s open %7.2f ms (min %6.2f)   one-row query %6.3f ms (min %6.3f)   "
                "stop a query and go on %7.2f ms\n",
                qPrintable(server), open.median, open.minimum, query.median, query.minimum,
                stopped.median);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("KORVANE_HOME", home.path().toUtf8());
    const QString host = qEnvironmentVariable("KORVANE_TEST_PG_HOST");
    const QString port = qEnvironmentVariable("KORVANE_TEST_PG_PORT");
    const QString user = qEnvironmentVariable("KORVANE_TEST_PG_USER");
    const QString password = qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD");
    const QString database = qEnvironmentVariable("KORVANE_TEST_PG_DATABASE");
    const QString dsn = qEnvironmentVariable("KORVANE_TEST_ODBC_DSN");

    QFile servers(QDir(home.path()).filePath(QStringLiteral("SERVERS.ini")));
    if (!servers.open(QIODevice::WriteOnly))
        return 1;
    servers.write(QStringLiteral("[LITE]\r\nDRIVER=QSQLITE\r\nDATABASE=bench.db\r\n"
                                 "[PG]\r\nDRIVER=QPSQL\r\nDATABASE=%1\r\nHOST=%2\r\nPORT=%3\r\n"
                                 "[ODBC]\r\nDRIVER=QODBC\r\nDATABASE=%4\r\n")
                      .arg(database, host, port, dsn)
                      .toUtf8());
    servers.close();

    Bench(QStringLiteral("LITE"), QString(), QString(),
          QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                         "SELECT x FROM c"));
    if (port.isEmpty()) {
        std::fprintf(stderr, "PostgreSQL and ODBC skipped: run through scripts/with-postgres\n");
        return 0;
    }
    const QString million = QStringLiteral("SELECT g, repeat('x', 100) FROM generate_series(1, "
                                           "1000000) g");
    Bench(QStringLiteral("PG"), user, password, million);
    Bench(QStringLiteral("ODBC"), user, password, million);
    return 0;
}
