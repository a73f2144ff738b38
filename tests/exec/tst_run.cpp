#include "../fakedialogs.h"
#include "../mainwindow.h"
#include "../testservers.h"
#include "../watchdog.h"
#include "app/filecommands.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "exec/executesql.h"
#include "exec/resultmodel.h"
#include "oracle/db.h"
#include "settings/privateprofile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>

using namespace SQLEdit;

namespace {

// The model's rows as "a|b|c" lines.
QStringList rows(const ResultModel &model)
{
    QStringList lines;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.index(row, column).data().toString();
        lines << cells.join('|');
    }
    return lines;
}

} // namespace

/// Running statements from the main window against real databases: the query
/// and statement paths, the result list, the status texts and the logs.
class tst_Run : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void queryAndStatementPaths_data();
    void queryAndStatementPaths();
    void errorWhileFetchingKeepsRows();
    void escStopsTheFill();
    void fullDiskStopsTheFill();
    void unusualValues();
    void dateAndTimeValues_data();
    void dateAndTimeValues();
    void lostConnectionWhileFetching();
    void escCancelsStatement_data();
    void escCancelsStatement();
    void transactionControl_data();
    void transactionControl();
    void terminatedSession();

private:
    void connect(const QString &server);
    void run(const QString &sql);
    enum FileCommand { Commit, Rollback };
    bool choose(FileCommand command);
    QString statusText() const;
    QString path(const QString &name) const { return mHome->filePath(name); }
    bool controlsEnabled() const;
    int seenRows(const QString &server) const;

    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<frmMain> mWindow;
};

void tst_Run::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toUtf8());
    QVERIFY(writeTestServers(mHome->path()));
    mDialogs = std::make_unique<FakeDialogs>();
    SQLEdit::InitGlobals();
    mWindow = std::make_unique<frmMain>();
    mWindow->openInitialConnection = [] { return false; };
    mWindow->show();
}

void tst_Run::cleanup()
{
    mWindow.reset();
    mDialogs.reset();
    DB::DisconnectDatabase();
    Common::LastError::clear();
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

void tst_Run::connect(const QString &server)
{
    if (server != "LITE" && qEnvironmentVariableIsEmpty("KORVANE_TEST_PG_USER"))
        QFAIL("The PostgreSQL test environment is missing: run the tests through "
              "scripts/with-postgres.");
    DB::ConnectDatabase(qEnvironmentVariable("KORVANE_TEST_PG_USER"),
                        qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD"), server);
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
}

// As the user runs a statement: typed into the editor, F5.
void tst_Run::run(const QString &sql)
{
    EditorBox *editor = TestWindow::editor(*mWindow);
    editor->setPlainText(sql);
    QTest::keyClick(editor, Qt::Key_F5);
}

// As the user commits or rolls back: from the File menu.
bool tst_Run::choose(FileCommand command)
{
    return TestWindow::chooseMenuItem(*mWindow, "mnu_f", command == Commit ? 3 : 4);
}

QString tst_Run::statusText() const
{
    return TestWindow::statusBar(*mWindow)->currentMessage();
}

bool tst_Run::controlsEnabled() const
{
    const frmMain &w = *mWindow;
    return TestWindow::editor(w)->isEnabled() && TestWindow::toolbar(w)->isEnabled()
           && TestWindow::menu(w, "mnu_file")->menuAction()->isEnabled()
           && TestWindow::menu(w, "mnu_help")->menuAction()->isEnabled()
           && TestWindow::resultList(w)->isVisible() && TestWindow::hint(w)->isHidden();
}

int tst_Run::seenRows(const QString &server) const
{
    return testCountRows(mHome->path(), server, "t_run");
}

void tst_Run::queryAndStatementPaths_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("sqlite") << "LITE";
    QTest::newRow("postgres") << "PG";
    QTest::newRow("odbc") << "ODBC";
}

void tst_Run::queryAndStatementPaths()
{
    QFETCH(QString, server);
    connect(server);
    DB::ExecuteStatement("DROP TABLE IF EXISTS t_run");
    DB::ExecuteStatement("CREATE TABLE t_run (id INTEGER, name VARCHAR(20))");
    DB::ExecuteStatement("INSERT INTO t_run VALUES (1, '社員'), (2, NULL), (3, 'c')");
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
    ResultModel &model = *TestWindow::resultModel(*mWindow);

    // A query: headers from the row, the count and the time in the status bar.
    run("  Select id, name\r\nfrom t_run order by id  ");
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString().toLower(),
             QString("name"));
    QCOMPARE(rows(model), QStringList({"1|社員", "2|<NULL>", "3|c"}));
    QVERIFY2(statusText().startsWith("3件\t") && statusText().endsWith("秒"),
             qPrintable(statusText()));
    QVERIFY(controlsEnabled());
    QVERIFY(TestWindow::editor(*mWindow)->hasFocus());
    QVERIFY(!DB::InTransaction());

    // Queries that do not begin with "select" fill the list as well, and leave
    // no transaction behind, since they wrote nothing.
    for (const char *query : {"with c(x) as (select 2) select x from c", "-- note\nselect 2",
                              "/* c */ select 2", "values (2)"}) {
        run(query);
        QCOMPARE(rows(model), QStringList({"2"}));
        QVERIFY2(statusText().startsWith("1件\t"), qPrintable(statusText()));
        QVERIFY2(!DB::InTransaction() && !DB::UncommittedChanges(), query);
    }
    run("select id, name from t_run order by id");

    // A failing query shows the database's message and keeps the rows.
    run("select * from no_such_table");
    QVERIFY(!statusText().contains('\t'));
    QVERIFY(!statusText().isEmpty());
    QCOMPARE(model.rowCount(), 3);

    // Statements run in one transaction that the program begins; a failing one
    // leaves it open with the earlier work.
    run("update t_run set name = 'x' where id = 1");
    QVERIFY2(statusText().startsWith("実行しました。\t"), qPrintable(statusText()));
    QVERIFY(DB::InTransaction() && DB::UncommittedChanges());
    run("insert into no_such_table values (1)");
    QVERIFY(!statusText().startsWith("実行しました。"));
    QVERIFY(DB::InTransaction());
    SQLEdit::HasConnected = true;
    QVERIFY(choose(Commit));
    QCOMPARE(statusText(), QString("コミットしました。"));

    // A tab and a line break in a literal are stored as typed.
    run("insert into t_run values (4, 'a\tb\nc')");
    const auto stored = DB::OpenDynaset("select name from t_run where id = 4", 0);
    QVERIFY(stored && !stored->isEof());
    QCOMPARE(stored->fields().at(0).value().toString(), QString("a\tb\nc"));
    QVERIFY(choose(Rollback));

    // An empty result: no columns left from before, the headers hidden.
    run("select name from t_run where id = 1 and name = 'x' and id > 5");
    QCOMPARE(model.columnCount(), 0);
    QVERIFY(TestWindow::resultList(*mWindow)->horizontalHeader()->isHidden());
    QVERIFY2(statusText().startsWith("\t"), qPrintable(statusText()));
    run("select name from t_run where id = 1");
    QCOMPARE(rows(model), QStringList({"x"}));
    QVERIFY(!TestWindow::resultList(*mWindow)->horizontalHeader()->isHidden());

    // A selection of blanks runs nothing and clears the status bar.
    EditorBox *editor = TestWindow::editor(*mWindow);
    editor->setPlainText("select 1\n \t\n");
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(9);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    QTest::keyClick(editor, Qt::Key_F5, Qt::ShiftModifier);
    QVERIFY(statusText().isEmpty());
    QCOMPARE(rows(model), QStringList({"x"}));

    // Only what ran is logged, each line of a statement indented by one space.
    const QString log = QString::fromUtf8(readBytes(path("SQL.log")));
    QCOMPARE(log.count("\r\n "), 13);
    QVERIFY(log.contains("\r\n Select id, name\r\n from t_run order by id\r\n"));
    QVERIFY(!log.contains("no_such_table"));
    QVERIFY(mDialogs->messages.isEmpty());
    DB::ExecuteStatement("DROP TABLE t_run");
}

// A value that fails while the rows are read (SQLite's integer overflow at the
// second row) stops the fill: the rows before it stay, the error is shown and logged.
void tst_Run::errorWhileFetchingKeepsRows()
{
    connect("LITE");
    run("SELECT x, abs(-9223372036854775806 - x) FROM (WITH RECURSIVE c(x) AS "
        "(SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 5) SELECT x FROM c)");
    QCOMPARE(mDialogs->messages.size(), 1);
    QVERIFY2(mDialogs->messages.first().startsWith("Error|")
                 && mDialogs->messages.first().endsWith("\r\n"),
             qPrintable(mDialogs->messages.first()));
    QCOMPARE(TestWindow::resultModel(*mWindow)->rowCount(), 1);
    QCOMPARE(statusText(), QString("1件"));
    QVERIFY(controlsEnabled());
    const QByteArray log = readBytes(path("Korvane.log"));
    QVERIFY2(log.startsWith("-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-\r\n")
                 && log.contains("\r\nError[") && log.endsWith("Souce[QSQLITE]\r\n"),
             log.constData());
    // Logs that cannot be written (folders in their place) change nothing else.
    for (const char *name : {"SQL.log", "Korvane.log"})
        QVERIFY(QFile::remove(path(name)) && QDir(mHome->path()).mkdir(name));
    mDialogs->messages.clear();
    run("select 1");
    QVERIFY2(statusText().startsWith("1件\t"), qPrintable(statusText()));
    run("SELECT x, abs(-9223372036854775806 - x) FROM (SELECT 1 AS x UNION ALL SELECT 2)");
    QCOMPARE(mDialogs->messages.size(), 1);
    QVERIFY(controlsEnabled());
}

// Esc, posted while the rows of an endless query stream in, stops the fill.
void tst_Run::escStopsTheFill()
{
    connect("LITE");
    QTimer::singleShot(50, mWindow.get(), [this] {
        QTest::keyClick(TestWindow::resultList(*mWindow), Qt::Key_Escape);
    });
    run("SELECT x FROM (WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT x FROM c)");
    const int count = TestWindow::resultModel(*mWindow)->rowCount();
    QVERIFY(count > 0);
    QVERIFY2(statusText().startsWith(QString::number(count) + "件\t"), qPrintable(statusText()));
    QCOMPARE(TestWindow::resultModel(*mWindow)->index(count - 1, 0).data().toString(),
             QString::number(count));
    QVERIFY(!SQLEdit::AbortRequested);
    QVERIFY(controlsEnabled());
    QVERIFY(mDialogs->messages.isEmpty());
}

// With a budget of 1 MB the rows spill: a disk budget of 100% stops the fill
// as Esc would, with the reason; a cache folder that cannot be made keeps the
// rows in memory and says so once.
void tst_Run::fullDiskStopsTheFill()
{
    connect("LITE");
    const QString config = path("CONFIG.ini");
    QVERIFY(PrivateProfile::writeString(config, "RESULT", "MEMORY", "1"));
    QVERIFY(PrivateProfile::writeString(config, "RESULT", "DISKFREE", "100"));
    const QString query = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c "
                          "WHERE x < 200000) SELECT x, printf('%060d', x) FROM c";
    run(query);
    const ResultModel &model = *TestWindow::resultModel(*mWindow);
    const int count = model.rowCount();
    QVERIFY2(count > 0 && count < 200000, qPrintable(QString::number(count)));
    QVERIFY2(statusText().startsWith(QString::number(count)
                                     + "件  ディスクの空きが 100% を切るため"
                                       "、取得を中止しました。\t"),
             qPrintable(statusText()));
    QCOMPARE(model.index(count - 1, 0).data().toString(), QString::number(count));
    QVERIFY(controlsEnabled());
    QVERIFY(mDialogs->messages.isEmpty());

    QVERIFY(PrivateProfile::writeString(config, "RESULT", "DISKFREE", "0"));
    QVERIFY(QDir(path("cache")).removeRecursively());
    QFile blocker(path("cache"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    for (const bool said : {true, false}) {
        run(query);
        QCOMPARE(model.rowCount(), 200000);
        QCOMPARE(model.index(199999, 1).data().toString(), QString(54, '0') + "200000");
        QCOMPARE(statusText().contains("結果はメモリだけに保持します。"), said);
    }
}

void tst_Run::unusualValues()
{
    connect("LITE");
    ResultModel &model = *TestWindow::resultModel(*mWindow);
    run("select x'00FF41', zeroblob(2), length(hex(randomblob(5000000))), "
        "hex(randomblob(5000000)) as big");
    QCOMPARE(rows(model).size(), 1);
    QCOMPARE(model.index(0, 0).data().toString(), QString("0x00FF41"));
    QCOMPARE(model.index(0, 1).data().toString(), QString("0x0000"));
    // Ten million characters are kept whole; the list shows the start of them.
    QCOMPARE(model.store().cell(0, 3).size(), 10000000);
    QCOMPARE(model.index(0, 3).data().toString().size(), ResultModel::DisplayLimit + 1);

    QStringList columns;
    for (int i = 0; i < 500; ++i)
        columns << QString::number(i) + " as c" + QString::number(i);
    run("select " + columns.join(", "));
    QCOMPARE(model.columnCount(), 500);
    QCOMPARE(model.index(0, 499).data().toString(), QString("499"));
    QVERIFY(controlsEnabled());
}

void tst_Run::dateAndTimeValues_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("timeZone"); // the session's, through libpq's PGTZ
    QTest::addColumn<QString>("values");
    QTest::addColumn<QString>("shown"); // the cells joined by '|'
    const struct
    {
        const char *name, *server, *timeZone, *values, *shown;
    } rows[] = {
        {"dates", "PG", "UTC",
         "date '2024-01-02', date '0044-03-15 BC', date '10000-01-02', date 'infinity', "
         "date '-infinity'",
         "2024/01/02|0044/03/15 BC|10000/01/02|infinity|-infinity"},
        {"times", "PG", "UTC",
         "time '12:34:56.789123', time '12:34:56', timetz '12:34:56.5+09', timetz '12:34:56-03:30'",
         "12:34:56.789123|12:34:56|12:34:56.5+09|12:34:56-03:30"},
        {"timestamps", "PG", "UTC",
         "timestamp '2024-01-02 03:04:05', timestamp '2024-01-02 03:04:05.5', "
         "timestamp '0044-03-15 12:00:00 BC', timestamp 'infinity', timestamptz '-infinity', "
         "timestamptz '2024-01-01 18:04:05.123+00'",
         "2024/01/02 03:04:05|2024/01/02 03:04:05.5|0044/03/15 12:00:00 BC|infinity|-infinity|"
         "2024/01/01 18:04:05.123+00"},
        {"timestamptz in Tokyo", "PG", "Asia/Tokyo", "timestamptz '2024-01-01 18:04:05.123+00'",
         "2024/01/02 03:04:05.123+09"},
        {"odbc", "ODBC", "Asia/Tokyo",
         "timestamp '2024-01-02 03:04:05.5', timestamp '0044-03-15 12:00:00 BC', "
         "timestamptz '2024-01-01 18:04:05.123+00', timetz '12:34:56.5+09'",
         "2024/01/02 03:04:05.5|0044/03/15 12:00:00 BC|2024/01/02 03:04:05.123|12:34:56.5+09"},
        {"sqlite text", "LITE", "",
         "'2024-01-02', '2024-01-02 03:04:05.123+09:00', '0044-03-15 BC'",
         "2024-01-02|2024-01-02 03:04:05.123+09:00|0044-03-15 BC"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << row.server << row.timeZone << row.values << row.shown;
}

// Dates and times show what the server sent, the date with slashes. ODBC hands on
// milliseconds, and a timestamptz in the session's time zone without its offset.
// Three rows, since the first two are read apart from the rest.
void tst_Run::dateAndTimeValues()
{
    QFETCH(QString, server);
    QFETCH(QString, timeZone);
    QFETCH(QString, values);
    QFETCH(QString, shown);
    const auto restoreZone = qScopeGuard([] { qunsetenv("PGTZ"); });
    qputenv("PGTZ", timeZone.toUtf8());
    connect(server);
    const QString row = "select " + values;
    run(row + " union all " + row + " union all " + row);
    QCOMPARE(rows(*TestWindow::resultModel(*mWindow)), QStringList({shown, shown, shown}));
}

// The server stops while rows stream in: the rows so far stay, the error is
// shown, and the window is usable again.
void tst_Run::lostConnectionWhileFetching()
{
    const QString pgCtl = qEnvironmentVariable("KORVANE_TEST_PG_CTL");
    if (pgCtl.isEmpty())
        QFAIL("KORVANE_TEST_PG_CTL is not set: run the tests through scripts/with-postgres.");
    const Watchdog watchdog(60, "a query on a server that stopped");
    connect("PG");
    auto restart = qScopeGuard([&] { QProcess::execute(pgCtl, {"start"}); });
    bool stopped = false;
    QTimer stopper;
    // Stopped once the first rows are in the list (the query is already open).
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        if (!stopped && TestWindow::resultModel(*mWindow)->rowCount() > 0)
            stopped = QProcess::execute(pgCtl, {"stop"}) == 0;
    });
    stopper.start(5);
    mDialogs->answerYes = false;
    run("select g, repeat('x', 100) from generate_series(1, 100000000) g");
    QVERIFY(stopped);
    // Said in so many words, with a reconnect offered (declined here), and marked.
    QCOMPARE(mDialogs->questions.size(), 1);
    QVERIFY2(mDialogs->questions.first().startsWith("接続切断|データベースとの接続が切れました。"),
             qPrintable(mDialogs->questions.first()));
    QVERIFY(mDialogs->messages.isEmpty());
    QVERIFY(mWindow->windowTitle().endsWith(" - 接続切断"));
    QVERIFY(TestWindow::resultModel(*mWindow)->rowCount() > 0);
    QVERIFY(controlsEnabled());
}

void tst_Run::escCancelsStatement_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("earlierWork"); // a row inserted before, not committed
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("answerYes"); // to the question, when one is asked
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("status");     // the start of the status text
    QTest::addColumn<bool>("earlierKept");   // the earlier row after the statement
    QTest::addColumn<bool>("inTransaction"); // after the statement
    QTest::addColumn<int>("escAfter");       // milliseconds after the run starts

    const QString numbers = "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c%1) ";
    const QString endless = numbers.arg("");
    const QString lost = "interrupted  コミットしていない変更はロールバックされました。";
    QTest::newRow("sqlite query before its first row")
        << "LITE" << true << "select count(*) from (" + endless + "SELECT x FROM c)" << true
        << false << "interrupted" << true << true << 0;
    QTest::newRow("sqlite write, nothing before")
        << "LITE" << false << "insert into t_run " + endless + "SELECT x, 'y' FROM c" << true
        << false << "interrupted" << false << false << 0;
    QTest::newRow("sqlite write undoing earlier work")
        << "LITE" << true << "insert into t_run " + endless + "SELECT x, 'y' FROM c" << true << true
        << lost << false << false << 0;
    QTest::newRow("sqlite write, the user lets it go on")
        << "LITE" << true
        << "insert into t_run " + numbers.arg(" WHERE x < 2000000") + "SELECT x + 1, 'y' FROM c"
        << false << true << "実行しました。" << true << true << 0;
    QTest::newRow("postgres query") << "PG" << true << "select pg_sleep(600)" << true << false
                                    << "ERROR:  canceling" << true << true << 0;
    QTest::newRow("postgres write")
        << "PG" << true << "insert into t_run select 5, 'x' from pg_sleep(600)" << true << false
        << "ERROR:  canceling" << true << true << 0;
    QTest::newRow("odbc write") << "ODBC" << true
                                << "insert into t_run select 5, 'x' from pg_sleep(600)" << true
                                << false << "ERROR: canceling" << true << true << 0;
    // Esc while rows are read: psqlODBC fetches 1,000 at a time, and the third
    // block sleeps until the cancel reaches the fetch; the driver then rolls back
    // the whole transaction, which the user is asked about first.
    QTest::newRow("odbc query, while rows are read")
        << "ODBC" << true
        << "select g, pg_sleep(case when g > 2000 then 600 else 0 end) from "
           "generate_series(1, 3000) g"
        << true << true << "" << false << false << 500;
}

// Esc while a statement runs on the server (before any row) cancels it there:
// the transaction keeps what came before, unless the database undoes it, which
// the user is asked about first when there is earlier work to lose.
void tst_Run::escCancelsStatement()
{
    QFETCH(QString, server);
    QFETCH(bool, earlierWork);
    QFETCH(QString, statement);
    QFETCH(bool, answerYes);
    QFETCH(bool, asked);
    QFETCH(QString, status);
    QFETCH(bool, earlierKept);
    QFETCH(bool, inTransaction);
    QFETCH(int, escAfter);
    const Watchdog watchdog(60, "a statement stopped with Esc");
    connect(server);
    DB::ExecuteStatement("DROP TABLE IF EXISTS t_run");
    DB::ExecuteStatement("CREATE TABLE t_run (id INTEGER, name VARCHAR(20))");
    if (earlierWork) {
        run("insert into t_run values (1, 'earlier')");
        QVERIFY(DB::UncommittedChanges());
    }
    mDialogs->answerYes = answerYes;

    // The timer fires while the window waits for the statement.
    bool running = false;
    QTimer::singleShot(escAfter, mWindow.get(), [&] {
        running
            = !TestWindow::editor(*mWindow)->isEnabled() && TestWindow::hint(*mWindow)->isVisible();
        QTest::keyClick(mWindow.get(), Qt::Key_Escape);
    });
    run(statement);
    QVERIFY(running);
    QCOMPARE(mDialogs->questions.size(), asked ? 1 : 0);
    QVERIFY2(statusText().startsWith(status), qPrintable(statusText()));
    QVERIFY2(mDialogs->messages.isEmpty(), qPrintable(mDialogs->messages.join('\n')));
    QVERIFY(controlsEnabled());
    QCOMPARE(DB::InTransaction(), inTransaction);
    QCOMPARE(DB::UncommittedChanges(), earlierWork && earlierKept);

    run("select count(*) from t_run where id = 1");
    QCOMPARE(TestWindow::resultModel(*mWindow)->index(0, 0).data().toString(),
             QString(earlierKept ? "1" : "0"));
    // One Esc stops one statement: the next query reads every row, past a batch.
    run("select x from (with recursive c(x) as (select 1 union all select x + 1 from c "
        "where x < 5000) select x from c) s");
    QCOMPARE(TestWindow::resultModel(*mWindow)->rowCount(), 5000);
    if (inTransaction)
        DB::RollbackTransaction(); // leaving the server clean
}

void tst_Run::transactionControl_data()
{
    QTest::addColumn<QString>("server");
    // Each step: a statement run with F5 or a File menu command (!commit,
    // !rollback), the rows another connection sees afterwards, and whether work
    // is pending.
    QTest::addColumn<QStringList>("steps");

    const QString insert = "insert into t_run values (%1, 'x')";
    const QList<std::pair<const char *, QStringList>> cases = {
        {"typed commit, then the menu's rollback",
         {insert.arg(1) + "|0|1", "commit|1|0", insert.arg(2) + "|1|1", "!rollback|1|0"}},
        {"typed rollback, then the menu's commit",
         {insert.arg(1) + "|0|1", "  ROLLBACK ;|0|0", insert.arg(2) + "|0|1", "!commit|1|0"}},
        {"typed begin and end, commit with nothing pending",
         {"-- mine\nBegin Transaction;|0|1", insert.arg(1) + "|0|1", "begin|0|1",
          "/* done */ End|1|0", "commit|1|0", insert.arg(2) + "|1|1", "!commit|2|0"}},
        {"savepoints",
         {insert.arg(1) + "|0|1", "savepoint s1|0|1", insert.arg(2) + "|0|1",
          "rollback to savepoint s1|0|1", "release s1|0|1", "commit transaction|1|0"}},
        {"rows returned by a write", {insert.arg(3) + " returning id|0|1", "!commit|1|0"}},
    };
    for (const char *server : {"LITE", "PG", "ODBC"}) {
        for (const auto &[name, steps] : cases)
            QTest::newRow(QByteArray(server) + ": " + name) << server << steps;
    }
    // A query whose function writes, in the transaction a failed statement left
    // open; a COMMIT of a transaction that a failed RELEASE aborted, which the
    // server turns into a rollback (a fourth part: the start of the status text).
    QTest::newRow("PG: a query that writes")
        << "PG"
        << QStringList({"insert into no_such_table values (1)|0|0", "select t_run_add()|0|1",
                        "!commit|1|0"});
    QTest::newRow("PG: commit of a failed transaction")
        << "PG"
        << QStringList({insert.arg(1) + "|0|1", "release nosuch|0|1",
                        "commit|0|0|トランザクションはエラーで中断"});
}

// Transaction control typed by the user ends or opens exactly what the server
// has, and the menu commands then act on what is really pending.
void tst_Run::transactionControl()
{
    QFETCH(QString, server);
    QFETCH(QStringList, steps);
    connect(server);
    DB::ExecuteStatement("DROP TABLE IF EXISTS t_run");
    DB::ExecuteStatement("CREATE TABLE t_run (id INTEGER, name VARCHAR(20))");
    if (server == "PG")
        DB::ExecuteStatement("CREATE OR REPLACE FUNCTION t_run_add() RETURNS integer LANGUAGE sql "
                             "AS 'insert into t_run values (9, ''f'') returning 1'");
    HasConnected = true;
    for (const QString &step : steps) {
        const QStringList parts = step.split('|');
        if (parts[0] == "!commit" || parts[0] == "!rollback")
            QVERIFY(choose(parts[0] == "!commit" ? Commit : Rollback));
        else
            run(parts[0]);
        const QString state
            = QString::number(seenRows(server)) + '|' + QString::number(DB::UncommittedChanges());
        QVERIFY2(state == parts[1] + '|' + parts[2],
                 qPrintable(step + " gave " + state + ": " + statusText()));
        QCOMPARE(mWindow->findChild<QLabel *>("lblTransaction")->isVisibleTo(mWindow.get()),
                 parts[2] == "1");
        if (parts.size() > 3)
            QVERIFY2(statusText().startsWith(parts[3]), qPrintable(statusText()));
    }
    QVERIFY(mDialogs->messages.isEmpty());
}

// The server ends the session: commit says so every time and never claims
// success; reconnecting with the same user and server is offered, and works.
void tst_Run::terminatedSession()
{
    connect("PG");
    DB::SetCurrentUserId(qEnvironmentVariable("KORVANE_TEST_PG_USER"));
    DB::SetCurrentPassword(qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD"));
    DB::SetCurrentServerName("PG");
    mWindow->setWindowTitle("Korvane");
    HasConnected = true;
    DB::ExecuteStatement("DROP TABLE IF EXISTS t_run");
    DB::ExecuteStatement("CREATE TABLE t_run (id INTEGER, name VARCHAR(20))");
    run("insert into t_run values (1, 'lost')");
    run("select pg_backend_pid()");
    const QString pid = TestWindow::resultModel(*mWindow)->index(0, 0).data().toString();
    {
        Engine::SqlConnectionName name;
        QSqlDatabase killer = testPostgres(name.name());
        QVERIFY(killer.open());
        QSqlQuery(killer).exec("SELECT pg_terminate_backend(" + pid + ")");
        killer.close();
    }

    mDialogs->answerYes = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        QVERIFY(choose(Commit));
        QCOMPARE(statusText(), QString("データベースとの接続が切れました。"));
        QCOMPARE(mDialogs->questions.size(), attempt + 1);
        QCOMPARE(mWindow->windowTitle(), QString("Korvane - 接続切断"));
        QCOMPARE(mWindow->findChild<QLabel *>("lblTransaction")->text(), QString("接続切断"));
    }
    QVERIFY(
        mDialogs->questions.first().contains("コミットしていない変更はコミットされませんでした"));

    mDialogs->answerYes = true;
    run("select 1");
    QCOMPARE(statusText(), QString("接続し直しました。"));
    QCOMPARE(mWindow->windowTitle(), QString("Korvane"));
    QVERIFY(!DB::ConnectionLost() && !DB::UncommittedChanges());
    QCOMPARE(seenRows("PG"), 0);
    run("select 2");
    QCOMPARE(rows(*TestWindow::resultModel(*mWindow)), QStringList({"2"}));
    QVERIFY(mDialogs->messages.isEmpty());
}

QTEST_MAIN(tst_Run)

#include "tst_run.moc"
