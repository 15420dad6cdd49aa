// Rounding to the nearest integer with exact halves going to the even
// neighbour, on exact quotients (no floating point), and the progress texts
// built on it.
#pragma once

#include <cstdint>
#include <string>

// numerator / denominator rounded half to even; both non-negative, denominator > 0.
std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator);

// "38 %" after row 3 of 8; the percentage is 100 x row / rows, rounded half to even.
int ProgressPercent(std::int64_t row, std::int64_t rows);
std::string PercentText(int percent);
