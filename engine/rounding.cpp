#include "rounding.h"

qint64 RoundHalfEven(qint64 numerator, qint64 denominator)
{
    const qint64 quotient = numerator / denominator;
    const qint64 twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

int ProgressPercent(qint64 row, qint64 rows)
{
    return int(RoundHalfEven(100 * row, rows));
}

QString PercentText(int percent)
{
    return QString::number(percent) + QStringLiteral(" %");
}
