#pragma once

#include "connections/connectionstate.h"
#include "exec/statement.h"

#include <QString>

/// Program-wide state of the application shell.
namespace SQLEdit {

/// Resets the program-wide flags; returns true.
bool InitGlobals();

/// "Korvane Ver3.1.1": title, " Ver", then the version numbers as plain decimals.
QString BuildCaption(const QString &title, int major, int minor, int revision);

} // namespace SQLEdit
