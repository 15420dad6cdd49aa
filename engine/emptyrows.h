// Rows without pixels: a picture of width 0 may claim up to 2^31 - 1 of them.
// There is nothing to read, index or pack in them, so instead of visiting each
// row the progress moves straight to each new percentage, with one yield there.
#pragma once

#include "failure.h"

#include <QString>

class ConversionHost;

// Shows "N %" + suffix for each percentage from the first row's to 100 and
// yields after each. Fails with Interrupted when the program is ending, and,
// when stopOnAbort, with Aborted after a yield in which the user asked to stop.
Problem PassEmptyRows(qint64 rows, ConversionHost &host, const QString &suffix, bool stopOnAbort);
