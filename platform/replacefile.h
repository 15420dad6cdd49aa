// Writing a whole file so that it is either the old file or the complete new
// one, whatever happens while it is written: a full disk, a file-size limit, an
// I/O error, a crash or a power cut.
#pragma once

#include "convert.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

// Writes `parts`, one after the other, as the file at `path`, and returns
// whether every byte is on disk under that name. The path is as the system
// spells it: bytes on Unix-like systems, UTF-8 on Windows.
//
// The bytes go to a temporary file in the same folder whose name is short
// whatever the destination's length; it is synced, closed and renamed over the
// destination, and then the folder is synced. Any failure on the way removes
// the temporary file and leaves an existing destination exactly as it was (a
// failed folder sync, the last step, leaves the complete new file behind).
//
// An existing destination is only replaced when it is a regular file, or a
// link to one (the file the link points to is replaced, the link stays). Device
// nodes, pipes, sockets, folders, dangling links and files that nobody may
// write are refused untouched. A replaced file keeps its owner, group and mode
// bits where the process may set them; it is a new file, so other hard links to
// the old one keep the old content.
bool ReplaceFile(const std::string &path, std::initializer_list<std::string_view> parts);

// The same with the bytes handed out in parts by `nextPart` (the engine's
// NextPart), called until it gives an empty part, so that a large file need
// not be held whole.
bool ReplaceFile(const std::string &path, const NextPart &nextPart);

} // namespace platform
