#pragma once

#include "connections/connectionstate.h"
#include "exec/statement.h"

#include <QString>

/// Program-wide state of the application shell.
namespace SQLEdit {

/// A data-changing statement ran since the last commit or rollback: asked of
/// the connection, which alone keeps that state.
bool UncommittedChanges();

/// Resets the program-wide flags; returns true.
bool InitGlobals();

/// "Korvane Ver3.1.1": title, " Ver", then the version numbers as plain decimals.
QString BuildCaption(const QString &title, int major, int minor, int revision);

} // namespace SQLEdit
