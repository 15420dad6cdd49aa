// Converting files: the engine's conversion with the source opened from a file
// and the output written to one, atomically. Paths are as the system spells
// them: bytes on Unix-like systems, UTF-8 on Windows. Failures come back as
// the engine's problems, for the caller to turn into lines with FailureLine.
#pragma once

#include "convert.h"

#include <string>

class ByteSource;
class ConversionHost;
struct Picture;

// Reads the source file and writes the destination file. A refused file never
// creates or changes its destination, and the destination may be the source
// itself: the source is closed before the output is written.
Problem ConvertFile(const std::string &sourcePath, const std::string &destinationPath, ConversionHost &host);

// The two halves, for a caller that checks pictures or takes them from
// elsewhere. Preparing closes the file before it returns.
Problem PrepareFile(const std::string &sourcePath, Picture &picture, ConversionHost &host);
// Writes a prepared picture atomically: the destination is the old file or the
// complete new one. It fails (Failure::CannotWrite, with the system's reason)
// when the destination cannot be created or written: a missing folder, a
// read-only file, a full disk, a device or a pipe in its place.
Problem WritePictureFile(const Picture &picture, const std::string &destinationPath);
