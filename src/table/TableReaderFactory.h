#pragma once

#include <memory>
#include <string>

#include "table/TableReader.h"

namespace lexicorn {

/// The reader for a table file: `.tsv` files are tab-separated, other text files comma-separated.
/// A missing file gives a closed reader without rows. Throws TableError for a file that no reader
/// can read.
std::unique_ptr<TableReader> CreateTableReader(const std::string& path);

}  // namespace lexicorn
