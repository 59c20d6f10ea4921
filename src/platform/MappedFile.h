#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <utility>

namespace lexicorn {

/// The contents of an open file mapped read-only into memory, for reading large files without
/// copying them. Empty for an empty file or when the file cannot be mapped.
class MappedFile {
  public:
    MappedFile() = default;
    /// Maps `length` bytes of the open stream; check Valid().
    MappedFile(std::FILE* stream, std::size_t length);
    ~MappedFile() { Release(); }
    MappedFile(MappedFile&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)),
          length_(std::exchange(other.length_, 0)),
          valid_(std::exchange(other.valid_, false)) {}
    MappedFile& operator=(MappedFile&& other) noexcept {
        if (this != &other) {
            Release();
            data_ = std::exchange(other.data_, nullptr);
            length_ = std::exchange(other.length_, 0);
            valid_ = std::exchange(other.valid_, false);
        }
        return *this;
    }

    bool Valid() const { return valid_; }
    std::span<const std::uint8_t> Bytes() const { return {data_, length_}; }

  private:
    /// Unmaps the file (each system its own way) and leaves this empty.
    void Release();

    const std::uint8_t* data_ = nullptr;
    std::size_t length_ = 0;
    bool valid_ = false;
};

}  // namespace lexicorn
