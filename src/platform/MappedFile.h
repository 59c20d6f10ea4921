#pragma once

#include <cstdint>
#include <cstdio>
#include <span>

namespace lexicorn {

/// The contents of an open file mapped read-only into memory, for reading large files without
/// copying them. Empty for an empty file or when the file cannot be mapped.
class MappedFile {
  public:
    MappedFile() = default;
    /// Maps `length` bytes of the open stream; check Valid().
    MappedFile(std::FILE* stream, std::size_t length);
    ~MappedFile();
    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;

    bool Valid() const { return valid_; }
    std::span<const std::uint8_t> Bytes() const { return {data_, length_}; }

  private:
    void Release();

    const std::uint8_t* data_ = nullptr;
    std::size_t length_ = 0;
    bool valid_ = false;
};

}  // namespace lexicorn
