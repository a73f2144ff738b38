#pragma once

#include <QString>

namespace Common {

/// The folder that holds CONFIG.ini, DB.ini, SERVERS.ini and the logs: the
/// executable's folder, or the folder named by KORVANE_HOME when it is set.
QString ApplicationDirectory();

/// A file of that folder, by name.
QString ApplicationFilePath(const QString &fileName);

} // namespace Common
