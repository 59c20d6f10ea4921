#include "merge/FileHandle.h"

#include <cstring>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

namespace lexicorn {

std::size_t FindPattern(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> pattern,
                        std::size_t start, std::size_t step) {
    if (step == 0) step = 1;
    std::size_t at = start;
    while (at < bytes.size() && bytes.size() - at >= pattern.size()) {
        const auto* found = static_cast<const std::uint8_t*>(
            memmem(bytes.data() + at, bytes.size() - at, pattern.data(), pattern.size()));
        if (found == nullptr) return std::string::npos;
        const std::size_t index = static_cast<std::size_t>(found - bytes.data());
        const std::size_t offGrid = (index - start) % step;
        if (offGrid == 0) return index;
        at = index + (step - offGrid);  // the next position on the grid
    }
    return std::string::npos;
}

FileHandle::~FileHandle() {
    if (stream_) std::fclose(stream_);
}

ResultCode FileHandle::OpenForReading() {
    if (stream_) return kAlreadyOpen;
    stream_ = OpenRegularFile(path_);
    if (!stream_) return kCannotOpenFile;
    if (std::fseek(stream_, 0, SEEK_END) != 0) {
        CloseFile();
        return kCannotOpenFile;
    }
    const long length = std::ftell(stream_);
    std::rewind(stream_);
    if (length < 0) {
        CloseFile();
        return kCannotOpenFile;
    }
    if (static_cast<unsigned long>(length) > std::numeric_limits<std::uint32_t>::max()) {
        CloseFile();
        return kFileTooLarge;
    }
    size_ = static_cast<std::uint32_t>(length);
    return kSuccess;
}

ResultCode FileHandle::CloseFile() {
    if (!stream_) return kNotOpen;
    mapping_ = MappedFile();
    std::fclose(stream_);
    stream_ = nullptr;
    return kSuccess;
}

ResultCode FileHandle::ReadAt(std::uint32_t offset, std::uint32_t count, void* buffer) const {
    if (count == 0) return kSuccess;
    if (std::uint64_t{offset} + count > size_) return kOutOfRange;
    if (!stream_) return kShortRead;
    // A positioned read leaves the stream where it was.
    const long position = std::ftell(stream_);
    std::size_t got = 0;
    if (std::fseek(stream_, static_cast<long>(offset), SEEK_SET) == 0)
        got = std::fread(buffer, 1, count, stream_);
    std::fseek(stream_, position, SEEK_SET);
    return got == count ? kSuccess : kShortRead;
}

ResultCode FileHandle::MapContents(std::span<const std::uint8_t>& contents) {
    if (!stream_) return kNotOpen;
    if (!mapping_.Valid()) mapping_ = MappedFile(stream_, size_);
    if (!mapping_.Valid()) return kNoStorage;
    contents = mapping_.Bytes();
    return kSuccess;
}

bool FileHandle::IsNamedBy(const std::string& path) const { return IsOpenFile(path, stream_); }

void FileHandle::CopyTo(AtomicFile& output, std::uint32_t offset, std::uint64_t length) const {
    output.WriteFrom(stream_, offset, length);
}

}  // namespace lexicorn
