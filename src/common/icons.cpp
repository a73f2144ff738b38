#include "common/icons.h"

#include <QFile>

namespace Common {

QIcon ImageIcon(const QString &key)
{
    // Every size is added by name: a QIcon made from one file picks up only the
    // variant for the scale the application started with, which leaves a window
    // on a second, finer screen with blurred images.
    QIcon icon;
    for (const char *suffix : {"", "@2x", "@4x"}) {
        const QString file = QStringLiteral(":/icons/%1%2.png").arg(key, QLatin1String(suffix));
        if (QFile::exists(file))
            icon.addFile(file);
    }
    return icon;
}

QIcon ApplicationIcon()
{
    return ImageIcon(QStringLiteral("db"));
}

} // namespace Common
