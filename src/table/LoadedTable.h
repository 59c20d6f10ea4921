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
};

/// A string table loaded for a build: its reader, closed between uses, and its language columns.
/// Entry i of `languages` stands for table column i + 2.
struct LoadedTable {
    /// Most language columns a table may have, and most UTF-16 units of a language name.
    static constexpr std::size_t kMaxLanguages = 98;
    static constexpr std::size_t kMaxLanguageNameLength = 99;

    std::unique_ptr<TableReader> tableReader;
    int tableLanguageCount = 0;
    std::string spreadsheetPath;
    std::vector<LanguageEntry> languages;

    std::size_t SelectedCount() const;
    /// Forgets the table (the reader stays, closed): a new build needs it loaded again.
    void Reset();
};

/// Opens the table at `path`, reads its language names and codes and closes it again. Narrow text
/// outside UTF-8 mode will be in `codePage`. Throws TableError when the file is missing or cannot
/// be read, or has more languages or longer language names than a build holds.
LoadedTable LoadTable(const std::string& path, const std::string& codePage = kDefaultCodePage);

}  // namespace lexicorn
