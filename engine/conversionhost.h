// What the conversion engine needs from the program that runs it: the window,
// the command line, the web page's worker, a test or a benchmark. The engine
// reads the options only at the moments its steps begin, so a host may let the
// user change them mid-run.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Where the two darkest palette colours go.
enum class PalettePlacement {
    None,         // nowhere: the palette stays in order of first appearance
    Dos,          // darkest at index 0, second-darkest at 1
    BootScreen,   // darkest at 1, second-darkest at 0
};

// The placements by the names the command line and the web page give them:
// "none", "dos", "boot"; nothing for any other name.
std::optional<PalettePlacement> PlacementNamed(std::string_view name);

// How far a conversion has come: the step it is in and, while rows are read
// or packed, the percentage of them done.
enum class Step { Reading, Reordering, Packing };
struct Progress
{
    Step step = Step::Reading;
    int percent = 0;   // 0 to 100; 0 while reordering
};

// The window's text for a progress: "38 %", "Compatibility", "50 % 4-bit".
std::string ProgressText(const Progress &progress);

class ConversionHost
{
public:
    virtual ~ConversionHost() = default;

    // Whether a picture of at most 16 colours is written with four bits per
    // pixel. Read once per file, after reordering.
    virtual bool fourBitWanted() const = 0;
    // Read twice per file: when the reordering step begins, where None skips
    // the step, and again after the darkest-colour searches, where Dos gives
    // the DOS placement and anything else the boot-screen placement.
    virtual PalettePlacement palettePlacement() const = 0;

    // How far the conversion has come, after each row read or packed (when
    // the percentage changes) and as reordering begins.
    virtual void showProgress(const Progress &progress) = 0;
    // One pass of the host's event loop, after every pixel row read or packed and
    // once while reordering. Returns false when the program is ending: the
    // engine then stops at once, writes nothing and reports nothing.
    virtual bool yield() = 0;
    // The user's stop request. It can only change during yield().
    virtual bool abortRequested() const = 0;

    // Whether a source may carry the newer information header of 108 or 124
    // bytes, when it holds plain sRGB pixels: the command line's option. Read
    // once per file, as its header is read.
    virtual bool newerHeadersAccepted() const { return false; }
};
