#pragma once

#include <QString>

/// What the program remembers about its connections between dialogs.
namespace SQLEdit {

/// A connection has been established at least once; never cleared.
extern bool HasConnected;
/// The main window's caption as built at load, before any connection is shown in
/// it: a connection's caption is built on it, and a failed one goes back to it.
extern QString BaseCaption;

} // namespace SQLEdit
