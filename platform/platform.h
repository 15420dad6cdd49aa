// The few services this program needs that differ between operating systems.
// Everything platform-specific lives behind these functions.
#pragma once

namespace platform {

// Whether the standard error stream is an interactive terminal.
bool StandardErrorIsTerminal();

} // namespace platform
