#pragma once

class QString;

namespace SQLEdit {

/// Installs Qt's own Japanese texts (the file choosers, the Yes, No, OK and
/// Cancel buttons) in the running application, whatever the locale: the window
/// is Japanese throughout. False when Qt's translations are not installed.
bool InstallQtJapanese();

/// Makes Qt keep its own settings (the file choosers' last folder and view) in
/// folder rather than in the user's ~/.config, so that Korvane writes nothing
/// outside its own folders.
void KeepQtSettingsIn(const QString &folder);

} // namespace SQLEdit
