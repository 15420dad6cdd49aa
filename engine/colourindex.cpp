#include "colourindex.h"

#include "bmpformat.h"
#include "conversionhost.h"
#include "picture.h"
#include "rowprogress.h"
#include "sourceheader.h"

#include <QIODevice>
#include <QtEndian>

#include <array>
#include <cstring>
#include <vector>

namespace {

// Gives every colour the palette index under which it was first stored. An
// open-addressing table of 4096 slots, 16 KiB, holds at most 256 colours: it
// stays in the first-level cache, nearly every colour sits in its home slot,
// and a lookup is one multiply, one load and one well-predicted test, the same
// for a 256-colour picture as for a 2-colour one.
class ColourTable
{
public:
    ColourTable()
    {
        for (size_t at = 0; at < slots_.size(); ++at)
            slots_[at] = emptySlot(at);
    }

    // Indexes `count` pixels of 3 bytes each into `out`, adding new colours to
    // the palette. Stops at the first colour beyond 256 and returns its
    // position; returns count when all fit. One byte past the last pixel must
    // be readable: pixels are loaded 4 bytes at a time.
    qint64 index(const uchar *pixels, qint64 count, uchar *out, Picture &picture)
    {
        for (qint64 i = 0; i < count;) {
            // Runs of one colour, common in logos and screens, go four pixels at
            // a time: the next 12 bytes repeat the previous pixel exactly when
            // each byte equals the one 3 bytes before it.
            if (i > 0 && count - i >= 4 && load<quint64>(pixels) == load<quint64>(pixels - 3)
                && load<quint32>(pixels + 8) == load<quint32>(pixels + 5)) {
                std::memset(out + i, out[i - 1], 4);
                i += 4;
                pixels += 12;
                continue;
            }
            const quint32 bgr = qFromLittleEndian(load<quint32>(pixels)) & 0xFFFFFF;   // blue in the low byte
            const quint32 slot = slots_[home(bgr)];
            if (Q_LIKELY(slot >> 8 == bgr)) {
                out[i] = uchar(slot);
            } else {
                const int index = lookUpOrAdd(bgr, picture);
                if (index < 0)
                    return i;
                out[i] = uchar(index);
            }
            ++i;
            pixels += 3;
        }
        return count;
    }

private:
    template <typename T>
    static T load(const uchar *bytes)
    {
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }

    static constexpr int kBits = 12;   // a slot holds colour << 8 | palette index

    static size_t home(quint32 bgr) { return (bgr * 0x9E3779B1u) >> (32 - kBits); }

    // An unused slot holds a colour whose home is elsewhere, so the fast test
    // can never match it: black, whose home is slot 0, or white in slot 0.
    // Whether a slot is used is kept apart, since a stored colour may look the same.
    static quint32 emptySlot(size_t at)
    {
        static_assert((0xFFFFFFu * 0x9E3779B1u) >> (32 - kBits) != 0, "white must not be homed at slot 0");
        return at == 0 ? 0xFFFFFFu << 8 : 0;
    }

    // The slow path: a colour away from its home slot, or a new one, stored
    // when the palette has room; -1 when it has none.
    int lookUpOrAdd(quint32 bgr, Picture &picture)
    {
        size_t at = home(bgr);
        for (; used_[at]; at = (at + 1) & (slots_.size() - 1)) {
            if (slots_[at] >> 8 == bgr)
                return int(slots_[at] & 0xFF);
        }
        if (picture.colourCount == bmp::kMaxColours)
            return -1;
        const int index = picture.colourCount++;
        picture.palette[size_t(index)] = {quint8(bgr), quint8(bgr >> 8), quint8(bgr >> 16)};
        slots_[at] = bgr << 8 | quint32(index);
        used_[at] = true;
        return index;
    }

    std::array<quint32, 1 << kBits> slots_;
    std::array<bool, 1 << kBits> used_{};
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

constexpr qint64 kChunkPixels = 1 << 18;   // 768 KiB of source bytes at a time

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

// Indexes `count` pixels of a stored row from `column` on.
Problem IndexPixels(ChunkReader &reader, ColourTable &table, const SourceHeader &header, qint64 storedRow,
                    qint64 column, qint64 count, uchar *indexRow, Picture &picture)
{
    const uchar *pixels = reader.take(3 * count);
    if (!pixels)
        return {reader.failure()};
    const qint64 done = table.index(pixels, count, indexRow + column, picture);
    if (done < count)
        return {Failure::TooManyColours, RowFromTop(header, storedRow), column + done + 1};
    return {};
}

// Once the user has asked to stop, reading ends at the next pixel: the first
// pixel of the next row. Its colour is still tested first, so a 257th colour
// there is reported rather than the stop.
Problem TestFirstPixelThenAbort(ChunkReader &reader, ColourTable &table, const SourceHeader &header, qint64 storedRow,
                                uchar *indexRow, Picture &picture)
{
    if (Problem problem = IndexPixels(reader, table, header, storedRow, 0, 1, indexRow, picture))
        return problem;
    return {Failure::Aborted};
}

} // namespace

Problem IndexColours(QIODevice &source, const SourceHeader &header, Picture &picture, ConversionHost &host)
{
    const qint64 width = header.width;
    const qint64 rows = header.rows;
    const qint64 indexRowBytes = bmp::eightBitRowBytes(width);

    picture = Picture{};
    picture.width = header.width;
    picture.height = qint32(rows);
    // Every byte is written below, padding included.
    picture.pixelIndexData = QByteArray(rows * indexRowBytes, Qt::Uninitialized);
    if (rows == 0)
        return {};
    if (width == 0)
        return PassEmptyRows(rows, host, QString(), true);
    if (!source.seek(header.pixelDataOffset))
        return {Failure::CannotOpen};

    ColourTable table;
    // Never more than the pixels take, so a small picture costs little memory.
    // The size comes from the checked header, not from the file, which another
    // program may be cutting short right now.
    const qint64 pixelBytes = (rows - 1) * bmp::sourceRowBytes(width) + 3 * width;
    ChunkReader reader(source, qMin(3 * kChunkPixels, pixelBytes));
    auto *indexData = reinterpret_cast<uchar *>(picture.pixelIndexData.data());
    RowProgress progress(rows, host);

    for (qint64 row = 0; row < rows; ++row) {
        uchar *indexRow = indexData + IndexRowOf(header, row) * indexRowBytes;
        // The request can only change while the host yields, so reading it once
        // per row is the same as reading it after every pixel.
        if (host.abortRequested())
            return TestFirstPixelThenAbort(reader, table, header, row, indexRow, picture);
        for (qint64 column = 0; column < width; column += kChunkPixels) {
            const qint64 count = qMin(width - column, kChunkPixels);
            if (Problem problem = IndexPixels(reader, table, header, row, column, count, indexRow, picture))
                return problem;
        }
        std::memset(indexRow + width, 0, size_t(indexRowBytes - width));
        reader.skip(bmp::rowPadding(3 * width));

        if (!progress.rowDone(row + 1))
            return {Failure::Interrupted};
    }
    return {};
}
