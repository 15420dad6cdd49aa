// The conversion engine as a program that runs it sees it: everything a host
// needs, and nothing of how the engine works inside (engine/ keeps that).
//
// One 24-bit Windows bitmap is turned, losslessly, into its palettized form:
//
//   source (a ByteSource) -> Prepare: header checks, colour indexing, palette
//     placement, four-bit packing -> a Prepared picture
//   Prepared -> WritePicture: the output's bytes, part after part, to wherever
//     the host puts them (a file written atomically, standard output, memory)
//
// Every failure comes back as a value, a Problem; FailureLine turns it into the
// one error-list line the user sees. The engine reads its options from the
// host at the moments its steps begin, shows its progress through the host and
// yields to it after every row, so a host may let the user change options or
// stop a run while it goes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace bmp24to8 {

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

// The step's name: "reading", "reordering", "packing".
std::string_view StepName(Step step);
// "38 %".
std::string PercentText(int percent);
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

// Why a file was not converted.
enum class Failure {
    None,
    CannotOpen,              // the source cannot be opened or read
    NotBmp,                  // no "BM" signature, or fewer than 2 bytes
    HeaderSizeMismatch,      // information header size is not 40 (nor 108 or 124 where those are accepted)
    NotTwentyFourBit,        // bits per pixel is not 24
    Truncated,               // the file ends before a header field or a pixel it needs
    Compressed,              // compression field is not 0
    ColourSpaceWouldBeLost,  // a newer header's colour profile or colour space other than sRGB
    InvalidDimensions,       // negative width, impossible height, or an output over 2 GiB
    BadPixelDataOffset,      // pixel data offset inside the header or past the end
    TooManyColours,          // a 257th distinct colour
    Aborted,                 // the user pressed Abort
    TryDifferentOptimization,// the chosen palette placement cannot be made
    CannotWrite,             // the destination cannot be created or written
    NotEnoughMemory,         // the picture's pixels do not fit in the memory the process may use
    DuplicateDestination,    // an earlier file of the same run writes the same destination
    Interrupted,             // the program is ending; nothing is reported
};

// A failure with, for too many colours, where the first colour that did not fit
// stands: its row counted from the top of the picture and its column from the
// left, both from 1; where the system said why (a file that could not be
// written), its words for it; and for a refused header, its size.
struct Problem
{
    Problem() = default;
    Problem(Failure failure, std::int64_t row = 0, std::int64_t column = 0, std::string reason = {},
            std::int64_t headerSize = 0)
        : failure(failure), row(row), column(column), reason(std::move(reason)), headerSize(headerSize) {}

    Failure failure = Failure::None;
    std::int64_t row = 0;
    std::int64_t column = 0;
    std::string reason;
    std::int64_t headerSize = 0;

    explicit operator bool() const { return failure != Failure::None; }
};

// The error-list line for a problem; empty for Failure::None and
// Failure::Interrupted. Lines are UTF-8; the names are put in as they are
// given. A reason follows the line in parentheses:
// "Cannot write file - out/a.bmp (No space left on device)".
std::string FailureLine(const Problem &problem, const std::string &sourcePath, const std::string &destinationPath);

// The system's words for an error, as a reason: without the full stop and
// line break that some systems end them with.
std::string ReasonOf(const std::error_code &error);

// Where the engine reads a source picture from: a file, standard input held in
// memory, or a test's bytes. The engine reads in chunks and never asks for the
// whole source at once, so a file streams through a small buffer, or through
// the source's own buffers where it lends them.
class ByteSource
{
public:
    virtual ~ByteSource() = default;

    // The bytes the source holds now, or -1 when that cannot be told. Another
    // program may be cutting a file short while it is read, so this is asked
    // again where it matters.
    virtual std::int64_t size() = 0;
    // Reads up to `count` bytes at the present position into `to`; returns how
    // many were read, 0 at the end of the source, -1 when reading failed.
    virtual std::int64_t read(char *to, std::int64_t count) = 0;
    // Moves to `offset` from the first byte; false when that cannot be done.
    virtual bool seek(std::int64_t offset) = 0;
    virtual std::int64_t position() = 0;

    // Lends up to `count` bytes from the present position where they already
    // are, without a copy, and moves past them: returns how many (at least one
    // while the source has any), 0 at the end of the source, -1 when reading
    // failed. The bytes stay valid until the next call on the source. The
    // engine reads a picture's pixels this way, asking first for all of them,
    // so that a source that reads ahead knows where to stop. A source that
    // gives kDoesNotLend then is read with read() instead.
    static constexpr std::int64_t kDoesNotLend = -2;
    virtual std::int64_t lend(const char *&bytes, std::int64_t count);
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
    std::int64_t lend(const char *&bytes, std::int64_t count) override;

private:
    std::string_view bytes_;
    std::int64_t position_ = 0;
};

struct Picture;   // the engine's own

// A picture read and made ready to be written.
class Prepared
{
public:
    Prepared();
    ~Prepared();
    Prepared(Prepared &&) noexcept;
    Prepared &operator=(Prepared &&) noexcept;

    // Its distinct colours, and the bits per pixel it is written with (8 or 4).
    int colourCount() const;
    int bitsPerPixel() const;
    // The size of its output file.
    std::int64_t outputBytes() const;
    // Whether the parts of pixel rows that WritePicture hands out (all but
    // the first, the header and palette) stay valid as long as the picture
    // does, rather than only until the next part is asked for.
    bool partsStay() const;

    // The engine's and its tests' view.
    Picture &picture() { return *picture_; }
    const Picture &picture() const { return *picture_; }

private:
    std::unique_ptr<Picture> picture_;
};

// Runs every step but the writing on an open source. No problem when the
// picture is ready to be written; Failure::Interrupted when the program is
// ending. A picture whose pixels do not fit in memory is one refused file
// ("Not enough memory"), not the end of the batch.
Problem PrepareSource(ByteSource &source, Prepared &prepared, ConversionHost &host);
Problem PrepareBytes(std::string_view source, Prepared &prepared, ConversionHost &host);

// For a host that writes a picture once and then drops it: renumbers the rows
// where they are for the palette placement, where that lets them go out as
// they are held, in one part and without a copy.
void RenumberHeldRows(Prepared &prepared);

// Hands the output's bytes of a prepared picture to `write`, part after part,
// through the function it is given (which returns an empty part after the
// last). `write` returns no error when every byte reached its place; when one
// did not, the problem is Failure::CannotWrite with the error's reason. The
// memory the writing needs may be wanting too (Failure::NotEnoughMemory).
using NextPart = std::function<std::string_view()>;
using PartWriter = std::function<std::error_code(const NextPart &nextPart)>;
Problem WritePicture(const Prepared &prepared, const PartWriter &write);

// The whole output file of a prepared picture.
std::string EncodedPicture(const Prepared &prepared);

// The whole conversion in memory: the source's bytes in, the output file's
// bytes out.
Problem ConvertBytes(std::string_view source, std::string &output, ConversionHost &host);

} // namespace bmp24to8
