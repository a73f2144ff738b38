#pragma once

namespace SQLEdit {

/// Opens the saved start-up connection. Returns false whenever it runs to its
/// end; raises when the connection list cannot be read, so the caller tries again.
bool OpenInitialConnection();

} // namespace SQLEdit
