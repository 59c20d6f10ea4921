#pragma once

#include <string>

#include "table/SheetCells.h"

namespace lexicorn {

// How the .xls reader program answers: 'R' and the sheet, or 'E' and an error message. The sheet is
// its name as "length:name", then the cells with text as "row column length:text". Lengths are
// bytes, so texts travel as they are.

/// The answer that carries `cells`.
std::string EncodeXlsReply(const SheetCells& cells);
/// The answer that carries an error message.
std::string EncodeXlsError(const std::string& message);
/// The sheet an answer carries, read in one pass. Throws TableError naming `fileName` with the
/// message of an error answer, or when the answer is not in this form.
SheetCells DecodeXlsReply(const std::string& fileName, std::string_view reply);

}  // namespace lexicorn
