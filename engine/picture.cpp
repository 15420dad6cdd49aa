#include "picture.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace bmp24to8 {

namespace {

// Memory for a picture's indexes, at least one byte, backed by huge pages
// where the system offers them: a large picture then costs a few dozen page
// faults instead of thousands. Elsewhere (other systems, a web page) it is
// ordinary memory.
std::uint8_t *AllocateLarge(std::int64_t bytes)
{
    void *memory = nullptr;
#ifdef MADV_HUGEPAGE
    constexpr std::int64_t kHugePage = 2 * 1024 * 1024;
    if (bytes >= kHugePage) {
        // Whole huge pages from their first byte; the unused end is never touched.
        const std::int64_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        memory = std::aligned_alloc(size_t(kHugePage), size_t(rounded));
        if (memory)
            madvise(memory, size_t(rounded), MADV_HUGEPAGE);
    } else
#endif
    {
        memory = std::malloc(size_t(std::max<std::int64_t>(bytes, 1)));
    }
    if (!memory)
        throw std::bad_alloc();
    return static_cast<std::uint8_t *>(memory);
}

// Only indexes 0, 1, toIndex1 and toIndex0 can change. Each of them is a value
// with the bits that flip in it, so that renumbering is four compares and a
// few logical operations per byte, which the compiler does for many bytes at
// once; everything is copied out of the exchange first, since the bytes
// written could otherwise be its own as far as the compiler knows.
struct Flips
{
    std::array<std::uint8_t, 4> values;
    std::array<std::uint8_t, 4> bits;

    explicit Flips(const IndexExchange &exchange)
        : values{0, 1, exchange.toIndex1, exchange.toIndex0}
    {
        for (size_t k = 0; k < values.size(); ++k)
            bits[k] = values[k] ^ exchange(values[k]);
    }

    std::uint8_t operator()(std::uint8_t x) const
    {
        std::uint8_t flip = 0;
        for (size_t k = 0; k < values.size(); ++k)
            flip |= x == values[k] ? bits[k] : std::uint8_t(0);
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
void IndexExchange::applyToBytes(const std::uint8_t *from, std::uint8_t *to, std::int64_t count) const
{
    const Flips flips(*this);
    for (std::int64_t i = 0; i < count; ++i)
        to[i] = flips(from[i]);
}

BMP24TO8_WIDE_VECTORS
void IndexExchange::applyToNibbles(const std::uint8_t *from, std::uint8_t *to, std::int64_t count) const
{
    const Flips flips(*this);
    for (std::int64_t i = 0; i < count; ++i)
        to[i] = std::uint8_t(flips(std::uint8_t(from[i] >> 4)) << 4 | flips(std::uint8_t(from[i] & 0x0F)));
}

PixelBuffer::PixelBuffer(std::int64_t size)
    : data_(AllocateLarge(size)), size_(size)
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
    std::free(data_);
}

} // namespace bmp24to8
