// The unavoidable work of a safe converter, as a yardstick: read the whole
// source in chunks that stay in the cache, fill memory of the output's size
// (taken as the converter takes it), then write it as a file atomically and
// durably (temporary file, data synced, renamed into place, folder synced).
//
//   floor SOURCE OUTPUT_BYTES DESTINATION
#include "picture.h"
#include "bmp24to8/platform.h"

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char *argv[])
{
    if (argc != 4)
        return 2;
    const std::unique_ptr<platform::InputFile> source = platform::InputFile::Open(argv[1]);
    if (!source)
        return 1;
    std::vector<char> chunk(96 * 1024);
    while (source->read(chunk.data(), std::int64_t(chunk.size())) > 0) {
    }
    bmp24to8::PixelBuffer output(std::atoll(argv[2]));
    std::memset(output.data(), 0, size_t(output.size()));
    return platform::ReplaceFile(argv[3], {output.view()}) ? 1 : 0;
}
