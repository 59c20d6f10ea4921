// lexicorn-xls-reader FILE: reads the first worksheet of an Excel 97-2003 (or older BIFF) workbook
// with FreeXL and writes it to standard output in the form the table reader decodes. FreeXL is not
// safe against every damaged file, so it runs here, in a process of its own with bounded memory,
// which the program that needs the table can kill.
#include <fmt/format.h>
#include <freexl.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <new>

#include "platform/HelperProcess.h"
#include "table/TableReader.h"
#include "table/XlsReply.h"

namespace {

using lexicorn::LocatedMessage;
using lexicorn::NumberText;
using lexicorn::SheetCells;
using lexicorn::TableError;

SheetCells ReadSheet(const std::string& fileName) {
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
            cells.Set(row + 1, column + 1, text);
        }
    return cells;
}

bool WriteAll(const std::string& bytes) {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: lexicorn-xls-reader FILE (run by lexicorn to read .xls workbooks)\n", stderr);
        return 2;
    }
    lexicorn::BeginHelper(lexicorn::kXlsReaderMostMemoryBytes);
    std::string reply;
    try {
        reply = lexicorn::EncodeXlsReply(ReadSheet(argv[1]));
    } catch (const std::bad_alloc&) {
        reply =
            lexicorn::EncodeXlsError(std::string(argv[1]) + ": the workbook needs more memory than allowed");
    } catch (const std::exception& error) {
        reply = lexicorn::EncodeXlsError(error.what());
    }
    return WriteAll(reply) ? 0 : 1;
}
