// Converting files: the engine's conversion with the source opened from a file
// and the output written to one, atomically. Paths are as the system spells
// them: bytes on Unix-like systems, UTF-8 on Windows. As in the engine, paths
// are taken by value.
#pragma once

#include "convert.h"

#include <string>

class ConversionHost;
struct Picture;

// Reads the source file and writes the destination file. A refused file never
// creates or changes its destination, and the destination may be the source
// itself: the source is closed before the output is written.
ConvertOutcome ConvertFile(std::string sourcePath, std::string destinationPath, ConversionHost &host);

// The two halves, for a caller that checks pictures or takes them from
// elsewhere. Preparing closes the file before it returns.
ConvertOutcome PrepareFile(std::string sourcePath, Picture &picture, ConversionHost &host);
// Writes a prepared picture atomically: the destination is the old file or the
// complete new one. It fails ("Cannot write file") when the destination cannot
// be created or written: a missing folder, a read-only file, a full disk, a
// device or a pipe in its place. `sourceName` is what a want of memory names.
ConvertOutcome WritePictureFile(const Picture &picture, std::string sourceName, std::string destinationPath,
                                ConversionHost &host);
