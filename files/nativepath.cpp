#include "nativepath.h"

#include "platform.h"

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;   // a byte b >= 0x80 becomes U+DC00 + b

} // namespace

#ifdef _WIN32

// The file layer spells Windows paths in UTF-8.
QString PathFromNative(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes);
}

QByteArray NativePath(const QString &path)
{
    return path.toUtf8();
}

#else

namespace {

// The length of the valid UTF-8 sequence at the start of `bytes`, with its code
// point; 0 when it is not one (overlong forms and surrogates included).
int ValidSequence(QByteArrayView bytes, char32_t &codePoint)
{
    const auto lead = uchar(bytes[0]);
    int length = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        smallest = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        smallest = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        smallest = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (bytes.size() < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const auto next = uchar(bytes[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < smallest || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

} // namespace

QString PathFromNative(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const auto byte = uchar(bytes[at]);
        char32_t codePoint = byte;
        const int length = byte < 0x80 ? 1 : ValidSequence(bytes.sliced(at), codePoint);
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
        if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
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

#endif

QStringList CommandLineArguments(int argc, char **argv)
{
    QStringList arguments;
    for (const std::string &argument : NativeArguments(argc, argv))
        arguments << PathFromNative(argument);
    return arguments;
}

namespace {

std::string Native(const QString &path)
{
    return NativePath(path).toStdString();
}

} // namespace

bool IsFolder(const QString &path)
{
    return IsFolder(Native(path));
}

bool IsRegularFile(const QString &path)
{
    return IsRegularFile(Native(path));
}

bool IsReadableFolder(const QString &path)
{
    return IsReadableFolder(Native(path));
}

QStringList FolderEntries(const QString &folder, EntryKind kind)
{
    QStringList names;
    for (const std::string &name : FolderEntries(Native(folder), kind))
        names << PathFromNative(name);
    return names;
}

QString DisplayName(const QString &path)
{
    QString shown = path;
    for (QChar &unit : shown) {
        if (unit.unicode() >= kEscapeBase + 0x80 && unit.unicode() <= kEscapeBase + 0xFF)
            unit = QChar::ReplacementCharacter;
    }
    return shown;
}

} // namespace platform
