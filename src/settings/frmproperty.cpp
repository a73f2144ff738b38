#include "settings/frmproperty.h"

#include "common/common.h"
#include "common/dialogs.h"
#include "common/fonts.h"
#include "common/placeform.h"
#include "settings/propertyrules.h"
#include "settings/settingsstore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <functional>

using Common::PlaceControl;
using Common::TwipsToPixels;

namespace {

constexpr int ClientWidth = 6600;
constexpr int ClientHeight = 6180;

const QString Caption = QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ");

// The setting each option group edits, by frmProperty::Group.
const char *const GroupKeys[frmProperty::GroupCount]
    = {"MODE", "PAUSE", "FORMAT", "BECOME", "FIELD", "DATAPAUSE", "SPACE"};

// The page that holds a group's options: the editing options on page 0, the
// output options on page 1.
int pageOfGroup(frmProperty::Group group)
{
    return group <= frmProperty::Become ? 0 : 1;
}

const char *const DynasetCaptions[8] = {
    "自動バインディングを実行しない",
    "文字列データに続くブランクを切捨てない",
    "読取り専用にする",
    "ローカル・データ・キャッシュを作成しない",
    "データベースのOracleモードと同じように動作する",
    "データベースのORADB_NO_REFETCHモードと同じように動作する",
    "MoveFirstを強制しない",
    "UpdateとDeleteでは、読取り一貫性を確認しない",
};

// The dynaset option that the dialog always shows cleared and disabled.
constexpr int LockedDynasetOption = 7;

/// An option button that reports the mouse button going down and coming up
/// again. The release is reported after the button has handled it, since a click
/// selects the option on the release and the selection must still see the
/// button held.
class OptionButton : public QRadioButton
{
public:
    using QRadioButton::QRadioButton;

    std::function<void(Qt::MouseButton)> mouseDown;
    std::function<void(Qt::MouseButton)> mouseUp;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (mouseDown)
            mouseDown(event->button());
        QRadioButton::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QRadioButton::mouseReleaseEvent(event);
        if (mouseUp)
            mouseUp(event->button());
    }
};

// Keeps held true while the left mouse button is down on the option.
void trackLeftButton(QRadioButton *option, bool *held)
{
    auto *button = static_cast<OptionButton *>(option);
    button->mouseDown = [held](Qt::MouseButton pressed) {
        if (pressed == Qt::LeftButton)
            *held = true;
    };
    button->mouseUp = [held](Qt::MouseButton released) {
        if (released == Qt::LeftButton)
            *held = false;
    };
}

QGroupBox *addFrame(std::array<QGroupBox *, 8> &frames,
                    int index,
                    const char *title,
                    QWidget *page,
                    int top,
                    int height)
{
    auto *frame = new QGroupBox(QString::fromUtf8(title), page);
    frame->setObjectName(QStringLiteral("fraCaption(%1)").arg(index));
    PlaceControl(frame, 120, top, 6060, height);
    frames[index] = frame;
    return frame;
}

// maxLength 0: no limit of the dialog's own.
QLineEdit *addBox(std::array<QLineEdit *, 5> &boxes, int index, int maxLength, QWidget *frame)
{
    auto *box = new QLineEdit(frame);
    box->setObjectName(QStringLiteral("txtInput(%1)").arg(index));
    if (maxLength > 0)
        box->setMaxLength(maxLength);
    boxes[index] = box;
    return box;
}

QLabel *addLabel(std::array<QLabel *, 6> &labels, int index, const char *text, QWidget *frame)
{
    auto *label = new QLabel(QString::fromUtf8(text), frame);
    label->setObjectName(QStringLiteral("lblCaption(%1)").arg(index));
    labels[index] = label;
    return label;
}

} // namespace

frmProperty::frmProperty(QWidget *parent, QPoint placement)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
    , mPlacement(placement)
{
    setObjectName(QStringLiteral("frmProperty"));
    setWindowTitle(Caption);
    setFont(Common::JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 9));
    setFixedSize(TwipsToPixels(ClientWidth), TwipsToPixels(ClientHeight));
    createControls();
    Form_Load();
}

QRadioButton *frmProperty::addOption(Group group, int index, const QString &caption, QWidget *frame)
{
    static const char *const arrayNames[GroupCount] = {
        "optInput1", "optInput2", "optInput3", "optInput4", "optInput5", "optInput6", "optInput7"};
    auto *option = new OptionButton(caption, frame);
    option->setObjectName(
        QStringLiteral("%1(%2)").arg(QLatin1String(arrayNames[group])).arg(index));
    option->installEventFilter(this);
    connect(option, &QRadioButton::toggled, this, [this, group, index](bool checked) {
        if (checked)
            optInput_Click(group, index);
    });
    return option;
}

void frmProperty::createControls()
{
    sTab = new QTabWidget(this);
    sTab->setObjectName(QStringLiteral("sTab"));
    // A click on a tab takes the focus, which then moves on to the page's first
    // group; without it the focus could stay behind on a hidden page.
    sTab->tabBar()->setFocusPolicy(Qt::StrongFocus);
    sTab->tabBar()->installEventFilter(this);
    PlaceControl(sTab, 120, 120, 6360, 5400);

    const char *const pageTitles[] = {"編集用ｳｨﾝﾄﾞｳ", "ﾃﾞｰﾀ出力", "その他"};
    std::array<QWidget *, 3> pages{};
    for (size_t i = 0; i < pages.size(); ++i) {
        pages[i] = new QWidget;
        pages[i]->setObjectName(QStringLiteral("sTabPage(%1)").arg(i));
        sTab->addTab(pages[i], QString::fromUtf8(pageTitles[i]));
    }
    createEditPage(pages[0]);
    createOutputPage(pages[1]);
    createOtherPage(pages[2]);

    const char *const buttons[] = {"OK", "ｷｬﾝｾﾙ"};
    for (int i = 0; i < 2; ++i) {
        cmdButton[i] = new QPushButton(QString::fromUtf8(buttons[i]), this);
        cmdButton[i]->setObjectName(QStringLiteral("cmdButton(%1)").arg(i));
        // Neither button answers Enter: the dialog has no default button.
        cmdButton[i]->setAutoDefault(false);
        PlaceControl(cmdButton[i], 4110 + 1215 * i, 5640, 1155, 375);
        connect(cmdButton[i], &QPushButton::clicked, this, [this, i] { cmdButton_Click(i); });
    }

    // A mouse flag is set while the left button is held on its option, so that
    // the selection the click makes takes the caret into the option's box.
    trackLeftButton(optInput5[4], &OtherSeparatorMouseDown);
    trackLeftButton(optInput6[0], &EncloseMouseDown);

    buildKeyboardOrder();
}

void frmProperty::createEditPage(QWidget *page)
{
    QGroupBox *window = addFrame(fraCaption, 1, "編集用ｳｨﾝﾄﾞｳ選択", page, 60, 720);
    const char *const modes[] = {"Visual Basic", "PL/SQL"};
    for (int i = 0; i < 2; ++i) {
        optInput1[i] = addOption(Mode, i, QString::fromUtf8(modes[i]), window);
        PlaceControl(optInput1[i], 240 + 1920 * i, 360, 1800, 270);
    }

    QGroupBox *text = addFrame(fraCaption, 0, "SQL編集文字列", page, 840, 1200);
    PlaceControl(addLabel(lblCaption, 0, "変数名", text), 240, 405, 960, 240);
    PlaceControl(addBox(txtInput, 0, 15, text), 1260, 360, 1980, 330);
    lblCaption[0]->setBuddy(txtInput[0]);
    PlaceControl(addLabel(lblCaption, 1, "結合文字", text), 3480, 405, 840, 240);
    PlaceControl(addBox(txtInput, 1, 0, text), 4320, 360, 960, 330);
    lblCaption[1]->setBuddy(txtInput[1]);
    PlaceControl(addLabel(lblCaption, 2, "区切文字", text), 240, 825, 960, 240);
    const char *const pauses[] = {"改行コード", "スペース", "指定無し"};
    for (int i = 0; i < 3; ++i) {
        optInput2[i] = addOption(Pause, i, QString::fromUtf8(pauses[i]), text);
        optInput2[i]->setAccessibleDescription(lblCaption[2]->text());
        PlaceControl(optInput2[i], 1260 + 1440 * i, 810, 1380, 270);
    }

    QGroupBox *init = addFrame(fraCaption, 2, "変数初期化", page, 2100, 960);
    const char *const formats[]
        = {"変数を初期化する　（str = \"\"）", "変数を初期化しない　（str = str + \"\"）"};
    for (int i = 0; i < 2; ++i) {
        optInput3[i] = addOption(Format, i, QString::fromUtf8(formats[i]), init);
        PlaceControl(optInput3[i], 240, 360 + 300 * i, 5640, 270);
    }

    // Each sample is two lines of code; the run of blanks inside the caption is
    // where its second line begins.
    QGroupBox *layout = addFrame(fraCaption, 3, "言語用体裁", page, 3120, 1500);
    const char *const becomes[] = {"str = \"SELECT *\" _             \"FROM T\"",
                                   "str = \"SELECT *\"     str = str + \"FROM T\""};
    for (int i = 0; i < 2; ++i) {
        optInput4[i] = addOption(Become, i,
                                 Properties::TwoLineCaption(QString::fromUtf8(becomes[i])), layout);
        PlaceControl(optInput4[i], 240, 360 + 540 * i, 5640, 480);
    }
}

void frmProperty::createOutputPage(QWidget *page)
{
    QGroupBox *field = addFrame(fraCaption, 4, "ﾌｨｰﾙﾄﾞ区切文字", page, 60, 1380);
    const char *const fields[] = {"カンマ", "タブ", "セミコロン", "スペース", "その他", "指定なし"};
    for (int i = 0; i < 6; ++i)
        optInput5[i] = addOption(Field, i, QString::fromUtf8(fields[i]), field);
    for (int i = 0; i < 4; ++i)
        PlaceControl(optInput5[i], 240 + 1440 * i, 360, 1380, 270);
    PlaceControl(optInput5[4], 240, 690, 1080, 270);
    PlaceControl(addBox(txtInput, 2, 1, field), 1320, 660, 480, 330);
    txtInput[2]->setAccessibleName(field->title() + QLatin1Char(' ') + optInput5[4]->text());
    PlaceControl(optInput5[5], 240, 1020, 1380, 270);

    QGroupBox *enclose = addFrame(fraCaption, 5, "文字区切記号", page, 1560, 1110);
    optInput6[0] = addOption(DataPause, 0, QStringLiteral("指定する"), enclose);
    PlaceControl(optInput6[0], 240, 390, 1200, 270);
    PlaceControl(addLabel(lblCaption, 3, "・前文字", enclose), 1560, 435, 840, 240);
    PlaceControl(addBox(txtInput, 3, 1, enclose), 2400, 390, 480, 330);
    lblCaption[3]->setBuddy(txtInput[3]);
    PlaceControl(addLabel(lblCaption, 4, "・後文字", enclose), 3120, 435, 840, 240);
    PlaceControl(addBox(txtInput, 4, 1, enclose), 3960, 390, 480, 330);
    lblCaption[4]->setBuddy(txtInput[4]);
    optInput6[1] = addOption(DataPause, 1, QStringLiteral("指定なし"), enclose);
    PlaceControl(optInput6[1], 240, 750, 1200, 270);

    QGroupBox *blanks = addFrame(fraCaption, 6, "空白処理", page, 2790, 720);
    const char *const spaces[] = {"前を削除する", "後を削除する", "前後を削除する", "削除しない"};
    for (int i = 0; i < 4; ++i) {
        optInput7[i] = addOption(Space, i, QString::fromUtf8(spaces[i]), blanks);
        PlaceControl(optInput7[i], 240 + 1440 * i, 360, 1440, 270);
    }
}

void frmProperty::createOtherPage(QWidget *page)
{
    QGroupBox *dynaset = addFrame(fraCaption, 7, "ダイナセット・オプション", page, 60, 3720);
    QLabel *note
        = addLabel(lblCaption, 5, "※全てのチェックを外すとデフォルト設定になります", dynaset);
    QFont bold = note->font();
    bold.setBold(true);
    note->setFont(bold);
    PlaceControl(note, 240, 360, 5700, 270);
    for (int n = 1; n <= 8; ++n) {
        chkInput1[n] = new QCheckBox(QString::fromUtf8(DynasetCaptions[n - 1]), dynaset);
        chkInput1[n]->setObjectName(QStringLiteral("chkInput1(%1)").arg(n));
        PlaceControl(chkInput1[n], 240, 720 + 360 * (n - 1), 5700, 270);
    }
}

void frmProperty::buildKeyboardOrder()
{
    mKeyboardOrder = {sTab->tabBar(), optInput1[0], optInput1[1], txtInput[0], txtInput[1]};
    mKeyboardOrder.insert(mKeyboardOrder.end(), optInput2.begin(), optInput2.end());
    mKeyboardOrder.insert(mKeyboardOrder.end(), optInput3.begin(), optInput3.end());
    mKeyboardOrder.insert(mKeyboardOrder.end(), optInput4.begin(), optInput4.end());
    mKeyboardOrder.insert(mKeyboardOrder.end(), optInput5.begin(), optInput5.begin() + 5);
    mKeyboardOrder.insert(mKeyboardOrder.end(), {txtInput[2], optInput5[5], optInput6[0],
                                                 txtInput[3], txtInput[4], optInput6[1]});
    mKeyboardOrder.insert(mKeyboardOrder.end(), optInput7.begin(), optInput7.end());
    mKeyboardOrder.insert(mKeyboardOrder.end(), chkInput1.begin() + 1, chkInput1.end());
    mKeyboardOrder.insert(mKeyboardOrder.end(), cmdButton.begin(), cmdButton.end());
    for (size_t i = 1; i < mKeyboardOrder.size(); ++i)
        setTabOrder(mKeyboardOrder[i - 1], mKeyboardOrder[i]);
}

std::span<QRadioButton *const> frmProperty::options(Group group) const
{
    switch (group) {
    case Mode:
        return optInput1;
    case Pause:
        return optInput2;
    case Format:
        return optInput3;
    case Become:
        return optInput4;
    case Field:
        return optInput5;
    case DataPause:
        return optInput6;
    case Space:
    case GroupCount:
        break;
    }
    return optInput7;
}

int frmProperty::groupOf(const QObject *control) const
{
    for (int group = 0; group < GroupCount; ++group) {
        const std::span<QRadioButton *const> buttons = options(Group(group));
        if (std::find(buttons.begin(), buttons.end(), control) != buttons.end())
            return group;
    }
    return -1;
}

void frmProperty::Form_Load()
{
    OtherSeparatorMouseDown = false;
    EncloseMouseDown = false;

    loadGroup(Mode);
    txtInput[0]->setText(FileIO::GetSettingValue(QStringLiteral("HENNAME")).toString());
    txtInput[1]->setText(FileIO::GetSettingValue(QStringLiteral("JOINT")).toString());
    for (Group group : {Pause, Format, Become, Field})
        loadGroup(group);
    txtInput[2]->setText(FileIO::GetSettingValue(QStringLiteral("FIELDMOJI")).toString());
    loadGroup(DataPause);
    txtInput[3]->setText(FileIO::GetSettingValue(QStringLiteral("DATAPAUSEF")).toString());
    txtInput[4]->setText(FileIO::GetSettingValue(QStringLiteral("DATAPAUSEB")).toString());
    loadGroup(Space);
    for (int n = 1; n <= 8; ++n) {
        const int state = FileIO::GetSettingValue(QStringLiteral("DYNOPTION%1").arg(n)).toInt();
        // Only 1 passes the option when a query opens; any other value shows cleared.
        chkInput1[n]->setChecked(state == 1);
    }

    Common::PlaceForm(this, mPlacement.y(), mPlacement.x());
    sTab->setCurrentIndex(0);

    applyFieldState();
    applyEnclosureState();
    chkInput1[LockedDynasetOption]->setChecked(false);
    chkInput1[LockedDynasetOption]->setEnabled(false);
}

// Selects the option of the stored value. A value that no option stands for
// shows the group's default option; only the PL/SQL mode, which disables
// "改行コード", keeps the "スペース" it selected instead.
void frmProperty::loadGroup(Group group)
{
    const QString key = QLatin1String(GroupKeys[group]);
    const std::span<QRadioButton *const> buttons = options(group);
    const int stored = FileIO::GetSettingValue(key).toInt();
    const int shown = Properties::ShownOption(stored, int(buttons.size()),
                                              FileIO::DefaultSettingValue(key).toInt());
    if (shown != stored && !buttons[shown]->isEnabled())
        return;
    selectOption(group, shown);
}

// Selecting an option runs its group's handler, also when it was selected already.
void frmProperty::selectOption(Group group, int index)
{
    QRadioButton *option = options(group)[index];
    if (option->isChecked())
        optInput_Click(group, index);
    else
        option->setChecked(true);
}

void frmProperty::optInput_Click(Group group, int index)
{
    mPending[group] = QString::number(index); // the option's tag
    switch (group) {
    case Mode:
        optInput1_Click(index);
        break;
    case Field:
        applyFieldState();
        if (OtherSeparatorMouseDown && txtInput[2]->isEnabled())
            txtInput[2]->setFocus(Qt::MouseFocusReason);
        break;
    case DataPause:
        applyEnclosureState();
        if (EncloseMouseDown && txtInput[3]->isEnabled())
            txtInput[3]->setFocus(Qt::MouseFocusReason);
        break;
    default:
        break;
    }
}

void frmProperty::optInput1_Click(int index)
{
    const bool visualBasic = index == 0;
    txtInput[1]->setEnabled(visualBasic);
    txtInput[1]->setReadOnly(!visualBasic);
    txtInput[1]->setText(visualBasic ? QStringLiteral("&") : QStringLiteral("||"));
    if (!visualBasic)
        selectOption(Pause, 1);
    optInput2[0]->setEnabled(visualBasic);
}

void frmProperty::applyFieldState()
{
    const bool own = mPending[Field] == QLatin1String("4");
    txtInput[2]->setEnabled(own);
    txtInput[2]->setReadOnly(!own);
}

void frmProperty::applyEnclosureState()
{
    const bool enclosed = mPending[DataPause] == QLatin1String("0");
    for (QLineEdit *box : {txtInput[3], txtInput[4]}) {
        box->setEnabled(enclosed);
        box->setReadOnly(!enclosed);
    }
}

void frmProperty::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!mActivated) {
        mActivated = true;
        // The tab control is first in the keyboard order and passes the focus on.
        sTab->tabBar()->setFocus(Qt::TabFocusReason);
    }
}

// The focus on the tab control moves on to the selected option of the page's
// first group; page 2 has no option, and there it stays.
void frmProperty::sTab_GotFocus()
{
    std::span<QRadioButton *const> buttons;
    if (sTab->currentIndex() == 0)
        buttons = optInput1;
    else if (sTab->currentIndex() == 1)
        buttons = optInput5;
    for (QRadioButton *option : buttons) {
        if (option->isChecked()) {
            option->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
}

void frmProperty::showPageOf(QWidget *control)
{
    for (int page = 0; page < sTab->count(); ++page) {
        if (sTab->widget(page)->isAncestorOf(control)) {
            sTab->setCurrentIndex(page);
            return;
        }
    }
}

// Tab and Shift+Tab walk the one keyboard order of all three pages, turning to
// the page of the control they reach; in an option group only the selected
// option takes part (the arrow keys move inside the group).
bool frmProperty::focusNextPrevChild(bool next)
{
    // The page that holds the focus is being turned away: the tab control puts
    // the focus on the incoming page itself.
    if (focusWidget() && !focusWidget()->isVisible())
        return true;

    const auto eligible = [this](QWidget *control) {
        if (!control->isEnabled())
            return false;
        const int group = groupOf(control);
        if (group < 0)
            return true;
        const std::span<QRadioButton *const> buttons = options(Group(group));
        const auto selected = std::find_if(buttons.begin(), buttons.end(), [](QRadioButton *o) {
            return o->isChecked() && o->isEnabled();
        });
        if (selected != buttons.end())
            return *selected == control;
        // A group without a selected option that can take the focus takes it on
        // its first enabled option.
        return *std::find_if(buttons.begin(), buttons.end(), [](QRadioButton *o) {
            return o->isEnabled();
        }) == control;
    };

    const int count = int(mKeyboardOrder.size());
    const auto found = std::find(mKeyboardOrder.begin(), mKeyboardOrder.end(), focusWidget());
    int position
        = found == mKeyboardOrder.end() ? (next ? -1 : count) : int(found - mKeyboardOrder.begin());
    for (int step = 0; step < count; ++step) {
        position = (position + (next ? 1 : -1) + count) % count;
        QWidget *control = mKeyboardOrder[position];
        if (!eligible(control))
            continue;
        showPageOf(control);
        control->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
    return false;
}

bool frmProperty::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == sTab->tabBar()) {
        // A click selects its page first and passes the focus on when the
        // button comes up; the keyboard passes it on at once.
        if (event->type() == QEvent::FocusIn
            && static_cast<QFocusEvent *>(event)->reason() != Qt::MouseFocusReason)
            sTab_GotFocus();
        else if (event->type() == QEvent::MouseButtonRelease && sTab->tabBar()->hasFocus())
            sTab_GotFocus();
        return QDialog::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusIn) {
        if (const int group = groupOf(watched); group >= 0)
            sTab->setCurrentIndex(pageOfGroup(Group(group)));
    }
    return QDialog::eventFilter(watched, event);
}

void frmProperty::keyPressEvent(QKeyEvent *event)
{
    // No button is the dialog's cancel button: Esc does not close it.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmProperty::cmdButton_Click(int index)
{
    if (index == 0)
        confirm();
    else
        reject();
}

void frmProperty::confirm()
{
    if (const QString why = Properties::VariableNameProblem(txtInput[0]->text()); !why.isEmpty()) {
        Common::Dialogs::instance().message(this, why, Caption, Common::Dialogs::Icon::Warning);
        showPageOf(txtInput[0]);
        txtInput[0]->setFocus(Qt::OtherFocusReason);
        txtInput[0]->selectAll();
        return;
    }
    using FileIO::SetSettingValue;
    const QString path = FileIO::SettingsFilePath();
    SetSettingValue(QStringLiteral("HENNAME"), txtInput[0]->text());
    SetSettingValue(QStringLiteral("JOINT"), txtInput[1]->text());
    for (Group group : {Mode, Pause, Format, Become, Field})
        SetSettingValue(QLatin1String(GroupKeys[group]), mPending[group]);
    SetSettingValue(QStringLiteral("FIELDMOJI"), txtInput[2]->text());
    SetSettingValue(QStringLiteral("DATAPAUSE"), mPending[DataPause]);
    SetSettingValue(QStringLiteral("DATAPAUSEF"), txtInput[3]->text());
    SetSettingValue(QStringLiteral("DATAPAUSEB"), txtInput[4]->text());
    SetSettingValue(QStringLiteral("SPACE"), mPending[Space]);
    for (int n = 1; n <= 8; ++n)
        SetSettingValue(QStringLiteral("DYNOPTION%1").arg(n),
                        chkInput1[n]->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));

    if (!FileIO::SaveSettings(path)) {
        // The new values are in use all the same, until the program ends.
        Common::Dialogs::instance().message(
            this,
            QStringLiteral("設定をファイルに保存できませんでした。\n%1\n"
                           "変更した設定はプログラムを終了するまで使われます。")
                .arg(path),
            Caption, Common::Dialogs::Icon::Warning);
    }
    accept();
}
