// The engine as the web page's worker calls it. One conversion at a time: the
// worker gives a source (read through its own function, in chunks, so that a
// large file never has to be in memory whole) and the options, and then takes
// the output's bytes part by part, or the one error line.
#include "bmp24to8/engine.h"

#include <emscripten.h>

#include <algorithm>
#include <memory>
#include <string>

// Reads up to `count` bytes from `position` of the source into `to` from what
// the worker has read already; returns how many, -1 when the file cannot be
// read, and -2 when those bytes are still to be read (ReadSourceAt reads them).
EM_JS(int, ReadBuffered, (double position, char *to, int count), {
    const bytes = Module['readBuffered'](position, count);
    if (bytes === undefined)
        return -2;
    if (bytes === null)
        return -1;
    HEAPU8.set(bytes, to);
    return bytes.length;
});

// The same, reading the file on: in the browser a file is read asynchronously
// (a stream is several times faster than the synchronous reader), and the
// conversion waits for each large piece without blocking the worker's thread.
EM_ASYNC_JS(int, ReadSourceAt, (double position, char *to, int count), {
    const bytes = await Module['readSource'](position, count);
    if (bytes === null)
        return -1;
    HEAPU8.set(bytes, to);
    return bytes.length;
});

// Whether the page has asked to stop the file being converted.
EM_JS(int, AbortRequested, (), {
    return Module['abortRequested'] ? 1 : 0;
});

// Whether the worker has kept to the conversion long enough that it should
// let the page's messages in (an Abort among them): every 10 ms or so, which
// costs little and answers at once as a person sees it.
EM_JS(int, TimeToYield, (), {
    const now = performance.now();
    if (Module['lastYield'] !== undefined && now - Module['lastYield'] < 10)
        return 0;
    Module['lastYield'] = now;
    return 1;
});

// One turn of the worker's event loop, in which the page's messages arrive.
EM_ASYNC_JS(void, YieldToPage, (), {
    await new Promise(function (resolve) {
        const channel = new MessageChannel();
        channel.port1.onmessage = function () { resolve(); };
        channel.port2.postMessage(null);
    });
});

// Hands the worker one part of the output: where it is, how long, and whether
// it stays there until release() rather than only until the next part.
EM_JS(void, HandPart, (const char *bytes, int size, int stays), {
    Module['onPart'](bytes, size, stays);
});

// Hands the page a progress: its step ("reading", "reordering", "packing"),
// its percentage, and the window's text for it ("38 %", "Compatibility",
// "50 % 4-bit").
EM_JS(void, ShowProgress, (const char *step, int percent, const char *text), {
    Module['onProgress']({ step: UTF8ToString(step), percent: percent, text: UTF8ToString(text) });
});

namespace {

using namespace bmp24to8;

class WorkerSource final : public ByteSource
{
public:
    explicit WorkerSource(std::int64_t size) : size_(size) {}

    std::int64_t size() override { return size_; }
    std::int64_t read(char *to, std::int64_t count) override
    {
        // The worker reads at most 2 GiB at a time; the engine asks for far less.
        const int asked = int(std::min<std::int64_t>(count, 1 << 30));
        int got = ReadBuffered(double(position_), to, asked);
        if (got == -2)
            got = ReadSourceAt(double(position_), to, asked);
        if (got > 0)
            position_ += got;
        return got;
    }
    bool seek(std::int64_t offset) override
    {
        if (offset < 0 || offset > size_)
            return false;
        position_ = offset;
        return true;
    }
    std::int64_t position() override { return position_; }

private:
    std::int64_t size_;
    std::int64_t position_ = 0;
};

// Options fixed for one file; progress goes to the page, which may ask to
// stop while the file is read.
class WorkerHost final : public ConversionHost
{
public:
    WorkerHost(bool fourBit, PalettePlacement placement) : fourBit_(fourBit), placement_(placement) {}

    bool fourBitWanted() const override { return fourBit_; }
    PalettePlacement palettePlacement() const override { return placement_; }
    void showProgress(const Progress &progress) override
    {
        ShowProgress(std::string(StepName(progress.step)).c_str(), progress.percent, ProgressText(progress).c_str());
    }
    bool yield() override
    {
        if (TimeToYield())
            YieldToPage();
        return true;
    }
    bool abortRequested() const override { return AbortRequested() != 0; }

private:
    bool fourBit_;
    PalettePlacement placement_;
};

struct Conversion
{
    Prepared picture;
    std::string errorLine;
};

Conversion conversion;

} // namespace

extern "C" {

// Converts the source of `size` bytes that ReadSourceAt reads; `name` is what
// the error line calls it; `placement` is "none", "dos" or "boot". Returns 1
// when the output is ready, 0 when the file was refused and 2 when the page
// stopped it (error_line() says why).
EMSCRIPTEN_KEEPALIVE int convert(const char *name, double size, int fourBit, const char *placement)
{
    conversion = Conversion{};
    WorkerHost host(fourBit != 0, PlacementNamed(placement).value_or(PalettePlacement::BootScreen));
    WorkerSource source{std::int64_t(size)};
    if (const Problem problem = PrepareSource(source, conversion.picture, host)) {
        conversion.errorLine = FailureLine(problem, name, {});
        return problem.failure == Failure::Aborted ? 2 : 0;
    }
    // The picture is written once, so its rows may be renumbered where they are.
    RenumberHeldRows(conversion.picture);
    return 1;
}

EMSCRIPTEN_KEEPALIVE const char *error_line()
{
    return conversion.errorLine.c_str();
}

// The line of a file that exhausted the engine's memory, asked for before
// the conversion, as the engine cannot be asked after.
EMSCRIPTEN_KEEPALIVE const char *memory_line(const char *name)
{
    static std::string line;
    line = FailureLine({Failure::NotEnoughMemory}, name, {});
    return line.c_str();
}

// Hands the output file of the picture just converted to the worker's
// onPart, part after part.
EMSCRIPTEN_KEEPALIVE void write_parts()
{
    // The rows may stay in the picture's memory; the header and palette,
    // which come first, are the writing's own and go with it.
    const bool rowsStay = conversion.picture.partsStay();
    WritePicture(conversion.picture, [rowsStay](const NextPart &nextPart) {
        bool header = true;
        for (std::string_view part = nextPart(); !part.empty(); part = nextPart(), header = false)
            HandPart(part.data(), int(part.size()), rowsStay && !header ? 1 : 0);
        return std::error_code();
    });
}

// Releases the picture's memory.
EMSCRIPTEN_KEEPALIVE void release()
{
    conversion = Conversion{};
}

// Distinct colours and bits per pixel of the output just converted.
EMSCRIPTEN_KEEPALIVE int colour_count()
{
    return conversion.picture.colourCount();
}

EMSCRIPTEN_KEEPALIVE int bits_per_pixel()
{
    return conversion.picture.bitsPerPixel();
}

} // extern "C"
