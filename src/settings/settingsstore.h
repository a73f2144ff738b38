#pragma once

namespace FileIO {

/// Makes sure CONFIG.ini exists (writing the defaults when it does not), then loads it.
/// Never raises and reports nothing.
void InitSettings();

} // namespace FileIO
