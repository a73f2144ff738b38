#include "../fakedialogs.h"
#include "../mainwindow.h"
#include "../testservers.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "history/frmhistory.h"
#include "history/historystore.h"
#include "journal/journalfile.h"
#include "journal/journalslot.h"
#include "oracle/db.h"

#include <QApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

// What the child process types: ASCII, tabs, Japanese through the input
// method, and line breaks, long enough that it is still typing when killed.
QString plannedText()
{
    QString text;
    for (int i = 0; i < 120; ++i)
        text += QStringLiteral("select\t%1, '社員%1' from t -- 行%1\n").arg(i);
    return text;
}

// Types text as a user does: a key per character, Japanese committed by the input method.
void type(QWidget *editor, const QString &text)
{
    for (const QChar c : text) {
        if (c == '\n') {
            QTest::keyClick(editor, Qt::Key_Return);
        } else if (c.unicode() < 0x80) {
            QTest::keyClick(editor, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(editor, &commit);
        }
    }
}

QString editorText(const QWidget &window)
{
    return TestWindow::editor(window)->document()->toRawText().replace(QChar::ParagraphSeparator,
                                                                       '\n');
}

QString journalFolder(const QTemporaryDir &home)
{
    return home.filePath("journal");
}

// Runs in the child process: types the planned text line by line, and says
// after each line how much of it the journal holds for sure.
int typeUntilKilled(const QString &home)
{
    qputenv("KORVANE_HOME", home.toLocal8Bit());
    FakeDialogs dialogs;
    frmMain window;
    QWidget *editor = TestWindow::editor(window);
    editor->setFocus();
    for (const QString &line : plannedText().split('\n')) {
        type(editor, line + '\n');
        if (!window.flushJournal())
            return 1;
        printf("%lld\n", qint64(editorText(window).size()));
        fflush(stdout);
    }
    QTest::qWait(60000);
    return 2;
}

} // namespace

/// The editor's journal and the statement history through the main window.
class tst_Journal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void killedWhileTypingIsRestored();
    void restore_data();
    void restore();
    void normalExitKeepsDraftAndRestoresNothing();
    void historyWindowPutsStatementIntoEditor();
    void unusableStore_data();
    void unusableStore();

private:
    std::unique_ptr<frmMain> startWindow();
    void writeOrphan(const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
};

void tst_Journal::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toLocal8Bit());
    mDialogs = std::make_unique<FakeDialogs>();
}

void tst_Journal::cleanup()
{
    DB::DisconnectDatabase();
    DB::SetCurrentServerName(QString());
    mDialogs.reset();
    mHome.reset();
}

std::unique_ptr<frmMain> tst_Journal::startWindow()
{
    auto window = std::make_unique<frmMain>();
    window->openInitialConnection = [] { return false; };
    return window;
}

void tst_Journal::writeOrphan(const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(journalFolder(*mHome)));
    QVERIFY(writeBytes(journalFolder(*mHome) + "/journal-1-dead.kvj", bytes));
}

void tst_Journal::killedWhileTypingIsRestored()
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--type-until-killed", mHome->path()});
    QVERIFY(child.waitForStarted());
    qint64 journalled = 0;
    while (journalled < 600 && child.waitForReadyRead(20000))
        while (child.canReadLine())
            journalled = child.readLine().trimmed().toLongLong();
    QVERIFY2(journalled >= 600, child.readAllStandardError().constData());
    child.kill(); // SIGKILL: no handler, no destructor runs
    QVERIFY(child.waitForFinished());

    const auto window = startWindow();
    const QString restored = editorText(*window);
    QVERIFY2(restored.size() >= journalled, qPrintable(QString::number(restored.size())));
    QCOMPARE(restored, plannedText().left(restored.size()));
    QCOMPARE(TestWindow::editor(*window)->textCursor().position(), restored.size());
    QVERIFY(TestWindow::statusBar(*window)->currentMessage().startsWith("前回終了しなかった"));
    QVERIFY(mDialogs->messages.isEmpty());
}

// A journal that a copy no longer running left behind, as the next start finds it.
void tst_Journal::restore_data()
{
    QTest::addColumn<QByteArray>("journal");
    QTest::addColumn<bool>("lockedByRunningCopy");
    QTest::addColumn<QString>("text");      // the editor after the start
    QTest::addColumn<QString>("status");    // the start of the status bar's text
    QTest::addColumn<QString>("message");   // a word of the one message, if any
    QTest::addColumn<QString>("leftFiles"); // the journal folder's .kvj files afterwards

    Journal::Snapshot typed;
    typed.text = QStringLiteral("select 1\n\tfrom 社員\n");
    typed.anchor = 7;
    typed.caret = 2;
    const QString restored = "前回終了しなかったときの編集内容を復元しました。";
    QTest::newRow("text, caret and selection")
        << Journal::Encode(typed) << false << typed.text << restored << ""
        << "own";
    QTest::newRow("a running copy's journal is left alone") << Journal::Encode(typed) << true << ""
                                                            << ""
                                                            << ""
                                                            << "orphan, own";

    Journal::Snapshot fromFile = typed;
    fromFile.sourcePath = "/nonexistent/changed.sql";
    fromFile.sourceSize = 3;
    QTest::newRow("source file changed on disk")
        << Journal::Encode(fromFile) << false << typed.text << restored + "  ファイル"
        << ""
        << "own";

    Journal::Snapshot work = typed;
    work.workPending = true;
    work.server = "LITE";
    work.user = "SCOTT";
    work.pendingStatements = {"insert into t values (1)", "delete from u"};
    QTest::newRow("pending work: what the server undid is listed")
        << Journal::Encode(work) << false << typed.text << restored << "2. delete from u"
        << "own";

    QTest::newRow("nothing typed, nothing pending: nothing said")
        << Journal::Encode(Journal::Snapshot{}) << false << ""
        << ""
        << ""
        << "own";

    QByteArray torn = Journal::Encode(typed);
    torn.chop(5);
    QTest::newRow("damaged: set aside, never deleted") << torn << false << ""
                                                       << ""
                                                       << "壊れていた"
                                                       << "own";
    QByteArray newer = Journal::Encode(typed);
    newer[8] = char(99);
    QTest::newRow("from a newer version: left as it is") << newer << false << ""
                                                         << ""
                                                         << "新しい版"
                                                         << "orphan, own";
}

void tst_Journal::restore()
{
    QFETCH(QByteArray, journal);
    QFETCH(bool, lockedByRunningCopy);
    QFETCH(QString, text);
    QFETCH(QString, status);
    QFETCH(QString, message);
    QFETCH(QString, leftFiles);
    writeOrphan(journal);
    const QString orphan = journalFolder(*mHome) + "/journal-1-dead.kvj";
    // A lock this process holds stands for a copy that still runs.
    QLockFile runningCopy(Journal::Slot::lockPath(orphan));
    if (lockedByRunningCopy)
        QVERIFY(runningCopy.tryLock(0));

    auto window = startWindow();
    QTest::qWait(0); // the message about pending work waits for the event loop
    EditorBox *editor = TestWindow::editor(*window);
    QCOMPARE(editorText(*window), text);
    if (!text.isEmpty()) {
        QCOMPARE(editor->textCursor().anchor(), 7);
        QCOMPARE(editor->textCursor().position(), 2);
    }
    const QString shown = TestWindow::statusBar(*window)->currentMessage();
    QVERIFY2(status.isEmpty() ? shown.isEmpty() : shown.startsWith(status), qPrintable(shown));
    QCOMPARE(mDialogs->messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(mDialogs->messages.first().contains(message),
                 qPrintable(mDialogs->messages.first()));

    // The restored text is journalled again, here, before the old journal goes.
    QVERIFY(window->flushJournal());
    QStringList left;
    const QStringList files = QDir(journalFolder(*mHome)).entryList({"*.kvj"}, QDir::Files);
    for (const QString &file : files)
        left << (file == "journal-1-dead.kvj" ? "orphan" : "own");
    left.sort();
    QCOMPARE(left.join(", "), leftFiles);
    if (message == "壊れていた") {
        const QStringList aside = QDir(journalFolder(*mHome)).entryList({"*.damaged-*"});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readBytes(journalFolder(*mHome) + '/' + aside.first()), journal);
    }
}

// A statement that leaves work pending is journalled with it; a commit or a
// rollback clears it. A normal exit leaves no journal and keeps the last text
// as a draft; the next start begins empty.
void tst_Journal::normalExitKeepsDraftAndRestoresNothing()
{
    QVERIFY(writeTestServers(mHome->path()));
    auto window = startWindow();
    DB::ConnectDatabase("", "", "LITE");
    DB::SetCurrentServerName("LITE"); // as the connection dialog records it
    SQLEdit::HasConnected = true;
    EditorBox *editor = TestWindow::editor(*window);
    auto run = [&](const QString &statement) {
        editor->setPlainText(statement);
        QTest::keyClick(editor, Qt::Key_F5);
    };
    run("create table t (a)");
    run("insert into t values (1)");
    run("select * from t");
    QVERIFY(DB::UncommittedChanges());
    QVERIFY(window->flushJournal());
    const QString own = QDir(journalFolder(*mHome)).entryList({"*.kvj"}).value(0);
    Journal::ReadResult read = Journal::ReadFile(journalFolder(*mHome) + '/' + own);
    QVERIFY(read.snapshot && read.snapshot->workPending);
    // On SQLite a table too is created in the transaction.
    QCOMPARE(read.snapshot->pendingStatements,
             QStringList({"create table t (a)", "insert into t values (1)"}));
    QCOMPARE(read.snapshot->server, QString("LITE"));

    QVERIFY(TestWindow::chooseMenuItem(*window, "mnu_f", 4)); // roll back
    QVERIFY(!DB::UncommittedChanges());
    QVERIFY(window->flushJournal());
    read = Journal::ReadFile(journalFolder(*mHome) + '/' + own);
    QVERIFY(!read.snapshot->workPending && read.snapshot->pendingStatements.isEmpty());

    editor->setPlainText("select 'draft'");
    window->unloadFromCode();
    window.reset();
    QCOMPARE(QDir(journalFolder(*mHome)).entryList({"*.kvj", "*.lock"}), QStringList());

    window = startWindow();
    QCOMPARE(editorText(*window), QString());
    History::Store history;
    QVERIFY(history.open(mHome->filePath("history/history.db")));
    const QList<History::Entry> entries = history.search("");
    QCOMPARE(entries.size(), 4);
    QCOMPARE(entries[0].head, QString("select 'draft'"));
    QCOMPARE(entries[0].outcome, QString("下書き"));
    QCOMPARE(entries[1].head, QString("select * from t"));
    QCOMPARE(entries[1].rows, 1);
    QCOMPARE(entries[2].outcome, QString("実行"));
    QVERIFY(mDialogs->messages.isEmpty());
}

// The history window lists, searches, and hands a statement to the editor in
// place of its selection; it never runs it.
void tst_Journal::historyWindowPutsStatementIntoEditor()
{
    {
        History::Store history;
        QVERIFY(QDir().mkpath(mHome->filePath("history")));
        QVERIFY(history.open(mHome->filePath("history/history.db")));
        history.recordEnd(history.recordStart({"select *\r\nfrom 社員", "LITE", "A"}), {});
        history.recordEnd(history.recordStart({"delete from t", "LITE", "A"}), {});
    }
    auto window = startWindow();
    EditorBox *editor = TestWindow::editor(*window);
    editor->setPlainText("-- a\nold\n");
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(5);
    cursor.setPosition(8, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);

    TestWindow::menu(*window, "mnu_view")->findChild<QAction *>("mnuHistory")->trigger();
    auto *history = window->findChild<frmHistory *>();
    QVERIFY(history && history->isVisible());
    QCOMPARE(history->lvwHistory->topLevelItemCount(), 2);
    QTest::keyClicks(history->txtSearch, "FROM");
    history->refresh();
    QCOMPARE(history->lvwHistory->topLevelItemCount(), 2);
    history->txtSearch->setText("社員");
    history->refresh();
    QCOMPARE(history->lvwHistory->topLevelItemCount(), 1);
    QCOMPARE(history->txtStatement->toPlainText(), QString("select *\nfrom 社員"));
    QTest::keyClick(history->txtSearch, Qt::Key_Return);

    QCOMPARE(editorText(*window), QString("-- a\nselect *\nfrom 社員\n"));
    QCOMPARE(TestWindow::statusBar(*window)->currentMessage(), QString()); // nothing ran
}

// A history or journal that cannot be used is said once; the program goes on
// without it.
void tst_Journal::unusableStore_data()
{
    QTest::addColumn<QString>("file");     // in the data folder
    QTest::addColumn<QByteArray>("bytes"); // empty: a history of a newer version
    QTest::addColumn<QString>("message");  // "title|" and a word of the text
    QTest::addColumn<bool>("setAside");

    QTest::newRow("history damaged")
        << "history/history.db" << QByteArray(4096, 'x') << "履歴|壊れていた" << true;
    QTest::newRow("history of a newer version")
        << "history/history.db" << QByteArray() << "履歴|新しい版" << false;
    // A file where the journal's folder should be: no journal can be written.
    QTest::newRow("journal cannot be written")
        << "journal" << QByteArray("x") << "編集内容の保護|作れません" << false;
}

void tst_Journal::unusableStore()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    QFETCH(bool, setAside);
    const QString path = mHome->filePath(file);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    if (bytes.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec("PRAGMA user_version = 99"));
        db.close();
    } else {
        QVERIFY(writeBytes(path, bytes));
    }
    QSqlDatabase::removeDatabase("newer");

    auto window = startWindow();
    QCOMPARE(mDialogs->messages.size(), 1);
    const QString title = message.section('|', 0, 0) + '|';
    QVERIFY2(mDialogs->messages.first().startsWith(title)
                 && mDialogs->messages.first().contains(message.section('|', 1)),
             qPrintable(mDialogs->messages.first()));
    QCOMPARE(QDir(QFileInfo(path).path()).entryList({"*.damaged-*"}).size(), setAside ? 1 : 0);
    // The editor still works, and runs leave no second message.
    TestWindow::editor(*window)->setPlainText("select 1");
    QTest::keyClick(TestWindow::editor(*window), Qt::Key_F5);
    QVERIFY(!window->flushJournal() || file != "journal");
    QCOMPARE(mDialogs->messages.size(), 1);
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--type-until-killed") == 0)
        return typeUntilKilled(QString::fromLocal8Bit(argv[2]));
    tst_Journal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_journal.moc"
