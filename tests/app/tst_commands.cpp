#include "../fakedialogs.h"
#include "../mainwindow.h"
#include "about/frmabout.h"
#include "app/commands.h"
#include "app/editorbox.h"
#include "app/filecommands.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "app/maincontrols.h"
#include "convert/frmvb.h"
#include "exec/resultmodel.h"
#include "files/loadtextfile.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using namespace SQLEdit;

namespace {

// The enabled states of the toolbar's editing buttons as one string, "1" or "0"
// for buttons 2, 8, 9, 10, 11 and 13.
QString editButtons(const frmMain &w)
{
    QString states;
    for (int index : {2, 8, 9, 10, 11, 13})
        states += TestWindow::toolbarButton(w, index)->isEnabled() ? '1' : '0';
    return states;
}

void setStates(const frmMain &w, bool enabled)
{
    for (int index : {2, 8, 9, 10, 11, 13})
        TestWindow::toolbarButton(w, index)->setEnabled(enabled);
}

void select(QPlainTextEdit *editor, int from, int to)
{
    QTextCursor cursor = editor->textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
}

} // namespace

/// The main window's commands: the dispatch table, the button-state rules, and
/// the real window driven with keys, mouse and drops offscreen.
class tst_Commands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void toolbarRunsItsCommand();
    void editButtonRule_data();
    void editButtonRule();
    void editMenuRule_data();
    void editMenuRule();

    void buttonsFollowEditorEvents();
    void editCommands();
    void editMenuWhileResultListIsActive();
    void keys();
    void copyShortcutInEditorGoesThroughMenu();
    void droppedFilesAreInsertedInOrder();
    void exitAndViewFromMenus();
    void longStatusMessageCanBeReadWhole();

private:
    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<frmMain> mWindow;
};

void tst_Commands::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    qputenv("KORVANE_HOME", mHome->path().toLocal8Bit());
    mDialogs = std::make_unique<FakeDialogs>();
    mWindow = std::make_unique<frmMain>();
    mWindow->openInitialConnection = [] { return false; };
    QVERIFY(TestWindow::activate(mWindow.get()));
    TestWindow::editor(*mWindow)->setFocus();
    QGuiApplication::clipboard()->clear();
}

void tst_Commands::cleanup()
{
    mWindow.reset();
    mDialogs.reset();
    SQLEdit::AbortRequested = false;
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

void tst_Commands::toolbarRunsItsCommand()
{
    QStringList table;
    for (int button = 0; button <= MainControls::ToolbarButtonCount + 1; ++button) {
        const Command command = ToolbarCommand(button);
        if (command.routine != Command::None)
            table << QString("%1:%2/%3").arg(button).arg(command.routine).arg(command.index);
    }
    // Routines: 1 file, 2 edit, 3 code window, 4 settings, 5 help.
    QCOMPARE(table.join(' '), QString("1:1/0 2:1/1 4:4/0 5:1/3 6:1/4 8:2/0 9:2/1 10:2/2 11:2/3 "
                                      "13:2/5 14:3/0 16:4/1 18:5/1"));
}

void tst_Commands::editButtonRule_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("states"); // save, copy/cut/delete, paste, convert

    QTest::newRow("empty") << true << false << ""
                           << ""
                           << "0000";
    QTest::newRow("text, selection, clipboard") << true << true << "select 1"
                                                << "x"
                                                << "1111";
    QTest::newRow("editor not active") << false << true << "select 1"
                                       << "x"
                                       << "1000";
    QTest::newRow("line breaks and tabs: save, no convert") << true << false << "\r\n\t\r\n"
                                                            << ""
                                                            << "1000";
    QTest::newRow("spaces only: neither") << true << false << "   "
                                          << ""
                                          << "0000";
    QTest::newRow("a space between tabs is text") << true << false << "\t \t"
                                                  << ""
                                                  << "1001";
    QTest::newRow("ideographic space is text") << true << false << "\u3000"
                                               << ""
                                               << "1001";
}

void tst_Commands::editButtonRule()
{
    QFETCH(bool, active);
    QFETCH(bool, selected);
    QFETCH(QString, text);
    QFETCH(QString, clipboard);
    QFETCH(QString, states);
    const EditButtonStates s = EditButtonRule(active, selected, text, clipboard);
    QString actual;
    for (bool on : {SaveEnabled(text), s.copyCutDelete, s.paste, s.convert})
        actual += on ? '1' : '0';
    QCOMPARE(actual, states);
}

void tst_Commands::editMenuRule_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("selection");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("states"); // items 0 to 5: 1 on, 0 off, - unchanged

    QTest::newRow("editor with selection") << "txtWindow" << 3 << "abc"
                                           << "x"
                                           << "1111-1";
    QTest::newRow("editor, nothing to copy or paste") << "txtWindow" << 0 << "abc"
                                                      << ""
                                                      << "0000-1";
    QTest::newRow("editor, blank text") << "txtWindow" << 2 << "\r\n"
                                        << ""
                                        << "1101-0";
    QTest::newRow("any text box") << "txtOther" << 0 << ""
                                  << "x"
                                  << "0010-0";
    QTest::newRow("result list") << "lvwWindow" << 0 << ""
                                 << "x"
                                 << "000---";
    QTest::newRow("other control") << "cmdButton" << 0 << ""
                                   << "x"
                                   << "------";
    QTest::newRow("no control") << "" << 0 << ""
                                << "x"
                                << "------";
}

void tst_Commands::editMenuRule()
{
    QFETCH(QString, control);
    QFETCH(int, selection);
    QFETCH(QString, text);
    QFETCH(QString, clipboard);
    QFETCH(QString, states);
    QString actual;
    for (const std::optional<bool> &state : EditMenuRule(control, selection, text, clipboard))
        actual += state ? (*state ? '1' : '0') : '-';
    QCOMPARE(actual, states);
}

// The moments at which the buttons are refreshed, with real events; before each
// the buttons are set to a state the refresh must change.
void tst_Commands::buttonsFollowEditorEvents()
{
    frmMain &w = *mWindow;
    QPlainTextEdit *editor = TestWindow::editor(w);
    QWidget *viewport = editor->viewport();
    QGuiApplication::clipboard()->setText("clip");

    // Losing the focus disables copy, cut, paste and delete; convert keeps its state.
    editor->setPlainText("select 1");
    editor->selectAll();
    w.UpdateEditButtons();
    w.UpdateSaveButton();
    QCOMPARE(editButtons(w), QString("111111"));
    TestWindow::resultList(w)->setFocus();
    QCOMPARE(editButtons(w), QString("100001"));

    // Getting it back refreshes everything.
    setStates(w, false);
    editor->setFocus();
    QCOMPARE(editButtons(w), QString("111111"));

    // A key released.
    setStates(w, false);
    QTest::keyClick(editor, Qt::Key_End);
    QCOMPARE(editButtons(w), QString("100101"));

    // Text typed through an input method, which releases no key.
    editor->clear();
    setStates(w, false);
    QInputMethodEvent ime;
    ime.setCommitString(QString::fromUtf8("社員"));
    QApplication::sendEvent(editor, &ime);
    QCOMPARE(EditorText(editor), QString::fromUtf8("社員"));
    QCOMPARE(editButtons(w), QString("100101"));

    // Mouse: a release refreshes only after a press in the editor.
    editor->setPlainText("select a from t");
    setStates(w, false);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(editButtons(w), QString("000000"));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(editButtons(w), QString("100101"));
    setStates(w, false);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier,
                      editor->cursorRect(QTextCursor(editor->document())).center() + QPoint(60, 0));
    QCOMPARE(editButtons(w), QString("111111"));

    // A double click selects a word first, then refreshes the editing buttons.
    editor->setPlainText("select a from t");
    setStates(w, false);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(15, 5));
    QVERIFY(editor->textCursor().hasSelection());
    QCOMPARE(editButtons(w).mid(1), QString("11111"));

    // Ctrl+A selects everything, with Shift held too.
    editor->setPlainText("x");
    setStates(w, false);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(editor->textCursor().selectedText(), QString("x"));
    QCOMPARE(editButtons(w).mid(1), QString("11111"));
}

void tst_Commands::editCommands()
{
    frmMain &w = *mWindow;
    QPlainTextEdit *editor = TestWindow::editor(w);
    QClipboard *clipboard = QGuiApplication::clipboard();
    // A toolbar button left enabled from an earlier state, as a stale button is.
    auto pressStale = [&w](int index) {
        QAction *button = TestWindow::toolbarButton(w, index);
        button->setEnabled(true);
        button->trigger();
    };

    // Copy without a selection (a stale button) empties the clipboard; the Edit
    // menu then offers no paste.
    editor->setPlainText("select 1\nfrom t");
    clipboard->setText("old");
    pressStale(8);
    QVERIFY(clipboard->text().isEmpty());
    emit TestWindow::menu(w, "mnu_edit")->aboutToShow();
    QVERIFY(!TestWindow::menuItem(w, "mnu_e", 2)->isEnabled());

    // Copy and cut from the Edit menu take the selection with CR LF line ends.
    select(editor, 7, 13);
    QVERIFY(TestWindow::chooseMenuItem(w, "mnu_e", 0));
    QCOMPARE(clipboard->text(), QString("1\r\nfrom"));
    QVERIFY(TestWindow::chooseMenuItem(w, "mnu_e", 1));
    QCOMPARE(EditorText(editor), QString("select  t"));
    QCOMPARE(editButtons(w), QString("100101"));

    // Paste replaces a selection, or is the whole text of an empty editor.
    select(editor, 0, 6);
    QVERIFY(TestWindow::chooseMenuItem(w, "mnu_e", 2));
    QCOMPARE(EditorText(editor), QString("1\r\nfrom  t"));
    editor->clear();
    QVERIFY(TestWindow::chooseMenuItem(w, "mnu_e", 2));
    QCOMPARE(EditorText(editor), QString("1\r\nfrom"));
    QVERIFY(TestWindow::toolbarButton(w, 2)->isEnabled());

    // Delete leaves the clipboard alone; with no selection (a stale button) it
    // deletes nothing.
    select(editor, 0, 2);
    QVERIFY(TestWindow::chooseMenuItem(w, "mnu_e", 3));
    QCOMPARE(EditorText(editor), QString("from"));
    pressStale(11);
    QCOMPARE(EditorText(editor), QString("from"));
    QCOMPARE(clipboard->text(), QString("1\r\nfrom"));

    // A line broken with Shift+Enter ends with CR LF like any other line.
    editor->setPlainText("a");
    editor->moveCursor(QTextCursor::End);
    QTest::keyClick(editor, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(EditorText(editor), QString("a\r\n"));
    editor->selectAll();
    QCOMPARE(SelectedEditorText(editor), QString("a\r\n"));
    editor->setPlainText(QString(QChar::LineSeparator) + "\t");
    w.UpdateEditButtons();
    QVERIFY(!TestWindow::toolbarButton(w, 13)->isEnabled());

    // The commands act on the editor whichever control is active.
    TestWindow::resultList(w)->setFocus();
    editor->selectAll();
    pressStale(11);
    QVERIFY(editor->toPlainText().isEmpty());
    QVERIFY(!TestWindow::toolbarButton(w, 2)->isEnabled());
}

void tst_Commands::editMenuWhileResultListIsActive()
{
    frmMain &w = *mWindow;
    QPlainTextEdit *editor = TestWindow::editor(w);
    QMenu *edit = TestWindow::menu(w, "mnu_edit");
    const QList<QAction *> items = TestWindow::menuItems(w, "mnu_e");
    QGuiApplication::clipboard()->setText("clip");
    editor->setPlainText("select 1");
    editor->selectAll();
    emit edit->aboutToShow();
    for (QAction *item : items)
        QVERIFY(item->isEnabled());

    TestWindow::resultList(w)->setFocus();
    items[3]->setEnabled(false);
    emit edit->aboutToShow();
    QString states;
    for (QAction *item : items)
        states += item->isEnabled() ? '1' : '0';
    QCOMPARE(states, QString("000011"));

    // The File menu offers Save while there is text.
    QMenu *file = TestWindow::menu(w, "mnu_file");
    QAction *save = TestWindow::menuItem(w, "mnu_f", 1);
    save->setEnabled(false);
    emit file->aboutToShow();
    QVERIFY(save->isEnabled());
    editor->setPlainText("   ");
    emit file->aboutToShow();
    QVERIFY(!save->isEnabled());
}

void tst_Commands::keys()
{
    frmMain &w = *mWindow;
    QPlainTextEdit *editor = TestWindow::editor(w);
    QTableView *list = TestWindow::resultList(w);
    QStatusBar *status = TestWindow::statusBar(w);
    SQLEdit::ResultModel &rows = *TestWindow::resultModel(w);
    rows.setColumns({"a", "b"});
    for (int row = 0; row < 3; ++row) {
        rows.store().beginRow();
        rows.store().addCell(QString::number(row));
        rows.store().addNull();
    }
    rows.publishRows();

    // F5 runs the statement from the editor, with any modifiers, and nowhere else:
    // with no connection the status bar says so.
    editor->setPlainText("select 1");
    for (Qt::KeyboardModifiers modifiers :
         {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier}) {
        status->showMessage("before");
        QTest::keyClick(editor, Qt::Key_F5, modifiers);
        QVERIFY(status->currentMessage() != "before");
    }
    // Ctrl+Y redoes what was undone, as Ctrl+Shift+Z does.
    editor->setPlainText("");
    QTest::keyClicks(editor, "ab");
    editor->undo();
    QCOMPARE(EditorText(editor), QString());
    QTest::keyClick(editor, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(EditorText(editor), QString("ab"));

    list->setFocus();
    status->showMessage("before");
    QTest::keyClick(list, Qt::Key_F5);
    QCOMPARE(status->currentMessage(), QString("before"));

    // Ctrl+A selects every row; Ctrl+C copies them once: the clipboard changes
    // as often as for one call of the copy routine.
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(list->selectionModel()->selectedRows().size(), 3);
    QSignalSpy changes(QGuiApplication::clipboard(), &QClipboard::dataChanged);
    // The Edit menu's Copy, chosen while the list is active, copies the rows once.
    QAction *copy = TestWindow::menuItem(w, "mnu_e", 0);
    QVERIFY(copy->isEnabled());
    copy->trigger();
    const qsizetype perCopy = changes.size();
    QVERIFY(perCopy > 0);
    changes.clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(changes.size(), perCopy);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString("\"0\",\"\"\r\n\"1\",\"\"\r\n\"2\",\"\""));
    QVERIFY(mDialogs->messages.isEmpty());

    // Esc asks a running statement to stop; with none running it does nothing.
    QTest::keyClick(list, Qt::Key_Escape);
    QVERIFY(!SQLEdit::AbortRequested);
    static_cast<SQLEdit::ExecutionView &>(w).setRunning(true);
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(SQLEdit::AbortRequested);
}

// Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+D in the editor belong to the Edit menu while
// its items are enabled: copying nothing empties the clipboard, as the menu does.
void tst_Commands::copyShortcutInEditorGoesThroughMenu()
{
    QPlainTextEdit *editor = TestWindow::editor(*mWindow);
    QClipboard *clipboard = QGuiApplication::clipboard();
    editor->setPlainText("select 1");
    clipboard->setText("old");
    QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(clipboard->text().isEmpty());

    select(editor, 0, 6);
    QTest::keyClick(editor, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QString("select"));
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(EditorText(editor), QString("selectselect 1"));
    select(editor, 0, 6);
    QTest::keyClick(editor, Qt::Key_D, Qt::ControlModifier);
    QCOMPARE(EditorText(editor), QString("select 1"));
}

void tst_Commands::droppedFilesAreInsertedInOrder()
{
    frmMain &w = *mWindow;
    QPlainTextEdit *editor = TestWindow::editor(w);
    auto write = [this](const QString &name, const QByteArray &bytes) {
        QFile file(mHome->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return;
    };
    write("A.SQL", "select a");
    write("b.txt", "select b\r\n");
    write("c.sql.bak", "select c");
    write("d.Sql", QByteArray("\0\xff", 2));
    QList<QUrl> urls;
    for (const char *name : {"A.SQL", "c.sql.bak", "d.Sql", "b.txt", "missing.sql"})
        urls << QUrl::fromLocalFile(mHome->filePath(name));
    QMimeData data;
    data.setUrls(urls);

    editor->setPlainText("-- top\n");
    editor->moveCursor(QTextCursor::End);
    setStates(w, false);
    const QPoint at = editor->viewport()->rect().center();
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    // A drop goes where the drag entered.
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QApplication::sendEvent(editor->viewport(), &drop);

    QCOMPARE(EditorText(editor), QString("-- top\r\nselect a\r\nselect b\r\n"));
    QCOMPARE(editButtons(w), QString("100001"));
    // The binary file and the missing one are named; the others go in regardless.
    QCOMPARE(mDialogs->messages.size(), 2);
    QCOMPARE(mDialogs->messages.first(),
             "ファイルを開く|" + FileIO::NotTextMessage(mHome->filePath("d.Sql")));
    QVERIFY(mDialogs->messages.last().contains(mHome->filePath("missing.sql")));
}

void tst_Commands::exitAndViewFromMenus()
{
    frmMain &w = *mWindow;
    QAction *button = TestWindow::toolbarButton(w, MainControls::CodeWindowButton);
    QAction *view = TestWindow::menuItem(w, "mnu_v", 0);
    const frmVb *codeWindow = TestWindow::codeWindow(w);
    view->trigger();
    QVERIFY(codeWindow->isVisible());
    QVERIFY(view->isChecked() && button->isChecked());
    button->trigger();
    QVERIFY(!codeWindow->isVisible());
    QVERIFY(!view->isChecked() && !button->isChecked());

    // Help does nothing; the About box opens modal over the main window, from
    // the menu and from the toolbar, and OK closes it.
    QAction *help = TestWindow::menuItem(w, "mnu_h", 0);
    help->setEnabled(true);
    help->trigger();
    QVERIFY(!w.findChild<frmAbout *>());
    for (QAction *command :
         {TestWindow::menuItem(w, "mnu_h", 1), TestWindow::toolbarButton(w, 18)}) {
        bool shown = false;
        // Runs once the dialog's own event loop has started.
        QMetaObject::invokeMethod(
            &w,
            [&] {
                auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
                shown = about && about->parentWidget() == &w && about->isModal();
                if (about)
                    about->cmdOK->click();
            },
            Qt::QueuedConnection);
        command->trigger();
        QVERIFY(shown);
        QVERIFY(!w.findChild<frmAbout *>()); // unloaded once closed
    }
    QVERIFY(mDialogs->messages.isEmpty());

    static_cast<SQLEdit::ExecutionView &>(w).setRunning(true); // even while a statement runs
    TestWindow::menuItem(w, "mnu_f", 6)->trigger();
    QVERIFY(!w.isVisible());
}

QTEST_MAIN(tst_Commands)

// The status bar keeps one line; a message longer than that is whole in the
// tooltip, and a click opens it in a message box.
void tst_Commands::longStatusMessageCanBeReadWhole()
{
    QStatusBar *status = TestWindow::statusBar(*mWindow);
    const QString error = "ERROR:  syntax error at or near \"form\"\r\nLINE 1: select * form t\r\n"
                          "                 ^";
    const QString wide(400, QLatin1Char('x'));
    for (const QString &message : {QString("3件"), error, wide}) {
        status->showMessage(message);
        QCOMPARE(status->toolTip(), message);
        QTest::mouseClick(status, Qt::LeftButton, {}, QPoint(4, status->height() / 2));
        QCOMPARE(status->currentMessage(), message);
    }
    QCOMPARE(mDialogs->messages, QStringList({"メッセージ|" + error, "メッセージ|" + wide}));
}

#include "tst_commands.moc"
