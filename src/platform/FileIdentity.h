#pragma once

#include <cstdio>
#include <filesystem>

namespace lexicorn {

/// True when `path`, with its links (and /proc/self/fd names) followed, is the very file that
/// `open` reads: the same device and the same file on it, whatever the names.
bool IsOpenFile(const std::filesystem::path& path, std::FILE* open);

}  // namespace lexicorn
