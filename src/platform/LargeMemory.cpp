#include "platform/LargeMemory.h"

#include <sys/mman.h>

#include <cstdint>

namespace lexicorn {

void PreferLargePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    // The advice takes whole pages; a large page covers the 2 MiB aligned to its size.
    constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kLargePage - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace lexicorn
