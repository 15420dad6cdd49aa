// Writing a whole file so that it is either the old file or the complete new
// one, whatever happens while it is written: a full disk, a file-size limit, an
// I/O error, a crash, a signal or a power cut.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <system_error>

namespace platform {

// Hands out the bytes to write, part after part; an empty part after the last.
using NextBytes = std::function<std::string_view()>;

// Writes the parts, one after the other, as the file at `path`, and returns no
// error when every byte is on disk under that name, else the reason it is not.
// The path is as the system spells it: bytes on Unix-like systems, UTF-8 on
// Windows.
//
// The bytes go to a hidden temporary file in the same folder whose name is
// short whatever the destination's length; it is synced, closed and renamed
// over the destination, and then the folder is synced. On Unix-like systems
// every step works relative to the folder, opened once, so that a path near
// the system's length limit is written and the folder cannot be swapped
// between the steps. Any failure on the way removes the temporary file and
// leaves an existing destination exactly as it was (a failed folder sync, the
// last step, leaves the complete new file behind).
//
// An existing destination is only replaced when it is a regular file, or a
// link to one (the file the link points to is replaced, the link stays). Device
// nodes, pipes, sockets, folders, dangling links and files that nobody may
// write are refused untouched. A replaced file keeps what it carried besides
// its bytes: its owner, group and mode bits where the process may set them,
// its access list and its other extended attributes (on Windows, its
// attributes, creation time and security descriptor). An access list or an
// attribute that cannot be kept fails the write, so that replacing a file never
// changes who may read it. The new file is a new file: other hard links to the
// old one keep the old content.
std::error_code ReplaceFile(const std::string &path, const NextBytes &nextPart);
std::error_code ReplaceFile(const std::string &path, std::initializer_list<std::string_view> parts);

// The reason an existing destination is refused when it is not a regular file.
std::error_code NotRegularFile();

} // namespace platform
