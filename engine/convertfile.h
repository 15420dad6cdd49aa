// Converting one 24-bit bitmap into its palettized form, losslessly.
//
//   open source -> ReadSourceHeader -> IndexColours -> close source
//     -> ReorderPalette (unless the placement is None)
//     -> PackFourBit (four-bit output wanted, <= 16 colours)
//     -> WriteOutputBitmap (atomic) -> done
//
// Every failure becomes exactly one error-list entry through the host, the
// files are closed, and the call returns normally, so a batch goes on with the
// next file. A refused file never creates or changes its destination.
#pragma once

#include <QByteArray>
#include <QString>

class ConversionHost;
struct Picture;

enum class ConvertOutcome {
    Written,        // the destination holds the converted picture (or, when
                    // preparing, the picture is ready to be written)
    Failed,         // one error-list entry was made; the destination is untouched
    Interrupted,    // the program is ending; nothing was written or reported
};

// The destination may be the source itself: the source is closed before the
// output is written.
ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host);

// The same conversion in memory, for fuzzing: the source's bytes in, the
// output file's bytes out. Failure lines name "<memory>" as the path.
ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host);

// The conversion in its two halves, for callers whose picture comes from
// somewhere else than a file (standard input) or goes somewhere else (standard
// output), or is only checked. Preparing runs every step but the writing;
// `sourceName` is what failure lines call the source.
ConvertOutcome PrepareFile(const QString &sourcePath, Picture &picture, ConversionHost &host);
ConvertOutcome PrepareBytes(const QByteArray &source, const QString &sourceName, Picture &picture, ConversionHost &host);
// Writes a prepared picture atomically; a failure to write names the
// destination, a want of memory the source.
ConvertOutcome WritePicture(const Picture &picture, const QString &sourceName, const QString &destinationPath,
                            ConversionHost &host);
// The whole output file of a prepared picture.
QByteArray EncodedPicture(const Picture &picture);
