#include "common/appdir.h"
#include "common/common.h"
#include "common/errors.h"
#include "common/textcodec.h"

#include "../filesizelimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace Common;

class tst_Common : public QObject
{
    Q_OBJECT

private slots:
    void blankText_data();
    void blankText();
    void validateInput_data();
    void validateInput();
    void decodeAcceptsUtf8AndShiftJis();
    void truncateNeverSplitsACharacter_data();
    void truncateNeverSplitsACharacter();
    void writeReplacesWholeFileOrNothing_data();
    void writeReplacesWholeFileOrNothing();
    void applicationDirectoryFollowsKorvaneHome();
    void lastErrorIsPerThreadRecord();
};

void tst_Common::blankText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("line breaks and tabs") << "\r\n\t\r\n" << true;
    QTest::newRow("space is not blank here") << " " << false;
    QTest::newRow("text") << "\r\nselect" << false;
    QTest::newRow("full-width space") << "\u3000" << false;
}

void tst_Common::blankText()
{
    QFETCH(QString, text);
    QFETCH(bool, blank);
    QCOMPARE(IsBlankText(text), blank);
}

void tst_Common::validateInput_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("valid");
    QTest::newRow("text") << QVariant("scott") << 4 << true;
    QTest::newRow("padded text") << QVariant("  a  ") << 4 << true;
    QTest::newRow("spaces only") << QVariant("   ") << 4 << false;
    QTest::newRow("empty") << QVariant("") << 4 << false;
    QTest::newRow("null") << QVariant(QMetaType::fromType<QString>()) << 4 << false;
    QTest::newRow("invalid") << QVariant() << 4 << false;
    QTest::newRow("number") << QVariant(0) << 4 << true;
    QTest::newRow("tab is not a space") << QVariant("\t") << 4 << true;
    QTest::newRow("unknown kind") << QVariant("scott") << 3 << false;
}

void tst_Common::validateInput()
{
    QFETCH(QVariant, value);
    QFETCH(int, kind);
    QFETCH(bool, valid);
    QCOMPARE(ValidateInput(value, kind), valid);
}

void tst_Common::decodeAcceptsUtf8AndShiftJis()
{
    const QString text = QStringLiteral("ﾌｧｲﾙ 社員");
    QCOMPARE(DecodeText(text.toUtf8()), text);

    // The same text as the Windows program writes it (half-width kana are one byte).
    const QByteArray shiftJis("\xcc\xa7\xb2\xd9\x20\x8e\xd0\x88\xf5");
    QCOMPARE(DecodeText(shiftJis), text);

    // Bytes that are neither: each invalid byte becomes a replacement character,
    // NULs stay, and the caller learns that the text did not decode.
    const QByteArray binary("\x00\xff\xfe\x81\x00", 5);
    bool ok = true;
    QCOMPARE(DecodeText(binary, &ok), QString::fromUtf16(u"\0\uFFFD\uFFFD\uFFFD\0", 5));
    QVERIFY(!ok);
    QCOMPARE(DecodeText(shiftJis, &ok), text);
    QVERIFY(ok);
}

void tst_Common::truncateNeverSplitsACharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii") << "abcdef" << 4 << "abcd";
    QTest::newRow("fits") << "abc" << 10 << "abc";
    QTest::newRow("inside kanji") << "社員名" << 7 << "社員";
    QTest::newRow("surrogate pair") << QString::fromUtf8("a\U0001F600b") << 4 << "a";
    QTest::newRow("zero") << "abc" << 0 << "";
}

void tst_Common::truncateNeverSplitsACharacter()
{
    QFETCH(QString, text);
    QFETCH(int, maxBytes);
    QFETCH(QString, expected);
    QCOMPARE(TruncateToBytes(text, maxBytes), expected);
}

void tst_Common::writeReplacesWholeFileOrNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("diskLimit"); // bytes a file may grow to; 0: no limit
    QTest::addColumn<bool>("written");

    QTest::newRow("replaces") << "a.txt"
                              << "新\r\n"
                              << 0 << true;
    // Under the buffer size the error only shows when the buffer is flushed.
    QTest::newRow("full disk, short text") << "a.txt" << QString(300, 'x') << 200 << false;
    QTest::newRow("full disk, long text") << "a.txt" << QString(8000, 'x') << 4096 << false;
    // A folder inside a regular file cannot exist, even for root.
    QTest::newRow("folder that cannot exist") << "old.txt/sub.txt"
                                              << "x" << 0 << false;
}

void tst_Common::writeReplacesWholeFileOrNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, diskLimit);
    QFETCH(bool, written);

    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QString old = dir.filePath("old.txt");
    const QByteArray oldBytes = "long old text\r\n";
    QVERIFY(WriteTextFile(old, "long old text\r\n"));
    if (old != path)
        QVERIFY(QFile::copy(old, path) || !written);

    bool ok = false;
    {
        FileSizeLimit limit(diskLimit > 0 ? rlim_t(diskLimit) : RLIM_INFINITY);
        QVERIFY(limit.isActive());
        ok = WriteTextFile(path, text);
    }
    QCOMPARE(ok, written);
    QString read;
    if (written) {
        QVERIFY(ReadTextFile(path, &read));
        QCOMPARE(read, text);
    } else if (QFile::exists(path)) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), oldBytes);
    }
    // No temporary file is left behind.
    const QStringList expected
        = path == old ? QStringList{"old.txt"} : QStringList{name, "old.txt"};
    if (!name.contains('/'))
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name), expected);
    QVERIFY(!ReadTextFile(dir.filePath("missing.txt"), &read));
}

void tst_Common::applicationDirectoryFollowsKorvaneHome()
{
    QTemporaryDir dir;
    qputenv("KORVANE_HOME", dir.path().toLocal8Bit());
    QCOMPARE(ApplicationFilePath("CONFIG.ini"), dir.path() + "/CONFIG.ini");
    qunsetenv("KORVANE_HOME");
    QCOMPARE(ApplicationDirectory(), QCoreApplication::applicationDirPath());
}

void tst_Common::lastErrorIsPerThreadRecord()
{
    LastError::set({ErrFileNotFound, "missing", "test"});
    QVERIFY(LastError::isSet());

    // Another thread starts clear, and what it sets stays its own.
    bool otherStartedClear = false;
    std::thread other([&] {
        otherStartedClear = !LastError::isSet();
        LastError::set({ErrOverflow, "other", "thread"});
    });
    other.join();
    QVERIFY(otherStartedClear);
    QCOMPARE(LastError::get().number, int(ErrFileNotFound));
    QCOMPARE(LastError::get().description, QString("missing"));
    LastError::clear();
    QVERIFY(!LastError::isSet());

    const RuntimeError error(ErrOverflow, "Overflow", "FileIO");
    QCOMPARE(error.number(), 6);
    QCOMPARE(QString(error.what()), QString("Overflow"));
}

QTEST_GUILESS_MAIN(tst_Common)
#include "tst_common.moc"
