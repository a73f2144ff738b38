#pragma once

#include "app/editorcompletion.h"
#include "app/maincontrols.h"
#include "app/mainlayout.h"
#include "exec/executionview.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class EditorJournal;
class StatementHistory;

class QKeyEvent;
class SplitterDrag;

/// The main window: menu bar, toolbar, SQL editor, splitter, result list, hint
/// label and status bar. Its controls are its own: other code reaches them by
/// their objectNames (tests, assistive technology) or, within app/, through the
/// commands that the window runs with them.
class frmMain : public QMainWindow, public SQLEdit::ExecutionView
{
    Q_OBJECT

public:
    /// Close requests: from the close box or system menu, or from the program.
    enum UnloadMode { UnloadFromUser = 0, UnloadFromCode = 1 };

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
    /// The editor's text was read from, or saved to, this file.
    void SourceFileChanged(const QString &path, const QString &encoding);
    /// Waits until the editor's journal holds the editor as it is now; false
    /// when the journal is off.
    bool flushJournal();

    /// Where a dialog opened from toolbar button N goes (twips, frame included).
    QPoint dialogPlacement(int button) const { return ui.dialogPlacement(button); }

    /// Editor height in twips that the layout keeps (0 before the first layout).
    int editorHeight() const { return mEditorHeight.value_or(0); }
    bool initialConnectPending() const { return mInitialConnectPending; }
    /// A statement runs: the commands are disabled.
    bool isRunning() const override { return mRunning; }
    /// Opens the saved start-up connection at activation; tests replace it.
    std::function<bool()> openInitialConnection;

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // What running a statement needs of the window, reached through ExecutionView.
    QString statementText() const override;
    void setRunning(bool running) override;
    QString statusText() const override;
    void setStatusText(const QString &text) override;
    void setHeaderVisible(bool visible) override;
    SQLEdit::ResultModel &resultModel() override { return *ui.resultModel; }
    QWidget *dialogParent() override { return this; }
    void statementStarting(const QString &text) override;
    void statementEnded(const SQLEdit::StatementOutcome &outcome) override;

    void connectEvents();
    void watchControls();

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

    MainControls ui;
    std::unique_ptr<StatementHistory> mHistory;
    std::unique_ptr<EditorJournal> mJournal;
    std::unique_ptr<EditorCompletion> mCompletion;
    QString mRunningStatement;
    QString mListedStatement; // the statement whose rows the result list shows
    SplitterDrag *mSplitter = nullptr;
    bool mRunning = false; // a statement runs: commands disabled, Esc stops it
    bool mEditorMouseDown = false;
    std::optional<int> mEditorHeight;
    bool mInitialConnectPending = true;
    bool mUnloadingFromCode = false;
};
