#pragma once

#include <memory>
#include <string>

#include "table/TableReader.h"

namespace lexicorn {

/// The reader for a table file: workbooks (known by their content) through ExcelReader, text
/// through CsvReader split as kTableFormats says for the file's extension. A missing file gives a
/// closed reader without rows. Throws TableError for a file that no reader can read.
std::unique_ptr<TableReader> CreateTableReader(const std::string& path);

}  // namespace lexicorn
