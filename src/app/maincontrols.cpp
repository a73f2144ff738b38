#include "app/maincontrols.h"

#include "app/editoraids.h"
#include "app/editorbox.h"
#include "app/frmmain.h"
#include "app/messagebar.h"
#include "common/common.h"
#include "common/fonts.h"
#include "common/icons.h"
#include "exec/resultmodel.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

using Common::PixelsToTwips;
using Common::TwipsToPixels;

namespace {

// Heights of the fixed controls, in twips.
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
const ToolbarEntry toolbarEntries[MainControls::ToolbarButtonCount] = {
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

// Dialogs opened from the toolbar keep this distance below it, in twips.
constexpr int DialogGap = 250;

} // namespace

MainControls::MainControls(frmMain *owner)
    : window(owner)
{
    createMenus();
    createControls();
    createToolbar();
    SQLEdit::InstallEditorAids(*this);
}

QAction *MainControls::toolbarButton(int index) const
{
    return index >= 1 && index <= ToolbarButtonCount ? buttons[index] : nullptr;
}

QPoint MainControls::dialogPlacement(int button) const
{
    const QWidget *widget = Toolbar->widgetForAction(toolbarButton(button));
    return QPoint(PixelsToTwips(window->x() + (widget ? widget->x() : 0)),
                  PixelsToTwips(window->y() + Toolbar->height()) + DialogGap);
}

void MainControls::createMenus()
{
    auto addMenu = [this](const char *name, const char *caption) {
        QMenu *menu = window->menuBar()->addMenu(QString::fromUtf8(caption));
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

    // Beside the other command that writes a file; the numbered items keep
    // their indexes.
    mnuExport = new QAction(QStringLiteral("ｴｸｽﾎﾟｰﾄ..."), mnu_file);
    mnuExport->setObjectName(QStringLiteral("mnuExport"));
    mnu_file->insertAction(mnu_f[2], mnuExport);

    mnuHistory = mnu_view->addAction(QStringLiteral("履歴(&H)..."));
    mnuHistory->setObjectName(QStringLiteral("mnuHistory"));
    mnuHistory->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+H")));
}

void MainControls::createControls()
{
    client = new QWidget(window);
    client->setObjectName(QStringLiteral("client"));
    window->setCentralWidget(client);

    txtWindow = new EditorBox(client);
    txtWindow->setObjectName(QStringLiteral("txtWindow"));
    txtWindow->setFont(Common::JapaneseFont(QStringLiteral("ＭＳ 明朝"), 11.25));
    txtWindow->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    imgSplitter = new QWidget(client);
    imgSplitter->setObjectName(QStringLiteral("imgSplitter"));
    imgSplitter->setCursor(Qt::SizeVerCursor);
    imgSplitter->setAccessibleName(QStringLiteral("分割ﾊﾞｰ"));

    picSplitter = new QWidget(client);
    picSplitter->setObjectName(QStringLiteral("picSplitter"));
    picSplitter->setAutoFillBackground(true);
    QPalette gray = picSplitter->palette();
    gray.setColor(QPalette::Window, QColor(128, 128, 128));
    picSplitter->setPalette(gray);
    picSplitter->hide();

    lvwWindow = new QTableView(client);
    lvwWindow->setObjectName(QStringLiteral("lvwWindow"));
    resultModel = new SQLEdit::ResultModel(window);
    lvwWindow->setModel(resultModel);
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

    Label1 = new QLabel(QStringLiteral("[ESC]キーを押すと処理を中断できます。"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(Common::JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 6.75));
    QPalette navy = Label1->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Label1->setPalette(navy);
    Label1->setFixedHeight(TwipsToPixels(HintHeight));
    Label1->adjustSize();

    staMsg = new MessageBar(client);
    staMsg->setObjectName(QStringLiteral("staMsg"));
    staMsg->setSizeGripEnabled(false);
    staMsg->setAutoFillBackground(true); // in front of an editor taller than the window
    staMsg->setFixedHeight(TwipsToPixels(StatusBarHeight));
    // Uncommitted work and a lost connection stay in sight, whatever message
    // the status bar shows.
    lblTransaction = new QLabel(staMsg);
    lblTransaction->setObjectName(QStringLiteral("lblTransaction"));
    lblTransaction->setAccessibleName(QStringLiteral("接続の状態"));
    lblTransaction->setContentsMargins(6, 0, 6, 0);
    lblTransaction->hide();
    staMsg->addPermanentWidget(lblTransaction);

    // Tab order: the editor first.
    QWidget::setTabOrder(txtWindow, lvwWindow);
}

void MainControls::createToolbar()
{
    Toolbar = new QToolBar(client);
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
        buttons[index] = button;
    }
    buttons[CodeWindowButton]->setCheckable(true);
}
