#include "qtconvert.h"

#include "convertfile.h"
#include "nativepath.h"

using namespace bmp24to8;

void QtConversionHost::showProgress(const Progress &progress)
{
    setProgressText(QString::fromStdString(ProgressText(progress)));
}

ConvertOutcome Reported(const Problem &problem, const QString &sourcePath, const QString &destinationPath,
                        QtConversionHost &host)
{
    if (!problem)
        return ConvertOutcome::Written;
    if (problem.failure == Failure::Interrupted)
        return ConvertOutcome::Interrupted;
    host.AppendError(qtfiles::PathFromNative(
        FailureLine(problem, qtfiles::NativeString(sourcePath), qtfiles::NativeString(destinationPath))));
    return ConvertOutcome::Failed;
}

ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, QtConversionHost &host)
{
    // The names are taken now: the host may change its own strings while it yields.
    const QString source = sourcePath;
    const QString destination = destinationPath;
    return Reported(files::ConvertFile(qtfiles::NativeString(source), qtfiles::NativeString(destination), host), source,
                    destination, host);
}

ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, QtConversionHost &host)
{
    std::string bytes;
    const Problem problem = ConvertBytes(std::string_view(source.constData(), size_t(source.size())), bytes, host);
    if (!problem)
        output = QByteArray::fromStdString(bytes);
    return Reported(problem, QStringLiteral("<memory>"), QString(), host);
}
