// The state one conversion carries from step to step: what reading the source
// finds, what reordering and packing change, and what the writer puts on disk.
#pragma once

#include "bmpformat.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

namespace bmp24to8 {

// One colour as the source stores it: blue, green, red.
using PaletteEntry = std::array<std::uint8_t, 3>;
using Palette = std::array<PaletteEntry, bmp::kMaxColours>;

// A picture's pixel indexes: one block of memory, as large as the picture
// needs and no larger, taken from the system in huge pages where it can be.
class PixelBuffer
{
public:
    PixelBuffer() = default;
    // Uninitialized bytes; throws std::bad_alloc when they cannot be had.
    explicit PixelBuffer(std::int64_t size);
    PixelBuffer(const PixelBuffer &other);
    PixelBuffer(PixelBuffer &&other) noexcept;
    PixelBuffer &operator=(PixelBuffer other) noexcept;
    ~PixelBuffer();

    std::uint8_t *data() { return data_; }
    const std::uint8_t *data() const { return data_; }
    std::int64_t size() const { return size_; }
    std::string_view view() const { return {reinterpret_cast<const char *>(data_), size_t(size_)}; }
    // Shortens the content; the memory stays.
    void truncate(std::int64_t size) { size_ = std::min(size_, size); }

    friend bool operator==(const PixelBuffer &a, const PixelBuffer &b) { return a.view() == b.view(); }

private:
    std::uint8_t *data_ = nullptr;
    std::int64_t size_ = 0;
};

// The palette placement's renumbering of pixels: the index at toIndex1
// trades places with 1, then the one at toIndex0 with 0. It is applied as the
// rows are written, not in a pass over the pixels of its own.
struct IndexExchange
{
    std::uint8_t toIndex1 = 1;
    std::uint8_t toIndex0 = 0;

    bool changesNothing() const { return toIndex1 == 1 && toIndex0 == 0; }
    std::uint8_t operator()(std::uint8_t x) const
    {
        const std::uint8_t first = x == toIndex1 ? std::uint8_t(1) : x == 1 ? toIndex1 : x;
        return first == toIndex0 ? std::uint8_t(0) : first == 0 ? toIndex0 : first;
    }
    // Renumbers `count` indexes of one byte each, or bytes of two indexes
    // each, from `from` into `to`, which may be `from` itself.
    void applyToBytes(const std::uint8_t *from, std::uint8_t *to, std::int64_t count) const;
    void applyToNibbles(const std::uint8_t *from, std::uint8_t *to, std::int64_t count) const;
};

struct Picture
{
    std::int32_t width = 0;
    std::int32_t height = 0;          // number of rows; the output is always bottom-up
    int colourCount = 0;        // distinct colours, 0 .. 256
    // Entries 0 .. colourCount-1 in order of first appearance in the file; the
    // rest black until reordering moves a colour there.
    Palette palette{};
    // The rows of indexes, bottom row first, without the padding the file
    // format puts after each row (the writer adds it): one byte per pixel, or
    // two pixels per byte when held as nibbles.
    PixelBuffer pixelIndexData;
    // Indexes of a picture of at most 16 colours are held two to a byte, left
    // pixel in the high nibble, an odd row ending in a zero nibble.
    bool heldAsNibbles = false;
    bool fourBitMode = false;   // written with four bits per pixel; held as nibbles then
    // How the held indexes are renumbered on their way out.
    IndexExchange exchange;

    // The bytes of one row as held here, and as the output file stores it.
    std::int64_t heldRowBytes() const { return heldAsNibbles ? (std::int64_t(width) + 1) / 2 : width; }
    std::int64_t storedRowBytes() const { return fourBitMode ? bmp::fourBitRowBytes(width) : bmp::eightBitRowBytes(width); }
};

} // namespace bmp24to8
