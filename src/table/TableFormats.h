#pragma once

#include <string>
#include <string_view>

namespace lexicorn {

/// How a table file's cells are read.
enum class TableReading {
    kWorkbook,        ///< a spreadsheet, whichever kind its content shows
    kCommaSeparated,  ///< text, cells split at commas
    kTabSeparated,    ///< text, cells split at tabs
};

/// One extension a string table may have, described once for the reader, the command line's words
/// and the window's file chooser.
struct TableFormat {
    std::string_view extension;  ///< with its dot, in lower case
    TableReading reading;
    std::string_view chooserGroup;  ///< the chooser's entry that lists it beside its kin
    bool listed;                    ///< named where messages list the tables this program reads
};

/// The extensions in the order messages and choosers list them.
inline constexpr TableFormat kTableFormats[] = {
    {".xls", TableReading::kWorkbook, "Excel Files", true},
    {".xlsx", TableReading::kWorkbook, "Excel Files", true},
    {".ods", TableReading::kWorkbook, "OpenDocument spreadsheets", true},
    {".csv", TableReading::kCommaSeparated, "CSV files", true},
    {".tsv", TableReading::kTabSeparated, "Tab-separated text", true},
    // Tab-separated text as spreadsheets export it; read, but not offered by name.
    {".txt", TableReading::kTabSeparated, "Tab-separated text", false},
};

/// The format that `path`'s extension names, in any case; none for an extension not listed.
const TableFormat* TableFormatOf(const std::string& path);

/// The listed extensions, ".xls, .xlsx, ..." as messages and help name them.
std::string ListedTableExtensions();
/// The same for the workbooks alone.
std::string ListedWorkbookExtensions();

}  // namespace lexicorn
