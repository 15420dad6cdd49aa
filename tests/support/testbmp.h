// Building 24-bit source bitmaps and reading outputs back, for the tests.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

#include <functional>

// One pixel as a source stores it.
struct Bgr
{
    quint8 blue = 0, green = 0, red = 0;
    friend bool operator==(const Bgr &, const Bgr &) = default;
};

// The colour of the pixel at (x, y), y counted from the top of the picture.
using PixelFunction = std::function<Bgr(int x, int y)>;

struct SampleSource
{
    qint32 width = 0;
    qint32 height = 0;              // rows; stored with a negative height when topDown
    bool topDown = false;
    PixelFunction pixel = [](int, int) { return Bgr{}; };
    qint32 pixelDataOffset = 54;    // bytes between the header and this offset are zeros
    bool omitLastFiller = false;    // leave out the filler after the last stored row
};

// A complete 24-bit bitmap file.
QByteArray MakeSource(const SampleSource &sample);

// Patches a little-endian field of a header in place.
void PutDWord(QByteArray &bytes, int offset, quint32 value);
void PutWord(QByteArray &bytes, int offset, quint16 value);

bool WriteFileBytes(const QString &path, const QByteArray &bytes);
QByteArray ReadFileBytes(const QString &path);

// n distinct colours, none of them black unless includeBlack.
Bgr DistinctColour(int n, bool includeBlack = false);

// The picture of an output, decoded by Qt's own reader, compared with the
// source's pixel function; an empty string when every pixel matches, otherwise
// a description of the first mismatch.
QString CompareWithSource(const QString &outputPath, const SampleSource &sample);
