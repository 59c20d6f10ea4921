// POSIX implementation of the whole-or-nothing file replacement; a Windows port replaces this file.
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace lexicorn {
namespace fs = std::filesystem;

namespace {

bool Fail(std::string* error, const fs::path& path, const std::string& why) {
    if (error) *error = path.string() + ": " + why;
    return false;
}

// Writes through a symbolic link land on the file it names, as a plain open() would.
fs::path ResolveLinks(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = path;
    for (int hops = 0; hops < 40 && fs::is_symlink(resolved, ec); ++hops) {
        fs::path target = fs::read_symlink(resolved, ec);
        if (ec) break;
        resolved = target.is_absolute() ? target : resolved.parent_path() / target;
    }
    return resolved;
}

mode_t DefaultMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool WriteFileAtomically(const fs::path& requested, std::string_view bytes, std::string* error) {
    const fs::path path = ResolveLinks(requested);
    mode_t mode = DefaultMode();
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) return Fail(error, requested, "not a regular file");
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return Fail(error, requested, "the file is read-only");
        mode = existing.st_mode & 07777;
    }

    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0) return Fail(error, requested, std::strerror(errno));

    auto abandon = [&](int err) {
        close(fd);
        unlink(pattern.c_str());
        return Fail(error, requested, std::strerror(err));
    };
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t written = write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return abandon(errno);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (fchmod(fd, mode) != 0 || fsync(fd) != 0) return abandon(errno);
    if (close(fd) != 0) {
        int err = errno;
        unlink(pattern.c_str());
        return Fail(error, requested, std::strerror(err));
    }
    if (rename(pattern.c_str(), path.c_str()) != 0) {
        int err = errno;
        unlink(pattern.c_str());
        return Fail(error, requested, std::strerror(err));
    }
    return true;
}

}  // namespace lexicorn
