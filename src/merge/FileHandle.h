#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "base/ResultCodes.h"
#include "platform/MappedFile.h"

namespace lexicorn {

class AtomicFile;

/// One input file of the merger, opened read-only, with its path and its length, every outcome a
/// result code. Files of 4 GiB or more are refused: sizes and offsets are 32-bit.
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

    /// Opens the file for reading: 0, kAlreadyOpen, kCannotOpenFile (also for a FIFO, a device or a
    /// socket, which are never waited on) or kFileTooLarge.
    ResultCode OpenForReading();
    /// kNotOpen when the handle is closed.
    ResultCode CloseFile();
    /// The length measured when the file was opened.
    std::uint32_t Size() const { return size_; }

    /// Reads `count` bytes at an offset: 0, kOutOfRange beyond the end, kShortRead when closed or
    /// when the read fails.
    ResultCode ReadAt(std::uint32_t offset, std::uint32_t count, void* buffer) const;
    /// The whole file, read-only and without copying, valid until the file is closed; kNotOpen, or
    /// kNoStorage when it cannot be mapped.
    ResultCode MapContents(std::span<const std::uint8_t>& contents);
    /// True when `path` names this open file, through links and all.
    bool IsNamedBy(const std::string& path) const;
    /// True when standard output writes to this open file.
    bool IsStandardOutput() const;
    /// Appends `length` bytes of the file from `offset` to `output`.
    void CopyTo(AtomicFile& output, std::uint32_t offset, std::uint64_t length) const;

  private:
    std::string path_;
    std::FILE* stream_ = nullptr;
    std::uint32_t size_ = 0;
    MappedFile mapping_;
};

}  // namespace lexicorn
