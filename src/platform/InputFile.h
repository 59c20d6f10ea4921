#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>

namespace lexicorn {

/// Opens `path` for reading without waiting on it: a FIFO, a device or a socket is refused (null,
/// with `errno` EINVAL) instead of blocking the program until someone writes to it.
std::FILE* OpenRegularFile(const std::filesystem::path& path);

/// True when `path`, with its links (and /proc/self/fd names) followed, is the very file that
/// `open` reads: the same device and the same file on it, whatever the names.
bool IsOpenFile(const std::filesystem::path& path, std::FILE* open);

/// True when standard output writes to the very file that `open` reads: the same device and the
/// same file on it, however the shell opened it (`> file`, `>> file`).
bool IsStandardOutput(std::FILE* open);

/// Reads `into.size()` bytes of `file` from `offset` on, leaving the stream's position as it is:
/// false when the file ends before or a read fails.
bool ReadFileAt(std::FILE* file, std::uint64_t offset, std::span<std::uint8_t> into);

/// True when `a` and `b`, with their links followed, name one existing file: the same device and
/// the same file on it, whatever the names (a symbolic or hard link, /proc/self/fd, "..").
bool IsSameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace lexicorn
