#include "rounding.h"

#include "bmp24to8/engine.h"

namespace bmp24to8 {

std::int64_t RoundHalfEven(std::int64_t numerator, std::int64_t denominator)
{
    const std::int64_t quotient = numerator / denominator;
    const std::int64_t twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

int ProgressPercent(std::int64_t row, std::int64_t rows)
{
    return int(RoundHalfEven(100 * row, rows));
}

std::string PercentText(int percent)
{
    return std::to_string(percent) + " %";
}

} // namespace bmp24to8
