#pragma once

#include <QStringList>

/// The system-information program the About box offers to start.
namespace About {

/// Programs that describe the machine's hardware and software as a whole, best first.
QStringList SysInfoCandidates();

/// The full path of the first candidate that is an executable file in dirs, or
/// on PATH when dirs is empty; empty when there is none.
QString FindSysInfoProgram(const QStringList &dirs = {});

/// Starts the program found by FindSysInfoProgram and returns without waiting.
/// False when there is none or it could not be started.
bool StartSysInfoProgram(const QStringList &dirs = {});

} // namespace About
