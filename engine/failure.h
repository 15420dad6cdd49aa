// Why a file was not converted. Each step of the conversion names its failure as
// a value; Report (convert.h) turns it into the one error-list line the user
// sees, with FailureLine below, the one place where those lines are written.
#pragma once

#include <cstdint>
#include <string>
#include <system_error>
#include <utility>

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
// left, both from 1; and, where the system said why (a file that could not be
// written), its words for it.
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
    std::int64_t headerSize = 0;   // the information header's size, when it was refused

    explicit operator bool() const { return failure != Failure::None; }
};

// The error-list line for a problem; empty for Failure::None and Failure::Interrupted.
// Lines are UTF-8; the names are put in as they are given. A reason follows
// the line in parentheses: "Cannot write file - out/a.bmp (No space left on device)".
std::string FailureLine(const Problem &problem, const std::string &sourcePath, const std::string &destinationPath);

// The system's words for an error, as a reason: without the full stop and
// line break that some systems end them with.
std::string ReasonOf(const std::error_code &error);
