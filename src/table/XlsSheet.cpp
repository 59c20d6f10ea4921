// Excel 97-2003 and older BIFF workbooks, read by the helper program lexicorn-xls-reader.
#include <fmt/format.h>

#include <charconv>
#include <cstdlib>
#include <filesystem>

#include "platform/HelperProcess.h"
#include "table/TableReader.h"
#include "table/WorkbookFormats.h"
#include "table/XlsReply.h"

namespace lexicorn {
namespace {

constexpr std::chrono::seconds kDefaultTimeLimit{60};

// Installed, the reader sits in the package's libexec folder, found from the running program so that
// an installation can move. A program run from the build tree uses the one built beside it.
std::string ReaderProgram() {
    if (const char* chosen = std::getenv("LEXICORN_XLS_READER"); chosen && *chosen) return chosen;
    const std::string self = ExecutablePath();
    // Without its own folder the program would look for the reader in the current one, which may be
    // the folder of the workbook.
    if (self.empty()) throw HelperFailure("could not be started: the folder of this program is not known");
    if (self.starts_with(LEXICORN_BUILD_TREE "/")) return LEXICORN_XLS_READER_IN_BUILD_TREE;
    return (std::filesystem::path(self).parent_path() / LEXICORN_XLS_READER_FROM_BINDIR).lexically_normal().string();
}

std::chrono::seconds TimeLimit() {
    const char* chosen = std::getenv("LEXICORN_XLS_TIME_LIMIT");
    if (!chosen || !*chosen) return kDefaultTimeLimit;
    unsigned seconds = 0;
    const char* end = chosen + std::char_traits<char>::length(chosen);
    if (const auto [at, error] = std::from_chars(chosen, end, seconds);
        error != std::errc() || at != end || !seconds)
        throw TableError(fmt::format("LEXICORN_XLS_TIME_LIMIT={}: not a number of seconds", chosen));
    return std::chrono::seconds(seconds);
}

}  // namespace

SheetCells ReadXlsSheet(const std::string& fileName) {
    const std::chrono::seconds timeLimit = TimeLimit();
    XlsReplyDecoder answer(fileName);
    try {
        const HelperRun run{.program = ReaderProgram(),
                            .arguments = {fileName},
                            .timeLimit = timeLimit,
                            .mostMemoryBytes = kXlsReaderMostMemoryBytes};
        RunHelper(run, [&](std::string_view piece) { answer.Take(piece); });
    } catch (const HelperFailure& failure) {
        throw TableError(fmt::format("{}: the .xls reader {}", fileName, failure.what()));
    }
    return answer.Finish();
}

}  // namespace lexicorn
