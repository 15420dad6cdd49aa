// The few services this program needs that differ between operating systems.
// Everything platform-specific lives behind these functions.
#pragma once

#include <QtGlobal>

namespace platform {

// Whether the standard error stream is an interactive terminal.
bool StandardErrorIsTerminal();

// The operating system's version as one 32-bit value: the major version in the
// lowest byte, the minor version in the next, the build number above them.
// Only Windows has such a value; elsewhere this returns 0.
quint32 SystemVersionValue();

// A write past the process's file-size limit then fails like a write to a full
// disk, and is reported and cleaned up as one, instead of ending the program.
void IgnoreFileSizeSignal();

} // namespace platform
