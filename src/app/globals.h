#pragma once

#include <QString>

/// Program-wide state of the application shell.
namespace SQLEdit {

/// Esc was pressed while a statement runs; the row fill polls and clears it.
extern bool AbortRequested;
/// A connection has been established at least once; never cleared.
extern bool HasConnected;
/// A data-changing statement ran since the last commit or rollback: asked of
/// the connection, which alone keeps that state.
bool UncommittedChanges();
/// The main window's caption as built at load, before any connection is shown in it.
extern QString BaseCaption;

/// Resets the program-wide flags; returns true.
bool InitGlobals();

/// "Korvane Ver3.1.1": title, " Ver", then the version numbers as plain decimals.
QString BuildCaption(const QString &title, int major, int minor, int revision);

} // namespace SQLEdit
