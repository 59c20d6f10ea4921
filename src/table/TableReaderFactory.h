#pragma once

#include <memory>
#include <string>

#include "table/TableReader.h"

namespace lexicorn {

/// The reader for a table file: workbooks (.xls, .xlsx, .ods, known by their content) through
/// ExcelReader; `.csv` files comma-separated and `.tsv` and `.txt` files tab-separated through
/// CsvReader. A missing file gives a closed reader without rows. Throws TableError for a file that
/// no reader can read.
std::unique_ptr<TableReader> CreateTableReader(const std::string& path);

}  // namespace lexicorn
