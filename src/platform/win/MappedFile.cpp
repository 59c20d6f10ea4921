// Windows memory mapping: a read-only view of the whole file through a file mapping object.
#include "platform/MappedFile.h"

#include <io.h>
#include <windows.h>

#include <utility>

namespace lexicorn {

MappedFile::MappedFile(std::FILE* stream, std::size_t length) {
    if (length == 0) {
        valid_ = true;
        return;
    }
    const auto file = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (file == INVALID_HANDLE_VALUE) return;
    const std::uint64_t size = length;
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, static_cast<DWORD>(size >> 32),
                                        static_cast<DWORD>(size), nullptr);
    if (mapping == nullptr) return;
    // The view keeps the mapping alive: its handle is not needed past this point.
    void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, length);
    CloseHandle(mapping);
    if (data == nullptr) return;
    data_ = static_cast<const std::uint8_t*>(data);
    length_ = length;
    valid_ = true;
}

void MappedFile::Release() {
    if (data_) UnmapViewOfFile(data_);
    data_ = nullptr;
    length_ = 0;
    valid_ = false;
}

}  // namespace lexicorn
