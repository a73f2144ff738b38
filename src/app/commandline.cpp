#include "app/commandline.h"

#include "common/appdir.h"
#include "version.h"

namespace SQLEdit {
namespace {

// Options QApplication takes for itself, with one dash or two; it removes them
// from the arguments once it is made. The first ones take the next argument.
const QStringList QtOptionsWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin",      "display", "qwindowgeometry",
    "geometry", "qwindowtitle",       "title",         "qwindowicon", "icon",    "session",
    "style",    "stylesheet",         "name"};
const QStringList QtFlags = {"reverse", "widgetcount", "nograb", "dograb", "testability"};
const QStringList QtOptionsWithEquals = {"style=", "stylesheet=", "qmljsdebugger="};

// The option's name without its one or two leading dashes.
QString optionName(const QString &argument)
{
    return argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
}

bool startsWithAny(const QString &text, const QStringList &prefixes)
{
    for (const QString &prefix : prefixes) {
        if (text.startsWith(prefix))
            return true;
    }
    return false;
}

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        // "-" alone is a file name, as for most tools that take files.
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument.size() == 1) {
            line.files << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == QLatin1String("--version")) {
            line.action = CommandLine::Action::Version;
            return line;
        }
        const QString name = optionName(argument);
        if (QtOptionsWithValue.contains(name)) {
            if (name == QLatin1String("platform"))
                line.platformGiven = true;
            ++i; // its value
            continue;
        }
        if (QtFlags.contains(name) || startsWithAny(name, QtOptionsWithEquals))
            continue;
        line.action = CommandLine::Action::Error;
        line.error = QStringLiteral("unknown option '%1'").arg(argument);
        line.files.clear();
        return line;
    }
    return line;
}

QString HelpText(const Common::FileFolders &folders)
{
    const auto folder = [](const QString &path) {
        return path.isEmpty() ? QStringLiteral("(none: set HOME or KORVANE_HOME)") : path;
    };
    return QStringLiteral(
               "Usage: korvane [OPTION]... [FILE]...\n"
               "%1\n"
               "Runs one SQL statement at a time on SQLite, PostgreSQL, ODBC or Oracle.\n"
               "\n"
               "Each FILE ending in .sql or .txt is opened into the editor, in the order\n"
               "given, as if it had been dropped on it.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "      --version  show the version and exit\n"
               "      --         treat every later argument as a FILE\n"
               "Qt's own options, such as -platform and -style, are accepted too.\n"
               "\n"
               "Files:\n"
               "  CONFIG.ini, SERVERS.ini, DB.ini  %2\n"
               "  demo.db, SQL.log, Korvane.log    %3\n"
               "The environment variable KORVANE_HOME names one folder for all of them.\n"
               "\n"
               "Exit status: 0 when the window is closed, 1 when it cannot be opened,\n"
               "2 when the command line is wrong.\n")
        .arg(QString::fromUtf8(Version::Description), folder(folders.config), folder(folders.data));
}

QString VersionText()
{
    return QStringLiteral("korvane %1.%2.%3\n")
        .arg(Version::Major)
        .arg(Version::Minor)
        .arg(Version::Revision);
}

} // namespace SQLEdit
