#include "app/frmmain.h"
#include "app/sqledit.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Without a display Qt would abort with a terse message; say what to do instead.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
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

    const std::unique_ptr<frmMain> window = SQLEdit::Main();
    if (!window)
        return 1;
    return app.exec();
}
