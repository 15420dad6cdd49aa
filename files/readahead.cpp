#include "readahead.h"

#include <algorithm>

namespace files {

ReadAhead::ReadAhead(platform::InputFile &file, std::int64_t count) : file_(file), left_(count)
{
    for (Block &block : blocks_)
        block.bytes.resize(size_t(std::min(kBlockBytes, count)));
    reader_ = std::thread([this] { readBlocks(); });
}

ReadAhead::~ReadAhead()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void ReadAhead::readBlocks()
{
    // The program's first thread takes the signals that end it.
    platform::HoldEndingSignals();
    for (int at = 0;; at = (at + 1) % kBlocks) {
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [this] { return stopping_ || filled_ < kBlocks; });
            if (stopping_)
                return;
        }
        // The block is this thread's until it is counted as filled. A block
        // cut short by the end of the file or a failure is handed out as it
        // is, and the next read tells which it was.
        Block &block = blocks_[at];
        const std::int64_t wanted = std::min(left_, std::int64_t(block.bytes.size()));
        std::int64_t size = 0;
        std::int64_t got = 0;
        while (size < wanted && (got = file_.read(block.bytes.data() + size, wanted - size)) > 0)
            size += got;
        left_ -= size;
        {
            std::lock_guard<std::mutex> hold(lock_);
            block.size = size > 0 ? size : got;
            ++filled_;
        }
        changed_.notify_all();
        if (size == 0)
            return;
    }
}

std::int64_t ReadAhead::next(const char *&bytes)
{
    std::unique_lock<std::mutex> hold(lock_);
    if (lending_) {
        lending_ = false;
        first_ = (first_ + 1) % kBlocks;
        --filled_;
        changed_.notify_all();
    }
    changed_.wait(hold, [this] { return filled_ > 0; });
    const Block &block = blocks_[first_];
    if (block.size <= 0)
        return block.size;   // stays: every later call gives the same
    lending_ = true;
    handedOut_ += block.size;
    bytes = block.bytes.data();
    return block.size;
}

} // namespace files
