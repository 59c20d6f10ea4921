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

AtomicFile::AtomicFile(const fs::path& path) : requested_(path), target_(ResolveLinks(path)) {
    mode_ = DefaultMode();
    struct stat existing {};
    if (stat(target_.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            Fail("not a regular file");
            return;
        }
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            Fail("the file is read-only");
            return;
        }
        mode_ = existing.st_mode & 07777;
    }
    std::string hiddenName = target_.filename().string();
    hiddenName.insert(0, 1, '.');
    hiddenName.append(".XXXXXX");
    temporary_ = ((target_.has_parent_path() ? target_.parent_path() : fs::path(".")) / hiddenName).string();
    fd_ = mkstemp(temporary_.data());
    if (fd_ < 0) {
        temporary_.clear();
        Fail(std::strerror(errno));
    }
}

AtomicFile::~AtomicFile() { Abandon(); }

void AtomicFile::Fail(const std::string& why) {
    if (failure_.empty()) failure_ = requested_.string() + ": " + why;
    Abandon();
}

void AtomicFile::Abandon() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

void AtomicFile::Write(std::string_view bytes) {
    while (fd_ >= 0 && !bytes.empty()) {
        ssize_t written = write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno != EINTR) Fail(std::strerror(errno));
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

bool AtomicFile::Commit(std::string* error) {
    if (fd_ >= 0 && (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0)) Fail(std::strerror(errno));
    if (fd_ >= 0) {
        const int closed = close(fd_);
        fd_ = -1;
        if (closed != 0 || rename(temporary_.c_str(), target_.c_str()) != 0)
            Fail(std::strerror(errno));
        else
            temporary_.clear();
    }
    if (error) *error = failure_;
    return failure_.empty();
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string* error) {
    AtomicFile file(path);
    file.Write(bytes);
    return file.Commit(error);
}

}  // namespace lexicorn
