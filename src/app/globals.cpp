#include "app/globals.h"

namespace SQLEdit {

bool InitGlobals()
{
    AbortRequested = false;
    HasConnected = false;
    return true;
}

QString BuildCaption(const QString &title, int major, int minor, int revision)
{
    return QStringLiteral("%1 Ver%2.%3.%4").arg(title).arg(major).arg(minor).arg(revision);
}

} // namespace SQLEdit
