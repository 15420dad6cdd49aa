// Replays files through the fuzz target without libFuzzer: each argument is a
// file or a folder of files. Each file also goes through the files on disk,
// under one of the six combinations of options in turn. A failed check aborts
// the program.
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
void CheckThroughFiles(const QByteArray &source, const QString &folder, int combination);

int main(int argc, char *argv[])
{
    int replayed = 0;
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        QStringList files;
        if (QFileInfo(path).isDir()) {
            for (QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
                files << it.next();
        } else {
            files << path;
        }
        files.sort();
        for (const QString &file : files) {
            QFile input(file);
            if (!input.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file));
                return 1;
            }
            const QByteArray bytes = input.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()), size_t(bytes.size()));
            CheckThroughFiles(bytes, folder.path(), replayed % 6);
            ++replayed;
        }
    }
    std::printf("%d passed, 0 failed\n", replayed);
    return 0;
}
