// Little-endian integer codecs for the numbers in bitmap headers.
//
// Every header number of a source is decoded, and every header number of an
// output encoded, by these four functions. The decoders are handed the bytes
// of one header field, which has the length they take: any other length would
// be a defect in this program, never a property of a file, and aborts it
// rather than give a wrong number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bmp24to8 {

// 4 bytes, least significant first. Meant for 0 .. 2^31-1; a negative number
// is written in its 32-bit two's complement form.
std::string NumberToDWord(std::int32_t n);

// 2 bytes, least significant first; higher bytes of n are dropped (65536 gives 0, 0).
std::string NumberToWord(std::int32_t n);

// The signed 32-bit value of 4 little-endian bytes: 0 .. 2^31-1 for every
// fourth byte below 128, a negative number otherwise (a top-down bitmap's
// height, for instance), which the callers test for.
std::int32_t DWordToNumber(std::string_view s);

// The unsigned value of 2 little-endian bytes, 0 .. 65535.
std::int32_t WordToNumber(std::string_view s);

} // namespace bmp24to8
