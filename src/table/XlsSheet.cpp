// Excel 97-2003 and older BIFF workbooks, read with FreeXL.
#include <fmt/format.h>
#include <freexl.h>

#include <cstdio>
#include <memory>

#include "platform/Isolated.h"
#include "table/TableReader.h"
#include "table/WorkbookFormats.h"

namespace lexicorn {

namespace {

// The sheet's name travels from the reader process as "length:name", then the cells as
// "row column length:text" records.
std::string Serialise(const SheetCells& cells) {
    std::string bytes = fmt::format("{}:{}", cells.SheetName().size(), cells.SheetName());
    for (std::size_t row = 1; row <= cells.RowCount(); ++row)
        for (std::size_t column = 1; column <= cells.ColumnCount(); ++column)
            if (std::string_view text = cells.Get(row, column); !text.empty())
                bytes += fmt::format("{} {} {}:{}", row, column, text.size(), text);
    return bytes;
}

SheetCells Deserialise(const std::string& fileName, const std::string& bytes) {
    const auto unknown = [&] {
        return TableError(fileName + ": the .xls reader answered in a form this program does not know");
    };
    std::size_t nameLength = 0;
    int consumed = 0;
    if (std::sscanf(bytes.c_str(), "%zu:%n", &nameLength, &consumed) != 1 ||
        static_cast<std::size_t>(consumed) + nameLength > bytes.size())
        throw unknown();
    SheetCells cells(fileName, bytes.substr(static_cast<std::size_t>(consumed), nameLength));
    std::size_t at = static_cast<std::size_t>(consumed) + nameLength;
    while (at < bytes.size()) {
        std::size_t row = 0, column = 0, length = 0;
        if (std::sscanf(bytes.c_str() + at, "%zu %zu %zu:%n", &row, &column, &length, &consumed) != 3 ||
            at + static_cast<std::size_t>(consumed) + length > bytes.size())
            throw unknown();
        at += static_cast<std::size_t>(consumed);
        cells.Set(row, column, bytes.substr(at, length));
        at += length;
    }
    return cells;
}

SheetCells ReadInThisProcess(const std::string& fileName) {
    const void* handle = nullptr;
    if (int error = freexl_open(fileName.c_str(), &handle); error != FREEXL_OK) {
        if (handle) freexl_close(handle);
        throw TableError(fmt::format("{}: not a readable .xls workbook (FreeXL error {})", fileName, error));
    }
    std::unique_ptr<const void, int (*)(const void*)> workbook(handle, freexl_close);
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        throw TableError(fileName + ": the workbook has no worksheet");
    const char* sheetName = nullptr;
    freexl_get_worksheet_name(handle, 0, &sheetName);
    const std::string sheet = sheetName ? sheetName : "1";
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        throw TableError(fmt::format("{}: sheet '{}' cannot be read", fileName, sheet));

    SheetCells cells(fileName, sheet);
    for (unsigned int row = 0; row < rows; ++row)
        for (unsigned short column = 0; column < columns; ++column) {
            FreeXL_CellValue value{};
            if (freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK)
                throw TableError(
                    LocatedMessage(fileName, sheet, row + 1, column + 1, "the cell cannot be read"));
            std::string text;
            switch (value.type) {
                case FREEXL_CELL_INT:
                    text = fmt::format("{}", value.value.int_value);
                    break;
                case FREEXL_CELL_DOUBLE:
                    text = NumberText(value.value.double_value);
                    break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_TIME:
                    text = value.value.text_value ? value.value.text_value : "";
                    break;
                case FREEXL_CELL_DATETIME:  // "2024-01-15 10:30:00" in ISO 8601 form
                    text = value.value.text_value ? value.value.text_value : "";
                    if (text.size() > 10 && text[10] == ' ') text[10] = 'T';
                    break;
                default:
                    break;
            }
            cells.Set(row + 1, column + 1, std::move(text));
        }
    return cells;
}

}  // namespace

SheetCells ReadXlsSheet(const std::string& fileName) {
    // FreeXL is not safe against every damaged file: it reads in a process of its own.
    try {
        return Deserialise(fileName, RunIsolated([&] { return Serialise(ReadInThisProcess(fileName)); }));
    } catch (const IsolatedFailure& failure) {
        const std::string what = failure.what();
        throw TableError(what.starts_with(fileName) ? what : fileName + ": " + what);
    }
}

}  // namespace lexicorn
