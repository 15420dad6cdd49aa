// The command-line front end: converts the named files with the same engine
// as the window, into a folder, to one path or standard output, or only
// checks them.
//
//   bmp24to8-cli [--no-four-bit] [--placement none|dos|boot] --dest DIR FILE...
//   bmp24to8-cli [options] --output PATH FILE        (or --dest - FILE)
//   bmp24to8-cli [options] --check FILE...
//
// Exit status: 0 when every file was converted, 1 when any failed or standard
// output could not be written, 2 on a usage error; after Ctrl+C, TERM or HUP
// the program ends by that signal. Each failure is one line on stderr holding
// exactly the error-list message; on a terminal, progress is shown on stderr
// as well, and control characters in names are shown as "?".
#pragma once

#include "bmp24to8/platform.h"

#include <vector>

enum ExitStatus { ExitConverted = 0, ExitSomeFailed = 1, ExitUsage = 2 };

// `arguments` start with the program's own name; file names are as the system
// spells them.
int RunCommandLine(const std::vector<platform::Argument> &arguments);
