// Reading a large file on a thread of its own, a few blocks ahead of the
// engine, which is lent each block where it was read: the system's copying of
// the file's bytes runs on one processor while the colours are indexed on
// another.
#pragma once

#include "bmp24to8/platform.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace files {

class ReadAhead
{
public:
    // Reads `count` bytes of `file` from its present position on; the file is
    // the reading thread's until this is destroyed.
    ReadAhead(platform::InputFile &file, std::int64_t count);
    ~ReadAhead();
    ReadAhead(const ReadAhead &) = delete;
    ReadAhead &operator=(const ReadAhead &) = delete;

    // The next block, once it is read: how many bytes, 0 after the last of
    // them or at the end of the file, -1 when reading failed. The block lent
    // before goes back to the reading thread.
    std::int64_t next(const char *&bytes);
    // How many bytes were handed out.
    std::int64_t handedOut() const { return handedOut_; }

private:
    static constexpr int kBlocks = 4;
    // Four blocks of 128 KiB: as fast as more or larger ones (two leave the
    // threads waiting for each other), and half a MiB of memory.
    static constexpr std::int64_t kBlockBytes = std::int64_t(128) << 10;

    void readBlocks();

    struct Block
    {
        std::vector<char> bytes;
        std::int64_t size = 0;   // read into it, or the end's 0 or -1
    };

    platform::InputFile &file_;
    std::int64_t left_;
    std::int64_t handedOut_ = 0;
    Block blocks_[kBlocks];
    int first_ = 0;       // the block lent, or next to be
    int filled_ = 0;      // blocks read and not yet given back, the one lent among them
    bool lending_ = false;
    bool stopping_ = false;
    std::mutex lock_;
    std::condition_variable changed_;
    std::thread reader_;
};

} // namespace files
