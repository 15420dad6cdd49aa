// The window's answer to an internal error in the header codecs: a stop box
// whose title shows the offending bytes, then the end of the program.
#pragma once

#include <QByteArray>
#include <QString>

[[noreturn]] void ShowFatalStop(const QByteArray &offending, const QString &message);
