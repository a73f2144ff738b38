#pragma once

#include <QPoint>

#include <array>

class EditorBox;
class QAction;
class QLabel;
class QMainWindow;
class QMenu;
class QStatusBar;
class QTableView;
class QToolBar;
class QWidget;
class frmMain;
class frmVb;

namespace SQLEdit {
class ResultModel;
}

/// The main window's controls, named as the rest of the program refers to them
/// (and as their objectNames say). The main window owns them and keeps this
/// record private; the commands of app/ that drive the window's widgets get it
/// from the window.
struct MainControls
{
    static constexpr int ToolbarButtonCount = 18;
    /// The two-state button that shows whether the code window is visible.
    static constexpr int CodeWindowButton = 14;

    /// Creates the menu bar's menus, the controls of the client area and the
    /// toolbar in `window`, with their names, captions, shortcuts and images.
    explicit MainControls(frmMain *window);

    /// Toolbar button by its index from 1 (separators included), or nullptr.
    QAction *toolbarButton(int index) const;

    /// Where a dialog opened from a toolbar button goes: just under the
    /// toolbar, its left edge at the button's; top-left corner of the frame,
    /// in twips.
    QPoint dialogPlacement(int button) const;

    frmMain *window = nullptr;
    QWidget *client = nullptr; // the client area between menu bar and window bottom
    QToolBar *Toolbar = nullptr;
    EditorBox *txtWindow = nullptr;
    QWidget *imgSplitter = nullptr;
    QWidget *picSplitter = nullptr;
    QTableView *lvwWindow = nullptr;
    QLabel *Label1 = nullptr;
    QStatusBar *staMsg = nullptr;
    QLabel *lblTransaction = nullptr; // uncommitted work, or a lost connection

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
    QAction *mnuHistory = nullptr; // 表示 menu: the statement history window
    QAction *mnuExport = nullptr;  // ﾌｧｲﾙ menu, after SQLを保存: results to a file
    std::array<QAction *, ToolbarButtonCount + 1> buttons{}; // [0] unused

    /// The rows and columns the result list shows.
    SQLEdit::ResultModel *resultModel = nullptr;
    /// The code window, created hidden at load.
    frmVb *codeWindow = nullptr;

private:
    void createMenus();
    void createControls();
    void createToolbar();
};
