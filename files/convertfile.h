// Converting files: the engine's conversion with the source read from a file
// and the output written to one, atomically. Paths are as the system spells
// them: bytes on Unix-like systems, UTF-8 on Windows. Failures come back as
// the engine's problems, for the caller to turn into lines with FailureLine.
#pragma once

#include "bmp24to8/engine.h"
#include "bmp24to8/platform.h"

#include <memory>
#include <string>

namespace files {

// Reads the source file and writes the destination file. A refused file never
// creates or changes its destination, and the destination may be the source
// itself: the source is closed before the output is written.
bmp24to8::Problem ConvertFile(const std::string &sourcePath, const std::string &destinationPath,
                              bmp24to8::ConversionHost &host);

// A regular file as the engine's source, read unbuffered; nullptr for anything
// else (a folder, a pipe, a device), without waiting for it.
std::unique_ptr<bmp24to8::ByteSource> OpenSourceFile(const std::string &path);

// The two halves, for a caller that checks pictures or takes them from
// elsewhere. Preparing closes the file before it returns: only a regular file
// is read (a folder cannot be, and a pipe or a device could block for ever).
bmp24to8::Problem PrepareFile(const std::string &sourcePath, bmp24to8::Prepared &prepared, bmp24to8::ConversionHost &host);
// Writes a prepared picture atomically: the destination is the old file or the
// complete new one. It fails (Failure::CannotWrite, with the system's reason)
// when the destination cannot be created or written: a missing folder, a
// read-only file, a full disk, a device or a pipe in its place.
bmp24to8::Problem WritePictureFile(const bmp24to8::Prepared &prepared, const std::string &destinationPath);

// The same in two halves: the bytes written to the destination's temporary,
// then made durable and put in place, which may be left to another thread
// while the picture's memory goes back.
bmp24to8::Problem BeginPictureFile(const bmp24to8::Prepared &prepared, const std::string &destinationPath,
                                   std::unique_ptr<platform::Replacement> &replacement);
bmp24to8::Problem FinishPictureFile(platform::Replacement &replacement);

} // namespace files
