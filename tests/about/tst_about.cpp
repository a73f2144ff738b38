#include "../fakedialogs.h"
#include "about/frmabout.h"
#include "about/sysinfo.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Writes a shell script of that name into dir: "name" is executable, "name:plain" not.
void writeProgram(const QString &dir, const QString &entry, const QByteArray &script)
{
    const QStringList parts = entry.split(':');
    QFile file(QDir(dir).filePath(parts[0]));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(script);
    file.close();
    QVERIFY(file.setPermissions(parts.size() == 1 ? QFile::ReadOwner | QFile::ExeOwner
                                                  : QFile::ReadOwner));
}

} // namespace

/// The About box: what it shows, how it closes, and the system-information program.
class tst_About : public QObject
{
    Q_OBJECT

private slots:
    void showsTitleVersionAndDescription();
    void closes_data();
    void closes();
    void findsSysInfoProgram_data();
    void findsSysInfoProgram();
    void sysInfoButton_data();
    void sysInfoButton();
};

void tst_About::showsTitleVersionAndDescription()
{
    QWidget owner;
    frmAbout about(&owner);
    QVERIFY(about.isWindow() && about.isModal() && about.parentWidget() == &owner);
    QCOMPARE(about.windowTitle(), QString("ﾊﾞｰｼﾞｮﾝ情報 Korvane"));
    QCOMPARE(about.lblTitle->text(), QString("Korvane"));
    QCOMPARE(about.lblVersion->text(), QString("ﾊﾞｰｼﾞｮﾝ 3.1.1"));
    QVERIFY(!about.lblDescription->text().isEmpty());
    QVERIFY(!about.lblDescription->text().contains('\n'));
    QVERIFY(about.lblDisclaimer->text().startsWith("警告: "));
    // The icon at 32 x 32, from its drawing at that size rather than enlarged.
    QCOMPARE(about.picIcon->pixmap().deviceIndependentSize(), QSizeF(32, 32));
    QCOMPARE(about.picIcon->pixmap().size(), QSize(32, 32));
    QCOMPARE(about.cmdSysInfo->text(), QString("ｼｽﾃﾑ情報(&S)..."));
}

void tst_About::closes_data()
{
    QTest::addColumn<int>("key"); // 0: click OK
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void tst_About::closes()
{
    QFETCH(int, key);
    FakeDialogs dialogs;
    QWidget owner;
    frmAbout about(&owner);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.focusWidget(), about.cmdOK);
    QCOMPARE(about.cmdOK->text(), QString("OK"));
    QVERIFY(about.cmdOK->isDefault());
    if (key)
        QTest::keyClick(&about, Qt::Key(key));
    else
        QTest::mouseClick(about.cmdOK, Qt::LeftButton);
    QVERIFY(!about.isVisible());
    QVERIFY(dialogs.messages.isEmpty()); // Enter is OK's, not the system button's
}

void tst_About::findsSysInfoProgram_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("found");
    QTest::newRow("none") << QStringList{"sysinfo"} << "";
    QTest::newRow("best first") << QStringList{"lshw-gtk", "kinfocenter", "hardinfo", "hardinfo2"}
                                << "hardinfo2";
    QTest::newRow("list order, not folder order")
        << QStringList{"lshw-gtk", "hardinfo"} << "hardinfo";
    QTest::newRow("not executable") << QStringList{"hardinfo:plain", "lshw-gtk"} << "lshw-gtk";
}

void tst_About::findsSysInfoProgram()
{
    QFETCH(QStringList, present);
    QFETCH(QString, found);
    QTemporaryDir first;
    QTemporaryDir second;
    // The best candidate goes into the later folder: the list decides, not the folders.
    for (const QString &entry : present)
        writeProgram(entry == "hardinfo2" ? second.path() : first.path(), entry, "#!/bin/sh\n");
    const QString path = About::FindSysInfoProgram({first.path(), second.path()});
    QCOMPARE(QFileInfo(path).fileName(), found);
    QVERIFY(path.isEmpty() || QFileInfo(path).isAbsolute());
}

void tst_About::sysInfoButton_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no program on PATH
    QTest::newRow("found and started") << QByteArray("#!/bin/sh\nexit 0\n");
    QTest::newRow("none on PATH") << QByteArray();
    QTest::newRow("cannot be started") << QByteArray("#!/nonexistent/shell\n");
}

void tst_About::sysInfoButton()
{
    QFETCH(QByteArray, script);
    FakeDialogs dialogs;
    QTemporaryDir bin;
    if (!script.isEmpty())
        writeProgram(bin.path(), "kinfocenter", script);
    const QByteArray oldPath = qgetenv("PATH");
    const auto restore = qScopeGuard([&] { qputenv("PATH", oldPath); });
    qputenv("PATH", bin.path().toLocal8Bit());

    QWidget owner;
    frmAbout about(&owner);
    about.show();
    QTest::mouseClick(about.cmdSysInfo, Qt::LeftButton);
    const QStringList unavailable{"Korvane|現時点ではｼｽﾃﾑ情報を使用できません"};
    QCOMPARE(dialogs.messages, script.startsWith("#!/bin/sh") ? QStringList() : unavailable);
    QVERIFY(about.isVisible()); // the box stays open either way
}

QTEST_MAIN(tst_About)

#include "tst_about.moc"
