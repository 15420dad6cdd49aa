// Rounding to the nearest integer with exact halves going to the even
// neighbour, on exact quotients (no floating point), and the progress texts
// built on it.
#pragma once

#include <QString>

// numerator / denominator rounded half to even; both non-negative, denominator > 0.
qint64 RoundHalfEven(qint64 numerator, qint64 denominator);

// "38 %" after row 3 of 8; the percentage is 100 x row / rows, rounded half to even.
int ProgressPercent(qint64 row, qint64 rows);
QString PercentText(int percent);
