#include "common/appdir.h"
#include "common/common.h"
#include "common/errors.h"
#include "common/filelock.h"
#include "common/textcodec.h"

#include "../filesizelimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>

#include <unistd.h>

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
    void fileFoldersByRule_data();
    void fileFoldersByRule();
    void cacheFolderByRule_data();
    void cacheFolderByRule();
    void folderFactsFromDisk();
    void currentFoldersFollowKorvaneHome();
    void prepareFoldersMakesPrivateFoldersOrSaysWhy();
    void fileLockTakesOverAbandonedLock();
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

void tst_Common::fileFoldersByRule_data()
{
    QTest::addColumn<QString>("korvaneHome");
    QTest::addColumn<bool>("hasConfig");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("xdgConfig");
    QTest::addColumn<QString>("xdgData");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("config");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("documents");
    QTest::addColumn<bool>("problem");

    const QString exe = "/opt/k";
    const QString userConfig = "/home/u/.config/korvane";
    const QString userData = "/home/u/.local/share/korvane";
    // KORVANE_HOME wins over everything, even a portable copy.
    QTest::newRow("KORVANE_HOME over a portable copy") << "/srv/kh/" << true << true << false << ""
                                                       << ""
                                                       << "/home/u"
                                                       << "/srv/kh"
                                                       << "/srv/kh"
                                                       << "/srv/kh" << false;
    QTest::newRow("KORVANE_HOME over an installed copy")
        << "/srv/kh" << false << false << true << "/x/c"
        << "/x/d"
        << ""
        << "/srv/kh"
        << "/srv/kh"
        << "/srv/kh" << false;
    // The executable's folder, as a portable copy always had it.
    QTest::newRow("writable, no CONFIG.ini") << "" << false << true << false << ""
                                             << ""
                                             << "/home/u" << exe << exe << exe << false;
    QTest::newRow("writable, CONFIG.ini") << "" << true << true << false << ""
                                          << ""
                                          << "/home/u" << exe << exe << exe << false;
    QTest::newRow("read-only, CONFIG.ini") << "" << true << false << false << ""
                                           << ""
                                           << "/home/u" << exe << exe << exe << false;
    // Otherwise the per-user folders.
    QTest::newRow("read-only, no CONFIG.ini")
        << "" << false << false << false << ""
        << ""
        << "/home/u" << userConfig << userData << "/home/u" << false;
    QTest::newRow("installed, writable by root") << "" << false << true << true << ""
                                                 << ""
                                                 << "/root"
                                                 << "/root/.config/korvane"
                                                 << "/root/.local/share/korvane"
                                                 << "/root" << false;
    QTest::newRow("installed, CONFIG.ini left there")
        << "" << true << true << true << ""
        << ""
        << "/home/u" << userConfig << userData << "/home/u" << false;
    QTest::newRow("XDG folders set") << "" << false << false << false << "/x/c/"
                                     << "/x/d"
                                     << "/home/u"
                                     << "/x/c/korvane"
                                     << "/x/d/korvane"
                                     << "/home/u" << false;
    QTest::newRow("relative XDG folders are ignored")
        << "" << false << false << false << "c"
        << "d"
        << "/home/u" << userConfig << userData << "/home/u" << false;
    QTest::newRow("no home, XDG folders set") << "" << false << false << false << "/x/c"
                                              << "/x/d"
                                              << ""
                                              << "/x/c/korvane"
                                              << "/x/d/korvane"
                                              << "" << false;
    QTest::newRow("no home, no XDG folders") << "" << false << false << false << ""
                                             << ""
                                             << ""
                                             << ""
                                             << ""
                                             << "" << true;
    QTest::newRow("relative home, data folder set") << "" << false << false << false << ""
                                                    << "/x/d"
                                                    << "home"
                                                    << ""
                                                    << "/x/d/korvane"
                                                    << "" << true;
}

void tst_Common::fileFoldersByRule()
{
    FolderFacts facts;
    QFETCH(QString, korvaneHome);
    facts.korvaneHome = korvaneHome;
    facts.executableDir = "/opt/k";
    QFETCH(bool, hasConfig);
    facts.executableDirHasConfig = hasConfig;
    QFETCH(bool, writable);
    facts.executableDirWritable = writable;
    QFETCH(bool, installed);
    facts.executableDirInstalled = installed;
    QFETCH(QString, xdgConfig);
    facts.xdgConfigHome = xdgConfig;
    QFETCH(QString, xdgData);
    facts.xdgDataHome = xdgData;
    QFETCH(QString, home);
    facts.home = home;

    const FileFolders folders = ChooseFileFolders(facts);
    QTEST(folders.config, "config");
    QTEST(folders.data, "data");
    QTEST(folders.documents, "documents");
    QTEST(!folders.problem.isEmpty(), "problem");
    // Without a folder nothing is saved, never a file at the root of the disk.
    for (const QString &folder : {folders.config, folders.data})
        QCOMPARE(PathInFolder(folder, "CONFIG.ini").isEmpty(), folder.isEmpty());
}

void tst_Common::cacheFolderByRule_data()
{
    QTest::addColumn<QString>("korvaneHome");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("xdgCache");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("cache");
    QTest::newRow("KORVANE_HOME") << "/k" << false << "/x"
                                  << "/home/u"
                                  << "/k/cache";
    QTest::newRow("portable") << "" << false << "/x"
                              << "/home/u"
                              << "/opt/k/cache";
    QTest::newRow("installed, XDG") << "" << true << "/x"
                                    << "/home/u"
                                    << "/x/korvane";
    QTest::newRow("installed, relative XDG") << "" << true << "x"
                                             << "/home/u"
                                             << "/home/u/.cache/korvane";
    QTest::newRow("installed, no home") << "" << true << ""
                                        << ""
                                        << "";
}

void tst_Common::cacheFolderByRule()
{
    FolderFacts facts;
    QFETCH(QString, korvaneHome);
    facts.korvaneHome = korvaneHome;
    facts.executableDir = "/opt/k";
    facts.executableDirWritable = true;
    QFETCH(bool, installed);
    facts.executableDirInstalled = installed;
    QFETCH(QString, xdgCache);
    facts.xdgCacheHome = xdgCache;
    QFETCH(QString, home);
    facts.home = home;
    QTEST(ChooseCacheFolder(facts), "cache");
}

void tst_Common::folderFactsFromDisk()
{
    QTemporaryDir dir;
    QVERIFY(IsWritableFolder(dir.path()));
    QVERIFY(!IsWritableFolder(dir.filePath("missing")));
    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!IsWritableFolder(plain.fileName()));

    // Root may write anywhere, and so the rule treats a read-only folder as writable
    // for root; for anyone else it is read-only.
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    const QString locked = dir.filePath("locked");
    QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    QCOMPARE(IsWritableFolder(locked), geteuid() == 0);
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // The executable of this test lives in the build tree: a portable copy.
    qunsetenv("KORVANE_HOME");
    const FolderFacts facts = CurrentFolderFacts();
    QCOMPARE(facts.executableDir, QCoreApplication::applicationDirPath());
    QVERIFY(facts.executableDirWritable);
    QVERIFY(!facts.executableDirInstalled);
    QVERIFY(QDir::isAbsolutePath(facts.home));
}

void tst_Common::currentFoldersFollowKorvaneHome()
{
    QTemporaryDir dir;
    qputenv("KORVANE_HOME", dir.path().toLocal8Bit());
    QCOMPARE(ConfigFilePath("CONFIG.ini"), dir.path() + "/CONFIG.ini");
    QCOMPARE(DataFilePath("SQL.log"), dir.path() + "/SQL.log");
    QCOMPARE(DocumentsDirectory(), dir.path());
    qunsetenv("KORVANE_HOME");
    QCOMPARE(ConfigDirectory(), QCoreApplication::applicationDirPath());
    QCOMPARE(DataDirectory(), QCoreApplication::applicationDirPath());
}

void tst_Common::prepareFoldersMakesPrivateFoldersOrSaysWhy()
{
    QTemporaryDir dir;
    const QString config = dir.filePath(".config/korvane");
    const QString data = dir.filePath(".local/share/korvane");
    QVERIFY(PrepareFileFolders({config, data, dir.path(), QString()}).isEmpty());
    for (const QString &folder : {config, data}) {
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QFileInfo(folder).permissions() & 0x0777, QFile::Permissions(0x0700));
    }
    // Existing folders are left as they are.
    QVERIFY(PrepareFileFolders({dir.path(), dir.path(), dir.path(), QString()}).isEmpty());

    // A file where a folder should be: a message naming it, nothing made.
    QFile blocker(dir.filePath("blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QStringList problems
        = PrepareFileFolders({blocker.fileName() + "/korvane", data, QString(), QString()});
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.first().contains(blocker.fileName()));

    const QStringList noHome = PrepareFileFolders({QString(), QString(), QString(), "no home"});
    QCOMPARE(noHome, QStringList{"no home"});
}

void tst_Common::fileLockTakesOverAbandonedLock()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("DB.ini");
    {
        const FileLock lock(path);
        QVERIFY(lock.isLocked());
        QVERIFY(QFile::exists(path + ".lock"));
    }
    QVERIFY(!QFile::exists(path + ".lock"));

    // Two programs that save at once both succeed, one after the other: the
    // second waits for the first to finish.
    std::atomic<bool> firstHolds = false;
    bool firstLocked = false;
    bool firstDone = false;
    std::thread first([&] {
        const FileLock lock(path);
        firstLocked = lock.isLocked();
        firstHolds = true;
        QThread::msleep(400);
        firstDone = true;
    });
    while (!firstHolds)
        QThread::msleep(1);
    const bool secondLocked = FileLock(path).isLocked();
    first.join();
    QVERIFY(firstLocked && secondLocked && firstDone);

    // A program that crashed while writing left its lock: it must not stop every
    // later write.
    QFile abandoned(path + ".lock");
    QVERIFY(abandoned.open(QIODevice::WriteOnly));
    abandoned.write("999999999\nkorvane\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    abandoned.close();
    QVERIFY(FileLock(path, 0).isLocked());

    // A folder that cannot hold the lock says so instead of waiting.
    const FileLock nowhere(dir.filePath("missing/DB.ini"));
    QVERIFY(!nowhere.isLocked());
    QVERIFY(!nowhere.errorString().isEmpty());
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
