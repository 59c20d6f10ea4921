// Windows input files: opened with wide paths, known by volume serial number and file index.
#include "platform/InputFile.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "platform/win/SystemError.h"

namespace lexicorn {
namespace {

struct FileIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator==(const FileIdentity&) const = default;
};

bool IdentityOf(HANDLE file, FileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &information)) return false;
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

// Opened for nothing but its identity: any file or folder, shared with every other user of it.
bool IdentityOf(const std::filesystem::path& path, FileIdentity& identity) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool known = IdentityOf(file, identity);
    CloseHandle(file);
    return known;
}

HANDLE HandleOf(std::FILE* stream) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))); }

}  // namespace

std::FILE* OpenRegularFile(const std::filesystem::path& path) {
    // Others may go on writing or renaming the file, as on POSIX systems.
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ErrnoOf(GetLastError());
        return nullptr;
    }
    // A pipe or a device (CON, NUL, COM1) would block or never end.
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        errno = EINVAL;
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = _fdopen(fd, "rb");
    if (stream == nullptr) _close(fd);
    return stream;
}

bool IsOpenFile(const std::filesystem::path& path, std::FILE* open) {
    FileIdentity named{}, opened{};
    return open != nullptr && IdentityOf(path, named) && IdentityOf(HandleOf(open), opened) &&
           named == opened;
}

bool IsStandardOutput(std::FILE* open) {
    FileIdentity output{}, opened{};
    return open != nullptr && IdentityOf(GetStdHandle(STD_OUTPUT_HANDLE), output) &&
           IdentityOf(HandleOf(open), opened) && output == opened;
}

bool ReadFileAt(std::FILE* file, std::uint64_t offset, std::span<std::uint8_t> into) {
    // A read at an OVERLAPPED offset on a synchronous handle moves the handle's position: the
    // stream's own position is put back afterwards.
    HANDLE handle = HandleOf(file);
    LARGE_INTEGER position{}, zero{};
    if (handle == INVALID_HANDLE_VALUE || !SetFilePointerEx(handle, zero, &position, FILE_CURRENT))
        return false;
    bool complete = true;
    for (std::size_t got = 0; complete && got < into.size();) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset + got);
        at.OffsetHigh = static_cast<DWORD>((offset + got) >> 32);
        DWORD read = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(into.size() - got, 1u << 30));
        complete = ReadFile(handle, into.data() + got, want, &read, &at) && read > 0;
        got += read;
    }
    SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
    return complete;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    FileIdentity first{}, second{};
    return IdentityOf(a, first) && IdentityOf(b, second) && first == second;
}

}  // namespace lexicorn
