#pragma once

class QWidget;

namespace SQLEdit {

/// Opens the saved start-up connection: the first record of DB.ini flagged "1".
/// On success the main window's caption names it; on failure a message says so
/// and the program runs unconnected. Returns false whenever it runs to its end;
/// raises Common::RuntimeError when DB.ini is missing or cannot be read, so that
/// the caller tries again at its next activation.
bool OpenInitialConnection(QWidget &window);

} // namespace SQLEdit
