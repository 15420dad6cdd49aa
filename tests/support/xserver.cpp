#include "xserver.h"

#include <QStandardPaths>

QString MissingTool(const QStringList &tools)
{
    for (const QString &tool : tools) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            return tool;
    }
    return {};
}

QString StartXvfb(QProcess &server, const QString &size)
{
    // Xvfb picks a free display itself and names it on standard output.
    server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                          QStringLiteral("0"), size + QStringLiteral("x24"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    if (!server.waitForStarted())
        return {};
    while (!server.canReadLine() && server.waitForReadyRead(10000)) {
    }
    const QString number = QString::fromLatin1(server.readLine()).trimmed();
    return number.isEmpty() ? QString() : QLatin1Char(':') + number;
}
