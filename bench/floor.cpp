// The unavoidable work of a safe converter, as a yardstick: read the whole
// source in chunks that stay in the cache, fill memory of the output's size
// (taken as the converter takes it), then write it as a file atomically and
// durably (temporary file, data synced, renamed into place, folder synced).
//
//   floor SOURCE OUTPUT_BYTES DESTINATION
#include "platform.h"
#include "replacefile.h"

#include <QFile>

#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    if (argc != 4)
        return 2;
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 1;
    QByteArray chunk(96 * 1024, Qt::Uninitialized);
    while (source.read(chunk.data(), chunk.size()) > 0) {
    }
    const qint64 size = std::atoll(argv[2]);
    auto *output = static_cast<char *>(platform::AllocateLarge(size));
    std::memset(output, 0, size_t(size));
    const bool written = platform::ReplaceFile(QString::fromLocal8Bit(argv[3]), {QByteArrayView(output, size)});
    platform::FreeLarge(output);
    return written ? 0 : 1;
}
