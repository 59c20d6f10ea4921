// Windows gives large pages only to processes with a privilege that users rarely have: no hint.
#include "platform/LargeMemory.h"

namespace lexicorn {

void PreferLargePages(void*, std::size_t) {}

}  // namespace lexicorn
