// Converting one 24-bit bitmap into its palettized form, losslessly.
//
//   open source -> ReadSourceHeader -> IndexColours -> close source
//     -> ReorderPalette (unless "None.") -> PackFourBit (four-bit on, <= 16 colours)
//     -> WriteOutputBitmap (atomic) -> done
//
// Every failure becomes exactly one error-list entry through the host, the
// files are closed, and the call returns normally, so a batch goes on with the
// next file. A refused file never creates or changes its destination.
#pragma once

#include <QByteArray>
#include <QString>

class ConversionHost;

enum class ConvertOutcome {
    Written,        // the destination holds the converted picture
    Failed,         // one error-list entry was made; the destination is untouched
    Interrupted,    // the program is ending; nothing was written or reported
};

// The destination may be the source itself: the source is closed before the
// output is written.
ConvertOutcome ConvertFile(const QString &sourcePath, const QString &destinationPath, ConversionHost &host);

// The same conversion in memory, for fuzzing: the source's bytes in, the
// output file's bytes out. Failure lines name "<memory>" as the path.
ConvertOutcome ConvertBytes(const QByteArray &source, QByteArray &output, ConversionHost &host);
