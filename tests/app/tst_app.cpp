#include "../fakedialogs.h"
#include "../mainwindow.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "app/qtsetup.h"
#include "app/sqledit.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/icons.h"
#include "common/placeform.h"
#include "convert/frmvb.h"
#include "editor/findbar.h"
#include "oracle/component.h"
#include "oracle/db.h"
#include "settings/settingsstore.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

/// The main window as a user meets it: composition, start-up, activation and closing.
class tst_App : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startUpResetsFlagsAndShowsCaption();
    void loadCreatesSettingsFileOrCarriesOnWithout();
    void menusHoldEveryItemInOrder();
    void findKeysAndLineNumbersReachTheEditor();
    void toolbarHasEighteenPositions();
    void imagesAreSixteenPixelsSquareAndTwiceThat();
    void controlsAtLoad();
    void editorTakesItsShareAndKeepsIt();
    void splitterDragMovesTheBoundary_data();
    void splitterDragMovesTheBoundary();
    void codeWindowIsCreatedHiddenBesideMainWindow();
    void activationRefreshesButtonsAndTriesInitialConnectionOnce();
    void closeBoxIsRefusedWhileStatementRuns();
    void startUpMakesDemoServerReady();
    void closingAsksAboutPendingWork_data();
    void closingAsksAboutPendingWork();
    void placeFormMovesTopThenLeft();
    // Last: it installs Qt's Japanese texts for the rest of the run.
    void qtDialogsAreJapaneseAndWriteOnlyInKorvaneFolder();

private:
    QTemporaryDir *mHome = nullptr;
};

void tst_App::init()
{
    mHome = new QTemporaryDir;
    qputenv("KORVANE_HOME", mHome->path().toLocal8Bit());
}

void tst_App::cleanup()
{
    delete mHome;
    mHome = nullptr;
}

void tst_App::startUpResetsFlagsAndShowsCaption()
{
    SQLEdit::AbortRequested = SQLEdit::HasConnected = true;

    const std::unique_ptr<frmMain> window = SQLEdit::Main();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QVERIFY(!SQLEdit::AbortRequested);
    QVERIFY(!SQLEdit::HasConnected);
    QVERIFY(!DB::UncommittedChanges());
    QVERIFY(!DB::InTransaction());

    QCOMPARE(SQLEdit::BaseCaption, QString("Korvane Ver3.1.1"));
    QCOMPARE(window->windowTitle(), SQLEdit::BaseCaption);
    QCOMPARE(SQLEdit::BuildCaption("Korvane", 10, 0, 7), QString("Korvane Ver10.0.7"));
}

void tst_App::loadCreatesSettingsFileOrCarriesOnWithout()
{
    {
        frmMain w;
        QVERIFY(QFile::exists(mHome->filePath("CONFIG.ini")));
        QCOMPARE(FileIO::GetSettingValue("HENNAME"), QVariant(QString("strSQL")));
    }

    // A folder that cannot be created (its parent is a file): defaults, no file, no crash.
    QFile blocker(mHome->filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("KORVANE_HOME", blocker.fileName().toLocal8Bit() + "/home");
    FileIO::ResetSettings();
    frmMain w;
    QCOMPARE(FileIO::GetSettingValue("SPACE"), QVariant(qint16(3)));
    QCOMPARE(w.windowTitle(), QString("Korvane Ver3.1.1"));
}

void tst_App::menusHoldEveryItemInOrder()
{
    frmMain w;
    const QList<QAction *> top = w.menuBar()->actions();
    QCOMPARE(top.size(), 5);
    const QStringList captions{"ﾌｧｲﾙ(&F)", "編集(&E)", "表示(&V)", "設定(&S)", "ﾍﾙﾌﾟ(&H)"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(top[i]->text(), captions[i]);

    // The items of each menu by their names, "mnu_f(0)" and on.
    auto texts = [&w](const char *items) {
        QStringList list;
        for (QAction *a : TestWindow::menuItems(w, items))
            list << (a->isSeparator() ? QString("-") : a->text());
        return list;
    };
    QCOMPARE(texts("mnu_f"),
             QStringList({"開く", "SQLを保存", "-", "ｺﾐｯﾄ", "ﾛｰﾙﾊﾞｯｸ", "-", "終了"}));
    QCOMPARE(texts("mnu_e"),
             QStringList({"ｺﾋﾟｰ", "切り取り", "貼り付け", "削除", "-", "編集用ｳｨﾝﾄﾞｳへ"}));
    QCOMPARE(texts("mnu_v"), QStringList({"編集用ｳｨﾝﾄﾞｳ"}));
    QCOMPARE(texts("mnu_s"), QStringList({"DB接続", "ﾌﾟﾛﾊﾟﾃｨ"}));
    QCOMPARE(texts("mnu_h"), QStringList({"ﾍﾙﾌﾟ", "ﾊﾞｰｼﾞｮﾝ情報"}));
    // The named items are the menu's own, in its order, with the export after
    // the other command that writes a file.
    QList<QAction *> fileItems = TestWindow::menuItems(w, "mnu_f");
    auto *exportItem = w.findChild<QAction *>("mnuExport");
    QVERIFY(exportItem);
    QCOMPARE(exportItem->text(), QString("ｴｸｽﾎﾟｰﾄ..."));
    fileItems.insert(2, exportItem);
    QCOMPARE(fileItems, TestWindow::menu(w, "mnu_file")->actions());

    QCOMPARE(TestWindow::menuItem(w, "mnu_e", 0)->shortcut(), QKeySequence("Ctrl+C"));
    QCOMPARE(TestWindow::menuItem(w, "mnu_e", 1)->shortcut(), QKeySequence("Ctrl+X"));
    QCOMPARE(TestWindow::menuItem(w, "mnu_e", 2)->shortcut(), QKeySequence("Ctrl+V"));
    QCOMPARE(TestWindow::menuItem(w, "mnu_e", 3)->shortcut(), QKeySequence("Ctrl+D"));
    QVERIFY(TestWindow::menuItem(w, "mnu_e", 5)->shortcut().isEmpty());

    // The editor's commands follow them.
    auto menuTexts = [&w](const char *name) {
        QStringList list;
        for (QAction *a : TestWindow::menu(w, name)->actions())
            list << (a->isSeparator() ? QString("-") : a->text());
        return list;
    };
    QCOMPARE(menuTexts("mnu_edit").mid(6),
             QStringList({"-", "検索...", "置換...", "次を検索", "前を検索", "-", "入力補完(&M)"}));
    QCOMPARE(menuTexts("mnu_view"), QStringList({"編集用ｳｨﾝﾄﾞｳ", "履歴(&H)...", "-", "行番号", "-",
                                                 "補完候補を更新(&N)"}));
}

void tst_App::findKeysAndLineNumbersReachTheEditor()
{
    frmMain w;
    QVERIFY(TestWindow::activate(&w));
    EditorBox *editor = TestWindow::editor(w);
    Editor::FindBar *bar = editor->findBar();
    editor->setPlainText("select a from t where a = 1");
    editor->setFocus();
    QTest::keyClick(editor, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible());
    QTest::keyClicks(bar->patternBox(), "a");
    QTest::keyClick(bar->patternBox(), Qt::Key_F3);
    QCOMPARE(editor->textCursor().selectionStart(), 7);
    QTest::keyClick(bar->patternBox(), Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    QVERIFY(editor->hasFocus());
    QTest::keyClick(editor, Qt::Key_F3); // the bar closed, the pattern kept
    QCOMPARE(editor->textCursor().selectionStart(), 22);
    QTest::keyClick(editor, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(editor->textCursor().selectionStart(), 7);

    // Hiding the line numbers lasts into the next window.
    auto *numbers = w.findChild<QAction *>("mnuLineNumbers");
    QVERIFY(numbers->isChecked() && editor->lineNumbersVisible());
    numbers->trigger();
    QVERIFY(!editor->lineNumbersVisible());
    frmMain next;
    QVERIFY(!TestWindow::editor(next)->lineNumbersVisible());
}

void tst_App::toolbarHasEighteenPositions()
{
    frmMain w;
    const QList<QAction *> buttons = TestWindow::toolbar(w)->actions();
    QCOMPARE(buttons.size(), 18);
    const QStringList keys{"imgOpen",     "imgSave", "-",           "imgDB",     "imgCommit",
                           "imgRollback", "-",       "imgCopy",     "imgCut",    "imgPut",
                           "imgDelete",   "-",       "imgGoWindow", "imgWindow", "-",
                           "imgProperty", "-",       "imgInfo"};
    const QStringList tips{"ﾌｧｲﾙを開く",
                           "SQLをﾌｧｲﾙに保存",
                           "",
                           "DB接続",
                           "ｺﾐｯﾄ",
                           "ﾛｰﾙﾊﾞｯｸ",
                           "",
                           "ｺﾋﾟｰ",
                           "切り取り",
                           "貼り付け",
                           "削除",
                           "",
                           "編集ｳｨﾝﾄﾞｳへ",
                           "編集ｳｨﾝﾄﾞｳ表示・非表示",
                           "",
                           "ﾌﾟﾛﾊﾟﾃｨ",
                           "",
                           "ﾊﾞｰｼﾞｮﾝ情報"};
    for (int index = 1; index <= 18; ++index) {
        QAction *button = buttons.at(index - 1);
        if (keys[index - 1] == "-") {
            QVERIFY2(button->isSeparator(), qPrintable(QString::number(index)));
            continue;
        }
        QCOMPARE(button->objectName(), keys[index - 1]);
        QCOMPARE(w.findChild<QAction *>(keys[index - 1]), button); // the one of that name
        QCOMPARE(button->toolTip(), tips[index - 1]);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->icon().pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
        QCOMPARE(button->isCheckable(), index == 14);
    }
    QVERIFY(!TestWindow::toolbarButton(w, 14)->isChecked());
}

void tst_App::imagesAreSixteenPixelsSquareAndTwiceThat()
{
    const QStringList keys{"comit", "copy",       "cut",      "delete", "stop",     "gowindow",
                           "help",  "infomation", "open",     "put",    "rollback", "window",
                           "db",    "save1",      "property", "save2"};
    for (const QString &key : keys) {
        const QImage image(":/icons/" + key + ".png");
        QVERIFY2(!image.isNull(), qPrintable(key));
        QCOMPARE(image.size(), QSize(16, 16));
        // A screen at twice the scale gets the image drawn at twice the size, not
        // the small one enlarged.
        const QImage large(":/icons/" + key + "@2x.png");
        QCOMPARE(large.size(), QSize(32, 32));
        const QPixmap shown = Common::ImageIcon(key).pixmap(QSize(16, 16), 2.0);
        QCOMPARE(shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 large.convertToFormat(QImage::Format_ARGB32_Premultiplied));
        QCOMPARE(Common::ImageIcon(key).pixmap(QSize(16, 16), 1.0).toImage().size(), QSize(16, 16));
    }
    // The application icon has a drawing at four times the size, for the About box.
    QCOMPARE(Common::ApplicationIcon().pixmap(QSize(16, 16), 4.0).size(), QSize(64, 64));
}

void tst_App::controlsAtLoad()
{
    frmMain w;
    const QLabel *hint = TestWindow::hint(w);
    const EditorBox *editor = TestWindow::editor(w);
    const QTableView *list = TestWindow::resultList(w);
    QVERIFY(hint->isHidden());
    QCOMPARE(hint->text(), QString("[ESC]キーを押すと処理を中断できます。"));
    QCOMPARE(hint->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QCOMPARE(hint->font().families().first(), QString("ＭＳ Ｐゴシック"));
    QCOMPARE(hint->font().pointSizeF(), 6.75);
    QCOMPARE(editor->font().families().first(), QString("ＭＳ 明朝"));
    QVERIFY(editor->font().families().contains("IPAMincho"));
    QCOMPARE(editor->font().pointSizeF(), 11.25);
    QCOMPARE(editor->toolTip(), QString("F5で実行します"));
    QCOMPARE(list->toolTip(), QString("『Ctrl+C』でコピーします"));
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(editor->acceptDrops());
    QVERIFY(TestWindow::splitterBar(w)->isHidden());
    QCOMPARE(TestWindow::splitterGrip(w)->cursor().shape(), Qt::SizeVerCursor);
    QVERIFY(TestWindow::statusBar(w)->currentMessage().isEmpty());

    // Everything starts enabled except Help, which never is.
    for (const char *items : {"mnu_f", "mnu_e"}) {
        for (QAction *a : TestWindow::menuItems(w, items))
            QVERIFY(a->isEnabled());
    }
    QVERIFY(!TestWindow::menuItem(w, "mnu_h", 0)->isEnabled());
    QVERIFY(TestWindow::menuItem(w, "mnu_h", 1)->isEnabled());
    QVERIFY(!TestWindow::menuItem(w, "mnu_v", 0)->isChecked());
    for (QAction *a : TestWindow::toolbar(w)->actions())
        QVERIFY(a->isEnabled());
    QVERIFY(w.initialConnectPending());
}

void tst_App::editorTakesItsShareAndKeepsIt()
{
    frmMain w;
    const EditorBox *editor = TestWindow::editor(w);
    const QWidget *grip = TestWindow::splitterGrip(w);
    const QTableView *list = TestWindow::resultList(w);
    const QStatusBar *status = TestWindow::statusBar(w);
    QCOMPARE(w.editorHeight(), 4464); // 62 % of the 7200-twip design client area
    QCOMPARE(editor->height(), 298);
    QCOMPARE(grip->y(), editor->geometry().bottom() + 1);
    QCOMPARE(grip->height(), 4);
    QCOMPARE(list->y(), grip->geometry().bottom() + 1);

    w.show();
    w.resize(w.width() + 200, w.height() + 300);
    QTRY_COMPARE(w.centralWidget()->height(), 780);
    QCOMPARE(w.editorHeight(), 4464);
    QCOMPARE(editor->height(), 298);
    QCOMPARE(list->geometry().bottom() + 1, status->y());
    QCOMPARE(status->geometry().bottom() + 1, w.centralWidget()->height());

    w.resize(w.width(), 200); // too low: the list gets nothing
    QTRY_VERIFY(w.centralWidget()->height() < 300);
    QCOMPARE(list->height(), 0);
    QCOMPARE(editor->height(), 298);
    // The status bar stays in front of the editor that now reaches below it.
    QVERIFY(editor->geometry().intersects(status->geometry()));
    const QImage client = w.centralWidget()->grab().toImage();
    QCOMPARE(client.pixelColor(status->geometry().center()),
             status->palette().color(QPalette::Window));
}

void tst_App::splitterDragMovesTheBoundary_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<int>("moveY");        // pixels below the grip's top edge; 0: no move
    QTest::addColumn<int>("editorHeight"); // twips; -1: the list keeps the hint's 11 pixels
    // The editor starts at 4464 twips; 15 twips are one pixel.
    QTest::newRow("up") << Qt::LeftButton << -100 << 4464 - 1500;
    QTest::newRow("down") << Qt::LeftButton << 50 << 4464 + 750;
    QTest::newRow("past the toolbar") << Qt::LeftButton << -1000 << 0;
    QTest::newRow("past the status bar") << Qt::LeftButton << 1000 << -1;
    QTest::newRow("not moved") << Qt::LeftButton << 0 << 4464;
    QTest::newRow("right button") << Qt::RightButton << -100 << 4464;
}

// Real mouse events on the grip: the bar follows while the left button is held,
// the release moves the boundary, and later resizes keep it there.
void tst_App::splitterDragMovesTheBoundary()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(int, moveY);
    QFETCH(int, editorHeight);
    frmMain w;
    w.show();
    QWidget *grip = TestWindow::splitterGrip(w);
    const QWidget *bar = TestWindow::splitterBar(w);
    const EditorBox *editor = TestWindow::editor(w);
    const QTableView *list = TestWindow::resultList(w);
    const int gripY = grip->y();
    QTest::mousePress(grip, button, {}, QPoint(20, 2));
    if (moveY)
        QTest::mouseMove(grip, QPoint(40, moveY));
    QCOMPARE(bar->isVisible(), button == Qt::LeftButton);
    QCOMPARE(grip->y(), gripY); // only the bar moves before the release
    if (button == Qt::LeftButton && editorHeight > 0)
        QCOMPARE(bar->y(), gripY + moveY);
    if (button == Qt::RightButton)
        QCOMPARE(grip->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseRelease(grip, button, {}, QPoint(40, moveY));
    QVERIFY(bar->isHidden());
    if (editorHeight >= 0)
        QCOMPARE(w.editorHeight(), editorHeight);
    else
        QCOMPARE(list->height(), 11);

    const int editorPixels = editor->height();
    QWidget *client = w.centralWidget();
    for (int clientHeight : {900, 200}) {
        client->resize(client->width(), clientHeight);
        QCOMPARE(editor->height(), editorPixels);
        QCOMPARE(grip->y(), editor->geometry().bottom() + 1);
        QCOMPARE(bar->geometry(), grip->geometry());
        QCOMPARE(list->y(), grip->geometry().bottom() + 1);
    }

    // Passing over the grip with no button held shows the sizing arrow.
    QMouseEvent hover(QEvent::MouseMove, QPointF(20, 2), grip->mapToGlobal(QPointF(20, 2)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grip, &hover);
    QCOMPARE(grip->cursor().shape(), Qt::SizeVerCursor);
}

void tst_App::codeWindowIsCreatedHiddenBesideMainWindow()
{
    frmMain w;
    frmVb *vb = TestWindow::codeWindow(w);
    QVERIFY(vb);
    QCOMPARE(vb->parentWidget(), &w);
    QVERIFY(vb->isWindow());
    QVERIFY(!vb->isVisible());
    QCOMPARE(vb->windowTitle(), QString("編集用ｳｨﾝﾄﾞｳ"));
    // Assistive technology sees a window of its own, not a pane of the main one.
    QCOMPARE(QAccessible::queryAccessibleInterface(vb)->role(), QAccessible::Window);
    QCOMPARE(w.pos(), QPoint(0, 0));
    QCOMPARE(vb->pos(), QPoint(w.frameGeometry().right() + 1, w.frameGeometry().top()));
}

void tst_App::activationRefreshesButtonsAndTriesInitialConnectionOnce()
{
    frmMain w;
    EditorBox *editor = TestWindow::editor(w);
    int attempts = 0;
    // The first attempt fails (no connection list yet), the second runs to its end.
    w.openInitialConnection = [&attempts] {
        if (++attempts == 1)
            throw Common::RuntimeError(Common::ErrFileNotFound, "File not found", "test");
        return false;
    };
    QWidget other;
    using TestWindow::activate;
    QVERIFY(activate(&w));
    QCOMPARE(attempts, 1);
    QVERIFY(w.initialConnectPending());
    // Not while a statement runs.
    SQLEdit::ExecutionView &view = w;
    view.setRunning(true);
    QVERIFY(activate(&other));
    QVERIFY(activate(&w));
    QCOMPARE(attempts, 1);
    view.setRunning(false);
    QVERIFY(activate(&other));
    QVERIFY(activate(&w));
    QCOMPARE(attempts, 2);
    QVERIFY(!w.initialConnectPending());
    QVERIFY(activate(&other));
    QVERIFY(activate(&w));
    QCOMPARE(attempts, 2);

    // Empty editor: nothing to save, convert, copy, cut or delete.
    for (int index : {2, 8, 9, 11, 13})
        QVERIFY2(!TestWindow::toolbarButton(w, index)->isEnabled(),
                 qPrintable(QString::number(index)));
    for (int index : {1, 4, 5, 6, 14, 16, 18})
        QVERIFY(TestWindow::toolbarButton(w, index)->isEnabled());

    editor->setFocus();
    editor->setPlainText("select 1");
    editor->selectAll();
    w.UpdateEditButtons();
    w.UpdateSaveButton();
    for (int index : {2, 8, 9, 11, 13})
        QVERIFY(TestWindow::toolbarButton(w, index)->isEnabled());

    // Line breaks and tabs only: saving is allowed, converting is not.
    editor->setPlainText("\n\t\n");
    w.UpdateEditButtons();
    w.UpdateSaveButton();
    QVERIFY(TestWindow::toolbarButton(w, 2)->isEnabled());
    QVERIFY(!TestWindow::toolbarButton(w, 13)->isEnabled());
}

void tst_App::closeBoxIsRefusedWhileStatementRuns()
{
    frmMain w;
    w.show();
    SQLEdit::ExecutionView &view = w;
    view.setRunning(true);
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());

    view.setRunning(false);
    QVERIFY(w.close());

    // The program's own exit is never refused.
    frmMain other;
    other.show();
    static_cast<SQLEdit::ExecutionView &>(other).setRunning(true);
    other.unloadFromCode();
    QVERIFY(!other.isVisible());
}

void tst_App::startUpMakesDemoServerReady()
{
    const std::unique_ptr<frmMain> window = SQLEdit::Main();
    QVERIFY(QFile::exists(mHome->filePath("SERVERS.ini")));

    DB::ConnectDatabase("anyone", "anything", "demo");
    QVERIFY2(!Common::LastError::isSet(), qPrintable(Common::LastError::get().description));
    const auto dynaset = DB::OpenDynaset("select count(*) from EMPLOYEES", 0);
    QVERIFY(dynaset && !dynaset->isEof());
    QVERIFY(dynaset->fields().at(0).value().toInt() > 0);
    DB::DisconnectDatabase();
}

void tst_App::closingAsksAboutPendingWork_data()
{
    QTest::addColumn<bool>("pending");
    QTest::addColumn<bool>("fromMenu"); // File -> exit rather than the close box
    QTest::addColumn<int>("answer");    // Common::Dialogs::Answer
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("deleted"); // the delete of every employee is seen afterwards

    using Answer = Common::Dialogs::Answer;
    QTest::newRow("nothing pending: no question")
        << false << false << int(Answer::Cancel) << true << false;
    QTest::newRow("yes commits") << true << false << int(Answer::Yes) << true << true;
    QTest::newRow("no rolls back") << true << true << int(Answer::No) << true << false;
    QTest::newRow("cancel stays, work kept")
        << true << true << int(Answer::Cancel) << false << true;
}

void tst_App::closingAsksAboutPendingWork()
{
    QFETCH(bool, pending);
    QFETCH(bool, fromMenu);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(bool, deleted);
    FakeDialogs dialogs;
    dialogs.answer = Common::Dialogs::Answer(answer);
    const std::unique_ptr<frmMain> window = SQLEdit::Main();
    DB::ConnectDatabase("", "", "DEMO");
    QVERIFY(!Common::LastError::isSet());
    DB::BeginTransaction();
    if (pending)
        DB::ExecuteStatement("delete from EMPLOYEES");
    QVERIFY(!Common::LastError::isSet());
    QCOMPARE(window->findChild<QLabel *>("lblTransaction")->text(),
             pending ? QString("未コミット") : QString());

    QPointer<frmVb> vb = TestWindow::codeWindow(*window);
    if (fromMenu)
        TestWindow::menuItem(*window, "mnu_f", 6)->trigger();
    else
        window->close();
    QCOMPARE(dialogs.questions.size(), pending ? 1 : 0);
    QCOMPARE(window->isVisible(), !closed);
    QCOMPARE(DB::CurrentSession().state() == oo4o::State::Closed, closed);
    if (closed)
        QTRY_VERIFY(vb.isNull()); // the code window is unloaded with it

    QCOMPARE(DB::UncommittedChanges(), !closed);
    if (closed)
        DB::ConnectDatabase("", "", "DEMO");
    const auto count = DB::OpenDynaset("select count(*) from EMPLOYEES", 0);
    QCOMPARE(count->fields().at(0).value().toInt() == 0, deleted);
    DB::RollbackTransaction();
    DB::DisconnectDatabase();
}

void tst_App::placeFormMovesTopThenLeft()
{
    QWidget window;
    Common::PlaceForm(&window, 150, 4500);
    QCOMPARE(window.pos(), QPoint(300, 10));
}

QTEST_MAIN(tst_App)

void tst_App::qtDialogsAreJapaneseAndWriteOnlyInKorvaneFolder()
{
    QVERIFY(SQLEdit::InstallQtJapanese());
    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("はい(&Y)"));
    QCOMPARE(box.button(QMessageBox::No)->text(), QString("いいえ(&N)"));

    // The file chooser remembers its folder in Korvane's folder, and with
    // KORVANE_HOME set nothing is written in the home folder.
    QTemporaryDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    SQLEdit::KeepQtSettingsIn(mHome->path());
    QCOMPARE(QSettings(QSettings::UserScope, "QtProject").fileName(),
             mHome->filePath("QtProject.conf"));
    QString cancel;
    QTimer::singleShot(0, [&cancel] {
        if (auto *chooser = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            cancel = chooser->findChild<QDialogButtonBox *>()
                         ->button(QDialogButtonBox::Cancel)
                         ->text();
            chooser->reject();
        }
    });
    const QString chosen
        = Common::Dialogs::instance().openFileName(nullptr, "開く", mHome->path(), "*.sql");
    qputenv("HOME", oldHome);
    QVERIFY(chosen.isEmpty());
    QCOMPARE(cancel, QString("キャンセル"));
    QVERIFY(QFile::exists(mHome->filePath("QtProject.conf")));
    QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

#include "tst_app.moc"
