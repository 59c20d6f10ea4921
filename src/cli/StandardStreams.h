#pragma once

#include <filesystem>
#include <string>

#include "cli/CommandLine.h"

// `-` in place of a file that a command reads or writes whole: standard input or output.
namespace lexicorn::cli {

inline constexpr const char* kStandardStream = "-";
/// How messages name standard input or output.
inline constexpr const char* kStandardInputName = "standard input";

/// All of standard input. Throws UsageError when the command has none to read.
std::string ReadStandardInput(const Console& console);

/// A folder of its own in the system's temporary folder, for a file that stands in for a stream;
/// removed with everything in it.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace lexicorn::cli
