// The conversion for callers that hold paths and texts in Qt's types: the
// window and the tests.
#pragma once

#include "conversionhost.h"
#include "convert.h"

#include <QByteArray>
#include <QString>

// A host whose progress texts and error lines arrive as QStrings. A file name
// in an error line comes back exactly as it was given, bytes that are not
// UTF-8 included (see nativepath.h).
class QtConversionHost : public ConversionHost
{
public:
    virtual void setProgressText(const QString &text) = 0;
    virtual void AppendError(const QString &message) = 0;

    // The window's texts for the engine's progress.
    void showProgress(const Progress &progress) final;
    void AppendError(const std::string &message) final;
};

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host);
ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host);
