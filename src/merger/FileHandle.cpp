#include "merger/FileHandle.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "build/Bytes.h"
#include "platform/AtomicFile.h"

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

ResultCode FindWordInBlock(const MemoryBlock& block, std::uint32_t value, std::uint32_t& index,
                           std::uint32_t start, std::uint32_t step) {
    if (block.data == nullptr) return kNoStorage;
    std::uint8_t word[4];
    PutUnsigned(word, 4, value, 0);
    const std::size_t found = FindPattern({block.data, block.length}, word, start, step);
    if (found == std::string::npos) return kValueNotFound;
    index = static_cast<std::uint32_t>(found);
    return kSuccess;
}

FileHandle::~FileHandle() {
    if (stream_) std::fclose(stream_);
}

ResultCode FileHandle::OpenFile(const char* mode) {
    if (stream_) return kAlreadyOpen;
    stream_ = std::fopen(path_.c_str(), mode);
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

std::uint32_t FileHandle::GetFileSize() const {
    if (!stream_) return 0;
    const long position = std::ftell(stream_);
    std::fseek(stream_, 0, SEEK_END);
    const long length = std::ftell(stream_);
    std::fseek(stream_, position, SEEK_SET);
    return length < 0 ? 0 : static_cast<std::uint32_t>(std::min<unsigned long>(length, 0xFFFFFFFFul));
}

void FileHandle::FlushFile() {
    if (!stream_) return;
    std::fflush(stream_);
    size_ = GetFileSize();
}

ResultCode FileHandle::ReadNext(void* buffer, std::uint32_t count) {
    if (count == 0) return kSuccess;
    if (!stream_) return kShortRead;
    return std::fread(buffer, 1, count, stream_) == count ? kSuccess : kShortRead;
}

ResultCode FileHandle::WriteNext(const void* buffer, std::uint32_t count) {
    if (count == 0) return kSuccess;
    if (!stream_ || std::fwrite(buffer, 1, count, stream_) != count) return kWriteFailed;
    FlushFile();
    return kSuccess;
}

template <typename Transfer>
ResultCode FileHandle::AtOffset(std::uint32_t offset, std::uint32_t count, ResultCode failure,
                                Transfer&& transfer) {
    if (count == 0) return kSuccess;
    if (std::uint64_t{offset} + count > size_) return kOutOfRange;
    if (!stream_) return failure;
    // Positioned access leaves the stream where it was, whatever happens.
    const long position = std::ftell(stream_);
    std::size_t moved = 0;
    if (std::fseek(stream_, static_cast<long>(offset), SEEK_SET) == 0) moved = transfer();
    std::fseek(stream_, position, SEEK_SET);
    return moved == count ? kSuccess : failure;
}

ResultCode FileHandle::ReadAt(std::uint32_t offset, std::uint32_t count, void* buffer) {
    return AtOffset(offset, count, kShortRead, [&] { return std::fread(buffer, 1, count, stream_); });
}

ResultCode FileHandle::WriteAt(std::uint32_t offset, std::uint32_t count, const void* buffer) {
    const ResultCode result =
        AtOffset(offset, count, kWriteFailed, [&] { return std::fwrite(buffer, 1, count, stream_); });
    if (result == kSuccess && count != 0) FlushFile();
    return result;
}

ResultCode FileHandle::MapContents(std::span<const std::uint8_t>& contents) {
    if (!stream_) return kNotOpen;
    if (!mapping_.Valid()) mapping_ = MappedFile(stream_, size_);
    if (!mapping_.Valid()) return kNoStorage;
    contents = mapping_.Bytes();
    return kSuccess;
}

void FileHandle::CopyTo(AtomicFile& output, std::uint32_t offset, std::uint64_t length) const {
    output.WriteFrom(stream_, offset, length);
}

ResultCode FileHandle::FindWord(std::uint32_t value, std::uint32_t& position, std::uint32_t start,
                                std::uint32_t step) {
    std::span<const std::uint8_t> contents;
    if (ResultCode mapped = MapContents(contents)) return mapped;
    // The block of an empty file is present all the same: it holds nothing to find.
    static const std::uint8_t kNothing = 0;
    return FindWordInBlock({size_ ? contents.data() : &kNothing, size_}, value, position, start, step);
}

}  // namespace lexicorn
