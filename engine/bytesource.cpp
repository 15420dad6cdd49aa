#include "bmp24to8/engine.h"

#include <algorithm>
#include <cstring>

namespace bmp24to8 {

std::int64_t ByteSource::lend(const char *&, std::int64_t)
{
    return kDoesNotLend;
}

std::int64_t MemorySource::lend(const char *&bytes, std::int64_t count)
{
    const std::int64_t got = std::clamp<std::int64_t>(size() - position_, 0, count);
    bytes = bytes_.data() + position_;
    position_ += got;
    return got;
}

std::int64_t MemorySource::read(char *to, std::int64_t count)
{
    const std::int64_t got = std::clamp<std::int64_t>(size() - position_, 0, count);
    if (got > 0)
        std::memcpy(to, bytes_.data() + position_, size_t(got));
    position_ += got;
    return got;
}

bool MemorySource::seek(std::int64_t offset)
{
    if (offset < 0 || offset > size())
        return false;
    position_ = offset;
    return true;
}

} // namespace bmp24to8
