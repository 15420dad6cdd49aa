// Converting one 24-bit bitmap into its palettized form, losslessly.
//
//   source -> ReadSourceHeader -> IndexColours -> (the caller closes the source)
//     -> ReorderPalette (unless the placement is None)
//     -> PackFourBit (four-bit output wanted, <= 16 colours)
//     -> the output's bytes, in parts, to wherever the caller puts them
//
// Every failure is returned as a value, a Problem, which the caller turns
// into its one error-list line with FailureLine (failure.h), so that a batch
// goes on with the next file. Opening and writing files is the caller's: the
// engine sees a ByteSource and hands out bytes.
#pragma once

#include "failure.h"

#include <functional>
#include <string>
#include <string_view>
#include <system_error>

class ByteSource;
class ConversionHost;
struct Picture;

// Runs every step but the writing on an open source. No problem when the
// picture is ready to be written; Failure::Interrupted when the program is
// ending. A picture whose pixels do not fit in memory is one refused file
// ("Not enough memory"), not the end of the batch.
Problem PrepareSource(ByteSource &source, Picture &picture, ConversionHost &host);
Problem PrepareBytes(std::string_view source, Picture &picture, ConversionHost &host);

// Hands the output's bytes of a prepared picture to `write`, part after part,
// through the function it is given (which returns an empty part after the
// last). `write` returns no error when every byte reached its place; when one
// did not, the problem is Failure::CannotWrite with the error's reason. The
// memory the writing needs may be wanting too (Failure::NotEnoughMemory).
using NextPart = std::function<std::string_view()>;
using PartWriter = std::function<std::error_code(const NextPart &nextPart)>;
Problem WritePicture(const Picture &picture, const PartWriter &write);

// The whole output file of a prepared picture.
std::string EncodedPicture(const Picture &picture);

// The whole conversion in memory: the source's bytes in, the output file's
// bytes out.
Problem ConvertBytes(std::string_view source, std::string &output, ConversionHost &host);
