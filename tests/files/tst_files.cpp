#include "../fakedialogs.h"
#include "../filesizelimit.h"
#include "../mainwindow.h"
#include "../testservers.h"
#include "app/filecommands.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "common/errors.h"
#include "engine/sqlconnectionname.h"
#include "files/loadtextfile.h"
#include "files/textfiles.h"
#include "oracle/db.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>
#include <memory>

namespace {

// "-- 社員\r\nselect 1" as the Windows program saves it.
const QByteArray ShiftJisSql("-- \x8e\xd0\x88\xf5\r\nselect 1");

} // namespace

/// Opening and saving SQL files, the text-file helpers, and commit and roll back
/// from the File menu, on a real main window with answering dialogs.
class tst_Files : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadIntoEditor_data();
    void loadIntoEditor();
    void loadIntoListSkipsBlankLines();
    void loadFailsBeforeAddingAnything_data();
    void loadFailsBeforeAddingAnything();
    void openCommand();
    void save_data();
    void save();
    void saveFailureIsReportedAndKeepsOldFile_data();
    void saveFailureIsReportedAndKeepsOldFile();
    void commitAndRollback_data();
    void commitAndRollback();
    void refusedCommitKeepsWorkPending();

private:
    QString path(const QString &name) const { return mDir->filePath(name); }
    int countRows(const QString &server) const;
    void writeServers() const;

    std::unique_ptr<QTemporaryDir> mDir;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<frmMain> mWindow;
};

void tst_Files::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mDir->path().toUtf8());
    mDialogs = std::make_unique<FakeDialogs>();
    mWindow = std::make_unique<frmMain>();
}

void tst_Files::cleanup()
{
    mWindow.reset();
    mDialogs.reset();
    DB::DisconnectDatabase();
    Common::LastError::clear();
    SQLEdit::InitGlobals();
    qunsetenv("KORVANE_HOME");
    mDir.reset();
}

void tst_Files::loadIntoEditor_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("editor");   // before the load
    QTest::addColumn<int>("selectFrom");   // the caret, or the start of the selection
    QTest::addColumn<int>("selectTo");     // the end of the selection
    QTest::addColumn<QString>("expected"); // lines joined with CR LF

    QTest::newRow("last line without line end")
        << QByteArray("A\r\nB") << "" << 0 << 0 << "A\r\nB\r\n";
    QTest::newRow("last line with line end")
        << QByteArray("A\r\nB\r\n") << "" << 0 << 0 << "A\r\nB\r\n";
    QTest::newRow("CR alone ends a line") << QByteArray("A\rB") << "" << 0 << 0 << "A\r\nB\r\n";
    QTest::newRow("LF alone stays in its line, shown as a break")
        << QByteArray("A\nB\n") << "" << 0 << 0 << "A\r\nB\r\n\r\n";
    QTest::newRow("inserted at the caret") << QByteArray("A") << "XY" << 1 << 1 << "XA\r\nY";
    QTest::newRow("replaces the selection") << QByteArray("A") << "XYZ" << 0 << 3 << "A\r\n";
    QTest::newRow("empty file adds nothing") << QByteArray() << "XY" << 1 << 1 << "XY";
    QTest::newRow("Shift_JIS") << ShiftJisSql << "" << 0 << 0
                               << QString::fromUtf8("-- 社員\r\nselect 1\r\n");
    QTest::newRow("UTF-8 reads the same") << QString::fromUtf8("-- 社員\r\nselect 1").toUtf8() << ""
                                          << 0 << 0 << QString::fromUtf8("-- 社員\r\nselect 1\r\n");
}

void tst_Files::loadIntoEditor()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, editor);
    QFETCH(int, selectFrom);
    QFETCH(int, selectTo);
    QFETCH(QString, expected);
    QVERIFY(writeBytes(path("a.sql"), file));

    EditorBox *box = TestWindow::editor(*mWindow);
    box->setPlainText(editor);
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(selectFrom);
    cursor.setPosition(selectTo, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    FileIO::LoadTextFile(path("a.sql"), box);
    QCOMPARE(EditorText(box), expected);
}

void tst_Files::loadIntoListSkipsBlankLines()
{
    QVERIFY(writeBytes(path("DB.ini"), "  a  \r\n   \r\n\r\nb\r\n\t\r\n"));
    QListWidget lstDB;
    lstDB.setObjectName("lstDB");
    lstDB.addItem("first");
    FileIO::LoadTextFile(path("DB.ini"), &lstDB);
    QStringList items;
    for (int i = 0; i < lstDB.count(); ++i)
        items << lstDB.item(i)->text();
    QCOMPARE(items, QStringList({"first", "  a  ", "b", "\t"}));

    // A control of another kind gets nothing.
    lstDB.setObjectName("lvwDB");
    FileIO::LoadTextFile(path("DB.ini"), &lstDB);
    QCOMPARE(lstDB.count(), 4);
}

void tst_Files::loadFailsBeforeAddingAnything_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("error");
    QTest::newRow("missing") << "missing.sql" << int(Common::ErrFileNotFound);
    QTest::newRow("a folder") << "folder.sql" << int(Common::ErrFileAccess);
    QTest::newRow("binary") << "binary.sql" << int(Common::ErrBadFileFormat);
}

void tst_Files::loadFailsBeforeAddingAnything()
{
    QFETCH(QString, name);
    QFETCH(int, error);
    QVERIFY(QDir(mDir->path()).mkdir("folder.sql"));
    QVERIFY(writeBytes(path("binary.sql"), QByteArray("select\0\xff\xfe\x81\x00", 11)));

    EditorBox *editor = TestWindow::editor(*mWindow);
    editor->setPlainText("kept");
    QCOMPARE(errorNumber([&] { FileIO::LoadTextFile(path(name), editor); }), error);
    QCOMPARE(EditorText(editor), QString("kept"));
}

void tst_Files::openCommand()
{
    QVERIFY(writeBytes(path("a.sql"), "A\r\nB\r\n"));
    mWindow->show();
    EditorBox *editor = TestWindow::editor(*mWindow);
    editor->setFocus();

    // From the File menu; cancelled: nothing happens.
    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 0));
    QCOMPARE(mDialogs->choosers,
             QStringList({"ファイルを開く|" + mDir->path() + "|SQLﾌｧｲﾙ (*.sql *.txt)"}));
    QVERIFY(editor->toPlainText().isEmpty());

    // From the toolbar; the buttons follow the new text.
    mDialogs->chosenFile = path("a.sql");
    TestWindow::toolbarButton(*mWindow, 1)->trigger();
    QCOMPARE(EditorText(editor), QString("A\r\nB\r\n"));
    QVERIFY(TestWindow::toolbarButton(*mWindow, 2)->isEnabled());
    QVERIFY(TestWindow::toolbarButton(*mWindow, 13)->isEnabled());

    // Saving what was opened adds one line end, as every save does.
    mDialogs->chosenFile = path("b.sql");
    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 1));
    QCOMPARE(readBytes(path("b.sql")), QByteArray("A\r\nB\r\n\r\n"));

    // A file that vanished stays silent; one that is not text says so.
    mDialogs->chosenFile = path("vanished.sql");
    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 0));
    QVERIFY(mDialogs->messages.isEmpty());
    QVERIFY(writeBytes(path("image.sql"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff", 17)));
    mDialogs->chosenFile = path("image.sql");
    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 0));
    QCOMPARE(mDialogs->messages,
             QStringList({"ファイルを開く|" + FileIO::NotTextMessage(path("image.sql"))}));
    QCOMPARE(EditorText(editor), QString("A\r\nB\r\n"));
}

void tst_Files::save_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selectionLength"); // from the start
    QTest::addColumn<QString>("typed");       // in the chooser; empty: cancelled
    QTest::addColumn<bool>("answerYes");      // to replacing a file of the extended name
    QTest::addColumn<QString>("written");     // the file expected to change
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("linkTo"); // typed is made a symbolic link to this file first

    const QByteArray old = "old";
    QTest::newRow("whole text, .sql added")
        << "A\nB" << 0 << "q" << true << "q.sql" << QByteArray("A\r\nB\r\n") << QString();
    QTest::newRow("selection only") << "select 1 from t" << 8 << "q.SQL" << true << "q.SQL"
                                    << QByteArray("select 1\r\n") << QString();
    QTest::newRow(".Txt kept") << "x" << 0 << "n.Txt" << true << "n.Txt" << QByteArray("x\r\n")
                               << QString();
    QTest::newRow(".sq gets .sql after it")
        << "x" << 0 << "a.sq" << true << "a.sq.sql" << QByteArray("x\r\n") << QString();
    QTest::newRow("Japanese in UTF-8") << "-- 社員" << 0 << "j.sql" << true << "j.sql"
                                       << QString::fromUtf8("-- 社員\r\n").toUtf8() << QString();
    QTest::newRow("extended name exists, replaced when agreed")
        << "new" << 0 << "old" << true << "old.sql" << QByteArray("new\r\n") << QString();
    QTest::newRow("extended name exists, kept when refused")
        << "new" << 0 << "old" << false << "old.sql" << old << QString();
    QTest::newRow("cancelled") << "x" << 0 << "" << true << "old.sql" << old << QString();
    QTest::newRow("symbolic link: its file written, the link kept")
        << "x" << 0 << "link.sql" << true << "old.sql" << QByteArray("x\r\n") << "old.sql";
}

void tst_Files::save()
{
    QFETCH(QString, text);
    QFETCH(int, selectionLength);
    QFETCH(QString, typed);
    QFETCH(bool, answerYes);
    QFETCH(QString, written);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, linkTo);
    QVERIFY(writeBytes(path("old.sql"), "old"));
    if (!linkTo.isEmpty())
        QVERIFY(QFile::link(path(linkTo), path(typed)));

    EditorBox *editor = TestWindow::editor(*mWindow);
    editor->setPlainText(text);
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(selectionLength, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    mDialogs->chosenFile = typed.isEmpty() ? QString() : path(typed);
    mDialogs->answerYes = answerYes;
    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 1));

    QCOMPARE(readBytes(path(written)), bytes);
    QCOMPARE(mDialogs->questions.size(), typed == "old" ? 1 : 0);
    QVERIFY(mDialogs->messages.isEmpty());
    QCOMPARE(QDir(mDir->path()).entryList(QDir::Files).size(),
             written == "old.sql" && linkTo.isEmpty() ? 2 : 3);
    if (!linkTo.isEmpty())
        QCOMPARE(QFileInfo(path(typed)).symLinkTarget(), path(linkTo));
}

void tst_Files::saveFailureIsReportedAndKeepsOldFile_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("diskLimit");  // 0: no limit
    QTest::addColumn<QString>("made");   // what typed is made first
    QTest::addColumn<QString>("reason"); // a part of the reason given
    QTest::newRow("folder that cannot exist") << "old.sql/new.sql" << 0 << ""
                                              << "";
    QTest::newRow("full disk") << "old.sql" << 100 << ""
                               << "";
    QTest::newRow("FIFO") << "fifo.sql" << 0 << "fifo"
                          << "通常のファイルではない";
    QTest::newRow("device") << "null.sql" << 0 << "device"
                            << "通常のファイルではない";
    QTest::newRow("file in a folder that cannot be written")
        << "locked/old.sql" << 0 << "locked folder"
        << "フォルダに書き込めるように";
}

void tst_Files::saveFailureIsReportedAndKeepsOldFile()
{
    QFETCH(QString, typed);
    QFETCH(int, diskLimit);
    QFETCH(QString, made);
    QFETCH(QString, reason);
    QVERIFY(writeBytes(path("old.sql"), "old"));
    const bool root = geteuid() == 0;
    if (made == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(path(typed)).constData(), 0600), 0);
    } else if (made == "device") {
        // A link to a device: a save that went wrong would replace the device, so
        // as root, whom no permission stops, the test makes its own.
        const QString device = root ? path("null") : QStringLiteral("/dev/null");
        if (root && mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)))
            QSKIP("cannot make a device node here");
        QVERIFY(QFile::link(device, path(typed)));
    } else if (made == "locked folder") {
        if (root)
            QSKIP("permissions do not stop root");
        QVERIFY(QDir(mDir->path()).mkdir("locked"));
        QVERIFY(writeBytes(path(typed), "old"));
        QVERIFY(QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner));
    }
    const auto unlock = qScopeGuard([&] {
        QFile::setPermissions(path("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    TestWindow::editor(*mWindow)->setPlainText(QString(300, 'x'));
    mDialogs->chosenFile = path(typed);
    {
        FileSizeLimit limit(diskLimit > 0 ? rlim_t(diskLimit) : RLIM_INFINITY);
        QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 1));
    }
    QCOMPARE(mDialogs->messages.size(), 1);
    const QString message = mDialogs->messages.first();
    QVERIFY2(message.startsWith("ファイルを保存する|ファイルを保存できませんでした。\n"
                                + path(typed) + "\n"),
             qPrintable(message));
    QVERIFY2(!message.endsWith("\n"), qPrintable(message)); // a reason is given
    QVERIFY2(message.contains(reason), qPrintable(message));
    QCOMPARE(readBytes(path("old.sql")), QByteArray("old"));
    if (made == "locked folder")
        QCOMPARE(readBytes(path(typed)), QByteArray("old"));
    else if (!made.isEmpty())
        QVERIFY(!QFileInfo(QFileInfo(path(typed)).canonicalFilePath()).isFile());
}

int tst_Files::countRows(const QString &server) const
{
    return testCountRows(mDir->path(), server, "t_files");
}

void tst_Files::writeServers() const
{
    QVERIFY(writeTestServers(mDir->path(), "[NOWAIT]\r\nDRIVER=QSQLITE\r\nDATABASE=lite.db\r\n"
                                           "OPTIONS=QSQLITE_BUSY_TIMEOUT=0\r\n"));
}

void tst_Files::commitAndRollback_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("flags"); // H: HasConnected, C: a row inserted, not committed
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("rows"); // seen by another connection afterwards

    for (const char *server : {"LITE", "PG"}) {
        const QByteArray name(server);
        QTest::newRow(name + " commit") << server << 3 << "HC"
                                        << "コミットしました。" << 1;
        QTest::newRow(name + " rollback") << server << 4 << "HC"
                                          << "ロールバックしました。" << 0;
        // Without changes since the last commit (a query only) nothing is sent or shown.
        QTest::newRow(name + " commit without changes") << server << 3 << "H"
                                                        << "" << 0;
    }
    QTest::newRow("commit before any connection was made") << "LITE" << 3 << "C"
                                                           << "" << 0;
}

void tst_Files::commitAndRollback()
{
    QFETCH(QString, server);
    QFETCH(int, index);
    QFETCH(QString, flags);
    QFETCH(QString, status);
    QFETCH(int, rows);
    const QString pgUser = qEnvironmentVariable("KORVANE_TEST_PG_USER");
    if (server == "PG" && pgUser.isEmpty())
        QFAIL("The PostgreSQL test environment is missing: run the tests through "
              "scripts/with-postgres.");
    writeServers();

    DB::ConnectDatabase(pgUser, qEnvironmentVariable("KORVANE_TEST_PG_PASSWORD"), server);
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
    DB::ExecuteStatement("DROP TABLE IF EXISTS t_files");
    DB::ExecuteStatement("CREATE TABLE t_files (id INTEGER)");
    DB::BeginTransaction();
    if (flags.contains('C'))
        DB::ExecuteStatement("INSERT INTO t_files VALUES (1)");
    else
        DB::OpenDynaset("SELECT COUNT(*) FROM t_files", 0);
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
    QCOMPARE(DB::UncommittedChanges(), flags.contains('C'));
    SQLEdit::HasConnected = flags.contains('H');

    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", index));
    QCOMPARE(TestWindow::statusBar(*mWindow)->currentMessage(), status);
    QCOMPARE(DB::UncommittedChanges(), flags == "C");
    QCOMPARE(DB::InTransaction(), status.isEmpty());
    DB::RollbackTransaction();
    QCOMPARE(countRows(server), rows);
}

// A commit that the database refuses (another connection still reads) says why
// and leaves the work pending, so that a later commit can save it.
void tst_Files::refusedCommitKeepsWorkPending()
{
    writeServers();
    DB::ConnectDatabase("", "", "NOWAIT");
    DB::ExecuteStatement("CREATE TABLE t_files (id INTEGER)");
    DB::BeginTransaction();
    DB::ExecuteStatement("INSERT INTO t_files VALUES (1)");
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
    SQLEdit::HasConnected = true;
    const QStatusBar *status = TestWindow::statusBar(*mWindow);
    {
        Engine::SqlConnectionName name;
        QSqlDatabase reader = QSqlDatabase::addDatabase("QSQLITE", name.name());
        reader.setDatabaseName(path("lite.db"));
        QVERIFY(reader.open());
        QSqlQuery read(reader);
        QVERIFY(read.exec("SELECT 1 FROM sqlite_master UNION ALL SELECT 2") && read.next());

        QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 3));
        QVERIFY2(status->currentMessage().contains("locked"), qPrintable(status->currentMessage()));
        QVERIFY(DB::UncommittedChanges());
        QVERIFY(DB::InTransaction());
    }
    QVERIFY(TestWindow::chooseMenuItem(*mWindow, "mnu_f", 3));
    QCOMPARE(status->currentMessage(), QString("コミットしました。"));
    QVERIFY(!DB::UncommittedChanges());
    QCOMPARE(countRows("LITE"), 1);
}

QTEST_MAIN(tst_Files)

#include "tst_files.moc"
