#include "common/appdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace Common {
namespace {

const QString ProgramFolderName = QStringLiteral("korvane");

// Relative XDG values are invalid and ignored; so is a relative home.
QString absoluteOrEmpty(const QString &path)
{
    return QDir::isAbsolutePath(path) ? QDir::cleanPath(path) : QString();
}

QString homeFolder()
{
    const QString home = absoluteOrEmpty(qEnvironmentVariable("HOME"));
    if (!home.isEmpty())
        return home;
    // Without HOME (a service, `env -i`), the account's own entry still names it.
    if (const passwd *entry = getpwuid(getuid()))
        return absoluteOrEmpty(QFile::decodeName(entry->pw_dir));
    return QString();
}

// Programs installed the Linux way never keep user files beside themselves, not
// even when root could write there.
bool isInstalledProgramFolder(const QString &dir)
{
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    const QStringList installed = {
#ifdef KORVANE_INSTALL_BINDIR
        QStringLiteral(KORVANE_INSTALL_BINDIR),
#endif
        QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin"), QStringLiteral("/bin")};
    for (const QString &folder : installed) {
        const QString other = QFileInfo(folder).canonicalFilePath();
        if (!other.isEmpty() && other == canonical)
            return true;
    }
    return false;
}

} // namespace

QString PathInFolder(const QString &folder, const QString &fileName)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + fileName;
}

FileFolders ChooseFileFolders(const FolderFacts &facts)
{
    if (!facts.korvaneHome.isEmpty()) {
        const QString home = QDir::cleanPath(QDir(facts.korvaneHome).absolutePath());
        return {home, home, home, QString()};
    }
    if (!facts.executableDir.isEmpty() && !facts.executableDirInstalled
        && (facts.executableDirHasConfig || facts.executableDirWritable)) {
        return {facts.executableDir, facts.executableDir, facts.executableDir, QString()};
    }

    const QString home = absoluteOrEmpty(facts.home);
    QString configBase = absoluteOrEmpty(facts.xdgConfigHome);
    if (configBase.isEmpty() && !home.isEmpty())
        configBase = home + QStringLiteral("/.config");
    QString dataBase = absoluteOrEmpty(facts.xdgDataHome);
    if (dataBase.isEmpty() && !home.isEmpty())
        dataBase = home + QStringLiteral("/.local/share");

    FileFolders folders;
    folders.documents = home;
    if (!configBase.isEmpty())
        folders.config = PathInFolder(configBase, ProgramFolderName);
    if (!dataBase.isEmpty())
        folders.data = PathInFolder(dataBase, ProgramFolderName);
    if (folders.config.isEmpty() || folders.data.isEmpty()) {
        folders.problem = QStringLiteral("Korvane のファイルを保存するホームフォルダがありません。"
                                         "HOME か KORVANE_HOME を設定してください。");
    }
    return folders;
}

QString ChooseCacheFolder(const FolderFacts &facts)
{
    const FileFolders folders = ChooseFileFolders(facts);
    // A portable copy keeps everything beside itself, its cache included.
    if (!folders.data.isEmpty() && folders.data == folders.config)
        return PathInFolder(folders.data, QStringLiteral("cache"));
    QString cacheBase = absoluteOrEmpty(facts.xdgCacheHome);
    const QString home = absoluteOrEmpty(facts.home);
    if (cacheBase.isEmpty() && !home.isEmpty())
        cacheBase = home + QStringLiteral("/.cache");
    return PathInFolder(cacheBase, ProgramFolderName);
}

bool IsWritableFolder(const QString &path)
{
    const QFileInfo info(path);
    return info.isDir() && access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

FolderFacts CurrentFolderFacts()
{
    FolderFacts facts;
    facts.korvaneHome = qEnvironmentVariable("KORVANE_HOME");
    facts.executableDir = QCoreApplication::applicationDirPath();
    if (!facts.executableDir.isEmpty()) {
        facts.executableDirHasConfig
            = QFileInfo(PathInFolder(facts.executableDir, QStringLiteral("CONFIG.ini"))).isFile();
        facts.executableDirWritable = IsWritableFolder(facts.executableDir);
        facts.executableDirInstalled = isInstalledProgramFolder(facts.executableDir);
    }
    facts.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    facts.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    facts.xdgCacheHome = qEnvironmentVariable("XDG_CACHE_HOME");
    facts.home = homeFolder();
    return facts;
}

FileFolders CurrentFileFolders()
{
    return ChooseFileFolders(CurrentFolderFacts());
}

QStringList PrepareFileFolders(const FileFolders &folders)
{
    if (!folders.problem.isEmpty())
        return {folders.problem};
    QStringList problems;
    for (const QString &folder : {folders.config, folders.data}) {
        if (QFileInfo(folder).isDir())
            continue;
        if (!QDir().mkpath(folder)) {
            problems << QStringLiteral("フォルダ %1 を作成できません。").arg(folder);
            continue;
        }
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                          | QFileDevice::ExeOwner);
    }
    return problems;
}

QString ConfigDirectory()
{
    return CurrentFileFolders().config;
}

QString ConfigFilePath(const QString &fileName)
{
    return PathInFolder(ConfigDirectory(), fileName);
}

QString DataDirectory()
{
    return CurrentFileFolders().data;
}

QString DataFilePath(const QString &fileName)
{
    return PathInFolder(DataDirectory(), fileName);
}

QString DataSubfolder(const QString &name)
{
    const QString data = DataDirectory();
    if (data.isEmpty() || !QFileInfo(data).isDir())
        return {};
    const QString folder = QDir(data).filePath(name);
    QDir().mkpath(folder); // one that cannot be made is said by what writes in it
    return folder;
}

QString CacheDirectory()
{
    return ChooseCacheFolder(CurrentFolderFacts());
}

QString DocumentsDirectory()
{
    return CurrentFileFolders().documents;
}

} // namespace Common
