#include "table/TableReaderFactory.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "table/CsvReader.h"
#include "table/ExcelReader.h"

namespace lexicorn {
namespace {

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace

std::unique_ptr<TableReader> CreateTableReader(const std::string& path) {
    const std::string extension = LowerExtension(path);
    std::error_code ignored;
    const std::filesystem::file_status status = std::filesystem::status(path, ignored);
    const bool exists = std::filesystem::exists(status);
    // A FIFO, a device or a socket would make every reader wait for data that may never come.
    if (exists && !std::filesystem::is_regular_file(status))
        throw TableError(path + ": not a regular file (a table is read from a file)");
    // Workbooks are known by their content, whatever their names say.
    if (exists ? ExcelReader::LooksLikeWorkbook(path)
               : (extension == ".xls" || extension == ".xlsx" || extension == ".ods"))
        return std::make_unique<ExcelReader>(path);
    if (extension == ".csv" || extension == ".tsv" || extension == ".txt" || !exists)
        return std::make_unique<CsvReader>(path, extension == ".csv" ? ',' : '\t');
    if (extension == ".xls" || extension == ".xlsx" || extension == ".ods")
        return std::make_unique<ExcelReader>(path);  // it will say what is wrong with the file
    throw TableError(path + ": not a table this program can read (.xls, .xlsx, .ods, .csv, .tsv)");
}

}  // namespace lexicorn
