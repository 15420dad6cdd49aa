// A source and a destination file in a temporary folder of their own, for
// tests that convert one file at a time.
#pragma once

#include "qtconvert.h"

#include <QTemporaryDir>



struct ConversionFiles
{
    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("in.bmp"));
    QString destination = dir.filePath(QStringLiteral("out.bmp"));

    // Removes both files, for the next case.
    void reset();
    // Writes the source's bytes and converts it into the destination.
    ConvertOutcome convert(const QByteArray &sourceBytes, QtConversionHost &host);
};
