#include "codecs.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

void printAndExit(const QByteArray &, const QString &message)
{
    std::fputs(message.toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
    std::exit(3);
}

CodecFatalHandler &fatalHandler()
{
    static CodecFatalHandler handler = printAndExit;
    return handler;
}

[[noreturn]] void fatalStop(QByteArrayView s, const QString &message)
{
    fatalHandler()(s.toByteArray(), message);
    std::abort();
}

} // namespace

CodecFatalHandler SetCodecFatalHandler(CodecFatalHandler handler)
{
    return std::exchange(fatalHandler(), handler ? std::move(handler) : CodecFatalHandler(printAndExit));
}

QString DWordLengthMessage()
{
    return QStringLiteral("Vážná vnitřní chyba: Do procedury pro převod z dWord na číslo pronikl řetězec jiné délky než 4B!");
}

QString WordLengthMessage()
{
    return QStringLiteral("Vážná vnitřní chyba: Do procedury pro převod z Word na číslo pronikl řetězec jiné délky než 2B!");
}

QByteArray NumberToDWord(qint32 n)
{
    const auto u = static_cast<quint32>(n);
    const char bytes[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
    return QByteArray(bytes, 4);
}

QByteArray NumberToWord(qint32 n)
{
    const auto u = static_cast<quint32>(n);
    const char bytes[2] = {char(u & 0xFF), char((u >> 8) & 0xFF)};
    return QByteArray(bytes, 2);
}

qint32 DWordToNumber(QByteArrayView s)
{
    if (s.size() != 4)
        fatalStop(s, DWordLengthMessage());
    const auto b = reinterpret_cast<const uchar *>(s.data());
    return static_cast<qint32>(quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24);
}

qint32 WordToNumber(QByteArrayView s)
{
    if (s.size() != 2)
        fatalStop(s, WordLengthMessage());
    const auto b = reinterpret_cast<const uchar *>(s.data());
    return qint32(b[0]) | qint32(b[1]) << 8;
}
