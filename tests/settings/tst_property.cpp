#include "../fakedialogs.h"
#include "../mainwindow.h"
#include "../testfiles.h"
#include "app/frmmain.h"
#include "app/globals.h"
#include "settings/frmproperty.h"
#include "settings/propertyrules.h"
#include "settings/settingsstore.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

namespace {

// CONFIG.ini as first start writes it, with the given "KEY=value" lines replaced.
QByteArray configFile(const QStringList &changes = {})
{
    QStringList lines = {"[EDIT]",      "MODE=0",        "HENNAME=strSQL", "JOINT=&", "PAUSE=0",
                         "FORMAT=0",    "BECOME=0",      "[DATAEXP]",      "FIELD=0", "FIELDMOJI=",
                         "DATAPAUSE=0", "DATAPAUSEF=\"", "DATAPAUSEB=\"",  "SPACE=3", "[OTHER]"};
    for (int n = 1; n <= 8; ++n)
        lines << QString("DYNOPTION%1=0").arg(n);
    for (const QString &change : changes) {
        const QString key = change.section('=', 0, 0) + '=';
        for (QString &line : lines) {
            if (line.startsWith(key))
                line = change;
        }
    }
    return (lines.join("\r\n") + "\r\n").toUtf8();
}

// The selected option of each group as its index (-1: none), in load order,
// then the check boxes as 0 and 1.
QString shownOptions(const frmProperty &dialog)
{
    const auto selected = [](const auto &group) {
        for (size_t i = 0; i < group.size(); ++i) {
            if (group[i]->isChecked())
                return QString::number(i);
        }
        return QString("-1");
    };
    QStringList shown
        = {selected(dialog.optInput1), selected(dialog.optInput2), selected(dialog.optInput3),
           selected(dialog.optInput4), selected(dialog.optInput5), selected(dialog.optInput6),
           selected(dialog.optInput7)};
    QString checks;
    for (int n = 1; n <= 8; ++n)
        checks += dialog.chkInput1[n]->isChecked() ? '1' : '0';
    return shown.join(' ') + ' ' + checks;
}

// Editable boxes among txtInput(0) to (4), as 0 and 1.
QString editableBoxes(const frmProperty &dialog)
{
    QString editable;
    for (const QLineEdit *box : dialog.txtInput)
        editable += box->isEnabled() && !box->isReadOnly() ? '1' : '0';
    return editable;
}

// A left click on the indicator: a click beside a short caption hits nothing.
void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

QString focusName()
{
    const QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString("<none>");
}

} // namespace

/// The properties dialog driven through its controls, offscreen, on a real
/// CONFIG.ini in a temporary application directory.
class tst_Property : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithDefaults();
    void storedValuesShowAndSave_data();
    void storedValuesShowAndSave();
    void modeChoice();
    void mouseAndKeyboardSelection_data();
    void mouseAndKeyboardSelection();
    void keyboardOrderTurnsPages_data();
    void keyboardOrderTurnsPages();
    void okAndCancel_data();
    void okAndCancel();
    void failedSaveIsReported();
    void variableNameRule_data();
    void variableNameRule();

private:
    QString configPath() const { return mHome->filePath("CONFIG.ini"); }
    std::unique_ptr<frmProperty> openDialog(const QByteArray &config = QByteArray());
    QWidget *control(const frmProperty &dialog, const QString &name) const;

    std::unique_ptr<QTemporaryDir> mHome;
    std::unique_ptr<FakeDialogs> mDialogs;
    std::unique_ptr<frmMain> mMain;
};

void tst_Property::init()
{
    mHome = std::make_unique<QTemporaryDir>();
    QVERIFY(mHome->isValid());
    qputenv("KORVANE_HOME", mHome->path().toUtf8());
    mDialogs = std::make_unique<FakeDialogs>();
    FileIO::ResetSettings();
    SQLEdit::InitGlobals();
}

void tst_Property::cleanup()
{
    mMain.reset();
    mDialogs.reset();
    FileIO::ResetSettings();
    qunsetenv("KORVANE_HOME");
    mHome.reset();
}

// The main window loads CONFIG.ini (written first when config is given) and
// the dialog opens over it, active.
std::unique_ptr<frmProperty> tst_Property::openDialog(const QByteArray &config)
{
    if (!config.isEmpty() && !writeBytes(configPath(), config))
        qWarning("CONFIG.ini could not be written");
    mMain = std::make_unique<frmMain>();
    mMain->openInitialConnection = [] { return false; };
    mMain->show();
    auto dialog = std::make_unique<frmProperty>(mMain.get(), mMain->dialogPlacement(17));
    dialog->show();
    dialog->activateWindow();
    QApplication::setActiveWindow(dialog.get());
    if (!QTest::qWaitForWindowActive(dialog.get()))
        qWarning("the properties dialog did not become active");
    return dialog;
}

QWidget *tst_Property::control(const frmProperty &dialog, const QString &name) const
{
    if (name == "sTab")
        return dialog.sTab->tabBar();
    return dialog.findChild<QWidget *>(name);
}

void tst_Property::opensWithDefaults()
{
    const std::unique_ptr<frmProperty> dialog = openDialog();
    QCOMPARE(dialog->sTab->currentIndex(), 0);
    QCOMPARE(focusName(), QString("optInput1(0)"));

    // Below the toolbar, from the left edge of toolbar button 17.
    const QToolBar *toolbar = TestWindow::toolbar(*mMain);
    const QWidget *button = toolbar->widgetForAction(TestWindow::toolbarButton(*mMain, 17));
    QVERIFY(button);
    QCOMPARE(dialog->x(), mMain->x() + button->x());
    QVERIFY(dialog->y() > mMain->y() + toolbar->height());

    // Escape does not close the dialog.
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());

    // Boxes are named by their labels or frame, options by their captions.
    const QList<QPair<QWidget *, QString>> names = {
        {dialog->txtInput[0], "変数名"},
        {dialog->txtInput[1], "結合文字"},
        {dialog->txtInput[2], "ﾌｨｰﾙﾄﾞ区切文字 その他"},
        {dialog->txtInput[3], "・前文字"},
        {dialog->txtInput[4], "・後文字"},
        {dialog->optInput5[4], "その他"},
        {dialog->chkInput1[1], "自動バインディングを実行しない"},
    };
    for (const auto &[widget, name] : names) {
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
        QVERIFY(accessible);
        QCOMPARE(accessible->text(QAccessible::Name), name);
    }
}

void tst_Property::storedValuesShowAndSave_data()
{
    QTest::addColumn<QStringList>("stored"); // lines of CONFIG.ini replaced
    QTest::addColumn<QString>("shown");      // see shownOptions
    QTest::addColumn<QString>("join");
    QTest::addColumn<QString>("editable");  // see editableBoxes
    QTest::addColumn<QStringList>("saved"); // lines that differ from the defaults after OK

    QTest::newRow("PL/SQL keeps its stored join and separator")
        << QStringList{"MODE=1", "JOINT=+", "PAUSE=2"} << "1 2 0 0 0 0 3 00000000"
        << "+"
        << "10011" << QStringList{"MODE=1", "JOINT=+", "PAUSE=2"};
    const QStringList output = {"FIELD=4", "FIELDMOJI=|",  "DATAPAUSE=1", "DATAPAUSEF='",
                                "SPACE=0", "DYNOPTION2=1", "DYNOPTION8=1"};
    QTest::newRow("own separator and no enclosing") << output << "0 0 0 0 4 1 0 01000001"
                                                    << "&"
                                                    << "11100" << output;
    QTest::newRow("defaults") << QStringList{} << "0 0 0 0 0 0 3 00000000"
                              << "&"
                              << "11011" << QStringList{};
    // Values that no option stands for show the default option, and OK saves it.
    QTest::newRow("numbers outside the options")
        << QStringList{"MODE=5",      "PAUSE=-1", "FORMAT=2",     "BECOME=9",     "FIELD=9",
                       "DATAPAUSE=7", "SPACE=4",  "DYNOPTION1=2", "DYNOPTION3=-1"}
        << "0 0 0 0 0 0 3 00000000"
        << "&"
        << "11011" << QStringList{};
    QTest::newRow("PL/SQL with a separator outside the options keeps the space")
        << QStringList{"MODE=1", "JOINT=||", "PAUSE=3"} << "1 1 0 0 0 0 3 00000000"
        << "||"
        << "10011" << QStringList{"MODE=1", "JOINT=||", "PAUSE=1"};
    QTest::newRow("the seventh dynaset option is never kept")
        << QStringList{"DYNOPTION7=1", "DYNOPTION6=1"} << "0 0 0 0 0 0 3 00000100"
        << "&"
        << "11011" << QStringList{"DYNOPTION6=1"};
}

void tst_Property::storedValuesShowAndSave()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, shown);
    QFETCH(QString, join);
    QFETCH(QString, editable);
    QFETCH(QStringList, saved);

    const std::unique_ptr<frmProperty> dialog = openDialog(configFile(stored));
    QCOMPARE(shownOptions(*dialog), shown);
    QCOMPARE(dialog->txtInput[1]->text(), join);
    QCOMPARE(editableBoxes(*dialog), editable);
    QCOMPARE(focusName(), QString("optInput1(%1)").arg(shown.left(1)));

    QTest::mouseClick(dialog->cmdButton[0], Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(QString::fromUtf8(readBytes(configPath())), QString::fromUtf8(configFile(saved)));
    QCOMPARE(mDialogs->messages, QStringList());
}

void tst_Property::modeChoice()
{
    const std::unique_ptr<frmProperty> dialog = openDialog(configFile({"PAUSE=2"}));
    click(dialog->optInput1[1]);
    QCOMPARE(dialog->txtInput[1]->text(), QString("||"));
    QVERIFY(dialog->txtInput[1]->isReadOnly());
    QVERIFY(!dialog->txtInput[1]->isEnabled());
    QVERIFY(dialog->optInput2[1]->isChecked());
    QVERIFY(!dialog->optInput2[0]->isEnabled());
    QCOMPARE(dialog->pendingValue(frmProperty::Pause), QString("1"));

    // Back to Visual Basic: "&" whatever the box held, the line break allowed again
    // and the separator choice kept.
    click(dialog->optInput1[0]);
    QCOMPARE(dialog->txtInput[1]->text(), QString("&"));
    QVERIFY(dialog->txtInput[1]->isEnabled() && !dialog->txtInput[1]->isReadOnly());
    QVERIFY(dialog->optInput2[0]->isEnabled());
    QVERIFY(dialog->optInput2[1]->isChecked());
}

void tst_Property::mouseAndKeyboardSelection_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("option"); // clicked, or focused before the key
    QTest::addColumn<int>("key");        // 0: a left click on the option
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("editable");

    QTest::newRow("click on その他") << QStringList() << "optInput5(4)" << 0 << "txtInput(2)"
                                     << "11111";
    QTest::newRow("arrow down to その他")
        << QStringList() << "optInput5(0)" << int(Qt::Key_Down) << "optInput5(4)"
        << "11111";
    QTest::newRow("click on 指定する")
        << QStringList{"DATAPAUSE=1"} << "optInput6(0)" << 0 << "txtInput(3)"
        << "11011";
    QTest::newRow("arrow up to 指定する")
        << QStringList{"DATAPAUSE=1"} << "optInput6(1)" << int(Qt::Key_Up) << "optInput6(0)"
        << "11011";
}

void tst_Property::mouseAndKeyboardSelection()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, option);
    QFETCH(int, key);
    QFETCH(QString, focus);
    QFETCH(QString, editable);

    const std::unique_ptr<frmProperty> dialog = openDialog(configFile(stored));
    dialog->sTab->setCurrentIndex(1);
    QWidget *target = control(*dialog, option);
    QVERIFY(target);
    if (key == 0) {
        click(target);
    } else {
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, Qt::Key(key));
    }
    QCOMPARE(focusName(), focus);
    QCOMPARE(editableBoxes(*dialog), editable);

    // The flag went with the button: choosing the option again with the keyboard
    // leaves the focus on it.
    if (key == 0 && option == "optInput5(4)") {
        dialog->optInput5[0]->setFocus(Qt::TabFocusReason);
        QTest::keyClick(dialog->optInput5[0], Qt::Key_Space);
        QVERIFY(dialog->optInput5[0]->isChecked());
        QTest::keyClick(dialog->optInput5[0], Qt::Key_Down);
        QVERIFY(dialog->optInput5[4]->isChecked());
        QCOMPARE(focusName(), QString("optInput5(4)"));
    }
}

void tst_Property::keyboardOrderTurnsPages_data()
{
    QTest::addColumn<QStringList>("clicks"); // options clicked first
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("page"); // shown before the key
    QTest::addColumn<bool>("forward");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("pageAfter");

    QTest::newRow("last of page 0 to page 1")
        << QStringList() << "optInput4(0)" << 0 << true << "optInput5(0)" << 1;
    QTest::newRow("back from page 1 to page 0")
        << QStringList() << "optInput5(0)" << 1 << false << "optInput4(0)" << 0;
    QTest::newRow("only the selected option of a group")
        << QStringList{"optInput2(2)"} << "txtInput(1)" << 0 << true << "optInput2(2)" << 0;
    QTest::newRow("the read-only join box is passed by")
        << QStringList{"optInput1(1)"} << "txtInput(0)" << 0 << true << "optInput2(1)" << 0;
    QTest::newRow("the other-separator box follows its option")
        << QStringList{"optInput5(4)"} << "optInput5(4)" << 1 << true << "txtInput(2)" << 1;
    QTest::newRow("into the check boxes of page 2")
        << QStringList() << "optInput7(3)" << 1 << true << "chkInput1(1)" << 2;
    QTest::newRow("the disabled seventh check box is passed by")
        << QStringList() << "chkInput1(6)" << 2 << true << "chkInput1(8)" << 2;
    QTest::newRow("OK back to the check boxes")
        << QStringList() << "cmdButton(0)" << 0 << false << "chkInput1(8)" << 2;
    QTest::newRow("tab control on page 0 passes to the mode")
        << QStringList() << "cmdButton(1)" << 0 << true << "optInput1(0)" << 0;
    QTest::newRow("tab control on page 2 keeps the focus")
        << QStringList() << "cmdButton(1)" << 2 << true << "sTab" << 2;
}

void tst_Property::keyboardOrderTurnsPages()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, from);
    QFETCH(int, page);
    QFETCH(bool, forward);
    QFETCH(QString, to);
    QFETCH(int, pageAfter);

    const std::unique_ptr<frmProperty> dialog = openDialog();
    for (const QString &name : clicks) {
        QWidget *option = control(*dialog, name);
        QVERIFY(option);
        dialog->sTab->setCurrentIndex(name.startsWith("optInput5") ? 1 : 0);
        click(option);
    }
    dialog->sTab->setCurrentIndex(page);
    QWidget *start = control(*dialog, from);
    QVERIFY(start);
    start->setFocus(Qt::OtherFocusReason);
    QCOMPARE(focusName(), from);
    QTest::keyClick(start, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                    forward ? Qt::NoModifier : Qt::ShiftModifier);
    QCOMPARE(focusName(), to == "sTab" ? dialog->sTab->tabBar()->objectName() : to);
    if (to == "sTab")
        QCOMPARE(QApplication::focusWidget(), dialog->sTab->tabBar());
    QCOMPARE(dialog->sTab->currentIndex(), pageAfter);
    QVERIFY(QApplication::focusWidget()->isVisible());

    // A click on a page's tab passes the focus to that page's selected first option.
    QTabBar *tabs = dialog->sTab->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    QCOMPARE(dialog->sTab->currentIndex(), 1);
    QVERIFY(qobject_cast<QRadioButton *>(QApplication::focusWidget()));
    QVERIFY(focusName().startsWith("optInput5("));
}

void tst_Property::okAndCancel_data()
{
    QTest::addColumn<QString>("close"); // "ok", "cancel" or "close box"
    QTest::addColumn<QString>("name");  // typed as the variable name
    QTest::addColumn<bool>("saved");

    QTest::newRow("OK") << "ok" << QString("sql_1") << true;
    // Closing without saving takes any name.
    QTest::newRow("cancel") << "cancel" << QString() << false;
    QTest::newRow("close box") << "close box" << QString("1x") << false;
    // OK refuses a name the code cannot use: the dialog stays open on its box.
    QTest::newRow("OK, name refused") << "ok" << QString() << false;
}

void tst_Property::okAndCancel()
{
    QFETCH(QString, close);
    QFETCH(QString, name);
    QFETCH(bool, saved);
    const bool refused = close == "ok" && !saved;

    // A line of its own in the file, which a save keeps.
    const QByteArray before = configFile({"BECOME=1"}) + "[USER]\r\nNOTE=kept\r\n";
    const std::unique_ptr<frmProperty> dialog = openDialog(before);

    dialog->txtInput[0]->setText(name);
    click(dialog->optInput1[1]);
    click(dialog->optInput3[1]);
    click(dialog->optInput4[0]);
    dialog->sTab->setCurrentIndex(1);
    click(dialog->optInput5[4]);
    QTest::keyClicks(dialog->txtInput[2], ";x"); // one character fits
    click(dialog->optInput6[1]);
    click(dialog->optInput7[2]);
    dialog->sTab->setCurrentIndex(2);
    click(dialog->chkInput1[3]);
    click(dialog->chkInput1[7]); // disabled: stays cleared

    if (close == "ok")
        QTest::mouseClick(dialog->cmdButton[0], Qt::LeftButton);
    else if (close == "cancel")
        QTest::mouseClick(dialog->cmdButton[1], Qt::LeftButton);
    else
        dialog->close();
    QCOMPARE(dialog->isVisible(), refused);
    QCOMPARE(dialog->result(), int(saved ? QDialog::Accepted : QDialog::Rejected));

    const QStringList after
        = {"MODE=1",  "HENNAME=sql_1", "JOINT=||",    "PAUSE=1", "FORMAT=1",    "BECOME=0",
           "FIELD=4", "FIELDMOJI=;",   "DATAPAUSE=1", "SPACE=2", "DYNOPTION3=1"};
    if (saved) {
        QCOMPARE(QString::fromUtf8(readBytes(configPath())),
                 QString::fromUtf8(configFile(after) + "[USER]\r\nNOTE=kept\r\n"));
        for (const QString &line : after)
            QCOMPARE(FileIO::GetSettingValue(line.section('=', 0, 0)).toString(),
                     line.section('=', 1));
    } else {
        QCOMPARE(readBytes(configPath()), before);
        QCOMPARE(FileIO::GetSettingValue("MODE").toInt(), 0);
        QCOMPARE(FileIO::GetSettingValue("HENNAME").toString(), QString("strSQL"));
        QCOMPARE(FileIO::GetSettingValue("BECOME").toInt(), 1);
    }
    if (refused) {
        QCOMPARE(mDialogs->messages,
                 QStringList("ﾌﾟﾛﾊﾟﾃｨ|この変数名は使用できません。\n変数名が入力されていません。"));
        QCOMPARE(dialog->sTab->currentIndex(), 0);
        QCOMPARE(focusName(), QString("txtInput(0)"));
    } else {
        QCOMPARE(mDialogs->messages, QStringList());
    }
}

void tst_Property::failedSaveIsReported()
{
    const std::unique_ptr<frmProperty> dialog = openDialog(configFile());
    // The file turns into a folder: no key can be written.
    QVERIFY(QFile::remove(configPath()));
    QVERIFY(QDir(mHome->path()).mkdir("CONFIG.ini"));
    dialog->txtInput[0]->setText("strX");
    QTest::mouseClick(dialog->cmdButton[0], Qt::LeftButton);

    QCOMPARE(mDialogs->messages.size(), 1);
    QVERIFY(
        mDialogs->messages.first().startsWith("ﾌﾟﾛﾊﾟﾃｨ|設定をファイルに保存できませんでした。"));
    QVERIFY(mDialogs->messages.first().contains(configPath()));
    // The new values are in use for the rest of the run.
    QCOMPARE(FileIO::GetSettingValue("HENNAME").toString(), QString("strX"));
    QVERIFY(!dialog->isVisible());
}

void tst_Property::variableNameRule_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("why"); // the message's second line; empty: usable

    const QString letterFirst = "変数名は半角の英字で始めてください。";
    const QString onlyThese = "変数名に使えるのは半角の英字、数字と「_」だけです。";
    QTest::newRow("letters, digits, underscore") << "strSQL_2" << QString();
    QTest::newRow("empty") << "" << QString("変数名が入力されていません。");
    QTest::newRow("digit first") << "1sql" << letterFirst;
    QTest::newRow("underscore first") << "_sql" << letterFirst;
    QTest::newRow("Japanese letters") << "変数" << letterFirst;
    QTest::newRow("full-width letter inside") << "strＳ" << onlyThese;
    QTest::newRow("blank") << "str SQL" << onlyThese;
}

void tst_Property::variableNameRule()
{
    QFETCH(QString, name);
    QFETCH(QString, why);
    QCOMPARE(Properties::VariableNameProblem(name),
             why.isEmpty() ? QString() : "この変数名は使用できません。\n" + why);
}

QTEST_MAIN(tst_Property)

#include "tst_property.moc"
