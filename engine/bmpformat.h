// The Windows bitmap format, as this program reads and writes it.
//
// Every number is little-endian and goes through the codecs in codecs.h.
//
//   offset size  field                  read from a source          written to an output
//   ------ ----  ---------------------  --------------------------  ---------------------------------
//        0    2  signature              must be "BM"                "BM"
//        2    4  file size              ignored                     54 + palette bytes + pixel bytes
//        6    4  reserved               ignored                     0
//       10    4  pixel data offset      54 or more, within the file 1078 (8-bit) or 118 (4-bit)
//       14    4  information hdr size   must be 40                  40
//       18    4  width                  0 .. 2^31-1                 width of the source
//       22    4  height                 negative = top-down rows    number of rows, always bottom-up
//       26    2  planes                 ignored                     1
//       28    2  bits per pixel         must be 24                  8 or 4
//       30    4  compression            must be 0                   0
//       34    4  image size             ignored                     pixel bytes
//       38    4  horizontal resolution  ignored                     0
//       42    4  vertical resolution    ignored                     0
//       46    4  colours used           ignored                     256 (8-bit) or 16 (4-bit)
//       50    4  important colours      ignored                     number of distinct colours
//       54       palette (output only)  -                           256 or 16 entries of 4 bytes:
//                                                                   blue, green, red, 0
//     1078/118   pixel rows (output); the source's rows start at its pixel data offset
//
// A source may instead carry the newer information header of 108 bytes (version
// 4) or 124 bytes (version 5) when the host accepts them: the same first 40
// bytes, then colour masks and the colour space, which this program reads only
// to make sure that nothing would be lost (an output has the 40-byte header):
//
//       54   16  colour masks           ignored (24 bits have no masks)
//       70    4  colour space type      "sRGB" or "Win " (the system's), else refused
//       74   48  end points, gammas     ignored: they belong to a calibrated space
//      122    4  rendering intent       ignored (version 5 only, as below)
//      126    8  profile offset, size   ignored: an embedded or linked profile is a
//                                       colour space type of its own, refused
//      134    4  reserved
//
// Pixel rows are stored bottom row first (a source with a negative height stores
// them top row first). Every row is padded with zero bytes to a multiple of 4:
//
//   24-bit row: 3 x width bytes (blue, green, red per pixel) + P24 = (4 - 3w mod 4) mod 4
//    8-bit row: width index bytes                              + P8  = (4 -  w mod 4) mod 4
//    4-bit row: two pixels per byte, left pixel in the high nibble, right pixel in
//               the low nibble (an odd width leaves a zero low nibble at the end);
//               4 x ceil(width / 8) bytes in all.
#pragma once

#include <cstdint>

namespace bmp24to8 {

namespace bmp {

// One field of the 54 header bytes: where it starts and how many bytes it has.
struct Field
{
    std::int64_t offset;
    std::int64_t size;
    constexpr std::int64_t end() const { return offset + size; }
};

// The fields of the table above, by name.
namespace field {
inline constexpr Field signature{0, 2};
inline constexpr Field fileSize{2, 4};
inline constexpr Field reserved{6, 4};
inline constexpr Field pixelDataOffset{10, 4};
inline constexpr Field infoHeaderSize{14, 4};
inline constexpr Field width{18, 4};
inline constexpr Field height{22, 4};
inline constexpr Field planes{26, 2};
inline constexpr Field bitsPerPixel{28, 2};
inline constexpr Field compression{30, 4};
inline constexpr Field imageSize{34, 4};
inline constexpr Field horizontalResolution{38, 4};
inline constexpr Field verticalResolution{42, 4};
inline constexpr Field coloursUsed{46, 4};
inline constexpr Field importantColours{50, 4};
} // namespace field

namespace field {
inline constexpr Field colourSpaceType{70, 4};
} // namespace field

inline constexpr std::int64_t kFileHeaderSize = 14;
inline constexpr std::int64_t kInfoHeaderSize = 40;
inline constexpr std::int64_t kVersion4InfoHeaderSize = 108;
inline constexpr std::int64_t kVersion5InfoHeaderSize = 124;
// The colour space types that mean plain sRGB: "sRGB", and "Win " (the system's
// own, which is sRGB), as they read as little-endian numbers.
inline constexpr std::int32_t kColourSpaceSrgb = 0x73524742;
inline constexpr std::int32_t kColourSpaceWindows = 0x57696E20;
inline constexpr std::int64_t kHeaderSize = kFileHeaderSize + kInfoHeaderSize;   // 54
static_assert(field::infoHeaderSize.offset == kFileHeaderSize && field::importantColours.end() == kHeaderSize);
inline constexpr int kMaxColours = 256;
inline constexpr int kMaxFourBitColours = 16;
inline constexpr std::int64_t kLargestFile = 2147483647;   // every size field must fit in 31 bits

// Filler bytes after one stored row of the given number of data bytes.
constexpr std::int64_t rowPadding(std::int64_t dataBytes) { return (4 - dataBytes % 4) % 4; }

constexpr std::int64_t sourceRowBytes(std::int64_t width) { return 3 * width + rowPadding(3 * width); }
constexpr std::int64_t eightBitRowBytes(std::int64_t width) { return width + rowPadding(width); }
constexpr std::int64_t fourBitRowBytes(std::int64_t width) { return 4 * ((width + 7) / 8); }

// The palette: 16 entries for four bits per pixel, 256 for eight, 4 bytes each.
constexpr int paletteEntries(bool fourBit) { return fourBit ? kMaxFourBitColours : kMaxColours; }
constexpr std::int64_t paletteBytes(bool fourBit) { return 4 * std::int64_t(paletteEntries(fourBit)); }
constexpr std::int64_t pixelDataOffset(bool fourBit) { return kHeaderSize + paletteBytes(fourBit); }

} // namespace bmp

} // namespace bmp24to8
