#include "codecs.h"

#include <cstdlib>
#include <utility>

namespace bmp24to8 {

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
        std::abort();
    const auto b = reinterpret_cast<const std::uint8_t *>(s.data());
    return static_cast<std::int32_t>(std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24);
}

std::int32_t WordToNumber(std::string_view s)
{
    if (s.size() != 2)
        std::abort();
    const auto b = reinterpret_cast<const std::uint8_t *>(s.data());
    return std::int32_t(b[0]) | std::int32_t(b[1]) << 8;
}

} // namespace bmp24to8
