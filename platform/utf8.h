// Reading UTF-8 that may not be valid, as file names on Unix-like systems are.
#pragma once

#include <string_view>

namespace platform {

// The length of the valid UTF-8 sequence at the start of `bytes` (not empty),
// with its code point; 0 when it is not one (overlong forms, surrogates and
// code points beyond U+10FFFF included).
inline int Utf8Sequence(std::string_view bytes, char32_t &codePoint)
{
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    const int length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || bytes.size() < size_t(length))
        return 0;
    codePoint = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(bytes[size_t(i)]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < smallest[length] || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

} // namespace platform
