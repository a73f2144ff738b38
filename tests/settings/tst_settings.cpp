#include "common/errors.h"
#include "settings/ini.h"
#include "settings/settingsstore.h"

#include "../filesizelimit.h"
#include "../testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QChar Nul(0);

// A file that exists but that nobody, root included, can open for reading.
bool makeSocketFile(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (fd < 0 || size_t(name.size()) >= sizeof(address.sun_path))
        return false;
    qstrcpy(address.sun_path, name.constData());
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

const QByteArray DefaultFile = "[EDIT]\r\nMODE=0\r\nHENNAME=strSQL\r\nJOINT=&\r\nPAUSE=0\r\n"
                               "FORMAT=0\r\nBECOME=0\r\n[DATAEXP]\r\nFIELD=0\r\nFIELDMOJI=\r\n"
                               "DATAPAUSE=0\r\nDATAPAUSEF=\"\r\nDATAPAUSEB=\"\r\nSPACE=3\r\n"
                               "[OTHER]\r\nDYNOPTION1=0\r\nDYNOPTION2=0\r\nDYNOPTION3=0\r\n"
                               "DYNOPTION4=0\r\nDYNOPTION5=0\r\nDYNOPTION6=0\r\nDYNOPTION7=0\r\n"
                               "DYNOPTION8=0\r\n";

// Every setting as "KEY=value", in file order: one string to compare.
QString storeDump()
{
    const QStringList names
        = {"MODE",       "HENNAME",    "JOINT",      "PAUSE",      "FORMAT",
           "BECOME",     "FIELD",      "FIELDMOJI",  "DATAPAUSE",  "DATAPAUSEF",
           "DATAPAUSEB", "SPACE",      "DYNOPTION1", "DYNOPTION2", "DYNOPTION3",
           "DYNOPTION4", "DYNOPTION5", "DYNOPTION6", "DYNOPTION7", "DYNOPTION8"};
    QStringList entries;
    for (const QString &name : names)
        entries << name + '=' + FileIO::GetSettingValue(name).toString();
    return entries.join('|');
}

const QString DefaultDump = "MODE=0|HENNAME=strSQL|JOINT=&|PAUSE=0|FORMAT=0|BECOME=0|FIELD=0|"
                            "FIELDMOJI=|DATAPAUSE=0|DATAPAUSEF=\"|DATAPAUSEB=\"|SPACE=3|"
                            "DYNOPTION1=0|DYNOPTION2=0|DYNOPTION3=0|DYNOPTION4=0|DYNOPTION5=0|"
                            "DYNOPTION6=0|DYNOPTION7=0|DYNOPTION8=0";
const QString EmptyDump = "MODE=0|HENNAME=|JOINT=|PAUSE=0|FORMAT=0|BECOME=0|FIELD=0|"
                          "FIELDMOJI=|DATAPAUSE=0|DATAPAUSEF=|DATAPAUSEB=|SPACE=0|"
                          "DYNOPTION1=0|DYNOPTION2=0|DYNOPTION3=0|DYNOPTION4=0|DYNOPTION5=0|"
                          "DYNOPTION6=0|DYNOPTION7=0|DYNOPTION8=0";

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stringRead_data();
    void stringRead();
    void stringReadKeepsRestOfBuffer();
    void intRead_data();
    void intRead();
    void write_data();
    void write();
    void valueRoundTrip_data();
    void valueRoundTrip();
    void writeRefusedLeavesFile_data();
    void writeRefusedLeavesFile();

    void firstStart();
    void firstStartOnFullDiskKeepsWholeLines();
    void load_data();
    void load();
    void startWithoutWritableFolder_data();
    void startWithoutWritableFolder();
    void setSettingValue();
    void saveKeepsOtherLinesAndRoundTrips();

private:
    std::unique_ptr<QTemporaryDir> mDir; // a fresh application directory per case
    QString mPath;
};

void tst_Settings::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    mPath = mDir->filePath("CONFIG.ini");
    qputenv("KORVANE_HOME", mDir->path().toUtf8());
    FileIO::ResetSettings();
}

void tst_Settings::cleanup()
{
    qunsetenv("KORVANE_HOME");
    mDir.reset();
}

void tst_Settings::stringRead_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");

    const QByteArray edit = "[EDIT]\r\n";
    const QString kana = QString(100, QChar(0x3042)); // 300 bytes of UTF-8
    QTest::newRow("no file") << QByteArray() << 256 << QString("&") + Nul;
    QTest::newRow("missing section")
        << QByteArray("[OTHER]\r\nJOINT=x\r\n") << 256 << QString("&") + Nul;
    QTest::newRow("empty value") << edit + "JOINT=\r\n" << 256 << QString(Nul);
    QTest::newRow("300 bytes cut to 255")
        << edit + "JOINT=" + QByteArray(300, 'x') << 256 << QString(255, 'x') + Nul;
    QTest::newRow("cut never splits a character")
        << edit + "JOINT=" + kana.toUtf8() << 256 << kana.left(85) + Nul;
    QTest::newRow("size 1") << edit + "JOINT=abc" << 1 << QString(Nul);
    QTest::newRow("size 0 copies nothing") << edit + "JOINT=abc" << 0 << QString();
    QTest::newRow("names ignore case")
        << QByteArray("[edit]\r\nJoInT=||\r\n") << 256 << QString("||") + Nul;
    QTest::newRow("first duplicate key") << edit + "JOINT=a\r\nJOINT=b\r\n"
                                         << 256 << QString("a") + Nul;
    QTest::newRow("first duplicate section") << edit + "X=1\r\n" + edit + "JOINT=b\r\n"
                                             << 256 << QString("&") + Nul;
    QTest::newRow("comment") << edit + ";JOINT=a\r\n" << 256 << QString("&") + Nul;
    QTest::newRow("blanks around =") << edit + "  JOINT \t=  a b \t\r\n"
                                     << 256 << QString("a b") + Nul;
    QTest::newRow("quotes kept") << edit + "JOINT=\"\r\n" << 256 << QString("\"") + Nul;
    QTest::newRow("LF line ends, = in value")
        << QByteArray("[EDIT]\nJOINT=a=b\n") << 256 << QString("a=b") + Nul;
    QTest::newRow("Shift_JIS") << edit + "JOINT=\x82\xa0\x82\xa2\r\n"
                               << 256 << QString::fromUtf8("あい") + Nul;
    QTest::newRow("NUL ends the text")
        << edit + QByteArray("JOINT=ab\0cd\r\n", 13) << 256 << QString("ab") + Nul;
}

void tst_Settings::stringRead()
{
    QFETCH(QByteArray, content);
    QFETCH(int, size);
    QFETCH(QString, expected);
    if (!content.isEmpty())
        QVERIFY(writeBytes(mPath, content));

    ini file;
    file.SetFileName(mPath);
    file.SetSection("EDIT");
    file.SetKeyName("JOINT");
    file.SetDefault(QString("&"));
    file.SetValue(QString(qMax(size, 0), ' '));
    file.SetSize(size);
    QCOMPARE(file.GetPrivateInifileString(), expected);
    QCOMPARE(file.GetValue(), expected);
}

void tst_Settings::stringReadKeepsRestOfBuffer()
{
    ini file;
    file.SetFileName(mPath);
    file.SetDefault(QString("ab"));
    // The text and its NUL take the first three bytes; the rest stays.
    file.SetSize(10);
    file.SetValue(QString::fromUtf8("xyzあ  "));
    QCOMPARE(file.GetPrivateInifileString(), QString("ab") + Nul + QString::fromUtf8("あ"));
    // A buffer shorter than the size is not overrun.
    file.SetValue(QString());
    QCOMPARE(file.GetPrivateInifileString(), QString("ab") + Nul);
}

void tst_Settings::intRead_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<int>("expected"); // -1 with an error number below
    QTest::addColumn<int>("error");

    const QVariant three = QVariant::fromValue(qint16(3));
    QTest::newRow("missing key") << QByteArray("[EDIT]\r\n") << three << 3 << 0;
    QTest::newRow("empty value") << QByteArray("[EDIT]\r\nN=\r\n") << three << 3 << 0;
    QTest::newRow("leading digits") << QByteArray("[EDIT]\r\nN=12abc\r\n") << three << 12 << 0;
    QTest::newRow("no digits") << QByteArray("[EDIT]\r\nN=abc\r\n") << three << 0 << 0;
    QTest::newRow("sign") << QByteArray("[EDIT]\r\nN=-42\r\n") << three << -42 << 0;
    QTest::newRow("saturates high")
        << QByteArray("[EDIT]\r\nN=99999999999\r\n") << three << INT_MAX << 0;
    QTest::newRow("saturates low")
        << QByteArray("[EDIT]\r\nN=-99999999999\r\n") << three << INT_MIN << 0;
    QTest::newRow("numeric text default") << QByteArray() << QVariant("12") << 12 << 0;
    QTest::newRow("no default") << QByteArray() << QVariant() << 0 << 0;
    QTest::newRow("text default") << QByteArray("[EDIT]\r\nN=1\r\n") << QVariant("abc") << -1
                                  << int(Common::ErrTypeMismatch);
    QTest::newRow("huge default") << QByteArray() << QVariant(1e12) << -1
                                  << int(Common::ErrOverflow);
}

void tst_Settings::intRead()
{
    QFETCH(QByteArray, content);
    QFETCH(QVariant, defaultValue);
    QFETCH(int, expected);
    QFETCH(int, error);
    if (!content.isEmpty())
        QVERIFY(writeBytes(mPath, content));

    ini file;
    file.SetFileName(mPath);
    file.SetSection("EDIT");
    file.SetKeyName("N");
    file.SetDefault(defaultValue);
    int result = -1;
    QCOMPARE(errorNumber([&] { result = file.GetPrivateInifileInt(); }), error);
    QCOMPARE(result, expected);
}

void tst_Settings::write_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("creates file") << QByteArray() << "EDIT"
                                  << "MODE"
                                  << "1" << QByteArray("[EDIT]\r\nMODE=1\r\n");
    QTest::newRow("section at end, no blank line")
        << QByteArray("[EDIT]\r\nMODE=1") << "OTHER"
        << "K"
        << "v" << QByteArray("[EDIT]\r\nMODE=1\r\n[OTHER]\r\nK=v\r\n");
    QTest::newRow("key after last key line")
        << QByteArray("[A]\r\nX=1\r\n; note\r\n\r\n[B]\r\nY=2\r\n") << "a"
        << "Z"
        << "" << QByteArray("[A]\r\nX=1\r\nZ=\r\n; note\r\n\r\n[B]\r\nY=2\r\n");
    QTest::newRow("key in section without keys")
        << QByteArray("[A]\r\n; note\r\n[B]\r\n") << "A"
        << "Z"
        << "1" << QByteArray("[A]\r\nZ=1\r\n; note\r\n[B]\r\n");
    QTest::newRow("replaces first duplicate in place")
        << QByteArray("[A]\r\n x = 1 \r\nY=2\r\nX=3\r\n[a]\r\nX=4\r\n") << "A"
        << "X"
        << " 9 " << QByteArray("[A]\r\nX= 9 \r\nY=2\r\nX=3\r\n[a]\r\nX=4\r\n");
    QTest::newRow("LF file gets CR LF") << QByteArray("[A]\nX=1\n") << "A"
                                        << "Y"
                                        << "2" << QByteArray("[A]\r\nX=1\r\nY=2\r\n");
    // A value is a C string, as the profile functions take it: the rest after a NUL
    // (a buffer read back from GetPrivateInifileString) is not written.
    QTest::newRow("value ends at NUL")
        << QByteArray("[A]\r\nX=1\r\n") << "A"
        << "X" << QString("2") + QChar(0) + "\r\n[A]\r\nX=3" << QByteArray("[A]\r\nX=2\r\n");
    QTest::newRow("Shift_JIS file rewritten in UTF-8")
        << QByteArray("[A]\r\nX=\x82\xa0\r\n") << "A"
        << "Y" << QString::fromUtf8("い") << QString::fromUtf8("[A]\r\nX=あ\r\nY=い\r\n").toUtf8();
}

void tst_Settings::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        QVERIFY(writeBytes(mPath, before));

    ini file;
    file.SetFileName(mPath);
    file.SetSection(section);
    file.SetKeyName(key);
    file.SetValue(value);
    QVERIFY(file.WritePrivateInifileString() != 0);
    QCOMPARE(readBytes(mPath), after);
}

void tst_Settings::valueRoundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    // Spaces and tabs around a value are not part of it; the ideographic space is
    // Japanese text and stays.
    QTest::newRow("ideographic spaces") << "\u3000値\u3000"
                                        << "\u3000値\u3000";
    QTest::newRow("tabs and spaces") << " \ta b\t "
                                     << "a b";
    QTest::newRow("tabs outside ideographic spaces") << "\t\u3000x\u3000\t"
                                                     << "\u3000x\u3000";
}

void tst_Settings::valueRoundTrip()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    ini file;
    file.SetFileName(mPath);
    file.SetSection("EDIT");
    file.SetKeyName("HENNAME");
    file.SetValue(value);
    QVERIFY(file.WritePrivateInifileString() != 0);
    file.SetDefault(QString());
    file.SetValue(QString());
    file.SetSize(256);
    QCOMPARE(file.GetPrivateInifileString(), expected + Nul);
}

void tst_Settings::writeRefusedLeavesFile_data()
{
    QTest::addColumn<QString>("fileName"); // in the test folder
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    // A line break or '=' in a name or value would turn into other keys or sections.
    QTest::newRow("line break in value") << "CONFIG.ini"
                                         << "A"
                                         << "X"
                                         << "2\r\n[A]\r\nX=3";
    QTest::newRow("= in key") << "CONFIG.ini"
                              << "A"
                              << "X=3"
                              << "2";
    QTest::newRow("line break in key") << "CONFIG.ini"
                                       << "A"
                                       << "X\nY"
                                       << "2";
    QTest::newRow("line break in section") << "CONFIG.ini"
                                           << "A\r\nB"
                                           << "X"
                                           << "2";
    // Names that would read back as other names, and a value with no UTF-8 form.
    QTest::newRow("] in section") << "CONFIG.ini"
                                  << "A]B"
                                  << "X"
                                  << "2";
    QTest::newRow("blank around section") << "CONFIG.ini"
                                          << " A"
                                          << "X"
                                          << "2";
    QTest::newRow("key read as a comment") << "CONFIG.ini"
                                           << "A"
                                           << ";X"
                                           << "2";
    QTest::newRow("key read as a section") << "CONFIG.ini"
                                           << "A"
                                           << "[X]"
                                           << "2";
    QTest::newRow("tab around key") << "CONFIG.ini"
                                    << "A"
                                    << "X\t"
                                    << "2";
    QTest::newRow("lone surrogate in value") << "CONFIG.ini"
                                             << "A"
                                             << "X" << QString(QChar(0xd800));
    // Bytes that are neither UTF-8 nor Shift_JIS would not survive being rewritten.
    QTest::newRow("file not text") << "binary.ini"
                                   << "A"
                                   << "X"
                                   << "2";
    // A folder that cannot exist: its parent is a regular file.
    QTest::newRow("folder under a file") << "CONFIG.ini/CONFIG.ini"
                                         << "A"
                                         << "X"
                                         << "2";
    // A file that cannot be read is never replaced by the one key being set.
    QTest::newRow("unreadable file") << "socket.ini"
                                     << "A"
                                     << "X"
                                     << "2";
}

void tst_Settings::writeRefusedLeavesFile()
{
    QFETCH(QString, fileName);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray before = "[A]\r\nX=1\r\n";
    QVERIFY(writeBytes(mPath, before));
    const QString path = mDir->filePath(fileName);
    const QByteArray binary("[A]\r\nX=\x82 \x82\r\n");
    if (fileName == "binary.ini")
        QVERIFY(writeBytes(path, binary));
    if (fileName == "socket.ini")
        QVERIFY(makeSocketFile(path));

    ini file;
    file.SetFileName(path);
    file.SetSection(section);
    file.SetKeyName(key);
    file.SetValue(value);
    QCOMPARE(file.WritePrivateInifileString(), 0);
    QCOMPARE(readBytes(mPath), before);
    if (fileName == "binary.ini")
        QCOMPARE(readBytes(path), binary);
    if (fileName == "socket.ini")
        QVERIFY(QFileInfo::exists(path) && !QFileInfo(path).isFile());
}

void tst_Settings::firstStart()
{
    QCOMPARE(FileIO::SettingsFilePath(), mDir->path() + "/CONFIG.ini");
    QCOMPARE(storeDump(), EmptyDump);
    FileIO::InitSettings();
    QCOMPARE(readBytes(mPath), DefaultFile);
    QCOMPARE(storeDump(), DefaultDump);
    QCOMPARE(FileIO::GetSettingValue("SPACE").typeId(), int(QMetaType::Short));
    QCOMPARE(FileIO::GetSettingValue("FIELDMOJI").typeId(), int(QMetaType::QString));
}

void tst_Settings::firstStartOnFullDiskKeepsWholeLines()
{
    {
        FileSizeLimit limit(200);
        QVERIFY(limit.isActive());
        FileIO::InitSettings();
    }
    // Each key is written whole or not at all: the file is the defaults up to the
    // last key that fitted, ending at a line end.
    const QByteArray written = readBytes(mPath);
    QVERIFY2(!written.isEmpty() && written.size() <= 200, written.constData());
    QVERIFY2(DefaultFile.startsWith(written) && written.endsWith("\r\n"), written.constData());
    QCOMPARE(storeDump(), DefaultDump);
}

void tst_Settings::load_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected"); // the store after InitSettings

    QByteArray binary(4096, Qt::Uninitialized);
    QRandomGenerator random(7);
    for (char &byte : binary)
        byte = char(random.bounded(256));

    QString loaded = DefaultDump;
    loaded.replace("MODE=0", "MODE=1").replace("JOINT=&", "JOINT=||");
    const QByteArray edit = "[EDIT]\r\nMODE=1\r\nJOINT=||\r\n";
    QTest::newRow("empty file") << QByteArray("") << DefaultDump;
    QTest::newRow("binary file") << binary << DefaultDump;
    QTest::newRow("values") << edit << loaded;
    QTest::newRow("MODE too large")
        << QByteArray("[EDIT]\r\nMODE=99999\r\nHENNAME=x\r\n") << EmptyDump;
    QTest::newRow("PAUSE too large stops the load there")
        << edit + "PAUSE=-32769\r\n"
        << "MODE=1|HENNAME=strSQL|JOINT=||" + EmptyDump.mid(EmptyDump.indexOf("|PAUSE"));
    QTest::newRow("unlisted values load unchanged")
        << QByteArray("[EDIT]\r\nMODE=5\r\n[DATAEXP]\r\nSPACE=32767\r\n[OTHER]\r\n"
                      "DYNOPTION8=-32768\r\n")
        << QString(DefaultDump)
               .replace("MODE=0", "MODE=5")
               .replace("SPACE=3", "SPACE=32767")
               .replace("DYNOPTION8=0", "DYNOPTION8=-32768");
    QTest::newRow("300-character HENNAME")
        << "[EDIT]\r\nHENNAME=" + QByteArray(300, 'h') + "\r\n"
        << QString(DefaultDump).replace("strSQL", QString(255, 'h'));
    QTest::newRow("duplicates, blanks, empty and quote values")
        << QByteArray("[EDIT]\r\nHENNAME=  a b  \r\nHENNAME=c\r\n[DATAEXP]\r\n"
                      "FIELDMOJI=\r\nDATAPAUSEF=\"\r\nDATAPAUSEB='\r\n")
        << QString(DefaultDump).replace("strSQL", "a b").replace("DATAPAUSEB=\"", "DATAPAUSEB='");
    QTest::newRow("Shift_JIS") << QByteArray("[EDIT]\r\nHENNAME=\x95\xb6\x8e\x9a\r\n")
                               << QString(DefaultDump).replace("strSQL", QString::fromUtf8("文字"));
}

void tst_Settings::load()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QVERIFY(writeBytes(mPath, content));

    FileIO::InitSettings();
    QCOMPARE(storeDump(), expected);
    // The file exists, so nothing is written at start.
    QCOMPARE(readBytes(mPath), content);
}

void tst_Settings::startWithoutWritableFolder_data()
{
    QTest::addColumn<bool>("configIsFolder");
    QTest::newRow("folder under a regular file") << false;
    QTest::newRow("CONFIG.ini is a folder") << true;
}

void tst_Settings::startWithoutWritableFolder()
{
    QFETCH(bool, configIsFolder);
    if (configIsFolder) {
        QVERIFY(QDir(mDir->path()).mkdir("CONFIG.ini"));
    } else {
        QVERIFY(writeBytes(mDir->filePath("file"), "x"));
        qputenv("KORVANE_HOME", mDir->filePath("file/home").toUtf8());
    }

    FileIO::InitSettings();
    QCOMPARE(storeDump(), DefaultDump);
    FileIO::SetSettingValue("MODE", "1");
    FileIO::SaveSettings(FileIO::SettingsFilePath());
    QCOMPARE(FileIO::GetSettingValue("MODE").toInt(), 1);
    QCOMPARE(QFileInfo(mPath).isDir(), configIsFolder);
    if (configIsFolder)
        QVERIFY(QDir(mPath).isEmpty());
    if (!configIsFolder)
        QCOMPARE(readBytes(mDir->filePath("file")), "x");
}

void tst_Settings::setSettingValue()
{
    FileIO::SetSettingValue("HENNAME", " x ");
    FileIO::SetSettingValue("SPACE", "-7");
    FileIO::SetSettingValue("DYNOPTION3", "+1");
    FileIO::SetSettingValue("mode", "4");
    FileIO::SetSettingValue("NOSUCHKEY", "4");
    QCOMPARE(FileIO::GetSettingValue("HENNAME"), QVariant(" x "));
    QCOMPARE(FileIO::GetSettingValue("SPACE").toInt(), -7);
    QCOMPARE(FileIO::GetSettingValue("DYNOPTION3").toInt(), 1);
    QCOMPARE(FileIO::GetSettingValue("MODE").toInt(), 0);
    QVERIFY(!FileIO::GetSettingValue("space").isValid());

    // Bad text for a number key raises and keeps the old value.
    const QStringList bad = {"abc", "", "1.5", "3x", "-"};
    for (const QString &text : bad)
        QCOMPARE(errorNumber([&] { FileIO::SetSettingValue("SPACE", text); }),
                 int(Common::ErrTypeMismatch));
    const QStringList tooLarge = {"32768", "-32769", "99999999999999999999999"};
    for (const QString &text : tooLarge)
        QCOMPARE(errorNumber([&] { FileIO::SetSettingValue("SPACE", text); }),
                 int(Common::ErrOverflow));
    QCOMPARE(FileIO::GetSettingValue("SPACE").toInt(), -7);

    for (const int limit : {32767, -32768}) {
        FileIO::SetSettingValue("SPACE", QString::number(limit));
        QCOMPARE(FileIO::GetSettingValue("SPACE").toInt(), limit);
    }
}

void tst_Settings::saveKeepsOtherLinesAndRoundTrips()
{
    QVERIFY(writeBytes(mPath, "; mine\r\n[OTHER]\r\nDYNOPTION2=1\r\nX=y\r\n[MORE]\r\nZ=1\r\n"));
    FileIO::InitSettings();
    QCOMPARE(FileIO::GetSettingValue("DYNOPTION2").toInt(), 1);

    FileIO::SetSettingValue("HENNAME", QString::fromUtf8("変数"));
    FileIO::SetSettingValue("JOINT", "||");
    FileIO::SetSettingValue("SPACE", "-2");
    FileIO::SaveSettings(mPath);
    QCOMPARE(QString::fromUtf8(readBytes(mPath)),
             QString::fromUtf8("; mine\r\n[OTHER]\r\nDYNOPTION2=1\r\nX=y\r\nDYNOPTION1=0\r\n"
                               "DYNOPTION3=0\r\nDYNOPTION4=0\r\nDYNOPTION5=0\r\nDYNOPTION6=0\r\n"
                               "DYNOPTION7=0\r\nDYNOPTION8=0\r\n[MORE]\r\nZ=1\r\n[EDIT]\r\n"
                               "MODE=0\r\nHENNAME=変数\r\nJOINT=||\r\nPAUSE=0\r\nFORMAT=0\r\n"
                               "BECOME=0\r\n[DATAEXP]\r\nFIELD=0\r\nFIELDMOJI=\r\nDATAPAUSE=0\r\n"
                               "DATAPAUSEF=\"\r\nDATAPAUSEB=\"\r\nSPACE=-2\r\n"));

    const QString saved = storeDump();
    FileIO::ResetSettings();
    FileIO::LoadSettings(mPath);
    QCOMPARE(storeDump(), saved);
}

QTEST_GUILESS_MAIN(tst_Settings)

#include "tst_settings.moc"
