#pragma once

#include "app/editorbox.h"
#include "app/mainlayout.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QTableView;
class QToolBar;
class SplitterDrag;
class frmVb;

namespace SQLEdit {
class ResultModel;
}

/// The main window: menu bar, toolbar, SQL editor, splitter, result list, hint
/// label and status bar. Controls keep their names as objectNames.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    /// Close requests: from the close box or system menu, or from the program.
    enum UnloadMode { UnloadFromUser = 0, UnloadFromCode = 1 };

    static constexpr int ToolbarButtonCount = 18;
    /// The two-state button that shows whether the code window is visible.
    static constexpr int CodeWindowButton = 14;

    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    /// Closes the window from the program (the File menu's exit); never refused.
    void unloadFromCode();

    /// Refreshes toolbar buttons 8 to 11 and 13 from the editor's focus,
    /// selection and text and from the clipboard. Returns true.
    bool UpdateEditButtons();
    /// Refreshes toolbar button 2 from the editor's text. Returns true.
    bool UpdateSaveButton();

    /// Opens files into the editor as if they had been dropped on it (the
    /// command line's files).
    void OpenFiles(const QStringList &paths) { txtWindow_OLEDragDrop(paths); }

    /// Toolbar button by its index from 1 (separators included), or nullptr.
    QAction *toolbarButton(int index) const;

    // Controls, named as the rest of the program refers to them.
    QToolBar *Toolbar = nullptr;
    EditorBox *txtWindow = nullptr;
    QWidget *imgSplitter = nullptr;
    QWidget *picSplitter = nullptr;
    QTableView *lvwWindow = nullptr;
    QLabel *Label1 = nullptr;
    QStatusBar *staMsg = nullptr;

    QMenu *mnu_file = nullptr;
    QMenu *mnu_edit = nullptr;
    QMenu *mnu_view = nullptr;
    QMenu *mnu_setting = nullptr;
    QMenu *mnu_help = nullptr;
    std::array<QAction *, 7> mnu_f{};
    std::array<QAction *, 6> mnu_e{};
    std::array<QAction *, 1> mnu_v{};
    std::array<QAction *, 2> mnu_s{};
    std::array<QAction *, 2> mnu_h{};

    /// The rows and columns the result list shows.
    SQLEdit::ResultModel *resultModel() const { return mResultModel; }
    /// The code window, created hidden at load.
    frmVb *codeWindow() const { return mVb; }
    /// Editor height in twips that the layout keeps (0 before the first layout).
    int editorHeight() const { return mEditorHeight.value_or(0); }
    bool initialConnectPending() const { return mInitialConnectPending; }
    /// Opens the saved start-up connection at activation; tests replace it.
    std::function<bool()> openInitialConnection;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenus();
    void createToolbar();
    void createControls();
    void connectEvents();

    // The window's events, named as the rest of the program knows them.
    void mnu_file_Click();
    void mnu_edit_Click();
    void mnu_e_Click(int index);
    void Toolbar_ButtonClick(int button);
    void Form_KeyDown(QKeyEvent *event);
    void txtWindow_GotFocus();
    void txtWindow_LostFocus();
    void txtWindow_KeyDown(QKeyEvent *event);
    void txtWindow_KeyUp();
    void txtWindow_MouseUp();
    void txtWindow_OLEDragDrop(const QStringList &paths);
    bool lvwWindow_KeyDown(QKeyEvent *event);
    bool routeEditShortcut(QKeyEvent *event);
    QString activeControlName() const;

    void Form_Load();
    void Form_Activate();
    bool Form_QueryUnload(UnloadMode mode);
    void ShowConnectionState();
    void Form_Unload();
    void ArrangeControls();
    MainLayout::Input layoutInput() const;

    QWidget *mClient = nullptr; // the client area between menu bar and window bottom
    std::array<QAction *, ToolbarButtonCount + 1> mButtons{}; // [0] unused
    frmVb *mVb = nullptr;
    SQLEdit::ResultModel *mResultModel = nullptr;

    QLabel *mTransactionMarker = nullptr; // uncommitted work, or a lost connection
    SplitterDrag *mSplitter = nullptr;
    bool mEditorMouseDown = false;
    std::optional<int> mEditorHeight;
    bool mInitialConnectPending = true;
    bool mUnloadingFromCode = false;
};
