// Exit status 0 when two pictures decode, with Qt's own reader, to exactly the
// same pixels; 1 otherwise, naming the first difference.
//
//   samepixels SOURCE OUTPUT
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    QImageReader::setAllocationLimit(0);   // the largest pictures exceed the default
    const QImage a = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const QImage b = QImage(QString::fromLocal8Bit(argv[2])).convertToFormat(QImage::Format_RGB32);
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
        std::fprintf(stderr, "%s: cannot decode, or sizes differ\n", argv[2]);
        return 1;
    }
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0) {
            std::fprintf(stderr, "%s: row %d differs\n", argv[2], y);
            return 1;
        }
    }
    return 0;
}
