// POSIX memory mapping; a Windows port maps with CreateFileMapping and MapViewOfFile here.
#include "platform/MappedFile.h"

#include <sys/mman.h>

#include <utility>

namespace lexicorn {

MappedFile::MappedFile(std::FILE* stream, std::size_t length) {
    if (length == 0) {
        valid_ = true;
        return;
    }
    void* data = mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fileno(stream), 0);
    if (data == MAP_FAILED) return;
    madvise(data, length, MADV_SEQUENTIAL);
    data_ = static_cast<const std::uint8_t*>(data);
    length_ = length;
    valid_ = true;
}

void MappedFile::Release() {
    if (data_) munmap(const_cast<std::uint8_t*>(data_), length_);
    data_ = nullptr;
    length_ = 0;
    valid_ = false;
}

}  // namespace lexicorn
