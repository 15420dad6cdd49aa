#include "colourindex.h"

#include "bmpformat.h"
#include "conversionhost.h"
#include "fourbit.h"
#include "picture.h"
#include "rowprogress.h"
#include "sourceheader.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <cstring>
#include <vector>

namespace {

// Gives every colour the palette index under which it was first stored.
//
// A table of 8192 slots (32 KiB, in the first-level cache) keeps each colour
// of the palette in its home slot as colour << 8 | index. The hash multiplier
// is chosen so that no two colours of the palette share a home: when a new
// colour finds its home taken, other multipliers are tried until every colour
// has a home of its own. A lookup is then one multiply, one load and one
// compare, never a search. Should no multiplier be found (it practically
// never happens), colours that do not fit at home are kept in the next free
// slot and the slow path searches for them.
class ColourTable
{
public:
    ColourTable() { rebuild(); }

    // Indexes `count` pixels of 3 bytes each into `out`, adding new colours to
    // the palette. Stops at the first colour beyond 256 and returns its
    // position; returns count when all fit. One byte past the last pixel must
    // be readable: pixels are loaded 4 bytes at a time.
    qint64 index(const uchar *pixels, qint64 count, uchar *out, Picture &picture)
    {
        qint64 i = 0;
        for (; count - i >= kBlock; i += kBlock, pixels += 3 * kBlock) {
            // Runs of one colour, common in logos and screens: one test for the
            // whole block, one lookup, one store.
            if (oneColour(pixels)) {
                const quint32 key = keyAt(pixels);
                const quint32 slot = slots_[home(key)];
                int index = int(slot & 0xFF);
                if ((slot ^ key) > 0xFF && (index = lookUpOrAdd(key, picture)) < 0)
                    return i;
                std::memset(out + i, index, kBlock);
                continue;
            }
            // Otherwise sixteen lookups that do not wait for each other. A
            // colour that is not at home, new or not, sends the block down the
            // slow path, one pixel after another, so new colours are numbered
            // in the order in which they appear.
            quint32 misses = 0;
            for (int k = 0; k < kBlock; ++k) {
                const quint32 key = keyAt(pixels + 3 * k);
                const quint32 slot = slots_[home(key)];
                out[i + k] = uchar(slot);
                misses |= (slot ^ key) >> 8;
            }
            if (misses != 0) {
                const qint64 done = indexOneByOne(pixels, kBlock, out + i, picture);
                if (done < kBlock)
                    return i + done;
            }
        }
        return i + indexOneByOne(pixels, count - i, out + i, picture);
    }

private:
    static constexpr int kBlock = 16;
    static constexpr int kBits = 13;
    static constexpr size_t kSlots = size_t(1) << kBits;

    template <typename T>
    static T load(const uchar *bytes)
    {
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    // Blue, green, red in bits 8 to 31; the byte after the pixel falls off.
    static quint32 keyAt(const uchar *pixel) { return qFromLittleEndian(load<quint32>(pixel)) << 8; }

    // Sixteen pixels are one colour exactly when each of their 48 bytes but
    // the last three equals the byte three places on.
    static bool oneColour(const uchar *pixels)
    {
        quint64 difference = 0;
        for (int at : {0, 8, 16, 24, 32, 37})
            difference |= load<quint64>(pixels + at) ^ load<quint64>(pixels + at + 3);
        return difference == 0;
    }

    size_t home(quint32 key) const { return (key * multiplier_) >> (32 - kBits); }

    qint64 indexOneByOne(const uchar *pixels, qint64 count, uchar *out, Picture &picture)
    {
        for (qint64 i = 0; i < count; ++i, pixels += 3) {
            const quint32 key = keyAt(pixels);
            const quint32 slot = slots_[home(key)];
            int index = int(slot & 0xFF);
            if ((slot ^ key) > 0xFF && (index = lookUpOrAdd(key, picture)) < 0)
                return i;
            out[i] = uchar(index);
        }
        return count;
    }

    // The slow path: a colour that is not at home, stored when it is new and
    // the palette has room; -1 when it has none.
    int lookUpOrAdd(quint32 key, Picture &picture)
    {
        size_t at = home(key);
        for (; used_[at]; at = (at + 1) % kSlots) {
            if ((slots_[at] ^ key) <= 0xFF)
                return int(slots_[at] & 0xFF);
        }
        if (picture.colourCount == bmp::kMaxColours)
            return -1;
        const int index = picture.colourCount++;
        const quint32 bgr = key >> 8;
        picture.palette[size_t(index)] = {quint8(bgr), quint8(bgr >> 8), quint8(bgr >> 16)};
        keys_[size_t(index)] = key;
        colours_ = index + 1;
        if (at != home(key) && findPerfectMultiplier(colours_))
            rebuild();
        else
            place(key, index);
        return index;
    }

    // Looks for a multiplier that gives each of the first `colours` keys a home
    // of its own; keeps the present one when none is found.
    bool findPerfectMultiplier(int colours)
    {
        std::array<quint16, kSlots> taken{};
        for (quint16 attempt = 1; attempt <= 2000; ++attempt) {
            random_ = random_ * 1664525u + 1013904223u;
            const quint32 candidate = random_ | 1;
            int placed = 0;
            for (; placed < colours; ++placed) {
                const size_t at = (keys_[size_t(placed)] * candidate) >> (32 - kBits);
                if (taken[at] == attempt)
                    break;
                taken[at] = attempt;
            }
            if (placed == colours) {
                multiplier_ = candidate;
                return true;
            }
        }
        return false;
    }

    void place(quint32 key, int index)
    {
        size_t at = home(key);
        while (used_[at])
            at = (at + 1) % kSlots;
        slots_[at] = key | quint32(index);
        used_[at] = true;
    }

    // Empties the table for the present multiplier and places the palette in it.
    void rebuild()
    {
        // An unused slot must never match the colour that looks there. Black
        // (key 0) always looks in slot 0, so every other unused slot may hold
        // black; slot 0 holds a colour whose home is elsewhere.
        slots_.fill(0);
        used_.fill(false);
        quint32 stranger = 1u << 8;
        while (home(stranger) == 0)
            stranger += 1u << 8;
        slots_[0] = stranger;
        for (int index = 0; index < colours_; ++index)
            place(keys_[size_t(index)], index);
    }

    std::array<quint32, kSlots> slots_;
    std::array<bool, kSlots> used_;
    std::array<quint32, bmp::kMaxColours> keys_{};   // by palette index
    int colours_ = 0;
    quint32 multiplier_ = 0x9E3779B1u;
    quint32 random_ = 12345;
};

// Hands out the source's bytes in pieces of at most its capacity, reading the
// device in large blocks.
class ChunkReader
{
public:
    // One byte more than the capacity, so a 4-byte load at the last pixel stays inside.
    ChunkReader(QIODevice &device, qint64 capacity) : device_(device), buffer_(size_t(capacity) + 1) {}

    // The next n bytes, or nullptr when the device cannot supply them; failure()
    // then says why.
    const uchar *take(qint64 n)
    {
        if (end_ - pos_ < n && !refill(n))
            return nullptr;
        const uchar *bytes = buffer_.data() + pos_;
        pos_ += n;
        return bytes;
    }

    // Passes over n bytes; those beyond the buffer are skipped at the next take,
    // so filler missing after the last row is never asked for.
    void skip(qint64 n)
    {
        const qint64 inBuffer = qMin(n, end_ - pos_);
        pos_ += inBuffer;
        pendingSkip_ += n - inBuffer;
    }

    // The file ended early (another program cut it short while it was read),
    // or the device reported an error.
    Failure failure() const { return endOfFile_ ? Failure::Truncated : Failure::CannotOpen; }

private:
    bool refill(qint64 n)
    {
        if (pendingSkip_ > 0) {
            if (device_.skip(pendingSkip_) != pendingSkip_) {
                endOfFile_ = true;
                return false;
            }
            pendingSkip_ = 0;
        }
        const qint64 kept = end_ - pos_;
        std::memmove(buffer_.data(), buffer_.data() + pos_, size_t(kept));
        pos_ = 0;
        end_ = kept;
        while (end_ < n) {
            const qint64 got = device_.read(reinterpret_cast<char *>(buffer_.data()) + end_,
                                            qint64(buffer_.size()) - 1 - end_);
            if (got <= 0) {
                endOfFile_ = got == 0;
                return false;
            }
            end_ += got;
        }
        return true;
    }

    QIODevice &device_;
    std::vector<uchar> buffer_;
    qint64 pos_ = 0;
    qint64 end_ = 0;
    qint64 pendingSkip_ = 0;
    bool endOfFile_ = false;
};

constexpr qint64 kChunkPixels = 1 << 15;   // 96 KiB of source bytes at a time, which stay in the second-level cache

// The index data is bottom-up whatever order the source stores its rows in.
qint64 IndexRowOf(const SourceHeader &header, qint64 storedRow)
{
    return header.topDown ? header.rows - 1 - storedRow : storedRow;
}

// A stored row as messages count it: from the top of the picture, from 1.
qint64 RowFromTop(const SourceHeader &header, qint64 storedRow)
{
    return header.rows - IndexRowOf(header, storedRow);
}

// Where the indexes go. While the picture has at most 16 colours they are held
// two to a byte, which halves the memory a picture of few colours takes and the
// time spent bringing that memory in; the 17th colour turns them into bytes.
// In nibbles, the indexes of a piece of a row are made in a small buffer that
// stays in the cache and then packed.
class IndexStore
{
public:
    IndexStore(Picture &picture, const SourceHeader &header, qint64 piece)
        : picture_(picture), header_(header), width_(header.width), piece_(size_t(piece))
    {
        picture_.heldAsNibbles = true;
        picture_.pixelIndexData = PixelBuffer(header.rows * picture_.heldRowBytes());
    }

    // Room for at most one piece of indexes of stored row `row` from `column` on.
    uchar *room(qint64 row, qint64 column)
    {
        return picture_.heldAsNibbles ? piece_.data() : heldRow(row) + column;
    }

    // Keeps the `count` indexes written to room(); `column` is even unless the
    // piece ends the row.
    void keep(qint64 row, qint64 column, qint64 count)
    {
        if (!picture_.heldAsNibbles)
            return;
        if (picture_.colourCount <= bmp::kMaxFourBitColours) {
            PackNibbles(piece_.data(), count, heldRow(row) + column / 2);
            return;
        }
        turnIntoBytes(row, column);
        std::memcpy(heldRow(row) + column, piece_.data(), size_t(count));
    }

private:
    // Where stored row `row` is held, as nibbles or as bytes.
    uchar *heldRow(qint64 row) { return picture_.pixelIndexData.data() + IndexRowOf(header_, row) * picture_.heldRowBytes(); }

    // The rows before `row`, and `row` up to `column`, unpacked into bytes.
    void turnIntoBytes(qint64 row, qint64 column)
    {
        PixelBuffer bytes(header_.rows * width_);
        for (qint64 done = 0; done <= row; ++done) {
            const qint64 at = IndexRowOf(header_, done);
            UnpackNibbles(heldRow(done), done < row ? width_ : column, bytes.data() + at * width_);
        }
        picture_.pixelIndexData = std::move(bytes);
        picture_.heldAsNibbles = false;
    }

    Picture &picture_;
    const SourceHeader &header_;
    qint64 width_;
    std::vector<uchar> piece_;
};

// Indexes `count` pixels of a stored row from `column` on.
Problem IndexPixels(ChunkReader &reader, ColourTable &table, const SourceHeader &header, qint64 storedRow,
                    qint64 column, qint64 count, IndexStore &store, Picture &picture)
{
    const uchar *pixels = reader.take(3 * count);
    if (!pixels)
        return {reader.failure()};
    const qint64 done = table.index(pixels, count, store.room(storedRow, column), picture);
    if (done < count)
        return {Failure::TooManyColours, RowFromTop(header, storedRow), column + done + 1};
    store.keep(storedRow, column, count);
    return {};
}

// Once the user has asked to stop, reading ends at the next pixel: the first
// pixel of the next row. Its colour is still tested first, so a 257th colour
// there is reported rather than the stop.
Problem TestFirstPixelThenAbort(ChunkReader &reader, ColourTable &table, const SourceHeader &header, qint64 storedRow,
                                IndexStore &store, Picture &picture)
{
    if (Problem problem = IndexPixels(reader, table, header, storedRow, 0, 1, store, picture))
        return problem;
    return {Failure::Aborted};
}

} // namespace

Problem IndexColours(QIODevice &source, const SourceHeader &header, Picture &picture, ConversionHost &host)
{
    const qint64 width = header.width;
    const qint64 rows = header.rows;

    picture = Picture{};
    picture.width = header.width;
    picture.height = qint32(rows);
    if (rows == 0 || width == 0) {
        picture.pixelIndexData = PixelBuffer(0);
        return rows == 0 ? Problem{} : PassEmptyRows(rows, host, QString(), true);
    }
    if (!source.seek(header.pixelDataOffset))
        return {Failure::CannotOpen};

    ColourTable table;
    // Never more than the pixels take, so a small picture costs little memory.
    // The size comes from the checked header, not from the file, which another
    // program may be cutting short right now.
    const qint64 pixelBytes = (rows - 1) * bmp::sourceRowBytes(width) + 3 * width;
    ChunkReader reader(source, qMin(3 * kChunkPixels, pixelBytes));
    IndexStore store(picture, header, qMin(width, kChunkPixels));
    RowProgress progress(rows, host);

    for (qint64 row = 0; row < rows; ++row) {
        // The request can only change while the host yields, so reading it once
        // per row is the same as reading it after every pixel.
        if (host.abortRequested())
            return TestFirstPixelThenAbort(reader, table, header, row, store, picture);
        for (qint64 column = 0; column < width; column += kChunkPixels) {
            const qint64 count = qMin(width - column, kChunkPixels);
            if (Problem problem = IndexPixels(reader, table, header, row, column, count, store, picture))
                return problem;
        }
        reader.skip(bmp::rowPadding(3 * width));

        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    return {};
}
