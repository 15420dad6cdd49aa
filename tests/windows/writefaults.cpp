// The Windows writer with each of its Win32 calls failing in turn, run under
// Wine by tools/windows-test.sh: whichever call fails, the destination keeps
// its old content (or stays absent), no temporary file is left, and the write
// is reported as failed; with no call failing, the new content is in place,
// and a replaced file keeps its attributes and creation time.
//
// With the argument "interrupt", the console's handler is called as a second
// Ctrl+C calls it, in the middle of replacing "written.bmp": the program
// ends with status 130 and the temporary file is gone.
#include "filecalls.h"
#include "bmp24to8/platform.h"

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
    [](HANDLE file, FILE_BASIC_INFO *info) { return Fails("SetFileInformationByHandle") ? FALSE : real.setBasicInfo(file, info); },
    [](HANDLE file) { return Fails("FlushFileBuffers") ? FALSE : real.flushFileBuffers(file); },
    // A failed close has closed the handle all the same.
    [](HANDLE file) { return Fails("CloseHandle") ? (real.closeHandle(file), FALSE) : real.closeHandle(file); },
    [](const wchar_t *from, const wchar_t *to) { return Fails("MoveFileExW") ? FALSE : real.moveFile(from, to); },
    [](const wchar_t *replaced, const wchar_t *replacement) {
        return Fails("ReplaceFileW") ? FALSE : real.replaceFile(replaced, replacement);
    },
    real.deleteFile,
};

// A second Ctrl+C arriving while the temporary is written.
const platform::FileCalls interrupting = {
    real.createFile,
    [](HANDLE, const void *, DWORD, DWORD *) { return platform::OnConsoleEvent(CTRL_C_EVENT); },
    real.setBasicInfo, real.flushFileBuffers, real.closeHandle, real.moveFile, real.replaceFile, real.deleteFile,
};

constexpr FILETIME kCreated = {0x12345678, 0x01C00000};   // in 1997
constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;

std::string Contents(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : std::string("<absent>");
}

// Whether the file system keeps a creation time that is set (Wine on a
// Linux file system reports the time the file was made, whatever is set).
bool KeepsCreationTimes()
{
    static const bool keeps = [] {
        const HANDLE probe = CreateFileA("probe.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        SetFileTime(probe, &kCreated, nullptr, nullptr);
        CloseHandle(probe);
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        GetFileAttributesExA("probe.tmp", GetFileExInfoStandard, &data);
        DeleteFileA("probe.tmp");
        const bool kept = CompareFileTime(&data.ftCreationTime, &kCreated) == 0;
        if (!kept)
            std::printf("creation times not checked: this file system does not keep them\n");
        return kept;
    }();
    return keeps;
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

int main(int argc, char *argv[])
{
    if (argc == 2 && std::string(argv[1]) == "interrupt") {
        platform::fileCalls() = interrupting;
        const std::error_code error = platform::ReplaceFile("written.bmp", {"new ", "content"});
        std::printf("not ended by the handler: %s\n", error.message().c_str());
        return 1;
    }
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
            if (existing) {
                SetFileAttributesA(destination, FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(destination);
                std::ofstream(destination, std::ios::binary) << "old";
                const HANDLE old = CreateFileA(destination, FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                SetFileTime(old, &kCreated, nullptr, nullptr);
                CloseHandle(old);
                SetFileAttributesA(destination, kKept);
            }
            platform::fileCalls() = injecting;
            callsLeft = failAt;
            failed = nullptr;
            const bool written = !platform::ReplaceFile(destination, {"new ", "content"});
            platform::fileCalls() = real;
            const std::string row = std::string(existing ? "replacing" : "creating") + ", "
                + (failed ? failed : "no call") + " failing";
            check(Temporaries() == 0, row + ": a temporary file is left");
            WIN32_FILE_ATTRIBUTE_DATA now = {};
            GetFileAttributesExA(destination, GetFileExInfoStandard, &now);
            if (!failed) {
                check(written && Contents(destination) == "new content", row + ": not written");
                // A new file is not hidden, as the temporary was.
                const DWORD mask = existing ? kKept : FILE_ATTRIBUTE_HIDDEN;
                check((now.dwFileAttributes & mask) == (existing ? kKept : 0),
                      row + ": attributes " + std::to_string(now.dwFileAttributes));
                if (existing && KeepsCreationTimes())
                    check(CompareFileTime(&now.ftCreationTime, &kCreated) == 0, row + ": the creation time was not kept");
                break;
            }
            check(!written, row + ": reported as written");
            check(Contents(destination) == (existing ? "old" : "<absent>"), row + ": the destination changed");
        }
    }
    SetFileAttributesA("written.bmp", FILE_ATTRIBUTE_NORMAL);
    DeleteFileA("written.bmp");
    std::printf("%d passed, %d failed\n", passed, failures);
    return failures == 0 ? 0 : 1;
}
