// Where the engine reads a source picture from: a file, standard input held in
// memory, or a test's bytes. The engine reads in chunks and never asks for the
// whole source at once, so a file streams through a small buffer.
#pragma once

#include <cstdint>
#include <string_view>

class ByteSource
{
public:
    virtual ~ByteSource() = default;

    // The bytes the source holds now. Another program may be cutting a file
    // short while it is read, so this is asked again where it matters.
    virtual std::int64_t size() = 0;
    // Reads up to `count` bytes at the present position into `to`; returns how
    // many were read, 0 at the end of the source, -1 when reading failed.
    virtual std::int64_t read(char *to, std::int64_t count) = 0;
    // Moves to `offset` from the first byte; false when that cannot be done.
    virtual bool seek(std::int64_t offset) = 0;
    virtual std::int64_t position() = 0;
};

// Bytes already in memory; they must outlive the source.
class MemorySource final : public ByteSource
{
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    std::int64_t size() override { return std::int64_t(bytes_.size()); }
    std::int64_t read(char *to, std::int64_t count) override;
    bool seek(std::int64_t offset) override;
    std::int64_t position() override { return position_; }

private:
    std::string_view bytes_;
    std::int64_t position_ = 0;
};
