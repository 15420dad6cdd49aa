#include "testbmp.h"

#include <QFile>

QByteArray MakeSource(const SampleSource &sample)
{
    const qint64 rowBytes = (3 * qint64(sample.width) + 3) / 4 * 4;
    const qint64 offset = sample.pixelDataOffset;
    QByteArray bytes(offset + rowBytes * sample.height, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    PutDWord(bytes, 2, quint32(bytes.size()));
    PutDWord(bytes, 10, quint32(offset));
    PutDWord(bytes, 14, 40);
    PutDWord(bytes, 18, quint32(sample.width));
    PutDWord(bytes, 22, quint32(sample.topDown ? -sample.height : sample.height));
    PutWord(bytes, 26, 1);
    PutWord(bytes, 28, 24);
    PutDWord(bytes, 34, quint32(rowBytes * sample.height));
    PutDWord(bytes, 38, 2835);
    PutDWord(bytes, 42, 2835);
    for (int stored = 0; stored < sample.height; ++stored) {
        const int y = sample.topDown ? stored : sample.height - 1 - stored;
        char *row = bytes.data() + offset + stored * rowBytes;
        for (int x = 0; x < sample.width; ++x) {
            const Bgr c = sample.pixel(x, y);
            row[3 * x] = char(c.blue);
            row[3 * x + 1] = char(c.green);
            row[3 * x + 2] = char(c.red);
        }
    }
    if (sample.omitLastFiller && sample.height > 0)
        bytes.chop(rowBytes - 3 * qint64(sample.width));
    return bytes;
}

void PutDWord(QByteArray &bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

void PutWord(QByteArray &bytes, int offset, quint16 value)
{
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

bool WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Bgr DistinctColour(int n, bool includeBlack)
{
    const int v = includeBlack ? n : n + 1;
    return Bgr{quint8(v * 37), quint8(v), quint8(v >> 8)};
}

QString CompareWithSource(const QString &outputPath, const SampleSource &sample)
{
    QImage image;
    if (!image.load(outputPath, "BMP"))
        return QStringLiteral("Qt cannot decode %1").arg(outputPath);
    if (image.width() != sample.width || image.height() != sample.height)
        return QStringLiteral("decoded size %1x%2").arg(image.width()).arg(image.height());
    for (int y = 0; y < sample.height; ++y) {
        for (int x = 0; x < sample.width; ++x) {
            const Bgr want = sample.pixel(x, y);
            const QRgb got = image.pixel(x, y);
            if (qRed(got) != want.red || qGreen(got) != want.green || qBlue(got) != want.blue)
                return QStringLiteral("pixel (%1, %2) decodes to #%3").arg(x).arg(y).arg(got & 0xFFFFFF, 6, 16, QLatin1Char('0'));
        }
    }
    return {};
}
