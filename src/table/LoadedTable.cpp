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

LoadedTable LoadTable(const std::string& path, const std::string& codePage) {
    LoadedTable table;
    table.tableReader = CreateTableReader(path);
    TableReader& reader = *table.tableReader;
    if (reader.CheckFile() != kSuccess) throw TableError(path + ": no such file");
    reader.SetCodePage(codePage);
    const std::size_t columns = reader.GetColumnCount();
    const std::size_t languageCount = columns > 1 ? columns - 1 : 0;
    if (languageCount > LoadedTable::kMaxLanguages)
        throw TableError(fmt::format("{}: the table has {} language columns; at most {} are supported", path,
                                     languageCount, LoadedTable::kMaxLanguages));
    for (std::size_t i = 0; i < languageCount; ++i) {
        const auto column = static_cast<std::uint16_t>(table_layout::LanguageColumn(i));
        LanguageEntry entry{reader.GetCellW(column, table_layout::kNameRow),
                            reader.GetCellW(column, table_layout::kCodeRow), false};
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
