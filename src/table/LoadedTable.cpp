#include "table/LoadedTable.h"

#include <fmt/format.h>

#include <algorithm>

#include "table/TableLayout.h"
#include "table/TableReaderFactory.h"

namespace lexicorn {

std::size_t LoadedTable::SelectedCount() const {
    return static_cast<std::size_t>(
        std::count_if(languages.begin(), languages.end(), [](const LanguageEntry& e) { return e.selected; }));
}

void LoadedTable::Reset() {
    languages.clear();
    tableLanguageCount = 0;
    spreadsheetPath.clear();
}

namespace {

// The column whose row 1 holds `header`: no language's, and never the default language's, which
// every other one falls back on.
std::size_t NotesColumn(const TableReader& reader, const std::string& path, const std::string& header) {
    if (header.empty()) return 0;
    for (std::size_t column = table_layout::kDefaultColumn; column <= reader.GetColumnCount(); ++column)
        if (reader.CellUtf8(static_cast<std::uint16_t>(column), table_layout::kNameRow) == header) {
            if (column == table_layout::kDefaultColumn)
                throw TableError(LocatedMessage(
                    path, table_layout::kNameRow, column,
                    fmt::format("'{}' heads the default language's column; notes need a column of their own",
                                header)));
            return column;
        }
    throw TableError(
        fmt::format("{}: no column has '{}' in row 1 for the notes to translators", path, header));
}

}  // namespace

LoadedTable LoadTable(const std::string& path, const std::string& codePage, const std::string& notesHeader) {
    LoadedTable table;
    table.tableReader = CreateTableReader(path);
    TableReader& reader = *table.tableReader;
    if (reader.CheckFile() != kSuccess) throw TableError(path + ": no such file");
    reader.SetCodePage(codePage);
    table.notesColumn = NotesColumn(reader, path, notesHeader);
    const std::size_t columns = reader.GetColumnCount();
    const std::size_t languageCount = (columns > 1 ? columns - 1 : 0) - (table.notesColumn != 0 ? 1 : 0);
    if (languageCount > LoadedTable::kMaxLanguages)
        throw TableError(fmt::format("{}: the table has {} language columns; at most {} are supported", path,
                                     languageCount, LoadedTable::kMaxLanguages));
    for (std::size_t column = table_layout::kDefaultColumn; column <= columns; ++column) {
        if (column == table.notesColumn) continue;
        const auto at = static_cast<std::uint16_t>(column);
        LanguageEntry entry{reader.GetCellW(at, table_layout::kNameRow),
                            reader.GetCellW(at, table_layout::kCodeRow), false, column};
        if (entry.name.size() > LoadedTable::kMaxLanguageNameLength)
            throw TableError(
                fmt::format("{}: row 1, column {}: the language name has {} characters; at most {} "
                            "are supported",
                            path, column, entry.name.size(), LoadedTable::kMaxLanguageNameLength));
        table.languages.push_back(std::move(entry));
    }
    reader.Close();
    table.tableLanguageCount = static_cast<int>(languageCount);
    table.spreadsheetPath = path;
    return table;
}

}  // namespace lexicorn
