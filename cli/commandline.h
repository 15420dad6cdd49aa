// The command-line front end: converts the named files into a destination
// folder with the same engine as the window.
//
//   bmp24to8-cli [--no-four-bit] [--placement none|dos|boot] --dest DIR FILE...
//
// Exit status: 0 when every file was converted, 1 when any failed, 2 on a
// usage error. Each failure is one line on stderr holding exactly the
// error-list message; on a terminal, progress is shown on stderr as well.
#pragma once

#include <string>
#include <vector>

enum ExitStatus { ExitConverted = 0, ExitSomeFailed = 1, ExitUsage = 2 };

// `arguments` start with the program's own name; file names are as the system
// spells them.
int RunCommandLine(const std::vector<std::string> &arguments);
