// Writing the palettized output bitmap.
//
// Takes the finished picture: 8 bits per pixel with 256 palette entries, or 4
// bits with 16 entries when four-bit packing has run. The file is written
// atomically: it appears complete under its name or not at all, and a failed
// write leaves an existing destination exactly as it was.
#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>

struct Picture;

// The 54 header bytes followed by the palette (1024 or 64 bytes).
QByteArray OutputHeaderAndPalette(const Picture &picture);

// The output's pixel rows as the file format wants them, renumbered by the
// palette placement, unpacked for 8-bit output and padded, handed out in parts
// of about 128 KiB that stay in the cache (or, when the rows go out as they are
// held, all at once), so that no second copy of a large picture is ever made.
class PixelRows
{
public:
    explicit PixelRows(const Picture &picture);
    // The next part; empty after the last row.
    QByteArrayView next();

private:
    // The rows go out as they are held: no padding, nothing to unpack or renumber.
    bool rowsAsHeld() const;

    static constexpr qint64 kPartBytes = 128 * 1024;
    const Picture &picture_;
    qint64 heldRow_;
    qint64 storedRow_;
    qint64 row_ = 0;
    QByteArray buffer_;
};

// Fails with CannotWrite when the destination cannot be created or written
// (missing folder, read-only file, full disk, a device or pipe in its place);
// the destination is then exactly as it was.
Problem WriteOutputBitmap(const Picture &picture, const QString &destinationPath);
