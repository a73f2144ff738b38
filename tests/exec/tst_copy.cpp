#include "../fakedialogs.h"
#include "../mainwindow.h"
#include "../testservers.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "common/errors.h"
#include "exec/resultmodel.h"
#include "oracle/db.h"
#include "settings/settingsstore.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace SQLEdit;

/// Copying result rows from the main window: rows of a real query, selected in
/// the list, copied with Ctrl+C as the copy settings say.
class tst_Copy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiedText_data();
    void copiedText();

private:
    void setCopySettings(const QStringList &values);
    void select(const QString &rows);

    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<frmMain> mWindow;
};

namespace {

const char *const Rows = "select 名前, 値, 備考 from t_copy order by id";
const char *const Earlier = "前の表示";

} // namespace

void tst_Copy::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toUtf8());
    QVERIFY(writeTestServers(mHome->path()));
    mDialogs = std::make_unique<FakeDialogs>();
    SQLEdit::InitGlobals();
    mWindow = std::make_unique<frmMain>();
    mWindow->openInitialConnection = [] { return false; };
    QVERIFY(TestWindow::activate(mWindow.get()));
    FileIO::SetSettingValue("DYNOPTION2", "1"); // the rows keep their trailing blanks

    DB::ConnectDatabase(QString(), QString(), "LITE");
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
    DB::ExecuteStatement("CREATE TABLE t_copy (id INTEGER, 名前 TEXT, 値 TEXT, 備考 TEXT)");
    DB::ExecuteStatement("INSERT INTO t_copy VALUES (1, 'A', NULL, '  B  '), "
                         "(2, '日本語', '', ' 　値　 '), "
                         "(3, '<NULL>', 'x,\"y\"', ' \tタブ\n ')");
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
}

void tst_Copy::cleanup()
{
    mWindow.reset();
    mDialogs.reset();
    DB::DisconnectDatabase();
    Common::LastError::clear();
    FileIO::ResetSettings();
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

void tst_Copy::setCopySettings(const QStringList &values)
{
    const QStringList keys{"FIELD", "FIELDMOJI", "DATAPAUSE", "DATAPAUSEF", "DATAPAUSEB", "SPACE"};
    for (qsizetype i = 0; i < keys.size(); ++i)
        FileIO::SetSettingValue(keys[i], values.value(i));
}

// "" selects nothing, "*" is Ctrl+A in the list; otherwise rows ("2") and
// ranges ("0-1") are selected one after another in the order written.
void tst_Copy::select(const QString &rows)
{
    QTableView *list = TestWindow::resultList(*mWindow);
    list->setFocus();
    list->clearSelection();
    if (rows == "*") {
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        return;
    }
    const QAbstractItemModel *model = list->model();
    for (const QString &part : rows.split(',', Qt::SkipEmptyParts)) {
        const QStringList ends = part.split('-');
        const QModelIndex first = model->index(ends.first().toInt(), 0);
        const QModelIndex last = model->index(ends.last().toInt(), model->columnCount() - 1);
        list->selectionModel()->select(QItemSelection(first, last), QItemSelectionModel::Select);
    }
}

void tst_Copy::copiedText_data()
{
    // The list's rows (名前, 値, 備考):
    //   0: "A", NULL, "  B  "
    //   1: "日本語", "", " 　値　 " (spaces and ideographic spaces)
    //   2: "<NULL>" (a text, not NULL), x,"y", " " Tab "タブ" LF " "
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("rows");
    // FIELD, FIELDMOJI, DATAPAUSE, DATAPAUSEF, DATAPAUSEB, SPACE
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("copied"); // rows in the message; -1 for no message

    const QString rows = Rows;
    const QString nulls = "select 値 from t_copy order by id";
    QTest::newRow("tab, enclosed, both blanks trimmed, NULL empty")
        << rows << "0" << QStringList{"1", "", "0", "\"", "\"", "2"} << "\"A\"\t\"\"\t\"B\"" << 1;
    QTest::newRow("comma, enclosed, unknown blank mode keeps blanks")
        << rows << "0,1" << QStringList{"0", "", "0", "\"", "\"", "7"}
        << "\"A\",\"\",\"  B  \"\r\n\"日本語\",\"\",\" 　値　 \"" << 2;
    QTest::newRow("semicolon, not enclosed, leading blanks trimmed")
        << rows << "1" << QStringList{"2", "", "1", "\"", "\"", "0"} << "日本語;;値　 " << 1;
    QTest::newRow("space, trailing blanks trimmed")
        << rows << "1" << QStringList{"3", "", "1", "", "", "1"} << "日本語   　値" << 1;
    QTest::newRow("own separator of two characters, own enclosing texts")
        << rows << "0" << QStringList{"4", "＠|", "0", "[", "]>", "3"} << "[A]>＠|[]>＠|[  B  ]>"
        << 1;
    QTest::newRow("no separator") << rows << "0" << QStringList{"5", ",", "1", "", "", "3"}
                                  << "A  B  " << 1;
    QTest::newRow("unknown separator, unknown enclosing value")
        << rows << "0" << QStringList{"-1", ",", "2", "\"", "\"", "2"} << "AB" << 1;
    QTest::newRow("values unescaped; text <NULL> is kept")
        << rows << "2" << QStringList{"0", "", "1", "", "", "3"} << "<NULL>,x,\"y\", \tタブ\n "
        << 1;
    QTest::newRow("tabs and line breaks are not blanks")
        << rows << "2" << QStringList{"1", "", "0", "\"", "\"", "2"}
        << "\"<NULL>\"\t\"x,\"\"y\"\"\"\t\"\tタブ\n\"" << 1;
    QTest::newRow("a quote is doubled only when the text after it is the same")
        << nulls << "2" << QStringList{"0", "", "0", "\"", "'", "3"} << "\"x,\"y\"'" << 1;
    QTest::newRow("rows selected out of order copy in list order")
        << rows << "2,0" << QStringList{"1", "", "1", "", "", "3"}
        << "A\t\t  B  \r\n<NULL>\tx,\"y\"\t \tタブ\n " << 2;
    QTest::newRow("overlapping selections copy each row once")
        << rows << "1-2,0-1" << QStringList{"5", "", "1", "", "", "2"}
        << "AB\r\n日本語値\r\n<NULL>x,\"y\"\tタブ\n"
        << 3;
    QTest::newRow("Ctrl+A copies every row")
        << rows << "*" << QStringList{"1", "", "0", "'", "'", "3"}
        << "'A'\t''\t'  B  '\r\n'日本語'\t''\t' 　値　 '\r\n'<NULL>'\t'x,\"y\"'\t' \tタブ\n '" << 3;
    QTest::newRow("nothing selected")
        << rows << "" << QStringList{"0", "", "0", "\"", "\"", "3"} << "" << -1;
    QTest::newRow("a lone NULL copies as nothing")
        << nulls << "0" << QStringList{"0", "", "1", "", "", "3"} << "" << -1;
    QTest::newRow("a lone NULL, enclosed")
        << nulls << "0" << QStringList{"0", "", "0", "\"", "\"", "3"} << "\"\"" << 1;
    QTest::newRow("two empty rows keep the line end between them")
        << nulls << "0-1" << QStringList{"0", "", "1", "", "", "3"} << "\r\n"
        << 2;
    QTest::newRow("a value longer than the list shows is copied whole")
        << "select hex(zeroblob(2500))"
        << "0" << QStringList{"0", "", "1", "", "", "3"} << QString(5000, '0') << 1;
}

void tst_Copy::copiedText()
{
    QFETCH(QString, query);
    QFETCH(QString, rows);
    QFETCH(QStringList, settings);
    QFETCH(QString, text);
    QFETCH(int, copied);

    EditorBox *editor = TestWindow::editor(*mWindow);
    QTableView *list = TestWindow::resultList(*mWindow);
    QStatusBar *status = TestWindow::statusBar(*mWindow);
    editor->setPlainText(query);
    QTest::keyClick(editor, Qt::Key_F5);
    QVERIFY2(mDialogs->messages.isEmpty(), qPrintable(mDialogs->messages.join('\n')));
    select(rows);

    // A copy with other settings first: the settings are read again at each copy.
    setCopySettings({"3", "", "0", "<", ">", "0"});
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);

    QGuiApplication::clipboard()->setText("古い内容");
    status->showMessage(Earlier);
    setCopySettings(settings);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);

    QCOMPARE(QGuiApplication::clipboard()->text(), text);
    QCOMPARE(status->currentMessage(),
             copied < 0 ? QString(Earlier) : QString("コピーが完了しました。 (%1件)").arg(copied));
    QVERIFY(mDialogs->messages.isEmpty());
}

QTEST_MAIN(tst_Copy)

#include "tst_copy.moc"
