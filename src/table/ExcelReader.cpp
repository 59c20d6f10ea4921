#include "table/ExcelReader.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <new>

#include "table/TableFormats.h"
#include "table/WorkbookFormats.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

// Opened by its path, as every other reader opens it: a narrow name would be read in Windows' ANSI
// code page, which gives some names another file than the path does.
std::string FirstBytes(const std::string& fileName) {
    std::ifstream file(std::filesystem::path(fileName), std::ios::binary);
    std::array<char, 8> start{};
    file.read(start.data(), start.size());
    return std::string(start.data(), static_cast<std::size_t>(file.gcount()));
}

const std::string kZipMagic("PK\x03\x04", 4);
const std::string kCompoundFileMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

SheetCells ReadSheetByContent(const std::string& fileName) {
    const std::string start = FirstBytes(fileName);
    if (start.starts_with(kCompoundFileMagic) || start.starts_with("\x09\x08") ||
        start.starts_with("\x09\x04") || start.starts_with("\x09\x02") || start.starts_with("\x09\x00"))
        return ReadXlsSheet(fileName);
    if (start.starts_with(kZipMagic)) {
        bool isOds;
        {
            ZipArchive zip(fileName);
            isOds = zip.Has("content.xml") && !zip.Has("xl/workbook.xml") && !zip.Has("_rels/.rels");
        }
        return isOds ? ReadOdsSheet(fileName) : ReadXlsxSheet(fileName);
    }
    throw TableError(fileName + ": not a workbook (" + ListedWorkbookExtensions() +
                     ") nor a table this program can read");
}

// The readers hold a table to caps of their own, but a machine that does not overcommit (Windows
// does not) or a limit on the process may refuse memory below them: the user learns which file
// needed too much, not a bare std::bad_alloc.
SheetCells ReadFirstSheet(const std::string& fileName) {
    try {
        return ReadSheetByContent(fileName);
    } catch (const std::bad_alloc&) {
        throw TableError(fileName + ": out of memory while reading the workbook");
    }
}

}  // namespace

ExcelReader::ExcelReader(std::string fileName, std::uint16_t columnCount, std::uint16_t rowCount)
    : TableReader(std::move(fileName), columnCount, rowCount), measured_(columnCount != 0 || rowCount != 0) {
    Open();
}

bool ExcelReader::LooksLikeWorkbook(const std::string& fileName) {
    const std::string start = FirstBytes(fileName);
    return start.starts_with(kZipMagic) || start.starts_with(kCompoundFileMagic);
}

void ExcelReader::Load() {
    std::error_code error;
    const auto writeTime = std::filesystem::last_write_time(FileName(), error);
    if (!cells_ || error || writeTime != readTime_) {
        cells_.reset();
        cells_.emplace(ReadFirstSheet(FileName()));
        readTime_ = writeTime;
    }
    if (!measured_) SetCounts(cells_->ColumnCount(), cells_->RowCount());
    measured_ = true;
}

std::string_view ExcelReader::CellText(std::uint16_t column, std::uint16_t row) const {
    return cells_->Get(row, column);
}

}  // namespace lexicorn
