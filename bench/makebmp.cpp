// Writes seeded 24-bit test pictures for the benchmarks.
//
//   makebmp WIDTH HEIGHT COLOURS flat|noisy SEED OUTPUT
//
// "flat" pictures are long horizontal runs of one colour (logos, boot screens);
// "noisy" ones draw every pixel at random from the palette. Rows are streamed,
// so the generator itself needs little memory.
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <unordered_set>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: makebmp WIDTH HEIGHT COLOURS flat|noisy SEED OUTPUT\n");
        return 2;
    }
    const qint64 width = std::atoll(argv[1]);
    const qint64 height = std::atoll(argv[2]);
    const int colours = std::atoi(argv[3]);
    const bool noisy = QByteArray(argv[4]) == "noisy";
    QRandomGenerator random(quint32(std::strtoul(argv[5], nullptr, 10)));
    if (width < 1 || height < 1 || colours < 1 || colours > 256 * 256 * 256)
        return 2;

    std::vector<quint32> palette;
    std::unordered_set<quint32> seen;
    while (palette.size() < size_t(colours)) {
        const quint32 colour = random.generate() & 0xFFFFFF;
        if (seen.insert(colour).second)
            palette.push_back(colour);
    }

    const qint64 rowBytes = (3 * width + 3) / 4 * 4;
    QByteArray header(54, '\0');
    auto put32 = [&](int offset, quint32 v) { qToLittleEndian(v, header.data() + offset); };
    header[0] = 'B';
    header[1] = 'M';
    put32(2, quint32(54 + rowBytes * height));
    put32(10, 54);
    put32(14, 40);
    put32(18, quint32(width));
    put32(22, quint32(height));
    qToLittleEndian(quint16(1), header.data() + 26);
    qToLittleEndian(quint16(24), header.data() + 28);
    put32(34, quint32(rowBytes * height));

    QFile out(QString::fromLocal8Bit(argv[6]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(header) != 54)
        return 1;
    QByteArray row(rowBytes, '\0');
    // Flat pictures change colour every few hundred pixels and every row; each
    // colour still appears, so the palette is full.
    qint64 runLeft = 0;
    quint32 colour = 0;
    for (qint64 y = 0; y < height; ++y) {
        for (qint64 x = 0; x < width; ++x) {
            if (noisy || runLeft-- <= 0) {
                colour = palette[size_t(random.bounded(colours))];
                runLeft = noisy ? 0 : 64 + random.bounded(512);
            }
            if (y == 0 && x < colours)
                colour = palette[size_t(x)];
            row[3 * x] = char(colour & 0xFF);
            row[3 * x + 1] = char((colour >> 8) & 0xFF);
            row[3 * x + 2] = char(colour >> 16);
        }
        if (out.write(row) != row.size())
            return 1;
    }
    out.close();
    return out.error() == QFileDevice::NoError ? 0 : 1;
}
