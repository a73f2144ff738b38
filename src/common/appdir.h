#pragma once

#include <QString>

namespace Common {

/// What decides where Korvane keeps its files, read from the environment and the disk.
struct FolderFacts
{
    QString korvaneHome;                 ///< KORVANE_HOME; empty when unset
    QString executableDir;               ///< the folder of the running executable
    bool executableDirHasConfig = false; ///< it already holds CONFIG.ini
    bool executableDirWritable = false;  ///< the user may create files in it
    bool executableDirInstalled = false; ///< it is the folder the build installs programs into
    QString xdgConfigHome;               ///< XDG_CONFIG_HOME; empty when unset
    QString xdgDataHome;                 ///< XDG_DATA_HOME; empty when unset
    QString xdgCacheHome;                ///< XDG_CACHE_HOME; empty when unset
    QString home;                        ///< the user's home folder; empty when unknown
};

/// Where each kind of file lives. Both folders are the same for a portable copy.
struct FileFolders
{
    QString config;    ///< CONFIG.ini, SERVERS.ini, DB.ini
    QString data;      ///< demo.db, SQL.log, Korvane.log
    QString documents; ///< where the file choosers for SQL files start
    /// Why there is no folder (no home folder and no KORVANE_HOME); empty when both are set.
    QString problem;
};

/// The folder rule: KORVANE_HOME when set; else the executable's folder when it
/// holds CONFIG.ini or is writable (a portable copy), unless it is the installed
/// programs' folder; else the per-user XDG folders, $XDG_CONFIG_HOME/korvane (or
/// ~/.config/korvane) and $XDG_DATA_HOME/korvane (or ~/.local/share/korvane).
/// XDG variables that are not absolute paths are ignored, as the XDG rules say.
FileFolders ChooseFileFolders(const FolderFacts &facts);

/// A file of one of those folders by name; empty when there is no folder, so that
/// nothing is ever written at the root of the disk instead.
QString PathInFolder(const QString &folder, const QString &fileName);

/// The facts of this process: its environment, its executable's folder and the disk.
FolderFacts CurrentFolderFacts();

/// True when the current user may create files in the folder (an existing one).
bool IsWritableFolder(const QString &path);

/// The folders of this process, by the rule, at the time of the call.
FileFolders CurrentFileFolders();

/// Creates the folders when they are missing, readable by the user only (DB.ini
/// holds passwords). Returns a message for each that cannot be made.
QStringList PrepareFileFolders(const FileFolders &folders);

/// The folder of CONFIG.ini, SERVERS.ini and DB.ini.
QString ConfigDirectory();
/// A file of the configuration folder, by name; empty when there is no folder.
QString ConfigFilePath(const QString &fileName);

/// The folder of demo.db and the logs.
QString DataDirectory();
/// A file of the data folder, by name.
QString DataFilePath(const QString &fileName);

/// A folder of the data folder by name, made when missing and possible; empty
/// when there is no data folder (which the start of the program has already said).
QString DataSubfolder(const QString &name);

/// The folder of files that may be thrown away at any time (the spill files of
/// large results): "cache" in the data folder of a portable copy or under
/// KORVANE_HOME, else $XDG_CACHE_HOME/korvane (or ~/.cache/korvane). Empty when
/// there is no home folder to put it in.
QString ChooseCacheFolder(const FolderFacts &facts);

/// The cache folder of this process, by that rule; it is not made here.
QString CacheDirectory();

/// Where opening and saving SQL files starts: the program's folder for a portable
/// copy or KORVANE_HOME, else the home folder.
QString DocumentsDirectory();

} // namespace Common
