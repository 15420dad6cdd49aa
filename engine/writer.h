// The bytes of the palettized output bitmap.
//
// Takes the finished picture: 8 bits per pixel with 256 palette entries, or 4
// bits with 16 entries when four-bit packing has run. The bytes are handed out
// in parts for the caller to put wherever the output goes: a file written
// atomically, standard output, memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace bmp24to8 {

struct Picture;

// The 54 header bytes followed by the palette (1024 or 64 bytes).
std::string OutputHeaderAndPalette(const Picture &picture);
// The size of the whole output file.
std::int64_t OutputBytes(const Picture &picture);

// The output's pixel rows as the file format wants them, renumbered by the
// palette placement, unpacked for 8-bit output and padded, handed out in parts
// of about 128 KiB that stay in the cache (or, when the rows go out as they are
// held, all at once), so that no second copy of a large picture is ever made.
class PixelRows
{
public:
    explicit PixelRows(const Picture &picture);
    // The next part; empty after the last row.
    std::string_view next();
    // The rows go out as they are held: no padding, nothing to unpack or
    // renumber. Each part then stays valid as long as the picture does;
    // otherwise only until the next call.
    bool rowsAsHeld() const;

private:
    static constexpr std::int64_t kPartBytes = 128 * 1024;
    const Picture &picture_;
    std::int64_t heldRow_;
    std::int64_t storedRow_;
    std::int64_t row_ = 0;
    std::string buffer_;
};

// For a caller that writes a picture once and then drops it: when the rows go
// out as they are held but for the palette placement's renumbering, renumbers
// them in place, so that they go out as one part, without a copy.
void RenumberHeldRows(Picture &picture);

// Whether the rows go out as they are held: no padding, nothing to unpack or
// renumber, so that they need no copy.
bool RowsGoOutAsHeld(const Picture &picture);

// The whole output file of a picture at once.
std::string EncodedPicture(const Picture &picture);

// The whole output file: the header and palette, then the pixel rows.
class OutputParts
{
public:
    explicit OutputParts(const Picture &picture);
    // The next part; empty after the last.
    std::string_view next();
    // Whether every part stays valid as long as these parts and the picture
    // do, rather than only until the next call.
    bool partsStay() const { return rows_.rowsAsHeld(); }

private:
    std::string head_;
    bool headGiven_ = false;
    PixelRows rows_;
};

} // namespace bmp24to8
