#include "picture.h"

#include "platform.h"

#include <cstring>
#include <utility>

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
