// The conversion for callers that hold paths and texts in Qt's types: the
// window and the tests.
#pragma once

#include "bmp24to8/engine.h"

#include <QByteArray>
#include <QString>

// A host whose progress texts and error lines arrive as QStrings. A file name
// in an error line comes back exactly as it was given, bytes that are not
// UTF-8 included (see nativepath.h).
class QtConversionHost : public bmp24to8::ConversionHost
{
public:
    virtual void setProgressText(const QString &text) = 0;
    // Adds one entry to the error list.
    virtual void AppendError(const QString &message) = 0;

    // The window's texts for the engine's progress.
    void showProgress(const bmp24to8::Progress &progress) final;
};

// How a conversion ended for the window.
enum class ConvertOutcome {
    Written,        // the destination holds the converted picture
    Failed,         // one error-list entry was made; the destination is untouched
    Interrupted,    // the program is ending; nothing was written or reported
};

// Converts the file, and reports a failure as one error-list entry through
// the host, naming the file as it was given.
ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, QtConversionHost &host);
// The same in memory; a failure's line names "<memory>".
ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, QtConversionHost &host);
// Reports a problem as its error-list line; the outcome it makes.
ConvertOutcome Reported(const bmp24to8::Problem &problem, const QString &sourcePath, const QString &destinationPath,
                        QtConversionHost &host);
