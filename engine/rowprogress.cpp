#include "rowprogress.h"

#include "conversionhost.h"
#include "rounding.h"

#include <utility>

RowProgress::RowProgress(qint64 rows, ConversionHost &host, QString suffix)
    : rows_(rows), host_(host), suffix_(std::move(suffix))
{
}

bool RowProgress::rowDone(qint64 row)
{
    const int percent = ProgressPercent(row, rows_);
    if (percent != shownPercent_) {
        host_.setProgressText(PercentText(percent) + suffix_);
        shownPercent_ = percent;
    }
    return host_.yield();
}

Problem PassEmptyRows(qint64 rows, ConversionHost &host, const QString &suffix, bool stopOnAbort)
{
    qint64 row = 1;
    while (row <= rows) {
        const int percent = ProgressPercent(row, rows);
        host.setProgressText(PercentText(percent) + suffix);
        if (!host.yield())
            return {Failure::Interrupted};
        if (stopOnAbort && host.abortRequested())
            return {Failure::Aborted};
        // The first row that shows a higher percentage.
        qint64 low = row + 1;
        qint64 high = rows + 1;
        while (low < high) {
            const qint64 middle = low + (high - low) / 2;
            if (ProgressPercent(middle, rows) > percent)
                high = middle;
            else
                low = middle + 1;
        }
        row = low;
    }
    return {};
}
