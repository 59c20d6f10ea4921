#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ResultCodes.h"
#include "font/GlyphSet.h"
#include "project/ProjectSettings.h"
#include "table/LoadedTable.h"

namespace lexicorn {

/// One problem of a table, at its cell.
struct Finding {
    enum class Severity { kError, kWarning };
    Severity severity = Severity::kError;
    std::string rule;     ///< no-language, empty-id, duplicate-id, id-too-long, cell-too-long,
                          ///< unmappable-character, capacity, invalid-identifier, placeholder-mismatch,
                          ///< whitespace-mismatch, control-character, language-code, empty-code,
                          ///< missing-glyph,
                          ///< too-wide, too-many-lines, limit-unknown-id, unused-id
    std::string sheet;    ///< the worksheet of a workbook; empty for text tables
    std::size_t row = 0;  ///< from 1; the line in `file` for a finding there
    std::size_t column = 0;
    std::string language;  ///< the code of the language column it is in; empty for ids
    std::string message;
    ResultCode code = kSuccess;  ///< what a build reports for it; 0 for warnings
    std::string file;            ///< another file than the table it is in (the limits), else empty

    /// "C7", the cell as a spreadsheet names it.
    std::string Cell() const;
    bool operator==(const Finding&) const = default;
};

/// The figures of one chosen language.
struct LanguageFigures {
    std::string code;
    std::size_t strings = 0;
    std::size_t translated = 0;  ///< cells with a string of their own (not empty, not [USE_DEFAULT])
    /// Of a language other than the default one: cells that take the default string (empty or
    /// [USE_DEFAULT]), and cells whose own string is the default string.
    std::size_t untranslated = 0;
    std::size_t sameAsDefault = 0;
    std::uint64_t bytes = 0;     ///< what its strings take in the image, before identical ones are shared
    GlyphSet glyphs;             ///< the characters its strings draw
};

/// A cell of a language other than the default one that holds no translation of its own.
struct MissingTranslation {
    enum class Kind { kUntranslated, kSameAsDefault };
    Kind kind = Kind::kUntranslated;
    std::size_t row = 0;
    std::size_t column = 0;
    std::size_t language = 0;  ///< in CheckReport::languages
    std::string id;
};

/// Everything the check of a table found, sorted by cell.
struct CheckReport {
    std::vector<Finding> findings;
    std::vector<LanguageFigures> languages;
    std::vector<MissingTranslation> missing;  ///< language by language, each in table order
    std::string sheet;                        ///< the worksheet of a workbook; empty for text tables
    /// What each string (the first at 0) takes in the image over the languages: its offset and its
    /// text in each, before identical texts are shared.
    std::vector<std::uint64_t> stringBytes;
    std::uint64_t imageSize = 0;
    std::uint64_t sharedBytesSaved = 0;
    std::optional<double> capacityUsed;  ///< of a 16-bit table's 64 KB
    /// What the reader should know, though nothing is wrong (see DeviceFonts::Notes).
    std::vector<std::string> notes;

    std::size_t Errors() const;
    std::size_t Warnings() const;
};

/// Checks what a build of `table` with `settings` would make of it: every problem at once, with its
/// cell. The languages are those selected, all of them when none is. The table's reader is open.
/// With the device's fonts in `settings`, every string must be in its language's font and fit its
/// width limit. Throws FontError for a font, and TableError for a limits table, that cannot be read.
CheckReport CheckTable(const LoadedTable& table, const ProjectSettings& settings);

/// The languages a check (and a preview) looks at: the entries of `table.languages` that are
/// selected, all of them when none is.
std::vector<std::size_t> ChosenLanguages(const LoadedTable& table);

/// Whether a cell takes the default language's string of its row instead of its own text.
bool TakesDefaultString(std::string_view cell, const ProjectSettings& settings);

/// Findings in the order a check gives them: the table's cells by row and column, then the lines of
/// other files.
void SortFindings(std::vector<Finding>& findings);

/// "A7", the cell of a row and a column, both from 1.
std::string CellName(std::size_t row, std::size_t column);

/// A finding as compilers print theirs: "strings.xlsx:Sheet1!C7: error: duplicate-id: message".
std::string FindingLine(std::string_view fileName, const Finding& finding);

/// The figures as a small table, one line per language, then the image; each line ends in a line feed.
std::string FiguresText(const CheckReport& report);

/// A cell without a translation of its own: "strings.xlsx:Sheet1!C7: untranslated: de: OK_TEXT", or
/// same-as-default in place of untranslated.
std::string MissingLine(std::string_view fileName, const CheckReport& report,
                        const MissingTranslation& missing);

/// "1 error, 2 warnings".
std::string CountsText(const CheckReport& report);

}  // namespace lexicorn
