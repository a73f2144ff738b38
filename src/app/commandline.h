#pragma once

#include <QString>
#include <QStringList>

namespace Common {
struct FileFolders;
}

/// The command line: what korvane was asked to do, decided without a window.
namespace SQLEdit {

struct CommandLine
{
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    /// The files to open into the editor, in the order given, as typed.
    QStringList files;
    /// For Action::Error: what was wrong, for a message after "korvane: ".
    QString error;
    /// Qt was told which window system to use (-platform), so none need be found.
    bool platformGiven = false;
};

/// Exit status for a command line that cannot be understood.
inline constexpr int UsageExitCode = 2;

/// Reads the arguments after the program name. --help (-h) and --version stop at
/// once, as does the first unknown option; Qt's own options (-platform, -style, ...)
/// are passed over; "--" makes every later argument a file.
CommandLine ParseCommandLine(const QStringList &arguments);

/// The text of --help, naming the folders where the files live.
QString HelpText(const Common::FileFolders &folders);

/// The text of --version: the program's name and the version its caption shows.
QString VersionText();

} // namespace SQLEdit
