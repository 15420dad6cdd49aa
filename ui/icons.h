// The program's icons, drawn in code: the main window's (a palette grid with an
// arrow) and the error list's (a page with a red mark).
#pragma once

#include <QIcon>

QIcon MainWindowIcon();
QIcon ErrorListIcon();
