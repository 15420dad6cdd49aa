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

// Makes a rename inside the folder durable, where the system allows it; a
// failure is not reported, since the file itself is already safely written.
void SyncFolder(const char *folder);

} // namespace platform
