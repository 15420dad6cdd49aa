// The program's identity (identity.h) in Qt's strings, for the window.
#pragma once

#include "identity.h"

#include <QString>

namespace appinfo {

inline QString Text(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }
// The window's caption and the title of its message boxes.
inline QString Title() { return Text(identity::kTitle); }
inline QString Version() { return Text(identity::kVersion); }
inline QString DesktopId() { return Text(identity::kDesktopId); }

} // namespace appinfo
