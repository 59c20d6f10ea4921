#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "compile/TableCheck.h"
#include "table/LoadedTable.h"

// Which string ids the firmware still names: the identifiers of its C, C++, C# and Visual Basic
// sources, read past comments and string literals. An id that no source names is a dead string,
// and dead strings cost flash.
namespace lexicorn {

/// The families of languages whose comments and literals are alike.
enum class SourceLanguage : std::int8_t {
    kCLike = 0,        ///< C and C++: // and /* */ comments, "..." and '...' with escapes, R"(...)"
    kCSharp = 1,       ///< also @"...", $"..." with its {holes}, and """raw"""
    kVisualBasic = 2,  ///< ' and REM comments, "..." with "" for a quote; names ignore case
};

/// The family of a source file by its extension in any case (.c, .h, .cpp, .hpp and the like,
/// .ino; .cs; .vb, .bas); none for another file.
std::optional<SourceLanguage> SourceLanguageOf(const std::filesystem::path& file);

/// The identifiers that sources name.
struct SourceNames {
    std::unordered_set<std::string> exact;         ///< of C, C++ and C#
    std::unordered_set<std::string> ignoringCase;  ///< of Visual Basic, in lower case
    std::size_t files = 0;

    /// Whether some source names `id`, as the source's language compares names.
    bool Names(std::string_view id) const;
};

/// Adds the identifiers of `text` outside its comments and literals (the code in the holes of
/// interpolated strings included) to `names`.
void CollectNames(std::string_view text, SourceLanguage language, SourceNames& names);

/// The names of every source file under `folders`, searched through. The string-id lists a build
/// writes (StringList.h, .cs, .vb) are left out: they name every id. Throws Error naming a folder
/// that does not exist or a file that cannot be read.
SourceNames ReadSourceNames(const std::vector<std::filesystem::path>& folders);

/// A warning, unused-id, at each id of `table` that `names` lacks, with what its strings take in the
/// image. `report` is the table's check with the same settings and languages.
std::vector<Finding> UnusedIdFindings(const LoadedTable& table, const CheckReport& report,
                                      const SourceNames& names);

}  // namespace lexicorn
