#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "build/ResultCodes.h"
#include "platform/MappedFile.h"

namespace lexicorn {

class AtomicFile;

/// A block of memory to search for a 32-bit word.
struct MemoryBlock {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
};

/// Finds the first index start + k × step (k ≥ 0) at which the little-endian word `value` stands in
/// the block. A step of 0 counts as 1. 0 and the index, kValueNotFound, or kNoStorage for a block
/// without data.
ResultCode FindWordInBlock(const MemoryBlock& block, std::uint32_t value, std::uint32_t& index,
                           std::uint32_t start, std::uint32_t step);

/// Finds the first index start + k × step (k ≥ 0) at which `pattern` stands in `bytes`; npos when
/// there is none. Candidates come from a memmem-class search, not a byte-by-byte crawl.
std::size_t FindPattern(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> pattern,
                        std::size_t start, std::size_t step);

/// One file of the merger: a buffered stream with its path and its length, every outcome a result
/// code. Files of 4 GiB or more are refused: sizes and offsets are 32-bit.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(std::string path) : path_(std::move(path)) {}
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    /// Records the path for the next open; touches no file.
    void SetFileName(std::string path) { path_ = std::move(path); }
    const std::string& FileName() const { return path_; }
    bool IsOpen() const { return stream_ != nullptr; }

    /// Opens with a C stream mode: kAlreadyOpen, kCannotOpenFile or kFileTooLarge on failure.
    ResultCode OpenFile(const char* mode);
    /// Opens an existing file for reading and writing ("rb+").
    ResultCode OpenForUpdate() { return OpenFile("rb+"); }
    /// Opens an existing file for reading only ("rb").
    ResultCode OpenForReading() { return OpenFile("rb"); }
    /// kNotOpen when the handle is closed.
    ResultCode CloseFile();
    /// The length measured when the file was opened or last written.
    std::uint32_t Size() const { return size_; }
    /// The file's length now; 0 when closed.
    std::uint32_t GetFileSize() const;
    void FlushFile();

    ResultCode ReadNext(void* buffer, std::uint32_t count);
    ResultCode WriteNext(const void* buffer, std::uint32_t count);
    /// Reads at an offset and leaves the stream position as it was; kOutOfRange beyond the end.
    ResultCode ReadAt(std::uint32_t offset, std::uint32_t count, void* buffer);
    /// Overwrites existing bytes at an offset; never lengthens the file (kOutOfRange).
    ResultCode WriteAt(std::uint32_t offset, std::uint32_t count, const void* buffer);
    /// The whole file, read-only and without copying, valid until the file is closed; kNotOpen, or
    /// kNoStorage when it cannot be mapped.
    ResultCode MapContents(std::span<const std::uint8_t>& contents);
    /// Appends `length` bytes of the file from `offset` to `output`.
    void CopyTo(AtomicFile& output, std::uint32_t offset, std::uint64_t length) const;
    /// Searches the whole file for a little-endian 32-bit word, as FindWordInBlock.
    ResultCode FindWord(std::uint32_t value, std::uint32_t& position, std::uint32_t start,
                        std::uint32_t step);

  private:
    // Moves `count` bytes at `offset` with `transfer` (which returns how many it moved) and restores the
    // stream position: 0, kOutOfRange, or `failure`.
    template <typename Transfer>
    ResultCode AtOffset(std::uint32_t offset, std::uint32_t count, ResultCode failure, Transfer&& transfer);

    std::string path_;
    std::FILE* stream_ = nullptr;
    std::uint32_t size_ = 0;
    MappedFile mapping_;
};

}  // namespace lexicorn
