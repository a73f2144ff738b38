#include "app/frmmain.h"

#include "app/codewindow.h"
#include "app/commands.h"
#include "app/copyresultrows.h"
#include "app/editcommands.h"
#include "app/editorbox.h"
#include "app/editorjournal.h"
#include "app/filecommands.h"
#include "app/globals.h"
#include "app/splitterdrag.h"
#include "app/statementhistory.h"
#include "common/appdir.h"
#include "common/common.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/icons.h"
#include "common/placeform.h"
#include "common/waitcursor.h"
#include "connections/initialconnection.h"
#include "connections/pendingwork.h"
#include "convert/frmvb.h"
#include "exec/executesql.h"
#include "exec/resultmodel.h"
#include "export/exportrun.h"
#include "files/loadtextfile.h"
#include "files/textfiles.h"
#include "oracle/db.h"
#include "settings/settingsstore.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

using Common::PixelsToTwips;
using Common::TwipsToPixels;

namespace {

// Design-time client area, in twips.
constexpr int DesignClientWidth = 8925;
constexpr int DesignClientHeight = 7200;

const QString LostCaptionSuffix = QStringLiteral(" - 接続切断");

// Runs a command of a menu or button: nothing may leave a slot, or Qt ends the program.
void RunGuarded(QWidget *window, const std::function<void()> &command)
{
    try {
        command();
    } catch (const std::exception &error) {
        Common::Dialogs::instance().message(window, QString::fromLocal8Bit(error.what()),
                                            QStringLiteral("Error"),
                                            Common::Dialogs::Icon::Critical);
    }
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent)
    , openInitialConnection([this] { return SQLEdit::OpenInitialConnection(*this); })
    , ui(this)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(Common::ApplicationIcon());
    mSplitter = new SplitterDrag(
        ui.imgSplitter, ui.picSplitter, [this] { return layoutInput(); }, this);
    connect(mSplitter, &SplitterDrag::released, this, [this](int editorHeight) {
        mEditorHeight = editorHeight;
        ArrangeControls();
    });
    DB::SetStateListener([this] { ShowConnectionState(); });
    connectEvents();
    watchControls();
    // The client area starts at its design size; the first layout reads it.
    const QSize client(TwipsToPixels(DesignClientWidth), TwipsToPixels(DesignClientHeight));
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    ui.client->resize(client);
    Form_Load();
}

frmMain::~frmMain()
{
    // Closing a destroyed window moves the focus out of the editor: that must
    // not reach the handlers of a window that is no longer whole.
    ui.txtWindow->disconnect(this);
    DB::SetStateListener(nullptr);
}

void frmMain::Form_Load()
{
    mEditorHeight.reset();
    ArrangeControls();

    // The code window opens to the right of the main window, which starts in
    // the top-left corner of the screen.
    move(0, 0);
    const int codeTop = PixelsToTwips(frameGeometry().top());
    const int codeLeft = PixelsToTwips(frameGeometry().left() + frameGeometry().width());

    ui.txtWindow->setToolTip(QStringLiteral("F5で実行します"));
    ui.lvwWindow->setToolTip(QStringLiteral("『Ctrl+C』でコピーします"));

    ui.buttons[MainControls::CodeWindowButton]->setChecked(false);
    ui.mnu_v[0]->setChecked(false);

    // Created ahead of use and kept hidden until the user asks for it.
    ui.codeWindow = new frmVb(this);
    Common::PlaceForm(ui.codeWindow, codeTop, codeLeft);
    connect(ui.codeWindow, &frmVb::closed, this, [this] { SQLEdit::CodeWindowClosed(ui); });

    SQLEdit::BaseCaption = SQLEdit::BuildCaption(QString::fromLatin1(Version::Title),
                                                 Version::Major, Version::Minor, Version::Revision);
    setWindowTitle(SQLEdit::BaseCaption);

    ui.Label1->hide();
    FileIO::InitSettings();
    ui.mnu_h[0]->setEnabled(false);

    // Every statement is kept, and the editor survives a crash: an editor that
    // a copy of the program left behind that way is put back here.
    mHistory = std::make_unique<StatementHistory>(ui);
    mHistory->open();
    mJournal = std::make_unique<EditorJournal>(ui);
    mJournal->start();
    mCompletion = std::make_unique<EditorCompletion>(ui);
    // Large results of a copy that crashed may have left their spill files.
    SQLEdit::RemoveSpillLeftovers(Common::CacheDirectory());

    mEditorMouseDown = false;
    mInitialConnectPending = true;

    QCoreApplication::processEvents();
    update();
}

MainLayout::Input frmMain::layoutInput() const
{
    const QSize client = ui.client->size();
    MainLayout::Input in;
    in.clientWidth = PixelsToTwips(client.width());
    in.clientHeight = PixelsToTwips(client.height());
    in.toolbarHeight = ui.Toolbar ? PixelsToTwips(ui.Toolbar->sizeHint().height()) : 0;
    in.statusHeight = PixelsToTwips(ui.staMsg->height());
    in.hintHeight = PixelsToTwips(ui.Label1->height());
    in.editorHeight = mEditorHeight;
    return in;
}

void frmMain::ArrangeControls()
{
    const QSize client = ui.client->size();
    const MainLayout::Result out = MainLayout::ArrangeControls(layoutInput());
    mEditorHeight = out.editorHeight;

    auto place = [](QWidget *widget, const MainLayout::Rect &r) {
        Common::PlaceControl(widget, r.left, r.top, r.width, r.height);
    };
    if (ui.Toolbar)
        ui.Toolbar->setGeometry(0, 0, client.width(), ui.Toolbar->sizeHint().height());
    place(ui.txtWindow, out.editor);
    place(ui.imgSplitter, out.splitterGrip);
    place(ui.picSplitter, out.splitterBar);
    place(ui.lvwWindow, out.resultList);
    ui.staMsg->setGeometry(0, client.height() - ui.staMsg->height(), client.width(),
                           ui.staMsg->height());
    ui.Label1->move(TwipsToPixels(out.hintLeft), TwipsToPixels(out.hintTop));
    ui.Label1->raise();
}

bool frmMain::UpdateEditButtons()
{
    const SQLEdit::EditButtonStates states = SQLEdit::EditButtonRule(
        activeControlName() == QLatin1String("txtWindow"),
        ui.txtWindow->textCursor().hasSelection(), EditorTextForRules(ui.txtWindow),
        QGuiApplication::clipboard()->text());
    for (int index : {8, 9, 11})
        ui.buttons[index]->setEnabled(states.copyCutDelete);
    ui.buttons[10]->setEnabled(states.paste);
    ui.buttons[13]->setEnabled(states.convert);
    return true;
}

bool frmMain::UpdateSaveButton()
{
    ui.buttons[2]->setEnabled(SQLEdit::SaveEnabled(EditorTextForRules(ui.txtWindow)));
    return true;
}

void frmMain::Form_Activate()
{
    UpdateEditButtons();
    UpdateSaveButton();
    update();

    // Not while a statement runs: connecting would close the
    // connection its rows are read from. The next activation tries again.
    if (mInitialConnectPending && !mRunning) {
        Common::WaitCursor wait;
        // The window stays live while it connects: an activation meanwhile must
        // not start a second connect. A failure sets the flag again, so that the
        // next activation tries again.
        mInitialConnectPending = false;
        try {
            mInitialConnectPending = openInitialConnection();
        } catch (const std::exception &) {
            mInitialConnectPending = true;
        }
    }
}

bool frmMain::Form_QueryUnload(UnloadMode mode)
{
    // The close box is refused while a statement runs.
    if (mode == UnloadFromUser && mRunning)
        return true;
    // Uncommitted work is never dropped unasked; Cancel keeps the window open.
    return !Connections::SettlePendingWork(this);
}

void frmMain::ShowConnectionState()
{
    const bool lost = DB::ConnectionLost();
    const bool pending = DB::UncommittedChanges();
    if (mJournal)
        mJournal->connectionStateChanged();
    ui.lblTransaction->setText(lost      ? QStringLiteral("接続切断")
                               : pending ? QStringLiteral("未コミット")
                                         : QString());
    ui.lblTransaction->setToolTip(lost ? QStringLiteral("データベースとの接続が切れています。")
                                  : pending ? QStringLiteral("コミットしていない変更があります。")
                                            : QString());
    ui.lblTransaction->setVisible(lost || pending);

    QString title = windowTitle();
    if (title.endsWith(LostCaptionSuffix))
        title.chop(LostCaptionSuffix.size());
    setWindowTitle(lost ? title + LostCaptionSuffix : title);
}

void frmMain::Form_Unload()
{
    // Shutdown completes even if the database refuses to let go.
    try {
        DB::DisconnectDatabase();
    } catch (const std::exception &) {
    }
    if (ui.codeWindow) {
        ui.codeWindow->unload();
        ui.codeWindow = nullptr;
    }
    // A normal end: the last text stays in the history, and the journal goes,
    // so that the next start begins with an empty editor.
    if (mHistory)
        mHistory->addDraft(EditorText(ui.txtWindow));
    mJournal.reset();
}

void frmMain::unloadFromCode()
{
    mUnloadingFromCode = true;
    close();
    mUnloadingFromCode = false;
}

void frmMain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
    QMainWindow::changeEvent(event);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (Form_QueryUnload(mUnloadingFromCode ? UnloadFromCode : UnloadFromUser)) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == ui.client)
            ArrangeControls();
        break;
    case QEvent::KeyPress:
        // Key preview: the window sees every key of its controls first.
        Form_KeyDown(static_cast<QKeyEvent *>(event));
        if (watched == ui.lvwWindow)
            return lvwWindow_KeyDown(static_cast<QKeyEvent *>(event));
        break;
    case QEvent::ShortcutOverride:
        if (watched == ui.txtWindow || watched == ui.lvwWindow)
            return routeEditShortcut(static_cast<QKeyEvent *>(event));
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::connectEvents()
{
    auto connectItems = [this](auto &items, auto handler) {
        for (int i = 0; i < int(items.size()); ++i) {
            if (!items[i]->isSeparator())
                connect(items[i], &QAction::triggered, this,
                        [this, handler, i] { RunGuarded(this, [&] { handler(i); }); });
        }
    };
    connectItems(ui.mnu_f, [this](int i) { SQLEdit::RunFileCommand(ui, i); });
    connectItems(ui.mnu_e, [this](int i) { mnu_e_Click(i); });
    connectItems(ui.mnu_s, [this](int i) { SQLEdit::RunSettingsCommand(ui, i); });
    connectItems(ui.mnu_h, [this](int i) { SQLEdit::RunHelpCommand(ui, i); });
    connectItems(ui.mnu_v, [this](int i) {
        // Choosing the item has already flipped its check; the command reads the
        // check as it was.
        ui.mnu_v[i]->setChecked(!ui.mnu_v[i]->isChecked());
        SQLEdit::ToggleCodeWindow(ui, i);
    });
    connect(ui.mnuHistory, &QAction::triggered, this, [this] { mHistory->showWindow(); });
    connect(ui.mnuExport, &QAction::triggered, this,
            [this] { RunGuarded(this, [this] { Export::RunExport(*this, mListedStatement); }); });
    for (int index = 1; index <= MainControls::ToolbarButtonCount; ++index) {
        if (!ui.buttons[index]->isSeparator())
            connect(ui.buttons[index], &QAction::triggered, this, [this, index] {
                RunGuarded(this, [this, index] { Toolbar_ButtonClick(index); });
            });
    }
    connect(ui.mnu_file, &QMenu::aboutToShow, this, &frmMain::mnu_file_Click);
    connect(ui.mnu_edit, &QMenu::aboutToShow, this, &frmMain::mnu_edit_Click);

    connect(ui.txtWindow, &EditorBox::gotFocus, this, &frmMain::txtWindow_GotFocus);
    connect(ui.txtWindow, &EditorBox::lostFocus, this, &frmMain::txtWindow_LostFocus);
    connect(ui.txtWindow, &EditorBox::keyDown, this, &frmMain::txtWindow_KeyDown);
    connect(ui.txtWindow, &EditorBox::keyUp, this, &frmMain::txtWindow_KeyUp);
    connect(ui.txtWindow, &EditorBox::mouseDown, this, [this] { mEditorMouseDown = true; });
    connect(ui.txtWindow, &EditorBox::mouseUp, this, &frmMain::txtWindow_MouseUp);
    connect(ui.txtWindow, &EditorBox::doubleClicked, this, &frmMain::UpdateEditButtons);
    connect(ui.txtWindow, &EditorBox::filesDropped, this, &frmMain::txtWindow_OLEDragDrop);
}

// One filter on the window and each of its controls sees every key they get
// first (key preview), and the client area's resizes. Other windows (the code
// window, dialogs) keep their keys to themselves.
void frmMain::watchControls()
{
    installEventFilter(this);
    for (QWidget *control : findChildren<QWidget *>()) {
        if (control->window() == this)
            control->installEventFilter(this);
    }
}

QString frmMain::activeControlName() const
{
    const QWidget *active = focusWidget();
    return active ? active->objectName() : QString();
}

void frmMain::mnu_file_Click()
{
    ui.mnu_f[1]->setEnabled(SQLEdit::SaveEnabled(EditorTextForRules(ui.txtWindow)));
}

void frmMain::mnu_edit_Click()
{
    const QString active = activeControlName();
    const auto *editor = qobject_cast<const QPlainTextEdit *>(focusWidget());
    const QTextCursor cursor = editor ? editor->textCursor() : QTextCursor();
    const SQLEdit::EditMenuStates states = SQLEdit::EditMenuRule(
        active, cursor.selectionEnd() - cursor.selectionStart(),
        editor ? EditorTextForRules(editor) : QString(), QGuiApplication::clipboard()->text());
    for (size_t i = 0; i < states.size(); ++i) {
        if (states[i])
            ui.mnu_e[i]->setEnabled(*states[i]);
    }
}

void frmMain::mnu_e_Click(int index)
{
    const QString kind = activeControlName().left(3);
    if (kind == QLatin1String("txt"))
        SQLEdit::RunEditCommand(ui, index);
    else if (kind == QLatin1String("lvw") && index == 0)
        SQLEdit::CopyResultRows(ui);
}

void frmMain::Toolbar_ButtonClick(int button)
{
    const SQLEdit::Command command = SQLEdit::ToolbarCommand(button);
    switch (command.routine) {
    case SQLEdit::Command::File:
        SQLEdit::RunFileCommand(ui, command.index);
        break;
    case SQLEdit::Command::Edit:
        SQLEdit::RunEditCommand(ui, command.index);
        break;
    case SQLEdit::Command::CodeWindow:
        SQLEdit::ToggleCodeWindow(ui, command.index);
        break;
    case SQLEdit::Command::Settings:
        SQLEdit::RunSettingsCommand(ui, command.index);
        break;
    case SQLEdit::Command::Help:
        SQLEdit::RunHelpCommand(ui, command.index);
        break;
    case SQLEdit::Command::None:
        break;
    }
}

void frmMain::Form_KeyDown(QKeyEvent *event)
{
    // Esc asks a running statement to stop.
    if (event->key() == Qt::Key_Escape && mRunning)
        SQLEdit::AbortRequested = true;
}

// The Edit menu's shortcuts reach the menu while its item is enabled, even where
// the focused control has a meaning of its own for the key; Ctrl+A and Ctrl+C in
// the result list stay with the list, so that one key press copies once.
bool frmMain::routeEditShortcut(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->isAutoRepeat() || !ctrl)
        return false;
    if (ui.lvwWindow->hasFocus() && (event->key() == Qt::Key_A || event->key() == Qt::Key_C)) {
        event->accept();
        return true;
    }
    if (!ui.txtWindow->hasFocus())
        return false;
    for (QAction *item : ui.mnu_e) {
        if (!item->isSeparator() && item->isEnabled()
            && item->shortcut().matches(QKeySequence(event->keyCombination()))
                   == QKeySequence::ExactMatch) {
            event->ignore();
            return true;
        }
    }
    return false;
}

void frmMain::txtWindow_GotFocus()
{
    UpdateEditButtons();
    UpdateSaveButton();
}

void frmMain::txtWindow_LostFocus()
{
    for (int index : {8, 9, 10, 11})
        ui.buttons[index]->setEnabled(false);
}

void frmMain::txtWindow_KeyDown(QKeyEvent *event)
{
    Common::WaitCursor wait;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && event->key() == Qt::Key_A) {
        ui.txtWindow->selectAll();
        UpdateEditButtons();
        event->accept();
    } else if (event->key() == Qt::Key_F5) {
        SQLEdit::ExecuteSql(*this);
        event->accept();
    }
}

void frmMain::txtWindow_KeyUp()
{
    UpdateEditButtons();
    UpdateSaveButton();
}

void frmMain::txtWindow_MouseUp()
{
    if (mEditorMouseDown) {
        UpdateEditButtons();
        UpdateSaveButton();
    }
    mEditorMouseDown = false;
}

void frmMain::txtWindow_OLEDragDrop(const QStringList &paths)
{
    Common::WaitCursor wait;
    for (const QString &path : paths) {
        if (!FileIO::HasSqlFileEnding(path))
            continue;
        try {
            QString encoding;
            FileIO::LoadTextFile(path, ui.txtWindow, &encoding);
            SourceFileChanged(path, encoding);
        } catch (const Common::RuntimeError &error) {
            // One file that cannot be read does not stop the others.
            const QString text = error.number() == Common::ErrBadFileFormat
                                     ? FileIO::NotTextMessage(path)
                                     : path + QLatin1Char('\n') + error.description();
            Common::Dialogs::instance().message(this, text, QStringLiteral("ファイルを開く"),
                                                Common::Dialogs::Icon::Warning);
        }
        UpdateEditButtons();
        UpdateSaveButton();
    }
}

bool frmMain::lvwWindow_KeyDown(QKeyEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier))
        return false;
    if (event->key() == Qt::Key_A) {
        ui.lvwWindow->selectAll();
        return true;
    }
    if (event->key() == Qt::Key_C) {
        Common::WaitCursor wait;
        SQLEdit::CopyResultRows(ui);
        return true;
    }
    return false;
}

QString frmMain::statementText() const
{
    const QString selected = SelectedEditorText(ui.txtWindow);
    return selected.isEmpty() ? EditorText(ui.txtWindow) : selected;
}

void frmMain::setRunning(bool running)
{
    mRunning = running;
    if (running)
        setFocus(); // the editor is disabled: Esc comes to the window
    ui.txtWindow->setEnabled(!running);
    for (QMenu *menu : {ui.mnu_file, ui.mnu_edit, ui.mnu_view, ui.mnu_setting, ui.mnu_help})
        menu->menuAction()->setEnabled(!running);
    ui.Toolbar->setEnabled(!running);
    ui.Label1->setVisible(running);
    ui.lvwWindow->setVisible(!running);
    if (!running)
        ui.txtWindow->setFocus();
}

void frmMain::statementStarting(const QString &text)
{
    mRunningStatement = text;
    mHistory->statementStarting(text);
    mJournal->statementStarting();
}

void frmMain::statementEnded(const SQLEdit::StatementOutcome &outcome)
{
    mHistory->statementEnded(outcome);
    mJournal->statementEnded(mRunningStatement, outcome.rows >= 0);
    if (outcome.rows >= 0)
        mListedStatement = mRunningStatement;
    mRunningStatement.clear();
}

void frmMain::SourceFileChanged(const QString &path, const QString &encoding)
{
    mJournal->setSource(path, encoding);
}

bool frmMain::flushJournal()
{
    return mJournal && mJournal->flush();
}

QString frmMain::statusText() const
{
    return ui.staMsg->currentMessage();
}

void frmMain::setStatusText(const QString &text)
{
    if (text.isEmpty())
        ui.staMsg->clearMessage();
    else
        ui.staMsg->showMessage(text);
}

void frmMain::setHeaderVisible(bool visible)
{
    ui.lvwWindow->horizontalHeader()->setVisible(visible);
}
