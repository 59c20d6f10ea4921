#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// In-place writers of string tables: a few cells get new text and everything else in the file stays
// as it was, so that a workbook keeps its formatting and a text table its encoding and quoting.
namespace lexicorn {

/// A cell's new text, addressed as the table's reader addresses it (both from 1).
struct CellEdit {
    std::size_t row = 0;
    std::size_t column = 0;
    std::string text;  ///< UTF-8
};

/// Throws TableError unless the table at `path` is of a kind that EditTable writes: .xls workbooks
/// are refused.
void CheckTableWritable(const std::string& path);

/// The bytes of the table at `path` with `edits` made (in row order, then column order, each cell
/// once), read by the reader of its kind:
/// - text tables keep their encoding (UTF-8 with or without its mark, UTF-16), separator, quoting
///   and line ends; only the edited fields change, and fields are added where a row is shorter;
/// - .xlsx workbooks change only the first worksheet's part, where an edited cell becomes an inline
///   string and keeps its style; every other part is copied as it is;
/// - .ods spreadsheets change only content.xml, where an edited cell becomes a text cell and keeps
///   its style; a run of repeated rows or cells is split around it.
/// Throws TableError for a table it cannot read or write.
std::string EditTable(const std::string& path, const std::vector<CellEdit>& edits);

}  // namespace lexicorn
