// The Windows writer with each of its Win32 calls failing in turn, run under
// Wine by tools/windows-test.sh: whichever call fails, the destination keeps
// its old content (or stays absent), no temporary file is left, and the write
// is reported as failed; with no call failing, the new content is in place.
#include "filecalls.h"
#include "replacefile.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int callsLeft = 0;        // the call that fails is the one that brings this to 0
const char *failed = nullptr;

bool Fails(const char *call)
{
    if (--callsLeft != 0)
        return false;
    failed = call;
    SetLastError(ERROR_WRITE_FAULT);
    return true;
}

const platform::FileCalls &real = platform::systemFileCalls();
const platform::FileCalls injecting = {
    [](const wchar_t *path) { return Fails("CreateFileW") ? INVALID_HANDLE_VALUE : real.createFile(path); },
    [](HANDLE file, const void *bytes, DWORD count, DWORD *written) {
        return Fails("WriteFile") ? FALSE : real.writeFile(file, bytes, count, written);
    },
    [](HANDLE file) { return Fails("FlushFileBuffers") ? FALSE : real.flushFileBuffers(file); },
    // A failed close has closed the handle all the same.
    [](HANDLE file) { return Fails("CloseHandle") ? (real.closeHandle(file), FALSE) : real.closeHandle(file); },
    [](const wchar_t *from, const wchar_t *to) { return Fails("MoveFileExW") ? FALSE : real.moveFile(from, to); },
    real.deleteFile,
};

std::string Contents(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : std::string("<absent>");
}

int Temporaries()
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(L".bmp24to8-*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 1;
    while (FindNextFileW(search, &found))
        ++count;
    FindClose(search);
    return count;
}

} // namespace

int main()
{
    int passed = 0;
    int failures = 0;
    const auto check = [&](bool condition, const std::string &what) {
        condition ? ++passed : ++failures;
        if (!condition)
            std::printf("FAIL: %s\n", what.c_str());
    };
    for (const bool existing : {true, false}) {
        for (int failAt = 1;; ++failAt) {
            const char *destination = "written.bmp";
            DeleteFileA(destination);
            if (existing)
                std::ofstream(destination, std::ios::binary) << "old";
            platform::fileCalls() = injecting;
            callsLeft = failAt;
            failed = nullptr;
            const bool written = platform::ReplaceFile(destination, {"new ", "content"});
            platform::fileCalls() = real;
            const std::string row = std::string(existing ? "replacing" : "creating") + ", "
                + (failed ? failed : "no call") + " failing";
            check(Temporaries() == 0, row + ": a temporary file is left");
            if (!failed) {
                check(written && Contents(destination) == "new content", row + ": not written");
                break;
            }
            check(!written, row + ": reported as written");
            check(Contents(destination) == (existing ? "old" : "<absent>"), row + ": the destination changed");
        }
    }
    DeleteFileA("written.bmp");
    std::printf("%d passed, %d failed\n", passed, failures);
    return failures == 0 ? 0 : 1;
}
