#include "about/sysinfo.h"

#include <QProcess>
#include <QStandardPaths>

namespace About {

QStringList SysInfoCandidates()
{
    // Full system profilers first (hardware, devices, operating system and
    // software, like the information program the About box always offered), then
    // the desktop's own information centre, then a hardware lister. Process
    // monitors are not system information and are left out.
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("lshw-gtk")};
}

QString FindSysInfoProgram(const QStringList &dirs)
{
    for (const QString &name : SysInfoCandidates()) {
        const QString path = QStandardPaths::findExecutable(name, dirs);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool StartSysInfoProgram(const QStringList &dirs)
{
    const QString program = FindSysInfoProgram(dirs);
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

} // namespace About
