#include "nativepath.h"

#include "bmp24to8/platform.h"

namespace qtfiles {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;   // a byte b >= 0x80 becomes U+DC00 + b

// Whether a UTF-16 unit carries a byte that was not part of valid UTF-8.
constexpr bool IsEscapedByte(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

} // namespace

QString PathFromNative(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto byte = uchar(bytes[at]);
        char32_t codePoint = byte;
        const int length = platform::Utf8Sequence(std::string_view(bytes.data() + at, size_t(bytes.size() - at)), codePoint);
        if (length == 0) {
            path += QChar(char16_t(kEscapeBase + byte));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            path += QChar(QChar::highSurrogate(codePoint));
            path += QChar(QChar::lowSurrogate(codePoint));
        } else {
            path += QChar(char16_t(codePoint));
        }
        at += length;
    }
    return path;
}

QByteArray NativePath(const QString &path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    for (qsizetype at = 0; at < path.size(); ++at) {
        const char16_t unit = path.at(at).unicode();
        char32_t codePoint = unit;
        if (IsEscapedByte(unit)) {
            bytes += char(unit - kEscapeBase);
            continue;
        }
        if (QChar::isHighSurrogate(unit) && at + 1 < path.size() && path.at(at + 1).isLowSurrogate())
            codePoint = QChar::surrogateToUcs4(unit, path.at(++at).unicode());
        else if (QChar::isSurrogate(unit))
            codePoint = QChar::ReplacementCharacter;
        bytes += QString::fromUcs4(&codePoint, 1).toUtf8();
    }
    return bytes;
}

QStringList CommandLineArguments(int argc, char **argv)
{
    QStringList arguments;
    for (const platform::Argument &argument : platform::NativeArguments(argc, argv))
        arguments << PathFromNative(argument.text);
    return arguments;
}

std::string NativeString(const QString &path)
{
    return NativePath(path).toStdString();
}

bool IsFolder(const QString &path)
{
    return platform::IsFolder(NativeString(path));
}

bool IsRegularFile(const QString &path)
{
    return platform::IsRegularFile(NativeString(path));
}

bool IsReadableFolder(const QString &path)
{
    return platform::IsReadableFolder(NativeString(path));
}

QStringList FolderEntries(const QString &folder, platform::EntryKind kind)
{
    QStringList names;
    for (const std::string &name : platform::FolderEntries(NativeString(folder), kind))
        names << PathFromNative(name);
    return names;
}

QString DisplayName(const QString &path)
{
    QString shown = path;
    for (QChar &unit : shown) {
        if (IsEscapedByte(unit.unicode()))
            unit = QChar::ReplacementCharacter;
    }
    return shown;
}

} // namespace qtfiles
