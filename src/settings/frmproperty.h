#pragma once

#include <QDialog>
#include <QPoint>

#include <array>
#include <span>
#include <vector>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

/// The properties dialog: every setting of the settings store on three pages,
/// filled from the store when it opens. OK writes all of them back and saves
/// CONFIG.ini; cancel and the close box change nothing. Controls keep their
/// names as objectNames.
class frmProperty : public QDialog
{
    Q_OBJECT

public:
    /// The option groups, in the order their settings are loaded.
    enum Group { Mode, Pause, Format, Become, Field, DataPause, Space, GroupCount };

    /// A dialog of the parent window, placed with its frame's top-left corner
    /// at the placement (twips) when it loads.
    frmProperty(QWidget *parent, QPoint placement);

    /// The value the group gives its setting at OK: the tag of its selected option.
    QString pendingValue(Group group) const { return mPending[group]; }

    QTabWidget *sTab = nullptr;
    std::array<QGroupBox *, 8> fraCaption{};
    std::array<QLabel *, 6> lblCaption{};
    std::array<QLineEdit *, 5> txtInput{};     ///< name, join, own separator, before, after
    std::array<QRadioButton *, 2> optInput1{}; ///< MODE
    std::array<QRadioButton *, 3> optInput2{}; ///< PAUSE
    std::array<QRadioButton *, 2> optInput3{}; ///< FORMAT
    std::array<QRadioButton *, 2> optInput4{}; ///< BECOME
    std::array<QRadioButton *, 6> optInput5{}; ///< FIELD
    std::array<QRadioButton *, 2> optInput6{}; ///< DATAPAUSE
    std::array<QRadioButton *, 4> optInput7{}; ///< SPACE
    std::array<QCheckBox *, 9> chkInput1{};    ///< DYNOPTION1 to 8 at 1 to 8; [0] unused
    std::array<QPushButton *, 2> cmdButton{};  ///< OK, cancel

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createEditPage(QWidget *page);
    void createOutputPage(QWidget *page);
    void createOtherPage(QWidget *page);
    QRadioButton *addOption(Group group, int index, const QString &caption, QWidget *frame);
    void buildKeyboardOrder();

    void Form_Load();
    void loadGroup(Group group);
    void selectOption(Group group, int index);
    void optInput_Click(Group group, int index);
    void optInput1_Click(int index);
    void applyFieldState();
    void applyEnclosureState();
    void sTab_GotFocus();
    void showPageOf(QWidget *control);
    void cmdButton_Click(int index);
    /// OK: refuses a variable name that the generated code cannot use, keeping
    /// the dialog open on its box; otherwise stores and saves every setting.
    void confirm();

    std::span<QRadioButton *const> options(Group group) const;
    /// The group an option belongs to, or -1 for any other control.
    int groupOf(const QObject *control) const;

    QPoint mPlacement;
    std::array<QString, GroupCount> mPending;
    bool OtherSeparatorMouseDown = false;
    bool EncloseMouseDown = false;
    bool mActivated = false;
    std::vector<QWidget *> mKeyboardOrder; ///< Tab order across all three pages
};
