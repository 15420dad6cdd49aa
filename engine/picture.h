// The state one conversion carries from step to step: what reading the source
// finds, what reordering and packing change, and what the writer puts on disk.
#pragma once

#include "bmpformat.h"

#include <QByteArrayView>

#include <array>

// One colour as the source stores it: blue, green, red.
using PaletteEntry = std::array<quint8, 3>;
using Palette = std::array<PaletteEntry, 256>;

// A picture's pixel indexes: one block of memory, as large as the picture
// needs and no larger, taken from the system in huge pages where it can be.
class PixelBuffer
{
public:
    PixelBuffer() = default;
    // Uninitialized bytes; throws std::bad_alloc when they cannot be had.
    explicit PixelBuffer(qint64 size);
    PixelBuffer(const PixelBuffer &other);
    PixelBuffer(PixelBuffer &&other) noexcept;
    PixelBuffer &operator=(PixelBuffer other) noexcept;
    ~PixelBuffer();

    uchar *data() { return data_; }
    const uchar *data() const { return data_; }
    qint64 size() const { return size_; }
    QByteArrayView view() const { return {data_, size_}; }
    // Shortens the content; the memory stays.
    void truncate(qint64 size) { size_ = qMin(size_, size); }

    friend bool operator==(const PixelBuffer &a, const PixelBuffer &b) { return a.view() == b.view(); }

private:
    uchar *data_ = nullptr;
    qint64 size_ = 0;
};

// The palette placement's renumbering of pixels: the index at toIndex1
// trades places with 1, then the one at toIndex0 with 0. It is applied as the
// rows are written, not in a pass over the pixels of its own.
struct IndexExchange
{
    uchar toIndex1 = 1;
    uchar toIndex0 = 0;

    bool changesNothing() const { return toIndex1 == 1 && toIndex0 == 0; }
    uchar operator()(uchar x) const
    {
        const uchar first = x == toIndex1 ? uchar(1) : x == 1 ? toIndex1 : x;
        return first == toIndex0 ? uchar(0) : first == 0 ? toIndex0 : first;
    }
    // Renumbers `count` indexes of one byte each, or bytes of two indexes
    // each, from `from` into `to`.
    void applyToBytes(const uchar *from, uchar *to, qint64 count) const;
    void applyToNibbles(const uchar *from, uchar *to, qint64 count) const;
};

struct Picture
{
    qint32 width = 0;
    qint32 height = 0;          // number of rows; the output is always bottom-up
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
    qint64 heldRowBytes() const { return heldAsNibbles ? (qint64(width) + 1) / 2 : width; }
    qint64 storedRowBytes() const { return fourBitMode ? bmp::fourBitRowBytes(width) : bmp::eightBitRowBytes(width); }
};
