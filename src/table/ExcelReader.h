#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "table/SheetCells.h"
#include "table/TableReader.h"

namespace lexicorn {

/// A string table read from the first worksheet of a workbook, .xls, .xlsx or .ods, recognised by
/// the file's content rather than its name. Cells come as text: numbers without needless decimals,
/// booleans as TRUE and FALSE, errors as the spreadsheet shows them, dates and times in ISO 8601,
/// formulas as their cached value. The counts are taken when the file is first opened and kept:
/// a later Open reads the cells again within the same counts (when the file has not changed since,
/// it keeps the cells it read before instead of reading the whole workbook again).
class ExcelReader final : public TableReader {
  public:
    /// Opens and measures the workbook; a missing file leaves the reader closed with no rows.
    explicit ExcelReader(std::string fileName, std::uint16_t columnCount = 0, std::uint16_t rowCount = 0);

    /// True when the file's first bytes are those of a workbook (a zip package or a BIFF compound file).
    static bool LooksLikeWorkbook(const std::string& fileName);
    std::string SheetName() const override { return cells_ ? cells_->SheetName() : std::string(); }

  protected:
    void Load() override;
    void Unload() override {}
    std::string_view CellText(std::uint16_t column, std::uint16_t row) const override;

  private:
    std::optional<SheetCells> cells_;
    std::filesystem::file_time_type readTime_;  // when the file that cells_ holds was last written
    bool measured_ = false;
};

}  // namespace lexicorn
