// Feeds arbitrary bytes through the whole conversion in memory (header tests,
// colour indexing, reordering, packing and the output bytes) under every
// combination of options, and checks every written output against the source
// with a decoder of its own: every pixel must come back as the source stored it.
//
// Built with libFuzzer it is a fuzz target; built with replay.cpp it replays
// files, so every finding is kept under tests/crashers and replayed by CTest.
#include "qtconvert.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtEndian>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace bmp24to8;

namespace {

class FuzzHost final : public QtConversionHost
{
public:
    FuzzHost(bool fourBit, int placement) : fourBit_(fourBit), placement_(PalettePlacement(placement)) {}

    bool fourBitWanted() const override { return fourBit_; }
    PalettePlacement palettePlacement() const override { return placement_; }
    void setProgressText(const QString &) override {}
    bool yield() override { return true; }
    bool abortRequested() const override { return false; }
    void AppendError(const QString &line) override
    {
        ++errors;
        lines << line;
    }

    int errors = 0;
    QStringList lines;

private:
    bool fourBit_;
    PalettePlacement placement_;
};

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

void check(bool condition, const char *what)
{
    if (!condition)
        fail(what);
}

qint64 field32(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

int field16(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

// Decodes the output and compares each pixel with the source's bytes.
void checkOutput(const QByteArray &source, const QByteArray &output, bool fourBitAllowed)
{
    check(output.size() >= 54 && output.startsWith("BM"), "output header");
    check(field32(output, 2) == output.size(), "file size field");
    const int bits = field16(output, 28);
    check(bits == 8 || (bits == 4 && fourBitAllowed), "bits per pixel");
    const int entries = 1 << bits;
    check(field32(output, 10) == 54 + 4 * entries, "pixel data offset");
    check(field32(output, 46) == entries, "colours used");
    check(field32(output, 50) >= 0 && field32(output, 50) <= (bits == 4 ? 16 : 256), "important colours");

    const qint64 width = field32(source, 18);
    const qint64 storedHeight = field32(source, 22);
    const qint64 rows = storedHeight < 0 ? -storedHeight : storedHeight;
    const qint64 offset = field32(source, 10);
    check(field32(output, 18) == width && field32(output, 22) == rows, "dimensions");
    const qint64 sourceRow = (3 * width + 3) / 4 * 4;
    const qint64 outputRow = bits == 8 ? (width + 3) / 4 * 4 : 4 * ((width + 7) / 8);
    check(output.size() == 54 + 4 * entries + rows * outputRow, "pixel data size");
    if (width == 0)
        return;   // up to 2^31 - 1 rows, all empty

    const auto *palette = reinterpret_cast<const uchar *>(output.constData()) + 54;
    const auto *pixels = reinterpret_cast<const uchar *>(output.constData()) + 54 + 4 * entries;
    const auto *stored = reinterpret_cast<const uchar *>(source.constData());
    for (qint64 y = 0; y < rows; ++y) {   // output rows, bottom first
        const qint64 storedRow = storedHeight < 0 ? rows - 1 - y : y;
        for (qint64 x = 0; x < width; ++x) {
            const uchar packed = pixels[y * outputRow + (bits == 8 ? x : x / 2)];
            const int index = bits == 8 ? packed : (x % 2 ? packed & 0x0F : packed >> 4);
            const uchar *want = stored + offset + storedRow * sourceRow + 3 * x;
            const uchar *got = palette + 4 * index;
            check(got[0] == want[0] && got[1] == want[1] && got[2] == want[2] && got[3] == 0, "pixel colour");
        }
        for (qint64 x = bits == 8 ? width : (width + 1) / 2; x < outputRow; ++x)
            check(pixels[y * outputRow + x] == 0, "row padding");
        if (bits == 4 && width % 2)
            check((pixels[y * outputRow + width / 2] & 0x0F) == 0, "filler nibble after an odd row");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray source = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (bool fourBit : {false, true}) {
        for (int placement : {0, 1, 2}) {
            FuzzHost host(fourBit, placement);
            QByteArray output;
            switch (ConvertBytes(source, output, host)) {
            case ConvertOutcome::Written:
                check(host.errors == 0, "an error line for a written file");
                checkOutput(source, output, fourBit);
                break;
            case ConvertOutcome::Failed:
                check(host.errors == 1 && output.isEmpty(), "one error line and no output");
                break;
            case ConvertOutcome::Interrupted:
                fail("interrupted without being asked");
            }
        }
    }
    return 0;
}

// The same conversion through the files: the source written to `folder`,
// converted with ConvertFile under one combination of options (0 to 5), must
// give the bytes or the error line that the conversion in memory gives.
void CheckThroughFiles(const QByteArray &source, const QString &folder, int combination)
{
    const bool fourBit = combination / 3 > 0;
    const int placement = combination % 3;
    FuzzHost memoryHost(fourBit, placement);
    QByteArray expected;
    const ConvertOutcome inMemory = ConvertBytes(source, expected, memoryHost);

    const QString sourcePath = QDir(folder).filePath(QStringLiteral("source.bmp"));
    const QString destinationPath = QDir(folder).filePath(QStringLiteral("output.bmp"));
    QFile::remove(destinationPath);
    QFile file(sourcePath);
    check(file.open(QIODevice::WriteOnly) && file.write(source) == source.size(), "writing the source");
    file.close();
    FuzzHost fileHost(fourBit, placement);
    check(ConvertFile(sourcePath, destinationPath, fileHost) == inMemory, "the same outcome through the files");
    check(fileHost.lines.size() == 1 ? QString(fileHost.lines.first()).replace(sourcePath, QStringLiteral("<memory>"))
                                           == memoryHost.lines.value(0)
                                     : memoryHost.lines.isEmpty(),
          "the same error line through the files");
    QFile output(destinationPath);
    if (inMemory == ConvertOutcome::Written)
        check(output.open(QIODevice::ReadOnly) && output.readAll() == expected, "the same bytes through the files");
    else
        check(!output.exists(), "no output for a refused file");
}
