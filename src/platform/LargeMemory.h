#pragma once

#include <cstddef>

namespace lexicorn {

/// Asks the system to back the memory [data, data + bytes) with large pages where it can: a buffer
/// of many megabytes then costs a few hundred page faults instead of thousands. Only a hint; its
/// contents and size stay as they are.
void PreferLargePages(void* data, std::size_t bytes);

}  // namespace lexicorn
