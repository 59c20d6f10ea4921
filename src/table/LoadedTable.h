#pragma once

#include <memory>
#include <string>
#include <vector>

#include "table/TableReader.h"

namespace lexicorn {

/// One language column of a loaded table.
struct LanguageEntry {
    std::u16string name;  ///< row 1 of the column
    std::u16string code;  ///< row 2 of the column
    bool selected = false;
    std::size_t column = 0;  ///< the column, from 1
};

/// A string table loaded for a build: its reader, closed between uses, and its language columns:
/// every column from the default language's on, but the one of notes for translators.
struct LoadedTable {
    /// Most language columns a table may have, and most UTF-16 units of a language name.
    static constexpr std::size_t kMaxLanguages = 98;
    static constexpr std::size_t kMaxLanguageNameLength = 99;

    std::unique_ptr<TableReader> tableReader;
    int tableLanguageCount = 0;
    std::string spreadsheetPath;
    std::vector<LanguageEntry> languages;
    std::size_t notesColumn = 0;  ///< the column of notes for translators; 0: none

    /// The column of language entry `entry`.
    std::size_t LanguageColumn(std::size_t entry) const { return languages[entry].column; }

    std::size_t SelectedCount() const;
    /// Forgets the table (the reader stays, closed): a new build needs it loaded again.
    void Reset();
};

/// Opens the table at `path`, reads its language names and codes and closes it again. Narrow text
/// outside UTF-8 mode will be in `codePage`. The column whose row 1 holds `notesHeader`, when it is
/// not empty, holds notes for translators and is no language. Throws TableError when the file is
/// missing or cannot be read, has more languages or longer language names than a build holds, or
/// has no column of notes with that header after the default language's.
LoadedTable LoadTable(const std::string& path, const std::string& codePage = kDefaultCodePage,
                      const std::string& notesHeader = {});

}  // namespace lexicorn
