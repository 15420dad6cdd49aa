// Converting one 24-bit bitmap into its palettized form, losslessly.
//
//   source -> ReadSourceHeader -> IndexColours -> (the caller closes the source)
//     -> ReorderPalette (unless the placement is None)
//     -> PackFourBit (four-bit output wanted, <= 16 colours)
//     -> the output's bytes, in parts, to wherever the caller puts them
//
// Every failure becomes exactly one error-list entry through the host and the
// call returns normally, so a batch goes on with the next file. Opening and
// writing files is the caller's: the engine sees a ByteSource and hands out
// bytes.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <system_error>

class ByteSource;
class ConversionHost;
struct Picture;
struct Problem;

enum class ConvertOutcome {
    Prepared,       // the picture is ready to be written (preparing only)
    Written,        // the destination holds the converted picture
    Failed,         // one error-list entry was made; the destination is untouched
    Interrupted,    // the program is ending; nothing was written or reported
};

// Runs every step but the writing on an open source; `sourceName` is what
// failure lines call it. A picture whose pixels do not fit in memory is one
// refused file ("Not enough memory"), not the end of the batch.
//
// Names are taken by value: the engine keeps copies of its own, since a host
// may change its own strings while it yields.
ConvertOutcome PrepareSource(ByteSource &source, std::string sourceName, Picture &picture, ConversionHost &host);
ConvertOutcome PrepareBytes(std::string_view source, std::string sourceName, Picture &picture,
                            ConversionHost &host);

// Hands the output's bytes of a prepared picture to `write`, part after part,
// through the function it is given (which returns an empty part after the
// last). `write` returns no error when every byte reached its place; when one
// did not, the failure line names `destinationName` and the error's reason.
// A want of memory names the source.
using NextPart = std::function<std::string_view()>;
using PartWriter = std::function<std::error_code(const NextPart &nextPart)>;
ConvertOutcome WritePicture(const Picture &picture, std::string sourceName, std::string destinationName,
                            const PartWriter &write, ConversionHost &host);

// The whole output file of a prepared picture.
std::string EncodedPicture(const Picture &picture);

// The whole conversion in memory: the source's bytes in, the output file's
// bytes out. Failure lines name "<memory>" as the path.
ConvertOutcome ConvertBytes(std::string_view source, std::string &output, ConversionHost &host);

// Reports a problem (a failure, never Failure::None) through the host as its
// one error-list line; for callers whose own steps fail (a source that cannot
// be opened). Returns Failed, or Interrupted, which reports nothing.
ConvertOutcome Report(const Problem &problem, const std::string &sourceName, const std::string &destinationName,
                      ConversionHost &host);
