#include "table/TableReaderFactory.h"

#include <filesystem>

#include "table/CsvReader.h"
#include "table/ExcelReader.h"
#include "table/TableFormats.h"

namespace lexicorn {

std::unique_ptr<TableReader> CreateTableReader(const std::string& path) {
    const TableFormat* format = TableFormatOf(path);
    const bool namedWorkbook = format && format->reading == TableReading::kWorkbook;
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(path, ignored);
    const bool exists = std::filesystem::exists(status);
    // A FIFO, a device or a socket would make every reader wait for data that may never come.
    if (exists && !std::filesystem::is_regular_file(status))
        throw TableError(path + ": not a regular file (a table is read from a file)");
    // Workbooks are known by their content, whatever their names say.
    if (exists ? ExcelReader::LooksLikeWorkbook(path) : namedWorkbook)
        return std::make_unique<ExcelReader>(path);
    if ((format && !namedWorkbook) || !exists)
        return std::make_unique<CsvReader>(
            path, format && format->reading == TableReading::kCommaSeparated ? ',' : '\t');
    if (namedWorkbook) return std::make_unique<ExcelReader>(path);  // it will say what is wrong with the file
    throw TableError(path + ": not a table this program can read (" + ListedTableExtensions() + ")");
}

}  // namespace lexicorn
