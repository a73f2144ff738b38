#include "app/commandline.h"
#include "app/globals.h"
#include "common/appdir.h"
#include "version.h"

#include <QTest>

using SQLEdit::CommandLine;
using Action = SQLEdit::CommandLine::Action;

/// The command line, read without a window.
class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpNamesTheFolders();
    void versionIsTheCaptionsVersion();
};

void tst_CommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("platformGiven");

    const int run = int(Action::Run);
    const int help = int(Action::Help);
    const int version = int(Action::Version);
    const int error = int(Action::Error);
    QTest::newRow("nothing") << QStringList{} << run << QStringList{} << false;
    QTest::newRow("files in order") << QStringList{"b.sql", "/tmp/a.txt", "c"} << run
                                    << QStringList{"b.sql", "/tmp/a.txt", "c"} << false;
    QTest::newRow("--help") << QStringList{"a.sql", "--help"} << help << QStringList{"a.sql"}
                            << false;
    QTest::newRow("-h") << QStringList{"-h"} << help << QStringList{} << false;
    QTest::newRow("--version") << QStringList{"--version", "--help"} << version << QStringList{}
                               << false;
    // The first of an unknown option and --help decides.
    QTest::newRow("unknown long option")
        << QStringList{"a.sql", "--bogus", "--help"} << error << QStringList{} << false;
    QTest::newRow("unknown short option") << QStringList{"-x"} << error << QStringList{} << false;
    QTest::newRow("option with a value it does not take")
        << QStringList{"--help=all"} << error << QStringList{} << false;
    QTest::newRow("-v is not --version") << QStringList{"-v"} << error << QStringList{} << false;
    // "--" ends the options, so files may begin with a dash.
    QTest::newRow("after --") << QStringList{"--", "-x.sql", "--help"} << run
                              << QStringList{"-x.sql", "--help"} << false;
    QTest::newRow("lone dash is a file") << QStringList{"-"} << run << QStringList{"-"} << false;
    // Qt's options, and their values, are Qt's.
    QTest::newRow("Qt options") << QStringList{"-platform",        "offscreen", "a.sql",
                                               "-style",           "fusion",    "--reverse",
                                               "-stylesheet=x.qss"}
                                << run << QStringList{"a.sql"} << true;
    QTest::newRow("Qt option with two dashes")
        << QStringList{"--platform", "xcb", "--display", ":1", "b.sql"} << run
        << QStringList{"b.sql"} << true;
    QTest::newRow("a Qt option's value is not a file")
        << QStringList{"-qwindowtitle", "x.sql"} << run << QStringList{} << false;
}

void tst_CommandLine::parse()
{
    QFETCH(QStringList, arguments);
    const CommandLine line = SQLEdit::ParseCommandLine(arguments);
    QTEST(int(line.action), "action");
    QTEST(line.files, "files");
    QTEST(line.platformGiven, "platformGiven");
    // An error names the argument it could not take.
    for (const QString &argument : arguments) {
        if (line.action == Action::Error && argument.startsWith('-') && argument != "a.sql") {
            QCOMPARE(line.error, QString("unknown option '%1'").arg(argument));
            break;
        }
    }
    if (line.action != Action::Error)
        QVERIFY(line.error.isEmpty());
}

void tst_CommandLine::helpNamesTheFolders()
{
    const QString text = SQLEdit::HelpText({"/c/korvane", "/d/korvane", "/h", QString()});
    QVERIFY(text.startsWith("Usage: korvane [OPTION]... [FILE]...\n"));
    for (const char *expected : {"--help", "--version", "/c/korvane", "/d/korvane", "KORVANE_HOME"})
        QVERIFY2(text.contains(expected), expected);
    // With no folder, the help says how to get one rather than showing an empty path.
    QVERIFY(SQLEdit::HelpText({}).contains("set HOME or KORVANE_HOME"));
}

void tst_CommandLine::versionIsTheCaptionsVersion()
{
    // One line, "korvane" and the version, as the caption shows it after "Ver".
    const QString text = SQLEdit::VersionText();
    QVERIFY(text.startsWith("korvane ") && text.endsWith('\n') && text.count('\n') == 1);
    const QString caption
        = SQLEdit::BuildCaption("Korvane", Version::Major, Version::Minor, Version::Revision);
    QCOMPARE("Korvane Ver" + text.mid(8).trimmed(), caption);
}

QTEST_GUILESS_MAIN(tst_CommandLine)

#include "tst_commandline.moc"
