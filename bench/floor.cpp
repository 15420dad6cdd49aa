// The unavoidable work of a safe converter, as a yardstick: read the whole
// source in large chunks, then write a file of the output's size from memory
// atomically and durably (temporary file, data synced, renamed into place,
// folder synced).
//
//   floor SOURCE OUTPUT_BYTES DESTINATION
#include "replacefile.h"

#include <QFile>

#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 4)
        return 2;
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 1;
    QByteArray chunk(768 * 1024, Qt::Uninitialized);
    while (source.read(chunk.data(), chunk.size()) > 0) {
    }
    QByteArray output(std::atoll(argv[2]), '\0');
    if (!platform::ReplaceFile(QString::fromLocal8Bit(argv[3]), {output}))
        return 1;
    return 0;
}
