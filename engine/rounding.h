// Rounding to the nearest integer with exact halves going to the even
// neighbour, on exact quotients (no floating point), and the progress
// percentages built on it.
#pragma once

#include <cstdint>
#include <string>

namespace bmp24to8 {

// numerator / denominator rounded half to even; both non-negative, denominator > 0.
std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator);

// The percentage after row 3 of 8 (38): 100 x row / rows, rounded half to even.
int ProgressPercent(std::int64_t row, std::int64_t rows);

} // namespace bmp24to8
