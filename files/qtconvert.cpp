#include "qtconvert.h"

#include "convertfile.h"
#include "nativepath.h"

void QtConversionHost::setProgressText(const std::string &text)
{
    setProgressText(QString::fromUtf8(text));
}

void QtConversionHost::AppendError(const std::string &message)
{
    AppendError(platform::PathFromNative(message));
}

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host)
{
    return ConvertFile(platform::NativePath(sourcePath).toStdString(), platform::NativePath(destinationPath).toStdString(),
                       host);
}

ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host)
{
    std::string bytes;
    const ConvertOutcome outcome = ConvertBytes(std::string_view(source.constData(), size_t(source.size())), bytes, host);
    if (outcome == ConvertOutcome::Written)
        output = QByteArray::fromStdString(bytes);
    return outcome;
}
