#include "picture.h"

#include "bmpformat.h"

qint64 Picture::eightBitRowBytes() const
{
    return bmp::eightBitRowBytes(width);
}
