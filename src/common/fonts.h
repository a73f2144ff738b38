#pragma once

#include <QFont>
#include <QString>

namespace Common {

/// A font by its Windows Japanese name, followed by the installed Japanese font
/// of the same kind, so that it renders the same on Linux.
QFont JapaneseFont(const QString &family, double pointSize);

} // namespace Common
