// POSIX implementation of the whole-or-nothing file replacement; a Windows port replaces this file.
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace lexicorn {
namespace fs = std::filesystem;

namespace {

mode_t DefaultMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::string AtomicFile::HiddenName(const fs::path& target, std::string_view suffix) {
    std::string name(1, '.');
    name.append(target.filename().string()).append(1, '.').append(suffix);
    return (FolderOf(target) / name).string();
}

AtomicFile::AtomicFile(const fs::path& path, Flush flush)
    : requested_(path), target_(ResolveLinks(path)), flush_(flush) {
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
    // An unnamed file vanishes with the process however it ends, even by SIGKILL; where the system
    // or the file system has none, a hidden named one is used and removed on every way out but that.
    // The name is given through /proc/self/fd: without /proc (some chroots) only the named file works.
    if (access("/proc/self/fd", X_OK) == 0) {
        fd_ = open(FolderOf(target_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0) return;
    }
    temporary_ = HiddenName(target_, "XXXXXX");
    fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        temporary_.clear();
        Fail(std::strerror(errno));
    }
}

void AtomicFile::Abandon() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    finished_ = false;
    if (!temporary_.empty()) unlink(temporary_.c_str());
    temporary_.clear();
}

void AtomicFile::Put(std::string_view bytes, std::optional<std::uint64_t> offset) {
    while (fd_ >= 0 && !bytes.empty()) {
        const ssize_t written = offset ? pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(*offset))
                                       : write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno != EINTR) Fail(std::strerror(errno));
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        if (offset) *offset += static_cast<std::uint64_t>(written);
    }
}

void AtomicFile::WriteFrom(std::FILE* source, std::uint64_t offset, std::uint64_t length) {
    const int from = fileno(source);
    auto in = static_cast<off_t>(offset);
    while (fd_ >= 0 && length > 0) {
        const ssize_t copied = copy_file_range(from, &in, fd_, nullptr, length, 0);
        if (copied > 0) {
            length -= static_cast<std::uint64_t>(copied);
            continue;
        }
        if (copied == 0) return Fail("the file to copy from is shorter than expected");
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return Fail(std::strerror(errno));
        // The system cannot copy between these files itself: copy through a buffer.
        char buffer[1 << 16];
        while (fd_ >= 0 && length > 0) {
            const ssize_t got = pread(from, buffer, std::min<std::uint64_t>(length, sizeof buffer), in);
            if (got <= 0) {
                if (got < 0 && errno == EINTR) continue;
                return Fail(got == 0 ? "the file to copy from is shorter than expected"
                                     : std::strerror(errno));
            }
            Write({buffer, static_cast<std::size_t>(got)});
            in += got;
            length -= static_cast<std::uint64_t>(got);
        }
    }
}

void AtomicFile::Finish() {
    if (fd_ >= 0 && !finished_ && (fchmod(fd_, mode_) != 0 || (flush_ == Flush::kToDisk && fsync(fd_) != 0)))
        Fail(std::strerror(errno));
    finished_ = fd_ >= 0;
    // A named file is complete once closed; an unnamed one stays open until it gets its name.
    if (fd_ >= 0 && !temporary_.empty()) {
        const int closed = close(fd_);
        fd_ = -1;
        if (closed != 0) Fail(std::strerror(errno));
    }
    if (!failure_.empty()) ThrowFailure();
}

void AtomicFile::Stage() {
    Finish();
    if (fd_ >= 0) Name();
}

void AtomicFile::Commit() {
    Stage();
    if (temporary_.empty()) return;  // already in place
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
        Fail(std::strerror(errno));
        ThrowFailure();
    }
    temporary_.clear();
    placed_ = true;
}

void AtomicFile::KeepOldFile() {
    struct stat existing {};
    // Nothing to put back: no old file, or one that no rename can replace (a folder).
    if (stat(target_.c_str(), &existing) != 0 || !S_ISREG(existing.st_mode)) return;
    for (unsigned attempt = 0; kept_.empty(); ++attempt) {
        std::string name = HiddenName(target_, std::to_string(getpid()) + ".old" + std::to_string(attempt));
        if (link(target_.c_str(), name.c_str()) == 0) {
            kept_ = std::move(name);
        } else if (errno == EEXIST && attempt < 100) {
            continue;
        } else if (errno != EEXIST && rename(target_.c_str(), name.c_str()) == 0) {
            // A file system without hard links: the old file steps aside until the new one is in place.
            kept_ = std::move(name);
            keptByMoving_ = true;
        } else {
            Fail(std::strerror(errno));
            ThrowFailure();
        }
    }
}

std::string AtomicFile::PutBackOldFile() {
    if (placed_ || keptByMoving_) {
        const bool back =
            kept_.empty() ? unlink(target_.c_str()) == 0 : rename(kept_.c_str(), target_.c_str()) == 0;
        if (!back) {
            const std::string reason = std::strerror(errno);
            return kept_.empty()
                       ? requested_.string() + ": the new file could not be removed again: " + reason
                       : requested_.string() + ": the earlier file could not be put back and is kept as " +
                             kept_ + ": " + reason;
        }
        kept_.clear();
        placed_ = keptByMoving_ = false;
    }
    DropOldFile();  // a second link to an old file that never left its name
    return {};
}

void AtomicFile::DropOldFile() {
    if (!kept_.empty()) unlink(kept_.c_str());
    kept_.clear();
    keptByMoving_ = false;
}

bool AtomicFile::MatchesOldFile() const {
    struct stat old {
    }, fresh{};
    if (temporary_.empty() || stat(target_.c_str(), &old) != 0 || !S_ISREG(old.st_mode) ||
        stat(temporary_.c_str(), &fresh) != 0 || old.st_size != fresh.st_size ||
        (old.st_mode & 07777) != (fresh.st_mode & 07777))
        return false;
    std::ifstream oldBytes(target_, std::ios::binary);
    std::ifstream newBytes(temporary_, std::ios::binary);
    std::vector<char> a(1 << 16), b(1 << 16);
    while (oldBytes && newBytes) {
        oldBytes.read(a.data(), static_cast<std::streamsize>(a.size()));
        newBytes.read(b.data(), static_cast<std::streamsize>(b.size()));
        if (oldBytes.gcount() != newBytes.gcount() ||
            std::memcmp(a.data(), b.data(), static_cast<std::size_t>(oldBytes.gcount())) != 0)
            return false;
    }
    return !oldBytes.bad() && !newBytes.bad() && oldBytes.eof() && newBytes.eof();
}

void AtomicFile::Name() {
    // A link cannot replace a file: the unnamed file gets a hidden name first, for the rename that
    // replaces the old file at once. Only between the two could a kill leave it behind.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    for (unsigned attempt = 0; temporary_.empty(); ++attempt) {
        std::string name = HiddenName(target_, std::to_string(getpid()) + "." + std::to_string(attempt));
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            temporary_ = std::move(name);
        else if (errno != EEXIST || attempt == 100) {
            Fail(std::strerror(errno));
            ThrowFailure();
        }
    }
    const int closed = close(fd_);
    fd_ = -1;
    if (closed != 0) {
        Fail(std::strerror(errno));
        ThrowFailure();
    }
}

}  // namespace lexicorn
