// Writes the fuzzing seed corpus: small sources of every header and dimension
// case the tests use, valid and forged.
//
//   makeseeds FOLDER
#include "testbmp.h"

#include <QDir>

#include <cstdio>


namespace {

QString folder;
int written = 0;

void seed(const QString &name, const QByteArray &bytes)
{
    WriteFileBytes(QDir(folder).filePath(name + QStringLiteral(".bmp")), bytes);
    ++written;
}

SampleSource colours(int width, int height, int count, bool topDown = false)
{
    return {.width = width, .height = height, .topDown = topDown,
            .pixel = [=](int x, int y) { return DistinctColour((y * width + x) % count, true); }};
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    for (int width = 0; width <= 9; ++width)
        for (int height = 0; height <= 3; ++height)
            seed(QStringLiteral("plain-%1x%2").arg(width).arg(height), MakeSource(colours(width, height, 5)));
    for (int count : {1, 2, 16, 17, 20, 256})
        seed(QStringLiteral("colours-%1").arg(count), MakeSource(colours(17, 17, count)));
    seed(QStringLiteral("colours-257"), MakeSource(colours(20, 13, 257)));
    seed(QStringLiteral("top-down"), MakeSource(colours(5, 4, 9, true)));
    seed(QStringLiteral("offset-60"), MakeSource({.width = 3, .height = 2, .pixelDataOffset = 60}));
    seed(QStringLiteral("no-last-filler"), MakeSource({.width = 3, .height = 2, .omitLastFiller = true}));

    const QByteArray base = MakeSource(colours(3, 2, 4));
    for (int length = 0; length < base.size(); length += 3)
        seed(QStringLiteral("cut-%1").arg(length), base.left(length));
    const auto forged = [&](const char *name, int offset, quint32 value, bool word = false) {
        QByteArray bytes = base;
        word ? PutWord(bytes, offset, quint16(value)) : PutDWord(bytes, offset, value);
        seed(QString::fromLatin1(name), bytes);
    };
    forged("header-12", 14, 12);
    forged("header-124", 14, 124);
    forged("bits-8", 28, 8, true);
    forged("bits-32", 28, 32, true);
    forged("compressed", 30, 1);
    forged("width-negative", 18, 0xFFFFFFFF);
    forged("height-min", 22, 0x80000000);
    forged("width-huge", 18, 0x55555556);
    forged("offset-low", 10, 20);
    forged("offset-high", 10, 0x7FFFFFFF);
    std::printf("%d seeds in %s\n", written, argv[1]);
    return 0;
}
