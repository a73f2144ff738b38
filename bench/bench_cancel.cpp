// How the window behaves while a long statement runs on the connection's
// thread, through the real path (F5 in the editor of an offscreen window):
//
//  - the longest pause of the event loop while a statement of about 10 s runs to
//    its end, seen as the largest gap between the ticks of a 1 ms timer, for a
//    query and for a non-query;
//  - the time from Esc to ExecuteSql returning, for a query and a non-query that
//    would run for minutes, Esc sent 2 s after the start.
//
// The longest pause of a loop that runs nothing for 10 s comes first: on a
// loaded machine the scheduler alone stalls the loop now and then.
//
//   bench_cancel [runs] [pause-runs]                      SQLite (server LITE)
//   scripts/with-postgres bench_cancel --pg [runs] [pause-runs]
//                                                         also PostgreSQL (PG) and ODBC
//
// Medians of `runs` (5) cancels and `pause-runs` (3) 10-second statements.
// --lite-rows=N sets the count of the SQLite statement that takes about 10 s;
// without it the count is calibrated on this machine first.
#include "app/frmmain.h"
#include "app/globals.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "oracle/db.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

double maximum(const QList<double> &values)
{
    return values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
}

QString pg(const char *name)
{
    return qEnvironmentVariable((QByteArray("KORVANE_TEST_PG_") + name).constData());
}

// Answers every question with Yes (a cancelled SQLite write asks before it
// undoes earlier work) and counts what would have been shown.
class AnsweringDialogs final : public Common::Dialogs
{
public:
    AnsweringDialogs() { install(this); }
    ~AnsweringDialogs() override { install(nullptr); }
    void message(QWidget *, const QString &text, const QString &, Icon) override
    {
        messages << text;
    }
    bool question(QWidget *, const QString &, const QString &) override
    {
        ++questions;
        return true;
    }
    Answer questionWithCancel(QWidget *, const QString &, const QString &) override
    {
        ++questions;
        return Answer::Yes;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return {};
    }

    QStringList messages;
    int questions = 0;
};

// A count through a recursive CTE: pure work for SQLite's virtual machine.
QString countTo(const QString &limit)
{
    return QStringLiteral("select count(*) from (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                          "SELECT x + 1 FROM c%1) SELECT x FROM c)")
        .arg(limit.isEmpty() ? QString() : QStringLiteral(" WHERE x < ") + limit);
}

// The count that takes about 10 s on this machine, from a shorter run on a
// connection of our own.
qint64 calibrateSqlite()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("cal"));
    db.setDatabaseName(QStringLiteral(":memory:"));
    db.open();
    QSqlQuery query(db);
    for (qint64 rows = 1000000;; rows *= 2) {
        QElapsedTimer timer;
        timer.start();
        query.exec(countTo(QString::number(rows)));
        query.next();
        const qint64 ms = timer.elapsed();
        if (ms >= 1000)
            return rows * 10000 / ms;
    }
}

struct Figures
{
    QList<double> pauseMs;  // the longest gap between ticks, per run
    QList<double> pauseAtS; // when the longest pause ended, from the start
    QList<double> runS;     // how long the statement ran, per run
    QList<double> cancelMs;
    QString pauseStatus;  // the status bar after the last 10-second run
    QString cancelStatus; // and after the last cancel
};

// The largest gap between the ticks of a 1 ms timer, from its making on.
class TickWatch
{
public:
    TickWatch()
    {
        mTicks.setTimerType(Qt::PreciseTimer);
        mTicks.setInterval(1);
        QObject::connect(&mTicks, &QTimer::timeout, [this] { tick(); });
        mClock.start();
        mTicks.start();
    }

    void tick()
    {
        const qint64 now = mClock.nsecsElapsed();
        if (now - mLast > mLongest) {
            mLongest = now - mLast;
            mLongestEnd = now;
        }
        mLast = now;
    }

    void record(Figures &figures) const
    {
        figures.pauseMs << mLongest / 1e6;
        figures.pauseAtS << mLongestEnd / 1e9;
        figures.runS << mLast / 1e9;
    }

private:
    QTimer mTicks;
    QElapsedTimer mClock;
    qint64 mLast = 0;       // the last tick
    qint64 mLongest = 0;    // the longest gap
    qint64 mLongestEnd = 0; // when it ended
};

struct Driver
{
    QString server;
    QString query10s;   // a query that takes about 10 s
    QString change10s;  // a non-query that takes about 10 s
    QString queryLong;  // a query that would run for minutes
    QString changeLong; // a non-query that would run for minutes
    QString setup;      // creates the scratch table
    QString teardown;   // drops it, or empty
};

class Bench
{
public:
    explicit Bench(frmMain &window)
        : mWindow(window)
        , mEditor(window.findChild<QPlainTextEdit *>(QStringLiteral("txtWindow")))
        , mStatus(window.findChild<QStatusBar *>(QStringLiteral("staMsg")))
    {}

    // Leaves nothing uncommitted behind a run, so that no cancel asks first.
    void clean()
    {
        try {
            DB::RollbackTransaction();
        } catch (const Common::RuntimeError &) {
        }
    }

    // The longest time the event loop went without running a 1 ms timer while
    // the statement ran to its end (including the end of ExecuteSql itself).
    void pause(const QString &sql, Figures &figures)
    {
        clean();
        mEditor->setPlainText(sql);
        TickWatch watch;
        QTest::keyClick(mEditor, Qt::Key_F5); // runs the statement to its end
        watch.tick(); // the end of ExecuteSql counts: the loop resumes only now
        watch.record(figures);
        figures.pauseStatus = statusLine();
        clean();
    }

    // The same figure for an event loop that runs nothing for 10 s: what the
    // machine's load alone costs.
    void idle(Figures &figures)
    {
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        TickWatch watch;
        loop.exec();
        watch.tick();
        watch.record(figures);
        std::printf("  idle run %lld: %.1f ms, ended %.3f s after the start\n",
                    figures.pauseMs.size(), figures.pauseMs.last(), figures.pauseAtS.last());
        std::fflush(stdout);
    }

    // From Esc, 2 s after the start, to ExecuteSql returning.
    void cancel(const QString &sql, Figures &figures)
    {
        clean();
        mEditor->setPlainText(sql);
        QElapsedTimer sinceEsc;
        bool running = false;
        QTimer::singleShot(2000, &mWindow, [&] {
            running = !mEditor->isEnabled();
            sinceEsc.start();
            QTest::keyClick(&mWindow, Qt::Key_Escape);
        });
        QTest::keyClick(mEditor, Qt::Key_F5); // runs the statement to its end
        const double ms = sinceEsc.isValid() ? sinceEsc.nsecsElapsed() / 1e6 : -1;
        QCoreApplication::processEvents(); // the timer, if the statement ended first
        figures.cancelMs << (running ? ms : -1);
        figures.cancelStatus = statusLine();
        clean();
    }

    bool measure(const Driver &driver, int runs, int pauseRuns, Figures &query, Figures &change)
    {
        DB::ConnectDatabase(pg("USER"), pg("PASSWORD"), driver.server);
        if (Common::LastError::isSet()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(driver.server),
                         qPrintable(Common::LastError::get().description));
            return false;
        }
        DB::ExecuteStatement(driver.setup);
        if (Common::LastError::isSet()) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(driver.server),
                         qPrintable(Common::LastError::get().description));
            return false;
        }
        const auto report = [&](const char *what, const Figures &f, const QList<double> &values,
                                const char *unit) {
            std::printf("  %s %s run %lld: %.1f %s\n", qPrintable(driver.server), what,
                        values.size(), values.last(), unit);
            if (&values == &f.pauseMs)
                std::printf("      ended %.3f s after the start; ran %.3f s; %s\n",
                            f.pauseAtS.last(), f.runS.last(), qPrintable(f.pauseStatus));
            else
                std::printf("      %s\n", qPrintable(f.cancelStatus));
            std::fflush(stdout);
        };
        for (int run = 0; run < pauseRuns; ++run) {
            pause(driver.query10s, query);
            report("query pause", query, query.pauseMs, "ms");
            pause(driver.change10s, change);
            report("non-query pause", change, change.pauseMs, "ms");
        }
        for (int run = 0; run < runs; ++run) {
            cancel(driver.queryLong, query);
            report("query cancel", query, query.cancelMs, "ms");
            cancel(driver.changeLong, change);
            report("non-query cancel", change, change.cancelMs, "ms");
        }
        if (!driver.teardown.isEmpty())
            DB::ExecuteStatement(driver.teardown);
        DB::DisconnectDatabase();
        return true;
    }

private:
    // The status bar on one line, to show how the statement ended.
    QString statusLine() const { return mStatus->currentMessage().simplified(); }

    frmMain &mWindow;
    QPlainTextEdit *mEditor;
    QStatusBar *mStatus;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool postgres = args.removeAll(QStringLiteral("--pg")) > 0;
    qint64 liteRows = 0;
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1String("--lite-rows=")))
            liteRows = arg.mid(12).toLongLong();
    }
    args.removeIf([](const QString &arg) { return arg.startsWith(QLatin1String("--")); });
    const int runs = args.value(0, QStringLiteral("5")).toInt();
    const int pauseRuns = args.value(1, QStringLiteral("3")).toInt();

    QTemporaryDir home;
    qputenv("KORVANE_HOME", home.path().toUtf8());
    QFile servers(QDir(home.path()).filePath(QStringLiteral("SERVERS.ini")));
    servers.open(QIODevice::WriteOnly);
    servers.write(QStringLiteral("[LITE]\r\nDRIVER=QSQLITE\r\nDATABASE=%1\r\n"
                                 "[PG]\r\nDRIVER=QPSQL\r\nDATABASE=%2\r\nHOST=%3\r\nPORT=%4\r\n"
                                 "[ODBC]\r\nDRIVER=QODBC\r\nDATABASE=%5\r\n")
                      .arg(QDir(home.path()).filePath(QStringLiteral("lite.db")), pg("DATABASE"),
                           pg("HOST"), pg("PORT"), qEnvironmentVariable("KORVANE_TEST_ODBC_DSN"))
                      .toUtf8());
    servers.close();

    if (liteRows <= 0) {
        liteRows = calibrateSqlite();
        std::printf("SQLite: counting to %lld takes about 10 s here\n", liteRows);
    }
    const QString tenSeconds = QString::number(liteRows);
    QList<Driver> drivers;
    drivers << Driver{QStringLiteral("LITE"),
                      countTo(tenSeconds),
                      QStringLiteral("insert into bench_cancel ") + countTo(tenSeconds),
                      countTo(QString()),
                      QStringLiteral("insert into bench_cancel ") + countTo(QString()),
                      QStringLiteral("CREATE TEMP TABLE bench_cancel (x INTEGER)"),
                      QString()};
    if (postgres) {
        for (const QString &server : {QStringLiteral("PG"), QStringLiteral("ODBC")})
            drivers << Driver{
                server,
                QStringLiteral("select pg_sleep(10)"),
                QStringLiteral("insert into bench_cancel select 1 from pg_sleep(10)"),
                QStringLiteral("select pg_sleep(600)"),
                QStringLiteral("insert into bench_cancel select 1 from pg_sleep(600)"),
                QStringLiteral("CREATE TABLE IF NOT EXISTS bench_cancel (x INTEGER)"),
                QStringLiteral("DROP TABLE bench_cancel")};
    }

    SQLEdit::InitGlobals();
    AnsweringDialogs dialogs;
    frmMain window;
    window.openInitialConnection = [] { return false; };
    window.show();
    Bench bench(window);

    struct Row
    {
        QString server;
        Figures query;
        Figures change;
    };
    Figures idle;
    for (int run = 0; run < pauseRuns; ++run)
        bench.idle(idle);
    QList<Row> rows;
    for (const Driver &driver : drivers) {
        Row row{driver.server, {}, {}};
        if (!bench.measure(driver, runs, pauseRuns, row.query, row.change))
            return 1;
        rows << row;
    }

    std::printf("\nmedian of %d runs (pause) and %d runs (cancel); ms\n", pauseRuns, runs);
    std::printf("%-6s %-10s %14s %12s %12s\n", "driver", "statement", "longest pause",
                "(worst run)", "cancel");
    std::printf("%-6s %-10s %14.1f %12.1f %12s\n", "-", "(idle)", median(idle.pauseMs),
                maximum(idle.pauseMs), "-");
    for (const Row &row : rows) {
        for (const auto &[name, f] : {std::pair<const char *, const Figures &>{"query", row.query},
                                      {"non-query", row.change}})
            std::printf("%-6s %-10s %14.1f %12.1f %12.1f\n", qPrintable(row.server), name,
                        median(f.pauseMs), maximum(f.pauseMs), median(f.cancelMs));
    }
    if (dialogs.questions > 0 || !dialogs.messages.isEmpty())
        std::printf("dialogs: %d questions; messages: %s\n", dialogs.questions,
                    qPrintable(dialogs.messages.join(QStringLiteral(" | "))));
    return 0;
}
