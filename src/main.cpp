#include "app/commandline.h"
#include "app/frmmain.h"
#include "app/qtsetup.h"
#include "app/sqledit.h"
#include "common/appdir.h"
#include "common/dialogs.h"
#include "files/textfiles.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace {

void printTo(std::FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
}

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The command line's files as the editor takes them: absolute, and only the kinds
// a drop would open; the others are named on stderr rather than passed over unseen.
QStringList filesToOpen(const QStringList &files)
{
    QStringList paths;
    for (const QString &file : files) {
        if (FileIO::HasSqlFileEnding(file))
            paths << QFileInfo(file).absoluteFilePath();
        else
            printTo(stderr, QStringLiteral("korvane: %1: not opened: only .sql and .txt files "
                                           "open in the editor\n")
                                .arg(file));
    }
    return paths;
}

} // namespace

int main(int argc, char *argv[])
{
    const SQLEdit::CommandLine commandLine = SQLEdit::ParseCommandLine(argumentList(argc, argv));
    switch (commandLine.action) {
    case SQLEdit::CommandLine::Action::Help: {
        // The folders depend on where the executable is, which Qt finds out.
        QCoreApplication app(argc, argv);
        printTo(stdout, SQLEdit::HelpText(Common::CurrentFileFolders()));
        return 0;
    }
    case SQLEdit::CommandLine::Action::Version:
        printTo(stdout, SQLEdit::VersionText());
        return 0;
    case SQLEdit::CommandLine::Action::Error:
        printTo(stderr, QStringLiteral("korvane: %1\nTry 'korvane --help' for more information.\n")
                            .arg(commandLine.error));
        return SQLEdit::UsageExitCode;
    case SQLEdit::CommandLine::Action::Run:
        break;
    }

    // Without a display Qt would abort with a terse message; say what to do instead.
    if (!commandLine.platformGiven && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr,
                     "korvane: there is no display to open the window on.\n"
                     "Run it on a virtual X display:  xvfb-run -a %s\n"
                     "or with no display at all:       QT_QPA_PLATFORM=offscreen %s\n",
                     argv[0], argv[0]);
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    // Lets a Wayland desktop match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korvane.korvane"));

    // Korvane still runs without its folders; it only cannot keep its files.
    const Common::FileFolders folders = Common::CurrentFileFolders();
    const QStringList folderProblems = Common::PrepareFileFolders(folders);
    for (const QString &problem : folderProblems)
        printTo(stderr, QStringLiteral("korvane: %1\n").arg(problem));
    SQLEdit::InstallQtJapanese();
    // Nothing of Korvane's goes outside its folders, Qt's own settings included;
    // without a folder Qt keeps them where it always does.
    if (!folders.config.isEmpty())
        SQLEdit::KeepQtSettingsIn(folders.config);

    const std::unique_ptr<frmMain> window = SQLEdit::Main();
    if (!window)
        return 1;
    const QStringList files = filesToOpen(commandLine.files);
    QTimer::singleShot(0, window.get(), [&window, files, folderProblems] {
        if (!folderProblems.isEmpty()) {
            Common::Dialogs::instance().message(
                window.get(),
                QStringLiteral("設定と接続ﾘｽﾄ、ﾛｸﾞを保存するﾌｫﾙﾀﾞを用意できません。"
                               "保存されません。\n")
                    + folderProblems.join(QLatin1Char('\n')),
                QStringLiteral("Korvane"), Common::Dialogs::Icon::Warning);
        }
        if (!files.isEmpty())
            window->OpenFiles(files);
    });
    return app.exec();
}
