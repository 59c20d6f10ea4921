// POSIX input files: opened without waiting, known by device and inode; a Windows port opens with
// CreateFile and compares volume serial and file index here.
#include "platform/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lexicorn {

std::FILE* OpenRegularFile(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(fd);
        errno = EINVAL;
        return nullptr;
    }
    // A regular file never blocks; the stream reads as usual.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = fdopen(fd, "rb");
    if (stream == nullptr) close(fd);
    return stream;
}

bool IsOpenFile(const std::filesystem::path& path, std::FILE* open) {
    struct stat named {
    }, opened{};
    if (open == nullptr || stat(path.c_str(), &named) != 0 || fstat(fileno(open), &opened) != 0) return false;
    return named.st_dev == opened.st_dev && named.st_ino == opened.st_ino;
}

bool IsStandardOutput(std::FILE* open) {
    struct stat output {
    }, opened{};
    if (open == nullptr || fstat(STDOUT_FILENO, &output) != 0 || fstat(fileno(open), &opened) != 0)
        return false;
    return output.st_dev == opened.st_dev && output.st_ino == opened.st_ino;
}

bool ReadFileAt(std::FILE* file, std::uint64_t offset, std::span<std::uint8_t> into) {
    for (std::size_t got = 0; got < into.size();) {
        const ssize_t read =
            pread(fileno(file), into.data() + got, into.size() - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) return false;
        got += static_cast<std::size_t>(read);
    }
    return true;
}

bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat first {
    }, second{};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace lexicorn
