// A real X server for the tests that need a display: Xvfb, started on a free
// display of its own choosing.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The first of `tools` that is not installed, or an empty string.
QString MissingTool(const QStringList &tools);

// Starts Xvfb (1024 x 768 unless told) in `server` and returns its display
// (":N"), or an empty string when it did not start.
QString StartXvfb(QProcess &server, const QString &size = QStringLiteral("1024x768"));
