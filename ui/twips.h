// Control geometry is laid out in twips (1/1440 inch), 15 to a pixel at 96 dots
// per inch. Qt's device-independent pixels keep that scale on high-DPI screens.
#pragma once

#include <QRect>

constexpr int Twips(int twips)
{
    return twips / 15;
}

constexpr QRect TwipsRect(int left, int top, int width, int height)
{
    return QRect(Twips(left), Twips(top), Twips(width), Twips(height));
}
