#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace lexicorn {

/// Replaces the file at `path` with `bytes`, whole or not at all: the bytes go to a temporary file in
/// the same folder, every write is checked and flushed to disk, and only then is the temporary file
/// renamed over the old one. A failure leaves an existing file as it was. A file whose write
/// permission has been taken away is not replaced. On failure returns false and, when `error` is
/// given, a sentence that says why.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

}  // namespace lexicorn
