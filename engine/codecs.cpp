#include "codecs.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

void printAndExit(const std::string &, const std::string &message)
{
    std::fputs(message.c_str(), stderr);
    std::fputc('\n', stderr);
    std::exit(3);
}

CodecFatalHandler &fatalHandler()
{
    static CodecFatalHandler handler = printAndExit;
    return handler;
}

[[noreturn]] void fatalStop(std::string_view s, const std::string &message)
{
    fatalHandler()(std::string(s), message);
    std::abort();
}

} // namespace

CodecFatalHandler SetCodecFatalHandler(CodecFatalHandler handler)
{
    return std::exchange(fatalHandler(), handler ? std::move(handler) : CodecFatalHandler(printAndExit));
}

std::string DWordLengthMessage()
{
    return std::string("Vážná vnitřní chyba: Do procedury pro převod z dWord na číslo pronikl řetězec jiné délky než 4B!");
}

std::string WordLengthMessage()
{
    return std::string("Vážná vnitřní chyba: Do procedury pro převod z Word na číslo pronikl řetězec jiné délky než 2B!");
}

std::string NumberToDWord(std::int32_t n)
{
    const auto u = static_cast<std::uint32_t>(n);
    const char bytes[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
    return std::string(bytes, 4);
}

std::string NumberToWord(std::int32_t n)
{
    const auto u = static_cast<std::uint32_t>(n);
    const char bytes[2] = {char(u & 0xFF), char((u >> 8) & 0xFF)};
    return std::string(bytes, 2);
}

std::int32_t DWordToNumber(std::string_view s)
{
    if (s.size() != 4)
        fatalStop(s, DWordLengthMessage());
    const auto b = reinterpret_cast<const std::uint8_t *>(s.data());
    return static_cast<std::int32_t>(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24);
}

std::int32_t WordToNumber(std::string_view s)
{
    if (s.size() != 2)
        fatalStop(s, WordLengthMessage());
    const auto b = reinterpret_cast<const std::uint8_t *>(s.data());
    return std::int32_t(b[0]) | std::int32_t(b[1]) << 8;
}
