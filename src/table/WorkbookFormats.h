#pragma once

#include <string>

#include "table/SheetCells.h"

// One reader per workbook format; each gives the first worksheet of the file as text cells and
// raises TableError, naming the file and, where it applies, the sheet, row and column.
namespace lexicorn {

class ZipArchive;

/// Office Open XML (.xlsx): the first worksheet in the workbook's own order.
SheetCells ReadXlsxSheet(const std::string& fileName);
/// The part of an .xlsx workbook that holds the worksheet ReadXlsxSheet reads.
std::string FirstXlsxWorksheetPart(const ZipArchive& zip, const std::string& fileName);
/// OpenDocument (.ods): the first table.
SheetCells ReadOdsSheet(const std::string& fileName);
/// The same with a lower cap on the table's text, for tests (see SheetCells).
SheetCells ReadOdsSheet(const std::string& fileName, std::size_t mostTextBytes);
/// Excel 97-2003 and older BIFF workbooks (.xls), through FreeXL.
SheetCells ReadXlsSheet(const std::string& fileName);

}  // namespace lexicorn
