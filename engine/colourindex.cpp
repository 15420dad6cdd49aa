#include "colourindex.h"

#include "bmpformat.h"
#include "bmp24to8/engine.h"
#include "fourbit.h"
#include "picture.h"
#include "rowprogress.h"
#include "sourceheader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace bmp24to8 {

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
    std::int64_t index(const std::uint8_t *pixels, std::int64_t count, std::uint8_t *out, Picture &picture)
    {
        std::int64_t i = 0;
        for (; count - i >= kBlock; i += kBlock, pixels += 3 * kBlock) {
            // Runs of one colour, common in logos and screens: one test for the
            // whole block, one lookup, one store.
            if (oneColour(pixels)) {
                const std::uint32_t key = keyAt(pixels);
                const std::uint32_t slot = slots_[home(key)];
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
            std::uint32_t misses = 0;
            for (int k = 0; k < kBlock; ++k) {
                const std::uint32_t key = keyAt(pixels + 3 * k);
                const std::uint32_t slot = slots_[home(key)];
                out[i + k] = std::uint8_t(slot);
                misses |= (slot ^ key) >> 8;
            }
            if (misses != 0) {
                const std::int64_t done = indexOneByOne(pixels, kBlock, out + i, picture);
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
    static T load(const std::uint8_t *bytes)
    {
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    // Blue, green, red in bits 8 to 31; the byte after the pixel falls off.
    static std::uint32_t keyAt(const std::uint8_t *pixel)
    {
        std::uint32_t bytes = load<std::uint32_t>(pixel);
        if constexpr (std::endian::native == std::endian::big)
            bytes = bytes >> 24 | (bytes >> 8 & 0xFF00u) | (bytes << 8 & 0xFF0000u) | bytes << 24;
        return bytes << 8;
    }

    // Sixteen pixels are one colour exactly when each of their 48 bytes but
    // the last three equals the byte three places on.
    static bool oneColour(const std::uint8_t *pixels)
    {
        std::uint64_t difference = 0;
        for (int at : {0, 8, 16, 24, 32, 37})
            difference |= load<std::uint64_t>(pixels + at) ^ load<std::uint64_t>(pixels + at + 3);
        return difference == 0;
    }

    size_t home(std::uint32_t key) const { return (key * multiplier_) >> (32 - kBits); }

    std::int64_t indexOneByOne(const std::uint8_t *pixels, std::int64_t count, std::uint8_t *out, Picture &picture)
    {
        for (std::int64_t i = 0; i < count; ++i, pixels += 3) {
            const std::uint32_t key = keyAt(pixels);
            const std::uint32_t slot = slots_[home(key)];
            int index = int(slot & 0xFF);
            if ((slot ^ key) > 0xFF && (index = lookUpOrAdd(key, picture)) < 0)
                return i;
            out[i] = std::uint8_t(index);
        }
        return count;
    }

    // The slow path: a colour that is not at home, stored when it is new and
    // the palette has room; -1 when it has none.
    int lookUpOrAdd(std::uint32_t key, Picture &picture)
    {
        size_t at = home(key);
        for (; used_[at]; at = (at + 1) % kSlots) {
            if ((slots_[at] ^ key) <= 0xFF)
                return int(slots_[at] & 0xFF);
        }
        if (picture.colourCount == bmp::kMaxColours)
            return -1;
        const int index = picture.colourCount++;
        const std::uint32_t bgr = key >> 8;
        picture.palette[size_t(index)] = {std::uint8_t(bgr), std::uint8_t(bgr >> 8), std::uint8_t(bgr >> 16)};
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
        std::array<std::uint16_t, kSlots> taken{};
        for (std::uint16_t attempt = 1; attempt <= 2000; ++attempt) {
            random_ = random_ * 1664525u + 1013904223u;
            const std::uint32_t candidate = random_ | 1;
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

    void place(std::uint32_t key, int index)
    {
        size_t at = home(key);
        while (used_[at])
            at = (at + 1) % kSlots;
        slots_[at] = key | std::uint32_t(index);
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
        std::uint32_t stranger = 1u << 8;
        while (home(stranger) == 0)
            stranger += 1u << 8;
        slots_[0] = stranger;
        for (int index = 0; index < colours_; ++index)
            place(keys_[size_t(index)], index);
    }

    std::array<std::uint32_t, kSlots> slots_;
    std::array<bool, kSlots> used_;
    std::array<std::uint32_t, bmp::kMaxColours> keys_{};   // by palette index
    int colours_ = 0;
    std::uint32_t multiplier_ = 0x9E3779B1u;
    std::uint32_t random_ = 12345;
};

// Hands out the source's bytes in pieces of at most its capacity: where the
// source lends them, right where they are, else read in large blocks into a
// buffer of its own. A piece is handed out contiguous, with one readable byte
// after it; a piece that would end at or beyond the end of what the source
// lent at once is put together in the buffer.
class ChunkReader
{
public:
    // One byte more than the capacity, so a 4-byte load at the last pixel
    // stays inside. `total` is how many bytes the reading takes from the source.
    ChunkReader(ByteSource &source, std::int64_t capacity, std::int64_t total)
        : source_(source), buffer_(size_t(capacity) + 1), unlent_(total)
    {
    }

    // The next n bytes, or nullptr when the source cannot supply them; failure()
    // then says why.
    const std::uint8_t *take(std::int64_t n)
    {
        // The byte after the piece must be inside what was lent.
        if (lentInHand() > n) {
            const std::uint8_t *bytes = lent_;
            lent_ += n;
            return bytes;
        }
        if (mode_ == Mode::Unknown) {
            // The first time, the source is asked whether it lends its bytes.
            mode_ = Mode::Lends;
            if (borrow())
                return take(n);
        }
        if (mode_ == Mode::Lends)
            return gather(n);
        if (end_ - pos_ < n && !refill(n))
            return nullptr;
        const std::uint8_t *bytes = buffer_.data() + pos_;
        pos_ += n;
        return bytes;
    }

    // Passes over n bytes; those beyond the buffer or the bytes lent are
    // skipped at the next take, so filler missing after the last row is never
    // asked for.
    void skip(std::int64_t n)
    {
        if (mode_ == Mode::Reads) {
            const std::int64_t inBuffer = std::min(n, end_ - pos_);
            pos_ += inBuffer;
            pendingSkip_ += n - inBuffer;
        } else {
            const std::int64_t inHand = std::min(n, lentInHand());
            lent_ += inHand;
            pendingSkip_ += n - inHand;
        }
    }

    // The file ended early (another program cut it short while it was read),
    // or the source reported an error.
    Failure failure() const { return endOfFile_ ? Failure::Truncated : Failure::CannotOpen; }

private:
    std::int64_t lentInHand() const { return lentEnd_ - lent_; }

    // Copies n bytes into the buffer from what is lent, borrowing more as it
    // runs out.
    const std::uint8_t *gather(std::int64_t n)
    {
        for (std::int64_t have = 0;;) {
            const std::int64_t part = std::min(n - have, lentInHand());
            std::memcpy(buffer_.data() + have, lent_, size_t(part));
            lent_ += part;
            have += part;
            if (have == n)
                return buffer_.data();
            if (mode_ != Mode::Lends || !borrow())
                return nullptr;
        }
    }

    // The next bytes the source lends, past any pending skip; false when it
    // has none.
    bool borrow()
    {
        while (lent_ == lentEnd_) {
            const char *bytes = nullptr;
            const std::int64_t got = unlent_ > 0 ? source_.lend(bytes, unlent_) : 0;
            if (got == ByteSource::kDoesNotLend) {
                mode_ = Mode::Reads;
                return false;
            }
            if (got <= 0) {
                endOfFile_ = got == 0;
                return false;
            }
            unlent_ -= got;
            lent_ = reinterpret_cast<const std::uint8_t *>(bytes);
            lentEnd_ = lent_ + got;
            const std::int64_t skipped = std::min(pendingSkip_, got);
            lent_ += skipped;
            pendingSkip_ -= skipped;
        }
        return true;
    }

    bool refill(std::int64_t n)
    {
        if (pendingSkip_ > 0) {
            const std::int64_t to = source_.position() + pendingSkip_;
            if (to > source_.size() || !source_.seek(to)) {
                endOfFile_ = true;
                return false;
            }
            pendingSkip_ = 0;
        }
        const std::int64_t kept = end_ - pos_;
        std::memmove(buffer_.data(), buffer_.data() + pos_, size_t(kept));
        pos_ = 0;
        end_ = kept;
        while (end_ < n) {
            const std::int64_t got = source_.read(reinterpret_cast<char *>(buffer_.data()) + end_,
                                            std::int64_t(buffer_.size()) - 1 - end_);
            if (got <= 0) {
                endOfFile_ = got == 0;
                return false;
            }
            end_ += got;
        }
        return true;
    }

    ByteSource &source_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t pos_ = 0;
    std::int64_t end_ = 0;
    // What the source lent last, and how much of the reading it has not lent yet.
    const std::uint8_t *lent_ = nullptr;
    const std::uint8_t *lentEnd_ = nullptr;
    std::int64_t unlent_;
    enum class Mode { Unknown, Lends, Reads } mode_ = Mode::Unknown;
    std::int64_t pendingSkip_ = 0;
    bool endOfFile_ = false;
};

constexpr std::int64_t kChunkPixels = 1 << 15;   // 96 KiB of source bytes at a time, which stay in the second-level cache

// The index data is bottom-up whatever order the source stores its rows in.
std::int64_t IndexRowOf(const SourceHeader &header, std::int64_t storedRow)
{
    return header.topDown ? header.rows - 1 - storedRow : storedRow;
}

// A stored row as messages count it: from the top of the picture, from 1.
std::int64_t RowFromTop(const SourceHeader &header, std::int64_t storedRow)
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
    IndexStore(Picture &picture, const SourceHeader &header, std::int64_t piece)
        : picture_(picture), header_(header), width_(header.width), piece_(size_t(piece))
    {
        picture_.heldAsNibbles = true;
        picture_.pixelIndexData = PixelBuffer(header.rows * picture_.heldRowBytes());
    }

    // Room for at most one piece of indexes of stored row `row` from `column` on.
    std::uint8_t *room(std::int64_t row, std::int64_t column)
    {
        return picture_.heldAsNibbles ? piece_.data() : heldRow(row) + column;
    }

    // Keeps the `count` indexes written to room(); `column` is even unless the
    // piece ends the row.
    void keep(std::int64_t row, std::int64_t column, std::int64_t count)
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
    std::uint8_t *heldRow(std::int64_t row) { return picture_.pixelIndexData.data() + IndexRowOf(header_, row) * picture_.heldRowBytes(); }

    // The rows before `row`, and `row` up to `column`, unpacked into bytes.
    void turnIntoBytes(std::int64_t row, std::int64_t column)
    {
        PixelBuffer bytes(header_.rows * width_);
        for (std::int64_t done = 0; done <= row; ++done) {
            const std::int64_t at = IndexRowOf(header_, done);
            UnpackNibbles(heldRow(done), done < row ? width_ : column, bytes.data() + at * width_);
        }
        picture_.pixelIndexData = std::move(bytes);
        picture_.heldAsNibbles = false;
    }

    Picture &picture_;
    const SourceHeader &header_;
    std::int64_t width_;
    std::vector<std::uint8_t> piece_;
};

// Indexes `count` pixels of a stored row from `column` on.
Problem IndexPixels(ChunkReader &reader, ColourTable &table, const SourceHeader &header, std::int64_t storedRow,
                    std::int64_t column, std::int64_t count, IndexStore &store, Picture &picture)
{
    const std::uint8_t *pixels = reader.take(3 * count);
    if (!pixels)
        return {reader.failure()};
    const std::int64_t done = table.index(pixels, count, store.room(storedRow, column), picture);
    if (done < count)
        return {Failure::TooManyColours, RowFromTop(header, storedRow), column + done + 1};
    store.keep(storedRow, column, count);
    return {};
}

// Once the user has asked to stop, reading ends at the next pixel: the first
// pixel of the next row. Its colour is still tested first, so a 257th colour
// there is reported rather than the stop.
Problem TestFirstPixelThenAbort(ChunkReader &reader, ColourTable &table, const SourceHeader &header, std::int64_t storedRow,
                                IndexStore &store, Picture &picture)
{
    if (Problem problem = IndexPixels(reader, table, header, storedRow, 0, 1, store, picture))
        return problem;
    return {Failure::Aborted};
}

} // namespace

Problem IndexColours(ByteSource &source, const SourceHeader &header, Picture &picture, ConversionHost &host)
{
    const std::int64_t width = header.width;
    const std::int64_t rows = header.rows;

    picture = Picture{};
    picture.width = header.width;
    picture.height = std::int32_t(rows);
    if (rows == 0 || width == 0) {
        picture.pixelIndexData = PixelBuffer(0);
        return rows == 0 ? Problem{} : PassEmptyRows(rows, host, Step::Reading, true);
    }
    if (!source.seek(header.pixelDataOffset))
        return {Failure::CannotOpen};

    ColourTable table;
    // Never more than the pixels take, so a small picture costs little memory.
    // The size comes from the checked header, not from the file, which another
    // program may be cutting short right now.
    const std::int64_t pixelBytes = (rows - 1) * bmp::sourceRowBytes(width) + 3 * width;
    ChunkReader reader(source, std::min(3 * kChunkPixels, pixelBytes), pixelBytes);
    IndexStore store(picture, header, std::min(width, kChunkPixels));
    RowProgress progress(rows, host, Step::Reading);

    for (std::int64_t row = 0; row < rows; ++row) {
        // The request can only change while the host yields, so reading it once
        // per row is the same as reading it after every pixel.
        if (host.abortRequested())
            return TestFirstPixelThenAbort(reader, table, header, row, store, picture);
        for (std::int64_t column = 0; column < width; column += kChunkPixels) {
            const std::int64_t count = std::min(width - column, kChunkPixels);
            if (Problem problem = IndexPixels(reader, table, header, row, column, count, store, picture))
                return problem;
        }
        reader.skip(bmp::rowPadding(3 * width));

        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    return {};
}

} // namespace bmp24to8
