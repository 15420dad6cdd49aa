// Progress while rows are read or packed: the percentage after each row, and
// one yield to the host per row.
#pragma once

#include "bmp24to8/engine.h"

#include <string>

namespace bmp24to8 {

class ConversionHost;

// Shows the step's percentage after each row, only when it changes, and
// yields once per row.
class RowProgress
{
public:
    RowProgress(std::int64_t rows, ConversionHost &host, Step step);

    // After row `row`, counted from 1; false when the program is ending.
    bool rowDone(std::int64_t row);

private:
    std::int64_t rows_;
    ConversionHost &host_;
    Step step_;
    int shownPercent_ = -1;
};

// Rows without pixels: a picture of width 0 may claim up to 2^31 - 1 of them.
// There is nothing to read, index or pack in them, so instead of visiting each
// row the progress moves straight to each new percentage, with one yield there.

// Shows the step's percentage for each percentage from the first row's to 100
// and yields after each. Fails with Interrupted when the program is ending,
// and, when stopOnAbort, with Aborted after a yield in which the user asked to
// stop.
Problem PassEmptyRows(std::int64_t rows, ConversionHost &host, Step step, bool stopOnAbort);

} // namespace bmp24to8
