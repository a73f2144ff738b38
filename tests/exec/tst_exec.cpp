#include "../filesizelimit.h"
#include "../testfiles.h"
#include "common/errors.h"
#include "exec/logs.h"
#include "exec/statement.h"
#include "settings/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <memory>

using namespace SQLEdit;

namespace {

const QByteArray Separator("-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-");

/// A stamp from ISO text with milliseconds, such as "2024-01-01T10:00:00.900Z".
QDateTime stamp(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs);
}

} // namespace

/// What a run does with the statement text, the dynaset options, the elapsed
/// time shown after it, and the error and SQL logs it appends to.
class tst_Exec : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void prepareStatement_data();
    void prepareStatement();
    void dynasetOptions_data();
    void dynasetOptions();
    void elapsedTime_data();
    void elapsedTime();
    void errorLog_data();
    void errorLog();
    void sqlLog_data();
    void sqlLog();
    void appendFailureLeavesFileAsItWas_data();
    void appendFailureLeavesFileAsItWas();
    void logsRaiseWhenTheirFolderCannotExist();

private:
    QString path(const QString &name) const { return mDir->filePath(name); }

    std::unique_ptr<QTemporaryDir> mDir;
};

void tst_Exec::initTestCase()
{
    // A fixed local time zone, nine hours ahead of UTC with no daylight saving,
    // so that the logs' local stamps are known.
    qputenv("TZ", "JST-9");
}

void tst_Exec::init()
{
    mDir = std::make_unique<QTemporaryDir>();
    QVERIFY(mDir->isValid());
    qputenv("KORVANE_HOME", mDir->path().toUtf8());
    FileIO::ResetSettings();
}

void tst_Exec::cleanup()
{
    FileIO::ResetSettings();
    qunsetenv("KORVANE_HOME");
    mDir.reset();
}

void tst_Exec::prepareStatement_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("classification");
    QTest::addColumn<QString>("execution");
    QTest::addColumn<bool>("query");

    // Text, classification copy, execution copy, query.
    const struct
    {
        const char *name, *text, *classification, *execution;
        bool query;
    } rows[] = {
        {"empty", "", "", "", false},
        {"spaces and line breaks only", "  \r\n \t\r\n  ", "", "\n \t\n", false},
        {"padded query", "  Select * from dual  ", "Select * from dual", "Select * from dual",
         true},
        {"leading line break", "\r\nselect 1", "select 1", "\nselect 1", true},
        {"parenthesis first", "(select 1)", "(select 1)", "(select 1)", false},
        {"comment first", "-- c\r\nselect 1", "-- c select 1", "-- c\nselect 1", false},
        {"semicolon kept", "select 1;", "select 1;", "select 1;", true},
        // Tabs reach the server, in a string literal as anywhere.
        {"tabs", "\tselect\t*\r\n\tfrom t\t", "select *  from t", "\tselect\t*\n\tfrom t\t", true},
        {"three lines", "select *\r\nfrom t\r\nwhere a = 1", "select * from t where a = 1",
         "select *\nfrom t\nwhere a = 1", true},
        {"lone LF and CR stay", "\nselect 1\r", "\nselect 1\r", "\nselect 1\r", false},
        {"ideographic space kept", " \u3000select 1\u3000 ", "\u3000select 1\u3000",
         "\u3000select 1\u3000", false},
        {"five characters", "selec", "selec", "selec", false},
        {"six characters", "SeLeCt", "SeLeCt", "SeLeCt", true},
        {"only the first six decide", "selectx", "selectx", "selectx", true},
        {"broken by a line break", "sel\r\nect 1", "sel ect 1", "sel\nect 1", false},
        {"other statement", "update t set a = 1", "update t set a = 1", "update t set a = 1",
         false},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << QString::fromUtf8(row.text)
                                << QString::fromUtf8(row.classification)
                                << QString::fromUtf8(row.execution) << row.query;
}

void tst_Exec::prepareStatement()
{
    QFETCH(QString, text);
    QFETCH(QString, classification);
    QFETCH(QString, execution);
    QFETCH(bool, query);

    const StatementText prepared = PrepareStatement(text);
    QCOMPARE(prepared.classification, classification);
    QCOMPARE(prepared.execution, execution);
    QCOMPARE(IsQuery(prepared.classification), query);
}

void tst_Exec::dynasetOptions_data()
{
    QTest::addColumn<QList<int>>("settings");
    QTest::addColumn<int>("options");

    QTest::newRow("all 0") << QList<int>{0, 0, 0, 0, 0, 0, 0, 0} << 0;
    QTest::newRow("3 and 8") << QList<int>{0, 0, 1, 0, 0, 0, 0, 1} << 132;
    QTest::newRow("first only") << QList<int>{1, 0, 0, 0, 0, 0, 0, 0} << 1;
    QTest::newRow("all 1") << QList<int>{1, 1, 1, 1, 1, 1, 1, 1} << 255;
    QTest::newRow("a 2 switches nothing") << QList<int>{2, 0, 0, 0, 0, 0, 0, 0} << 0;
    QTest::newRow("2 beside 1s") << QList<int>{1, 2, 1, 0, 0, 0, 0, 0} << 5;
    QTest::newRow("odd and negative values") << QList<int>{3, -1, 257, -32767, 0, 0, 0, 0} << 0;
}

void tst_Exec::dynasetOptions()
{
    QFETCH(QList<int>, settings);
    QFETCH(int, options);

    std::array<qint16, 8> values{};
    for (int i = 0; i < 8; ++i) {
        values[i] = qint16(settings.at(i));
        FileIO::SetSettingValue(QStringLiteral("DYNOPTION%1").arg(i + 1),
                                QString::number(settings.at(i)));
    }
    QCOMPARE(DynasetOptions(values), options);
    QCOMPARE(DynasetOptionsFromSettings(), options);

    // The store is read again at every call.
    FileIO::SetSettingValue(QStringLiteral("DYNOPTION8"), QStringLiteral("1"));
    QCOMPARE(DynasetOptionsFromSettings(), options | 128);
}

void tst_Exec::elapsedTime_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QString>("text");

    const QDateTime start = stamp("2024-01-01T10:00:00Z");
    const struct
    {
        int seconds;
        const char *text;
    } spans[] = {{0, "0秒"},         {1, "1秒"},
                 {59, "59秒"},       {60, "1分"},
                 {61, "1分1秒"},     {3599, "59分59秒"},
                 {3600, "1時間"},    {3605, "1時間5秒"},
                 {3660, "1時間1分"}, {3661, "1時間1分1秒"},
                 {7205, "2時間5秒"}, {90000, "25時間"}};
    for (const auto &span : spans)
        QTest::addRow("%d s", span.seconds)
            << start << start.addSecs(span.seconds) << QString::fromUtf8(span.text);

    // Both stamps are cut to whole seconds before they are compared.
    const struct
    {
        const char *name, *start, *end, *text;
    } rows[] = {
        {"clock set back", "2024-01-01T10:00:05Z", "2024-01-01T10:00:00Z", "0秒"},
        {"within one second", "2024-01-01T10:00:00.100Z", "2024-01-01T10:00:00.900Z", "0秒"},
        {"across a second boundary", "2024-01-01T10:00:00.900Z", "2024-01-01T10:00:01.100Z", "1秒"},
        {"fractions cut, not subtracted", "2024-01-01T10:00:00.999Z", "2024-01-01T10:00:59.000Z",
         "59秒"},
        {"before 1970", "1969-12-31T23:59:59.500Z", "1970-01-01T00:00:00.200Z", "1秒"},
        {"different time zones", "2024-01-01T10:00:00Z", "2024-01-01T19:00:01+09:00", "1秒"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.name) << stamp(row.start) << stamp(row.end)
                                << QString::fromUtf8(row.text);
}

void tst_Exec::elapsedTime()
{
    QFETCH(QDateTime, start);
    QFETCH(QDateTime, end);
    QFETCH(QString, text);
    QVERIFY(start.isValid() && end.isValid());
    QCOMPARE(FormatElapsedTime(start, end), text);
}

void tst_Exec::errorLog_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QByteArray>("record");

    QTest::newRow("file access") << QByteArray() << 75 << "Permission denied"
                                 << "FileIO"
                                 << QByteArray("Error[75]\r\nDescription[Permission denied]\r\n"
                                               "Souce[FileIO]\r\n");
    QTest::newRow("negative number, empty source")
        << QByteArray() << -2147217900 << "Syntax error"
        << "" << QByteArray("Error[-2147217900]\r\nDescription[Syntax error]\r\nSouce[]\r\n");
    QTest::newRow("line break in the description")
        << QByteArray() << 942 << "ORA-00942: 表またはビューが存在しません\r\n(line 2)"
        << "Oracle"
        << QByteArray("Error[942]\r\nDescription[ORA-00942: "
                      "\xe8\xa1\xa8\xe3\x81\xbe\xe3\x81\x9f\xe3\x81\xaf\xe3\x83\x93\xe3\x83\xa5"
                      "\xe3\x83\xbc\xe3\x81\x8c\xe5\xad\x98\xe5\x9c\xa8\xe3\x81\x97\xe3\x81\xbe"
                      "\xe3\x81\x9b\xe3\x82\x93\r\n(line 2)]\r\nSouce[Oracle]\r\n");
    QTest::newRow("after earlier text")
        << QByteArray("earlier") << 6 << "Overflow"
        << "FileIO" << QByteArray("Error[6]\r\nDescription[Overflow]\r\nSouce[FileIO]\r\n");
}

void tst_Exec::errorLog()
{
    QFETCH(QByteArray, existing);
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, source);
    QFETCH(QByteArray, record);

    const QString file = path("Korvane.log");
    QCOMPARE(ErrorLogPath(), file);
    if (!existing.isNull())
        QVERIFY(writeBytes(file, existing));

    const Common::ErrorInfo error{number, description, source};
    WriteErrorLog(error, QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    QByteArray expected = existing + Separator + "\r\n2024/03/05 07:08:09\r\n" + record;
    QCOMPARE(readBytes(file), expected);

    WriteErrorLog(error, QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58)));
    expected += Separator + "\r\n2024/12/31 23:59:58\r\n" + record;
    QCOMPARE(readBytes(file), expected);
}

void tst_Exec::sqlLog_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QByteArray>("entry");

    QTest::newRow("one line") << "select * from dual" << QByteArray(" select * from dual\r\n");
    QTest::newRow("three lines") << "select *\r\nfrom t\r\nwhere a = 1"
                                 << QByteArray(" select *\r\n from t\r\n where a = 1\r\n");
    QTest::newRow("empty line inside")
        << "select 1\r\n\r\nfrom dual" << QByteArray(" select 1\r\n \r\n from dual\r\n");
    QTest::newRow("lone LF not indented") << "a\nb" << QByteArray(" a\nb\r\n");
    QTest::newRow("Japanese") << "select '社員' from dual"
                              << QByteArray(" select '\xe7\xa4\xbe\xe5\x93\xa1' from dual\r\n");
    QTest::newRow("empty") << "" << QByteArray(" \r\n");
}

void tst_Exec::sqlLog()
{
    QFETCH(QString, statement);
    QFETCH(QByteArray, entry);

    const QString file = path("SQL.log");
    QCOMPARE(SqlLogPath(), file);
    WriteSqlLog(statement, QDateTime(QDate(2024, 3, 5), QTime(7, 8, 9)));
    QByteArray expected = "2024/03/05 07:08:09\r\n" + entry;
    QCOMPARE(readBytes(file), expected);

    // A stamp in another zone is written in local time.
    WriteSqlLog(statement, stamp("2025-01-02T04:04:05.000Z"));
    expected += "2025/01/02 13:04:05\r\n" + entry;
    QCOMPARE(readBytes(file), expected);
    QVERIFY(!QFile::exists(path("Korvane.log")));
}

void tst_Exec::appendFailureLeavesFileAsItWas_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<bool>("written");

    const QByteArray old(100, 'o');
    const QString small(100, QLatin1Char('s'));
    // Larger than the file's buffer: written straight to the file, in part.
    const QString large(100000, QLatin1Char('L'));

    QTest::newRow("folder under a regular file")
        << "plain.txt/SQL.log" << QByteArray() << small << qint64(0) << false;
    QTest::newRow("full disk, buffered record")
        << "SQL.log" << old << small << qint64(150) << false;
    QTest::newRow("full disk, large record") << "SQL.log" << old << large << qint64(5000) << false;
    QTest::newRow("full disk, new file")
        << "SQL.log" << QByteArray() << small << qint64(50) << false;
    QTest::newRow("full disk, nothing fits") << "SQL.log" << old << small << qint64(100) << false;
    QTest::newRow("just fits") << "SQL.log" << old << small << qint64(202) << true;
}

void tst_Exec::appendFailureLeavesFileAsItWas()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, existing);
    QFETCH(QString, text);
    QFETCH(qint64, limit);
    QFETCH(bool, written);

    const QByteArray plain("not a folder");
    QVERIFY(writeBytes(path("plain.txt"), plain));
    const QString file = path(name);
    if (!existing.isNull())
        QVERIFY(writeBytes(file, existing));

    int number = 0;
    {
        FileSizeLimit sizeLimit(limit > 0 ? rlim_t(limit) : RLIM_INFINITY);
        QVERIFY(sizeLimit.isActive());
        number = errorNumber([&] { AppendTextToFile(text, file); });
    }
    QCOMPARE(number, written ? 0 : int(Common::ErrFileAccess));
    if (written)
        QCOMPARE(readBytes(file), existing + text.toUtf8() + "\r\n");
    else if (existing.isNull())
        QVERIFY(!QFile::exists(file));
    else
        QCOMPARE(readBytes(file), existing);
    QCOMPARE(readBytes(path("plain.txt")), plain);
}

void tst_Exec::logsRaiseWhenTheirFolderCannotExist()
{
    QVERIFY(writeBytes(path("plain.txt"), "not a folder"));
    qputenv("KORVANE_HOME", path("plain.txt/home").toUtf8());

    QCOMPARE(errorNumber([] { WriteSqlLog("select 1"); }), int(Common::ErrFileAccess));
    QCOMPARE(errorNumber([] {
                 WriteErrorLog({75, "Permission denied", "FileIO"});
             }),
             int(Common::ErrFileAccess));
    QCOMPARE(QDir(mDir->path()).entryList(QDir::Files), QStringList{"plain.txt"});
}

QTEST_GUILESS_MAIN(tst_Exec)

#include "tst_exec.moc"
