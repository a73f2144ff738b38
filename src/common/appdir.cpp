#include "common/appdir.h"

#include <QCoreApplication>
#include <QDir>

namespace Common {

QString ApplicationDirectory()
{
    const QString home = qEnvironmentVariable("KORVANE_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(QDir(home).absolutePath());
    return QCoreApplication::applicationDirPath();
}

QString ApplicationFilePath(const QString &fileName)
{
    return ApplicationDirectory() + QLatin1Char('/') + fileName;
}

} // namespace Common
