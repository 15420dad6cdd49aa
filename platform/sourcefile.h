// Opening a source picture for reading.
#pragma once

#include "bytesource.h"

#include <memory>
#include <string>

namespace platform {

// Opens a regular file for unbuffered reading; the file is closed when the
// source is destroyed. Anything else (a folder, a pipe, a device) gives
// nullptr without waiting for it, as does a file that cannot be opened. The
// path is as the system spells it: bytes on Unix-like systems, UTF-8 on Windows.
std::unique_ptr<ByteSource> OpenSourceFile(const std::string &path);

} // namespace platform
