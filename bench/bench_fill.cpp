// Fills the result list with a large query through the real path (component
// layer, row store, model, view attached, offscreen) and times it beside the
// database's own command-line client reading the same rows, in the same run.
// Then every row is selected and copied to the clipboard (Ctrl+C's routine),
// timed beside the client writing the same rows as CSV.
//
//   bench_fill [rows] [runs]          SQLite (needs the sqlite3 command)
//   scripts/with-postgres bench_fill --pg [rows] [runs]   PostgreSQL (needs psql)
//   bench_fill --budget=MB --no-copy 30000000 3   rows beyond a memory budget of MB
//                                                  spill to disk; no copy of them
#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "benchwindow.h"
#include "common/errors.h"
#include "exec/resultmodel.h"
#include "oracle/db.h"
#include "settings/privateprofile.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

using Bench::median;

using Bench::memoryKb;

// Milliseconds to scroll the list to the row and paint it.
double timeScroll(QTableView *list, int row)
{
    QElapsedTimer timer;
    timer.start();
    list->scrollTo(list->model()->index(row, 0), QAbstractItemView::PositionAtCenter);
    list->viewport()->repaint();
    QCoreApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

double timeCommand(const QString &command)
{
    QElapsedTimer timer;
    timer.start();
    QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    return timer.elapsed() / 1000.0;
}

// 1,000,000 rows x 6 columns: an integer key, two texts of about 20 characters
// (one Japanese), a real, a date, and a column that is NULL every tenth row.
const char *const TableSql = "CREATE TABLE t (id INTEGER PRIMARY KEY, name VARCHAR(40), "
                             "jname VARCHAR(40), amount REAL, day DATE, note VARCHAR(20))";

QString rowSql(const QString &rows)
{
    return QStringLiteral(
               "INSERT INTO t SELECT g, 'customer name ' || g, '顧客名前データ' || g, g * 1.25, "
               "DATE '2020-01-01' + (g %% 1000), CASE WHEN g %% 10 = 0 THEN NULL ELSE 'n' || "
               "(g %% 977) END FROM generate_series(1, %1) g")
        .arg(rows)
        .replace(QLatin1String("%%"), QLatin1String("%"));
}

bool prepareSqlite(const QString &path, int rows)
{
    if (QFile::exists(path))
        return true;
    const QString sql
        = QString::fromUtf8(TableSql)
          + QStringLiteral(";\nWITH RECURSIVE c(g) AS (SELECT 1 UNION ALL SELECT g + 1 FROM c "
                           "WHERE g < %1) INSERT INTO t SELECT g, 'customer name ' || g, "
                           "'顧客名前データ' || g, g * 1.25, date('2020-01-01', '+' || (g %% "
                           "1000) || ' days'), CASE WHEN g %% 10 = 0 THEN NULL ELSE 'n' || (g "
                           "%% 977) END FROM c;\n")
                .arg(rows)
                .replace(QLatin1String("%%"), QLatin1String("%"));
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {path});
    sqlite.write(sql.toUtf8());
    sqlite.closeWriteChannel();
    return sqlite.waitForFinished(-1) && sqlite.exitCode() == 0;
}

bool preparePostgres(int rows)
{
    QSqlDatabase db = Bench::openPostgres(QStringLiteral("prep"));
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    query.exec(QStringLiteral("SELECT count(*) FROM t"));
    if (query.next() && query.value(0).toInt() == rows)
        return true;
    query.exec(QStringLiteral("DROP TABLE IF EXISTS t"));
    return query.exec(QString::fromUtf8(TableSql)) && query.exec(rowSql(QString::number(rows)));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool postgres = args.removeAll(QStringLiteral("--pg")) > 0;
    const bool copy = args.removeAll(QStringLiteral("--no-copy")) == 0;
    QString budget;
    for (const QString &arg : args) {
        if (arg.startsWith(QStringLiteral("--budget=")))
            budget = arg.mid(9);
    }
    args.removeIf([](const QString &arg) { return arg.startsWith(QStringLiteral("--")); });
    const int rows = args.value(0, QStringLiteral("1000000")).toInt();
    const int runs = args.value(1, QStringLiteral("5")).toInt();

    const QString folder = QDir::temp().filePath(QStringLiteral("korvane-bench"));
    const QString dbPath = QDir(folder).filePath(QStringLiteral("fill-%1.db").arg(rows));
    // A home of its own: its CONFIG.ini sets the memory budget (the default
    // when none is given), and the spill file goes to its cache folder.
    const QString home = QDir(folder).filePath(QStringLiteral("fill-home"));
    QDir().mkpath(home);
    qputenv("KORVANE_HOME", home.toUtf8());
    PrivateProfile::writeString(QDir(home).filePath(QStringLiteral("CONFIG.ini")),
                                QStringLiteral("RESULT"), QStringLiteral("MEMORY"),
                                budget.isEmpty() ? QStringLiteral("0") : budget);
    QFile servers(QDir(home).filePath(QStringLiteral("SERVERS.ini")));
    servers.open(QIODevice::WriteOnly);
    servers.write(QStringLiteral("[BENCH]\r\nDRIVER=QSQLITE\r\nDATABASE=%1\r\n"
                                 "[PG]\r\nDRIVER=QPSQL\r\nDATABASE=%2\r\nHOST=%3\r\nPORT=%4\r\n")
                      .arg(dbPath, qEnvironmentVariable("KORVANE_TEST_PG_DATABASE"),
                           qEnvironmentVariable("KORVANE_TEST_PG_HOST"),
                           qEnvironmentVariable("KORVANE_TEST_PG_PORT"))
                      .toUtf8());
    servers.close();

    if (postgres ? !preparePostgres(rows) : !prepareSqlite(dbPath, rows)) {
        std::fprintf(stderr, "could not create the table\n");
        return 1;
    }
    const QString reference
        = postgres ? QStringLiteral("PGPASSWORD='%1' psql -h %2 -p %3 -U %4 -d %5 -At -c "
                                    "'select * from t' > /dev/null")
                         .arg(qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD"),
                              qEnvironmentVariable("KORVANE_TEST_PG_HOST"),
                              qEnvironmentVariable("KORVANE_TEST_PG_PORT"),
                              qEnvironmentVariable("KORVANE_TEST_PG_USER"),
                              qEnvironmentVariable("KORVANE_TEST_PG_DATABASE"))
                   : QStringLiteral("sqlite3 '%1' 'select * from t' > /dev/null").arg(dbPath);

    SQLEdit::InitGlobals();
    frmMain window;
    window.openInitialConnection = [] { return false; };
    window.show();
    DB::ConnectDatabase(qEnvironmentVariable("KORVANE_TEST_PG_USER"),
                        qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD"),
                        postgres ? QStringLiteral("PG") : QStringLiteral("BENCH"));
    if (Common::LastError::isSet()) {
        std::fprintf(stderr, "%s\n", qPrintable(Common::LastError::get().description));
        return 1;
    }
    // The window's controls, as a user reaches them: F5 in the editor runs the
    // statement, Ctrl+C in the result list copies the selected rows.
    auto *editor = window.findChild<EditorBox *>(QStringLiteral("txtWindow"));
    auto *list = window.findChild<QTableView *>(QStringLiteral("lvwWindow"));
    auto *status = window.findChild<QStatusBar *>(QStringLiteral("staMsg"));
    auto *model = qobject_cast<SQLEdit::ResultModel *>(list->model());
    editor->setPlainText(QStringLiteral("select * from t"));

    const qint64 residentBefore = memoryKb("VmRSS:");
    QList<double> ours, theirs, ratios;
    qint64 cellBytes = 0;
    for (int run = 0; run < runs; ++run) {
        theirs << timeCommand(reference);
        model->clear();
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(editor, Qt::Key_F5);
        ours << timer.elapsed() / 1000.0;
        ratios << ours.last() / theirs.last();
        std::printf("run %d: fill %.3f s, reference %.3f s, ratio %.2f, rows %d\n", run + 1,
                    ours.last(), theirs.last(), ratios.last(), model->rowCount());
        std::fflush(stdout);
    }
    const SQLEdit::RowStore &store = model->store();
    const qint64 peakAfterFill = memoryKb("VmHWM:");
    cellBytes = store.overheadBytes();
    const qint64 cells = store.rowCount() * store.columnCount();
    const qint64 residentGrowth = (memoryKb("VmRSS:") - residentBefore) * 1024;
    // What the process holds for the rows, beyond their UTF-16 text (not read
    // back from the spill file, which would take long).
    qint64 textBytes = 0;
    if (store.spilledBlocks() == 0) {
        for (qsizetype row = 0; row < store.rowCount(); ++row)
            for (int column = 0; column < store.columnCount(); ++column)
                if (!store.isNull(row, column))
                    textBytes += store.cell(row, column).size() * 2;
    }
    std::printf("spilled blocks %lld of %lld, block memory %lld MB, peak resident after the "
                "fills %lld MB\n",
                qlonglong(store.spilledBlocks()), qlonglong((store.rowCount() + 4095) / 4096),
                store.residentBytes() >> 20, peakAfterFill / 1024);

    // Scrolling to the middle and the end, the first touch of their rows and
    // again after the list was elsewhere.
    const int middle = model->rowCount() / 2;
    const int last = model->rowCount() - 1;
    const double middleFirst = timeScroll(list, middle);
    const double endFirst = timeScroll(list, last);
    timeScroll(list, 0);
    const double middleAgain = timeScroll(list, middle);
    timeScroll(list, 0);
    const double endAgain = timeScroll(list, last);
    std::printf("scroll to the middle %.2f ms (again %.2f ms), to the end %.2f ms (again %.2f "
                "ms)\n",
                middleFirst, middleAgain, endFirst, endAgain);

    // Scrolling to the end and selecting every row on the full result.
    QElapsedTimer timer;
    timer.start();
    list->scrollToBottom();
    QCoreApplication::processEvents();
    const qint64 scroll = timer.restart();
    list->selectAll();
    QCoreApplication::processEvents();
    const qint64 select = timer.elapsed();
    window.activateWindow();
    list->setFocus();

    std::printf("median: fill %.3f s, reference %.3f s, ratio %.2f\n", median(ours), median(theirs),
                median(ratios));
    std::printf("row store: %.1f bytes a cell beyond the text; resident %lld kB, peak %lld kB\n",
                cells ? double(cellBytes) / double(cells) : 0.0, memoryKb("VmRSS:"),
                memoryKb("VmHWM:"));
    std::printf("process: resident grew by %lld kB for %lld kB of text: %.1f bytes a cell beyond "
                "the text\n",
                residentGrowth / 1024, textBytes / 1024,
                cells ? double(residentGrowth - textBytes) / double(cells) : 0.0);
    std::printf("scroll to the end %lld ms, select all %lld ms\n", scroll, select);
    std::fflush(stdout);
    if (!copy) {
        DB::DisconnectDatabase();
        return 0;
    }

    // Copying every row, beside the client writing them as CSV.
    const QString csvReference
        = postgres ? QString(reference).replace(QLatin1String("-At -c"), QLatin1String("--csv -c"))
                   : QStringLiteral("sqlite3 -csv '%1' 'select * from t' > /dev/null").arg(dbPath);
    QList<double> copies, csvTimes, copyRatios;
    qsizetype copiedChars = 0;
    for (int run = 0; run < runs; ++run) {
        csvTimes << timeCommand(csvReference);
        timer.restart();
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        copies << timer.elapsed() / 1000.0;
        copyRatios << copies.last() / csvTimes.last();
        copiedChars = QGuiApplication::clipboard()->text().size();
        std::printf("run %d: copy %.3f s, reference %.3f s, ratio %.2f, %lld characters; %s\n",
                    run + 1, copies.last(), csvTimes.last(), copyRatios.last(),
                    qlonglong(copiedChars), qPrintable(status->currentMessage()));
        std::fflush(stdout);
    }
    std::printf("median: copy %.3f s, reference %.3f s, ratio %.2f\n", median(copies),
                median(csvTimes), median(copyRatios));
    DB::DisconnectDatabase();
    return 0;
}
