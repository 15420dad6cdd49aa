// The program's identity, set once and shared by the window, its message
// boxes, the command line and the installed desktop files.
#pragma once

#include <QString>

namespace appinfo {

// The window's caption and the title of its message boxes.
inline QString Title() { return QStringLiteral("Picture converter 24 to 8 bit BMP"); }
inline QString Version() { return QStringLiteral(BMP24TO8_VERSION); }
// The reverse-DNS name of the desktop entry, the AppStream data and the icons.
inline QString DesktopId() { return QStringLiteral("org.bmp24to8.bmp24to8"); }

} // namespace appinfo
