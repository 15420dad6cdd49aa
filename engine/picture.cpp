#include "picture.h"

#include "platform.h"

#include <array>
#include <cstring>
#include <utility>

namespace {

// Only indexes 0, 1, toIndex1 and toIndex0 can change. Each of them is a value
// with the bits that flip in it, so that renumbering is four compares and a
// few logical operations per byte, which the compiler does for many bytes at
// once; everything is copied out of the exchange first, since the bytes
// written could otherwise be its own as far as the compiler knows.
struct Flips
{
    std::array<uchar, 4> values;
    std::array<uchar, 4> bits;

    explicit Flips(const IndexExchange &exchange)
        : values{0, 1, exchange.toIndex1, exchange.toIndex0}
    {
        for (size_t k = 0; k < values.size(); ++k)
            bits[k] = values[k] ^ exchange(values[k]);
    }

    uchar operator()(uchar x) const
    {
        uchar flip = 0;
        for (size_t k = 0; k < values.size(); ++k)
            flip |= x == values[k] ? bits[k] : uchar(0);
        return x ^ flip;
    }
};

} // namespace

// Where the processor has them, twice as many bytes per instruction: the
// system's loader picks the version when the program starts. (Clang 14 does
// not emit such functions reliably, so it builds the one version.)
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define BMP24TO8_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define BMP24TO8_WIDE_VECTORS
#endif

BMP24TO8_WIDE_VECTORS
void IndexExchange::applyToBytes(const uchar *from, uchar *to, qint64 count) const
{
    const Flips flips(*this);
    for (qint64 i = 0; i < count; ++i)
        to[i] = flips(from[i]);
}

BMP24TO8_WIDE_VECTORS
void IndexExchange::applyToNibbles(const uchar *from, uchar *to, qint64 count) const
{
    const Flips flips(*this);
    for (qint64 i = 0; i < count; ++i)
        to[i] = uchar(flips(uchar(from[i] >> 4)) << 4 | flips(uchar(from[i] & 0x0F)));
}

PixelBuffer::PixelBuffer(qint64 size)
    : data_(static_cast<uchar *>(platform::AllocateLarge(size))), size_(size)
{
}

PixelBuffer::PixelBuffer(const PixelBuffer &other) : PixelBuffer(other.size_)
{
    if (size_ > 0)
        std::memcpy(data_, other.data_, size_t(size_));
}

PixelBuffer::PixelBuffer(PixelBuffer &&other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0))
{
}

PixelBuffer &PixelBuffer::operator=(PixelBuffer other) noexcept
{
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    return *this;
}

PixelBuffer::~PixelBuffer()
{
    platform::FreeLarge(data_);
}
