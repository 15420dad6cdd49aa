#include "rowprogress.h"

#include "bmp24to8/engine.h"
#include "rounding.h"

#include <utility>

namespace bmp24to8 {

RowProgress::RowProgress(std::int64_t rows, ConversionHost &host, Step step) : rows_(rows), host_(host), step_(step)
{
}

bool RowProgress::rowDone(std::int64_t row)
{
    const int percent = ProgressPercent(row, rows_);
    if (percent != shownPercent_) {
        host_.showProgress({step_, percent});
        shownPercent_ = percent;
    }
    return host_.yield();
}

Problem PassEmptyRows(std::int64_t rows, ConversionHost &host, Step step, bool stopOnAbort)
{
    std::int64_t row = 1;
    while (row <= rows) {
        const int percent = ProgressPercent(row, rows);
        host.showProgress({step, percent});
        if (!host.yield())
            return {Failure::Interrupted};
        if (stopOnAbort && host.abortRequested())
            return {Failure::Aborted};
        // The first row that shows a higher percentage.
        std::int64_t low = row + 1;
        std::int64_t high = rows + 1;
        while (low < high) {
            const std::int64_t middle = low + (high - low) / 2;
            if (ProgressPercent(middle, rows) > percent)
                high = middle;
            else
                low = middle + 1;
        }
        row = low;
    }
    return {};
}

} // namespace bmp24to8
