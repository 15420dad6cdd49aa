#include "qtconvert.h"

#include "convertfile.h"
#include "nativepath.h"

void QtConversionHost::showProgress(const Progress &progress)
{
    setProgressText(QString::fromStdString(ProgressText(progress)));
}

void QtConversionHost::AppendError(const std::string &message)
{
    AppendError(qtfiles::PathFromNative(message));
}

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host)
{
    return ConvertFile(qtfiles::NativeString(sourcePath), qtfiles::NativeString(destinationPath), host);
}

ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host)
{
    std::string bytes;
    const ConvertOutcome outcome = ConvertBytes(std::string_view(source.constData(), size_t(source.size())), bytes, host);
    if (outcome == ConvertOutcome::Written)
        output = QByteArray::fromStdString(bytes);
    return outcome;
}
