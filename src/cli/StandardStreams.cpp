#include "cli/StandardStreams.h"

#include <fmt/format.h>

#include <istream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "cli/Commands.h"

namespace lexicorn::cli {

std::string ReadStandardInput(const Console& console) {
    if (!console.input) throw UsageError("'-' stands for standard input, and there is none to read here");
    std::string bytes{std::istreambuf_iterator<char>(*console.input), std::istreambuf_iterator<char>()};
    if (console.input->bad()) throw std::runtime_error("standard input cannot be read");
    return bytes;
}

ScratchFolder::ScratchFolder() {
    namespace fs = std::filesystem;
    const fs::path temporary = fs::temp_directory_path();
    std::random_device seed;
    std::mt19937_64 names(seed());
    // A name that nobody holds: creating the folder is the test, so no other process can have it.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = temporary / fmt::format("lexicorn-{:016x}", names());
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error(fmt::format("{}: no folder of its own could be made there", temporary.string()));
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;  // a folder left behind in the temporary folder harms nobody
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace lexicorn::cli
