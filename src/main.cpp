#include "app/frmmain.h"
#include "app/sqledit.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));

    const std::unique_ptr<frmMain> window = SQLEdit::Main();
    if (!window)
        return 1;
    return app.exec();
}
