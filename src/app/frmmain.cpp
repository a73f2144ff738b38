#include "app/frmmain.h"

#include "app/commands.h"
#include "app/editcommands.h"
#include "app/editorbox.h"
#include "app/globals.h"
#include "app/splitterdrag.h"
#include "common/common.h"
#include "common/dialogs.h"
#include "common/errors.h"
#include "common/fonts.h"
#include "common/icons.h"
#include "common/placeform.h"
#include "common/waitcursor.h"
#include "connections/initialconnection.h"
#include "connections/pendingwork.h"
#include "convert/codewindow.h"
#include "convert/frmvb.h"
#include "exec/copyresultrows.h"
#include "exec/executesql.h"
#include "exec/resultmodel.h"
#include "files/filecommands.h"
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

// Design-time client area and the heights of the fixed controls, in twips.
constexpr int DesignClientWidth = 8925;
constexpr int DesignClientHeight = 7200;
constexpr int StatusBarHeight = 360;
constexpr int HintHeight = 165;

struct ToolbarEntry
{
    const char *key;   // nullptr for a separator
    const char *image; // image key
    const char *tooltip;
};

// Toolbar buttons by index from 1; dialogs take their position from buttons 5 and
// 17, so the order (separators included) must not change.
const ToolbarEntry toolbarEntries[frmMain::ToolbarButtonCount] = {
    {"imgOpen", "open", "ﾌｧｲﾙを開く"},
    {"imgSave", "save1", "SQLをﾌｧｲﾙに保存"},
    {nullptr, nullptr, nullptr},
    {"imgDB", "db", "DB接続"},
    {"imgCommit", "comit", "ｺﾐｯﾄ"},
    {"imgRollback", "rollback", "ﾛｰﾙﾊﾞｯｸ"},
    {nullptr, nullptr, nullptr},
    {"imgCopy", "copy", "ｺﾋﾟｰ"},
    {"imgCut", "cut", "切り取り"},
    {"imgPut", "put", "貼り付け"},
    {"imgDelete", "delete", "削除"},
    {nullptr, nullptr, nullptr},
    {"imgGoWindow", "gowindow", "編集ｳｨﾝﾄﾞｳへ"},
    {"imgWindow", "window", "編集ｳｨﾝﾄﾞｳ表示・非表示"},
    {nullptr, nullptr, nullptr},
    {"imgProperty", "property", "ﾌﾟﾛﾊﾟﾃｨ"},
    {nullptr, nullptr, nullptr},
    {"imgInfo", "infomation", "ﾊﾞｰｼﾞｮﾝ情報"},
};

struct MenuEntry
{
    const char *caption; // "-" for a separator line
    QKeySequence::StandardKey shortcut;
    const char *keys; // shortcut not covered by a standard key
};

// Fills a control array of menu items, separators included, in index order.
template<size_t N>
void addMenuItems(QMenu *menu,
                  const char *arrayName,
                  std::array<QAction *, N> &items,
                  const MenuEntry (&entries)[N])
{
    for (size_t i = 0; i < N; ++i) {
        QAction *action = nullptr;
        if (qstrcmp(entries[i].caption, "-") == 0) {
            action = menu->addSeparator();
        } else {
            action = menu->addAction(QString::fromUtf8(entries[i].caption));
            if (entries[i].shortcut != QKeySequence::UnknownKey)
                action->setShortcut(entries[i].shortcut);
            else if (entries[i].keys)
                action->setShortcut(QKeySequence(QString::fromLatin1(entries[i].keys)));
        }
        action->setObjectName(QStringLiteral("%1(%2)").arg(QLatin1String(arrayName)).arg(i));
        items[i] = action;
    }
}

constexpr QKeySequence::StandardKey NoKey = QKeySequence::UnknownKey;

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
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowIcon(Common::ApplicationIcon());
    createMenus();
    createControls();
    createToolbar();
    connectEvents();
    // The client area starts at its design size; the first layout reads it.
    const QSize client(TwipsToPixels(DesignClientWidth), TwipsToPixels(DesignClientHeight));
    resize(client.width(), client.height() + menuBar()->sizeHint().height());
    mClient->resize(client);
    Form_Load();
}

frmMain::~frmMain()
{
    // Closing a destroyed window moves the focus out of the editor: that must
    // not reach the handlers of a window that is no longer whole.
    txtWindow->disconnect(this);
    qApp->removeEventFilter(this);
    DB::SetStateListener(nullptr);
}

void frmMain::createMenus()
{
    auto addMenu = [this](const char *name, const char *caption) {
        QMenu *menu = menuBar()->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromLatin1(name));
        return menu;
    };
    mnu_file = addMenu("mnu_file", "ﾌｧｲﾙ(&F)");
    mnu_edit = addMenu("mnu_edit", "編集(&E)");
    mnu_view = addMenu("mnu_view", "表示(&V)");
    mnu_setting = addMenu("mnu_setting", "設定(&S)");
    mnu_help = addMenu("mnu_help", "ﾍﾙﾌﾟ(&H)");

    const MenuEntry fileItems[7]
        = {{"開く", NoKey, nullptr}, {"SQLを保存", NoKey, nullptr}, {"-", NoKey, nullptr},
           {"ｺﾐｯﾄ", NoKey, nullptr}, {"ﾛｰﾙﾊﾞｯｸ", NoKey, nullptr},   {"-", NoKey, nullptr},
           {"終了", NoKey, nullptr}};
    const MenuEntry editItems[6] = {{"ｺﾋﾟｰ", QKeySequence::Copy, nullptr},
                                    {"切り取り", QKeySequence::Cut, nullptr},
                                    {"貼り付け", QKeySequence::Paste, nullptr},
                                    {"削除", NoKey, "Ctrl+D"},
                                    {"-", NoKey, nullptr},
                                    {"編集用ｳｨﾝﾄﾞｳへ", NoKey, nullptr}};
    const MenuEntry viewItems[1] = {{"編集用ｳｨﾝﾄﾞｳ", NoKey, nullptr}};
    const MenuEntry settingItems[2] = {{"DB接続", NoKey, nullptr}, {"ﾌﾟﾛﾊﾟﾃｨ", NoKey, nullptr}};
    const MenuEntry helpItems[2] = {{"ﾍﾙﾌﾟ", NoKey, nullptr}, {"ﾊﾞｰｼﾞｮﾝ情報", NoKey, nullptr}};

    addMenuItems(mnu_file, "mnu_f", mnu_f, fileItems);
    addMenuItems(mnu_edit, "mnu_e", mnu_e, editItems);
    addMenuItems(mnu_view, "mnu_v", mnu_v, viewItems);
    addMenuItems(mnu_setting, "mnu_s", mnu_s, settingItems);
    addMenuItems(mnu_help, "mnu_h", mnu_h, helpItems);
    mnu_v[0]->setCheckable(true); // checked while the code window is shown
}

void frmMain::createControls()
{
    mClient = new QWidget(this);
    mClient->setObjectName(QStringLiteral("client"));
    setCentralWidget(mClient);

    txtWindow = new EditorBox(mClient);
    txtWindow->setObjectName(QStringLiteral("txtWindow"));
    txtWindow->setFont(Common::JapaneseFont(QStringLiteral("ＭＳ 明朝"), 11.25));
    txtWindow->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    imgSplitter = new QWidget(mClient);
    imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    imgSplitter->setCursor(Qt::SizeVerCursor);
    imgSplitter->setAccessibleName(QStringLiteral("分割ﾊﾞｰ"));

    picSplitter = new QWidget(mClient);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setAutoFillBackground(true);
    QPalette gray = picSplitter->palette();
    gray.setColor(QPalette::Window, QColor(128, 128, 128));
    picSplitter->setPalette(gray);
    picSplitter->hide();
    mSplitter = new SplitterDrag(
        imgSplitter, picSplitter, [this] { return layoutInput(); }, this);
    connect(mSplitter, &SplitterDrag::released, this, [this](int editorHeight) {
        mEditorHeight = editorHeight;
        ArrangeControls();
    });

    lvwWindow = new QTableView(mClient);
    lvwWindow->setObjectName(QStringLiteral("lvwWindow"));
    mResultModel = new SQLEdit::ResultModel(this);
    lvwWindow->setModel(mResultModel);
    lvwWindow->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwWindow->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwWindow->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwWindow->setShowGrid(false);
    lvwWindow->verticalHeader()->hide();
    // Rows of one line of text, all of one height: compact, and cheap to lay out
    // for a million of them.
    lvwWindow->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvwWindow->verticalHeader()->setDefaultSectionSize(lvwWindow->fontMetrics().height() + 4);
    lvwWindow->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Label1 = new QLabel(QStringLiteral("[ESC]キーを押すと処理を中断できます。"), mClient);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(Common::JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 6.75));
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1->setPalette(navy);
    Label1->setFixedHeight(TwipsToPixels(HintHeight));
    Label1->adjustSize();

    staMsg = new QStatusBar(mClient);
    staMsg->setObjectName(QStringLiteral("staMsg"));
    staMsg->setSizeGripEnabled(false);
    staMsg->setAutoFillBackground(true); // in front of an editor taller than the window
    staMsg->setFixedHeight(TwipsToPixels(StatusBarHeight));
    // Uncommitted work and a lost connection stay in sight, whatever message
    // the status bar shows.
    mTransactionMarker = new QLabel(staMsg);
    mTransactionMarker->setObjectName(QStringLiteral("lblTransaction"));
    mTransactionMarker->setAccessibleName(QStringLiteral("接続の状態"));
    mTransactionMarker->setContentsMargins(6, 0, 6, 0);
    mTransactionMarker->hide();
    staMsg->addPermanentWidget(mTransactionMarker);
    DB::SetStateListener([this] { ShowConnectionState(); });

    // Tab order: the editor first.
    setTabOrder(txtWindow, lvwWindow);
}

void frmMain::createToolbar()
{
    Toolbar = new QToolBar(mClient);
    Toolbar->setObjectName(QStringLiteral("Toolbar"));
    Toolbar->setIconSize(QSize(16, 16));
    Toolbar->setMovable(false);
    Toolbar->setFloatable(false);

    for (int index = 1; index <= ToolbarButtonCount; ++index) {
        const ToolbarEntry &entry = toolbarEntries[index - 1];
        QAction *button = nullptr;
        if (!entry.key) {
            button = Toolbar->addSeparator();
        } else {
            button = Toolbar->addAction(Common::ImageIcon(QString::fromLatin1(entry.image)),
                                        QString::fromUtf8(entry.tooltip));
            button->setObjectName(QString::fromLatin1(entry.key));
            button->setToolTip(QString::fromUtf8(entry.tooltip));
        }
        mButtons[index] = button;
    }
    mButtons[CodeWindowButton]->setCheckable(true);
}

QAction *frmMain::toolbarButton(int index) const
{
    return index >= 1 && index <= ToolbarButtonCount ? mButtons[index] : nullptr;
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

    txtWindow->setToolTip(QStringLiteral("F5で実行します"));
    lvwWindow->setToolTip(QStringLiteral("『Ctrl+C』でコピーします"));

    mButtons[CodeWindowButton]->setChecked(false);
    mnu_v[0]->setChecked(false);

    // Created ahead of use and kept hidden until the user asks for it.
    mVb = new frmVb(this);
    Common::PlaceForm(mVb, codeTop, codeLeft);
    connect(mVb, &frmVb::closed, this, [this] { SQLEdit::CodeWindowClosed(*this); });

    SQLEdit::BaseCaption = SQLEdit::BuildCaption(QString::fromLatin1(Version::Title),
                                                 Version::Major, Version::Minor, Version::Revision);
    setWindowTitle(SQLEdit::BaseCaption);

    Label1->hide();
    FileIO::InitSettings();
    mnu_h[0]->setEnabled(false);

    mEditorMouseDown = false;
    mInitialConnectPending = true;

    QCoreApplication::processEvents();
    update();
}

MainLayout::Input frmMain::layoutInput() const
{
    const QSize client = mClient->size();
    MainLayout::Input in;
    in.clientWidth = PixelsToTwips(client.width());
    in.clientHeight = PixelsToTwips(client.height());
    in.toolbarHeight = Toolbar ? PixelsToTwips(Toolbar->sizeHint().height()) : 0;
    in.statusHeight = PixelsToTwips(staMsg->height());
    in.hintHeight = PixelsToTwips(Label1->height());
    in.editorHeight = mEditorHeight;
    return in;
}

void frmMain::ArrangeControls()
{
    const QSize client = mClient->size();
    const MainLayout::Result out = MainLayout::ArrangeControls(layoutInput());
    mEditorHeight = out.editorHeight;

    auto place = [](QWidget *widget, const MainLayout::Rect &r) {
        Common::PlaceControl(widget, r.left, r.top, r.width, r.height);
    };
    if (Toolbar)
        Toolbar->setGeometry(0, 0, client.width(), Toolbar->sizeHint().height());
    place(txtWindow, out.editor);
    place(imgSplitter, out.splitterGrip);
    place(picSplitter, out.splitterBar);
    place(lvwWindow, out.resultList);
    staMsg->setGeometry(0, client.height() - staMsg->height(), client.width(), staMsg->height());
    Label1->move(TwipsToPixels(out.hintLeft), TwipsToPixels(out.hintTop));
    Label1->raise();
}

bool frmMain::UpdateEditButtons()
{
    const SQLEdit::EditButtonStates states = SQLEdit::EditButtonRule(
        activeControlName() == QLatin1String("txtWindow"), txtWindow->textCursor().hasSelection(),
        EditorTextForRules(txtWindow), QGuiApplication::clipboard()->text());
    for (int index : {8, 9, 11})
        mButtons[index]->setEnabled(states.copyCutDelete);
    mButtons[10]->setEnabled(states.paste);
    mButtons[13]->setEnabled(states.convert);
    return true;
}

bool frmMain::UpdateSaveButton()
{
    mButtons[2]->setEnabled(SQLEdit::SaveEnabled(EditorTextForRules(txtWindow)));
    return true;
}

void frmMain::Form_Activate()
{
    UpdateEditButtons();
    UpdateSaveButton();
    update();

    // Not while a statement runs (a disabled editor): connecting would close the
    // connection its rows are read from. The next activation tries again.
    if (mInitialConnectPending && txtWindow->isEnabled()) {
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
    // A disabled editor means a statement is running: the close box is refused.
    if (mode == UnloadFromUser && !txtWindow->isEnabled())
        return true;
    // Uncommitted work is never dropped unasked; Cancel keeps the window open.
    return !Connections::SettlePendingWork(this);
}

void frmMain::ShowConnectionState()
{
    const bool lost = DB::ConnectionLost();
    const bool pending = DB::UncommittedChanges();
    mTransactionMarker->setText(lost      ? QStringLiteral("接続切断")
                                : pending ? QStringLiteral("未コミット")
                                          : QString());
    mTransactionMarker->setToolTip(lost ? QStringLiteral("データベースとの接続が切れています。")
                                   : pending ? QStringLiteral("コミットしていない変更があります。")
                                             : QString());
    mTransactionMarker->setVisible(lost || pending);

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
    if (mVb) {
        mVb->unload();
        mVb = nullptr;
    }
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
        if (watched == mClient)
            ArrangeControls();
        break;
    case QEvent::KeyPress:
        // Key preview: the window sees every key of its controls first.
        if (auto *widget = qobject_cast<QWidget *>(watched); widget && widget->window() == this)
            Form_KeyDown(static_cast<QKeyEvent *>(event));
        if (watched == lvwWindow)
            return lvwWindow_KeyDown(static_cast<QKeyEvent *>(event));
        break;
    case QEvent::ShortcutOverride:
        if (watched == txtWindow || watched == lvwWindow)
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
    connectItems(mnu_f, [this](int i) { SQLEdit::RunFileCommand(*this, i); });
    connectItems(mnu_e, [this](int i) { mnu_e_Click(i); });
    connectItems(mnu_s, [this](int i) { SQLEdit::RunSettingsCommand(*this, i); });
    connectItems(mnu_h, [this](int i) { SQLEdit::RunHelpCommand(*this, i); });
    connectItems(mnu_v, [this](int i) {
        // Choosing the item has already flipped its check; the command reads the
        // check as it was.
        mnu_v[i]->setChecked(!mnu_v[i]->isChecked());
        SQLEdit::ToggleCodeWindow(*this, i);
    });
    for (int index = 1; index <= ToolbarButtonCount; ++index) {
        if (!mButtons[index]->isSeparator())
            connect(mButtons[index], &QAction::triggered, this, [this, index] {
                RunGuarded(this, [this, index] { Toolbar_ButtonClick(index); });
            });
    }
    connect(mnu_file, &QMenu::aboutToShow, this, &frmMain::mnu_file_Click);
    connect(mnu_edit, &QMenu::aboutToShow, this, &frmMain::mnu_edit_Click);

    connect(txtWindow, &EditorBox::gotFocus, this, &frmMain::txtWindow_GotFocus);
    connect(txtWindow, &EditorBox::lostFocus, this, &frmMain::txtWindow_LostFocus);
    connect(txtWindow, &EditorBox::keyDown, this, &frmMain::txtWindow_KeyDown);
    connect(txtWindow, &EditorBox::keyUp, this, &frmMain::txtWindow_KeyUp);
    connect(txtWindow, &EditorBox::mouseDown, this, [this] { mEditorMouseDown = true; });
    connect(txtWindow, &EditorBox::mouseUp, this, &frmMain::txtWindow_MouseUp);
    connect(txtWindow, &EditorBox::doubleClicked, this, &frmMain::UpdateEditButtons);
    connect(txtWindow, &EditorBox::filesDropped, this, &frmMain::txtWindow_OLEDragDrop);
    // One filter on the application sees the events of every control of the
    // window (key preview) and the client area's resizes.
    qApp->installEventFilter(this);
}

QString frmMain::activeControlName() const
{
    const QWidget *active = focusWidget();
    return active ? active->objectName() : QString();
}

void frmMain::mnu_file_Click()
{
    mnu_f[1]->setEnabled(SQLEdit::SaveEnabled(EditorTextForRules(txtWindow)));
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
            mnu_e[i]->setEnabled(*states[i]);
    }
}

void frmMain::mnu_e_Click(int index)
{
    const QString kind = activeControlName().left(3);
    if (kind == QLatin1String("txt"))
        SQLEdit::RunEditCommand(*this, index);
    else if (kind == QLatin1String("lvw") && index == 0)
        SQLEdit::CopyResultRows(*this);
}

void frmMain::Toolbar_ButtonClick(int button)
{
    const SQLEdit::Command command = SQLEdit::ToolbarCommand(button);
    switch (command.routine) {
    case SQLEdit::Command::File:
        SQLEdit::RunFileCommand(*this, command.index);
        break;
    case SQLEdit::Command::Edit:
        SQLEdit::RunEditCommand(*this, command.index);
        break;
    case SQLEdit::Command::CodeWindow:
        SQLEdit::ToggleCodeWindow(*this, command.index);
        break;
    case SQLEdit::Command::Settings:
        SQLEdit::RunSettingsCommand(*this, command.index);
        break;
    case SQLEdit::Command::Help:
        SQLEdit::RunHelpCommand(*this, command.index);
        break;
    case SQLEdit::Command::None:
        break;
    }
}

void frmMain::Form_KeyDown(QKeyEvent *event)
{
    // A disabled editor means a statement is running: Esc asks it to stop.
    if (event->key() == Qt::Key_Escape && !txtWindow->isEnabled())
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
    if (lvwWindow->hasFocus() && (event->key() == Qt::Key_A || event->key() == Qt::Key_C)) {
        event->accept();
        return true;
    }
    if (!txtWindow->hasFocus())
        return false;
    for (QAction *item : mnu_e) {
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
        mButtons[index]->setEnabled(false);
}

void frmMain::txtWindow_KeyDown(QKeyEvent *event)
{
    Common::WaitCursor wait;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (ctrl && event->key() == Qt::Key_A) {
        txtWindow->selectAll();
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
            FileIO::LoadTextFile(path, txtWindow);
        } catch (const Common::RuntimeError &error) {
            // One file that cannot be read does not stop the others.
            const QString text = error.number() == Common::ErrBadFileFormat
                                     ? SQLEdit::NotTextMessage(path)
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
        lvwWindow->selectAll();
        return true;
    }
    if (event->key() == Qt::Key_C) {
        Common::WaitCursor wait;
        SQLEdit::CopyResultRows(*this);
        return true;
    }
    return false;
}
