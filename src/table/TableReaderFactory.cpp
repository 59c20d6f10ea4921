#include "table/TableReaderFactory.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "table/CsvReader.h"

namespace lexicorn {
namespace {

std::string LowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// Workbooks are recognised by their first bytes, whatever their names say.
bool IsWorkbook(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::array<char, 4> magic{};
    if (!file.read(magic.data(), magic.size())) return false;
    const std::string_view start(magic.data(), magic.size());
    return start == std::string_view("PK\x03\x04", 4) || start == "\xD0\xCF\x11\xE0";
}

}  // namespace

std::unique_ptr<TableReader> CreateTableReader(const std::string& path) {
    if (IsWorkbook(path))
        throw TableError(path + ": spreadsheet workbooks (.xls, .xlsx, .ods) cannot be read yet; "
                                "save the sheet as CSV (UTF-8)");
    return std::make_unique<CsvReader>(path, LowerExtension(path) == ".tsv" ? '\t' : ',');
}

}  // namespace lexicorn
