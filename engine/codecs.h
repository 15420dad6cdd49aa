// Little-endian integer codecs for the numbers in bitmap headers.
//
// Every header number of a source is decoded, and every header number of an
// output encoded, by these four functions. A byte string of the wrong length
// handed to a decoder is a defect in this program, never a property of a file:
// the decoders then call the fatal handler, which ends the program.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

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

// Called with the offending byte string and the message (UTF-8) when a decoder
// is given a string of the wrong length. It must not return: the program ends
// there. If it does return, the process is aborted so that no partial result
// escapes.
using CodecFatalHandler = std::function<void(const std::string &offending, const std::string &message)>;

// Installs a handler and returns the previous one. The default handler prints
// the message on stderr and exits with status 3.
CodecFatalHandler SetCodecFatalHandler(CodecFatalHandler handler);

// The two fatal messages, exactly as shown to the user.
std::string DWordLengthMessage();
std::string WordLengthMessage();
