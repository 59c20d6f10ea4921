// Windows whole-or-nothing file replacement: the bytes go to a hidden temporary file beside the
// target (Windows has no unnamed files), which MoveFileExW puts over the old one and writes through
// to the disk. Names are held as UTF-8 and handed to the wide Win32 calls, so that any name works.
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/InputFile.h"

namespace lexicorn {
namespace fs = std::filesystem;

namespace {

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

// The system's words for the last Win32 error.
std::string LastErrorMessage() {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text, length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    if (message.empty()) return "system error " + std::to_string(error);
    return Utf8Of(fs::path(message));
}

std::string ProcessTag() { return std::to_string(GetCurrentProcessId()); }

}  // namespace

// Held as UTF-8, so that any name works (the hidden attribute is set apart: other systems go by the dot).
std::string AtomicFile::HiddenName(const fs::path& target, std::string_view suffix) {
    fs::path name = fs::path(u8".") += target.filename();
    name += PathOf("." + std::string(suffix));
    return Utf8Of(FolderOf(target) / name);
}

AtomicFile::AtomicFile(const fs::path& path, Flush flush)
    : requested_(path), target_(ResolveLinks(path)), flush_(flush) {
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            Fail("not a regular file");
            return;
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            Fail("the file is read-only");
            return;
        }
    }
    for (unsigned attempt = 0; fd_ < 0; ++attempt) {
        temporary_ = HiddenName(target_, ProcessTag() + ".new" + std::to_string(attempt));
        fd_ = _wopen(PathOf(temporary_).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                     _S_IREAD | _S_IWRITE);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
            temporary_.clear();
            Fail(std::strerror(errno));
            return;
        }
    }
    // Hidden as its name says, so that a listing or an IDE's file view does not show it.
    SetFileAttributesW(PathOf(temporary_).c_str(), FILE_ATTRIBUTE_HIDDEN);
}

void AtomicFile::Abandon() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
    finished_ = false;
    if (!temporary_.empty()) DeleteFileW(PathOf(temporary_).c_str());
    temporary_.clear();
}

void AtomicFile::Put(std::string_view bytes, std::optional<std::uint64_t> offset) {
    if (fd_ < 0 || bytes.empty()) return;
    // A write at an offset leaves the end, where the next Write appends, where it was.
    const __int64 end = _lseeki64(fd_, 0, SEEK_END);
    if (offset && _lseeki64(fd_, static_cast<__int64>(*offset), SEEK_SET) < 0)
        return Fail(std::strerror(errno));
    while (fd_ >= 0 && !bytes.empty()) {
        const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30));
        const int written = _write(fd_, bytes.data(), piece);
        if (written < 0) return Fail(std::strerror(errno));
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (offset && fd_ >= 0 && _lseeki64(fd_, end, SEEK_SET) < 0) Fail(std::strerror(errno));
}

void AtomicFile::WriteFrom(std::FILE* source, std::uint64_t offset, std::uint64_t length) {
    std::vector<std::uint8_t> buffer(1 << 16);
    while (fd_ >= 0 && length > 0) {
        const std::span<std::uint8_t> piece(buffer.data(), std::min<std::uint64_t>(length, buffer.size()));
        if (!ReadFileAt(source, offset, piece)) return Fail("the file to copy from is shorter than expected");
        Write({reinterpret_cast<const char*>(piece.data()), piece.size()});
        offset += piece.size();
        length -= piece.size();
    }
}

void AtomicFile::Finish() {
    if (fd_ >= 0 && !finished_ && flush_ == Flush::kToDisk && _commit(fd_) != 0) Fail(std::strerror(errno));
    finished_ = fd_ >= 0;
    if (fd_ >= 0) {
        const int closed = _close(fd_);
        fd_ = -1;
        if (closed != 0) Fail(std::strerror(errno));
    }
    if (!failure_.empty()) ThrowFailure();
}

// The temporary file has its name from the start: finished, it is staged.
void AtomicFile::Stage() { Finish(); }

void AtomicFile::Commit() {
    Stage();
    if (temporary_.empty()) return;  // already in place
    const fs::path temporary = PathOf(temporary_);
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!MoveFileExW(temporary.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(LastErrorMessage());
        ThrowFailure();
    }
    temporary_.clear();
    placed_ = true;
}

void AtomicFile::KeepOldFile() {
    const DWORD attributes = GetFileAttributesW(target_.c_str());
    // Nothing to put back: no old file, or one that no rename can replace (a folder).
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
    for (unsigned attempt = 0; kept_.empty(); ++attempt) {
        std::string name = HiddenName(target_, ProcessTag() + ".old" + std::to_string(attempt));
        const fs::path kept = PathOf(name);
        if (CreateHardLinkW(kept.c_str(), target_.c_str(), nullptr)) {
            kept_ = std::move(name);
        } else if (GetLastError() == ERROR_ALREADY_EXISTS && attempt < 100) {
            continue;
        } else if (GetLastError() != ERROR_ALREADY_EXISTS && MoveFileExW(target_.c_str(), kept.c_str(), 0)) {
            // A file system without hard links (FAT): the old file steps aside until the new one is in place.
            kept_ = std::move(name);
            keptByMoving_ = true;
        } else {
            Fail(LastErrorMessage());
            ThrowFailure();
        }
    }
}

std::string AtomicFile::PutBackOldFile() {
    if (placed_ || keptByMoving_) {
        const bool back = kept_.empty() ? DeleteFileW(target_.c_str())
                                        : MoveFileExW(PathOf(kept_).c_str(), target_.c_str(),
                                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!back) {
            const std::string reason = LastErrorMessage();
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
    if (!kept_.empty()) DeleteFileW(PathOf(kept_).c_str());
    kept_.clear();
    keptByMoving_ = false;
}

bool AtomicFile::MatchesOldFile() const {
    std::error_code error;
    const fs::path fresh = PathOf(temporary_);
    if (temporary_.empty() || !fs::is_regular_file(target_, error) ||
        fs::file_size(target_, error) != fs::file_size(fresh, error) || error)
        return false;
    std::ifstream oldBytes(target_, std::ios::binary);
    std::ifstream newBytes(fresh, std::ios::binary);
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

}  // namespace lexicorn
