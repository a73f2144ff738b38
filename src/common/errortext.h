#pragma once

#include <QString>

namespace Common {

/// A Japanese sentence for a system error number (errno), for the values a user
/// meets when reading and writing files; other numbers keep the system's text.
QString SystemErrorText(int errorNumber);

/// The error text that Qt gives for a file (QFile::errorString() and the like)
/// in Japanese: a system error the text names becomes its Japanese sentence, and
/// a text of no known kind is kept after a Japanese lead.
QString FileErrorText(const QString &qtText);

} // namespace Common
