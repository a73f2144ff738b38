#pragma once

#include <QIcon>
#include <QString>

namespace Common {

/// The image of the resources under that key ("open", "db", ...), at 16 x 16
/// and, where drawn, at twice and four times that for high-resolution screens.
QIcon ImageIcon(const QString &key);

/// The application's icon (window frame, About box).
QIcon ApplicationIcon();

} // namespace Common
