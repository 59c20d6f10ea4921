#include "merge/FileHandle.h"

#include <cstring>
#include <limits>

#include "platform/AtomicFile.h"
#include "platform/InputFile.h"

namespace lexicorn {

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
    return ReadFileAt(stream_, offset, {static_cast<std::uint8_t*>(buffer), count}) ? kSuccess : kShortRead;
}

ResultCode FileHandle::MapContents(std::span<const std::uint8_t>& contents) {
    if (!stream_) return kNotOpen;
    if (!mapping_.Valid()) mapping_ = MappedFile(stream_, size_);
    if (!mapping_.Valid()) return kNoStorage;
    contents = mapping_.Bytes();
    return kSuccess;
}

bool FileHandle::IsNamedBy(const std::string& path) const { return IsOpenFile(path, stream_); }

bool FileHandle::IsStandardOutput() const { return lexicorn::IsStandardOutput(stream_); }

void FileHandle::CopyTo(AtomicFile& output, std::uint32_t offset, std::uint64_t length) const {
    output.WriteFrom(stream_, offset, length);
}

}  // namespace lexicorn
