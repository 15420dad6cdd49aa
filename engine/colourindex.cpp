#include "colourindex.h"

#include "bmpformat.h"
#include "conversionhost.h"
#include "picture.h"
#include "rounding.h"
#include "sourceheader.h"

#include <QIODevice>

#include <array>
#include <cstring>
#include <vector>

namespace {

// Returns the palette index under which a colour was first stored. An
// open-addressing table of 1024 slots holds at most 256 colours, so probes stay
// short and the table stays in the first-level cache; runs of one colour, common
// in logos and screens, are answered by the last-colour check alone.
class ColourTable
{
public:
    static constexpr quint32 kEmpty = 0xFFFFFFFF;   // colours use only 24 bits

    ColourTable() { keys_.fill(kEmpty); }

    // The index of the colour, or -1 when it has not been stored.
    int find(quint32 colour)
    {
        if (colour == lastColour_)
            return lastIndex_;
        const int slot = slotOf(colour);
        if (keys_[slot] == kEmpty)
            return -1;
        lastColour_ = colour;
        lastIndex_ = indexes_[slot];
        return lastIndex_;
    }

    void insert(quint32 colour, int index)
    {
        const int slot = slotOf(colour);
        keys_[slot] = colour;
        indexes_[slot] = quint8(index);
    }

private:
    static constexpr int kSlots = 1024;

    // The slot holding the colour, or the empty slot where it belongs.
    int slotOf(quint32 colour) const
    {
        int slot = int((colour * 0x9E3779B1u) >> 22);
        while (keys_[slot] != colour && keys_[slot] != kEmpty)
            slot = (slot + 1) & (kSlots - 1);
        return slot;
    }

    std::array<quint32, kSlots> keys_;
    std::array<quint8, kSlots> indexes_{};
    quint32 lastColour_ = kEmpty;
    int lastIndex_ = 0;
};

// Hands out the source's bytes in pieces of at most its capacity, reading the
// device in large blocks.
class ChunkReader
{
public:
    ChunkReader(QIODevice &device, qint64 capacity) : device_(device), buffer_(size_t(capacity)) {}

    // The next n bytes, or nullptr when the device cannot supply them.
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

private:
    bool refill(qint64 n)
    {
        if (pendingSkip_ > 0) {
            if (device_.skip(pendingSkip_) != pendingSkip_)
                return false;
            pendingSkip_ = 0;
        }
        const qint64 kept = end_ - pos_;
        std::memmove(buffer_.data(), buffer_.data() + pos_, size_t(kept));
        pos_ = 0;
        end_ = kept;
        while (end_ < n) {
            const qint64 got = device_.read(reinterpret_cast<char *>(buffer_.data()) + end_,
                                            qint64(buffer_.size()) - end_);
            if (got <= 0)
                return false;
            end_ += got;
        }
        return true;
    }

    QIODevice &device_;
    std::vector<uchar> buffer_;
    qint64 pos_ = 0;
    qint64 end_ = 0;
    qint64 pendingSkip_ = 0;
};

constexpr qint64 kChunkPixels = 1 << 18;   // 768 KiB of source bytes at a time

} // namespace

Problem IndexColours(QIODevice &source, const SourceHeader &header, Picture &picture, ConversionHost &host)
{
    const qint64 width = header.width;
    const qint64 rows = header.rows;
    const qint64 indexRowBytes = bmp::eightBitRowBytes(width);

    picture = Picture{};
    picture.width = header.width;
    picture.height = qint32(rows);
    picture.pixelIndexData = QByteArray(rows * indexRowBytes, '\0');
    if (rows == 0)
        return {};
    if (!source.seek(header.pixelDataOffset))
        return {Failure::CannotOpen};

    ColourTable table;
    // Never more than the rest of the file, so a small picture costs little memory.
    ChunkReader reader(source, qMin(3 * kChunkPixels, source.size() - header.pixelDataOffset));
    auto *indexData = reinterpret_cast<uchar *>(picture.pixelIndexData.data());
    int shownPercent = -1;
    // The request can only change while the host yields, so reading it once per
    // row is the same as reading it after every pixel.
    bool abortSeen = host.abortRequested();

    for (qint64 row = 0; row < rows; ++row) {
        // The index data is bottom-up, whatever order the source stores its rows in.
        uchar *indexRow = indexData + (header.topDown ? rows - 1 - row : row) * indexRowBytes;
        for (qint64 column = 0; column < width;) {
            const qint64 count = qMin(width - column, kChunkPixels);
            const uchar *pixel = reader.take(3 * count);
            if (!pixel)
                return {Failure::CannotOpen};
            for (qint64 i = 0; i < count; ++i, pixel += 3) {
                const quint32 colour = quint32(pixel[0]) | quint32(pixel[1]) << 8 | quint32(pixel[2]) << 16;
                int index = table.find(colour);
                if (index < 0) {
                    if (picture.colourCount == bmp::kMaxColours) {
                        const qint64 rowFromTop = header.topDown ? row + 1 : rows - row;
                        return {Failure::TooManyColours, rowFromTop, column + i + 1};
                    }
                    index = picture.colourCount++;
                    picture.palette[index] = {pixel[0], pixel[1], pixel[2]};
                    table.insert(colour, index);
                }
                indexRow[column + i] = uchar(index);
                if (abortSeen)
                    return {Failure::Aborted};
            }
            column += count;
        }
        reader.skip(bmp::rowPadding(3 * width));

        const int percent = ProgressPercent(row + 1, rows);
        if (percent != shownPercent) {
            host.setProgressText(PercentText(percent));
            shownPercent = percent;
        }
        if (!host.yield())
            return {Failure::Interrupted};
        abortSeen = host.abortRequested();
    }
    return {};
}
