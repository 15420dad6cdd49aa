#include "conversionfiles.h"

#include "testbmp.h"

#include <QFile>

void ConversionFiles::reset()
{
    QFile::remove(source);
    QFile::remove(destination);
}

ConvertOutcome ConversionFiles::convert(const QByteArray &sourceBytes, QtConversionHost &host)
{
    if (!WriteFileBytes(source, sourceBytes))
        qFatal("cannot write the source");
    return ConvertFile(source, destination, host);
}
