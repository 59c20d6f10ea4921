#include "table/TableReader.h"

#include <fmt/format.h>

#include <filesystem>
#include <limits>

#include "base/Unicode.h"
#include "platform/CodePage.h"

namespace lexicorn {

TableReader::TableReader(std::string fileName, std::uint16_t columnCount, std::uint16_t rowCount)
    : fileName_(std::move(fileName)),
      rowCount_(rowCount),
      columnCount_(columnCount),
      codePage_(std::make_unique<CodePage>(kDefaultCodePage)) {}

TableReader::~TableReader() = default;

void TableReader::SetCodePage(const std::string& name) {
    try {
        codePage_ = std::make_unique<CodePage>(name);
    } catch (const std::invalid_argument& error) {
        throw TableError(error.what());
    }
}

ResultCode TableReader::CheckFile() const {
    std::error_code ignored;
    return std::filesystem::exists(fileName_, ignored) ? kSuccess : kTableFileMissing;
}

ResultCode TableReader::Open() {
    if (opened_) return kSuccess;
    if (CheckFile() != kSuccess) return kTableFileMissing;
    Load();
    opened_ = true;
    return kSuccess;
}

ResultCode TableReader::Close() {
    if (opened_) Unload();
    opened_ = false;
    return kSuccess;
}

void TableReader::SetCounts(std::size_t columnCount, std::size_t rowCount) {
    constexpr std::size_t kMost = std::numeric_limits<std::uint16_t>::max();
    if (rowCount > kMost)
        throw TableError(
            fmt::format("{}: the table has {} rows; at most {} can be read", fileName_, rowCount, kMost));
    if (columnCount > kMost)
        throw TableError(fmt::format("{}: the table has {} columns; at most {} can be read", fileName_,
                                     columnCount, kMost));
    rowCount_ = static_cast<std::uint16_t>(rowCount);
    columnCount_ = static_cast<std::uint16_t>(columnCount);
}

std::string LocatedMessage(std::string_view fileName, std::size_t row, std::size_t column,
                           std::string_view what) {
    return fmt::format("{}: row {}, column {}: {}", fileName, row, column, what);
}

std::string LocatedMessage(std::string_view fileName, std::string_view sheet, std::size_t row,
                           std::size_t column, std::string_view what) {
    return LocatedMessage(fmt::format("{}: sheet '{}'", fileName, sheet), row, column, what);
}

std::string_view TableReader::Cell(std::uint16_t column, std::uint16_t row) const {
    if (!opened_ || column < 1 || row < 1 || column > columnCount_ || row > rowCount_) return {};
    return CellText(column, row);
}

std::string TableReader::GetCell(std::uint16_t column, std::uint16_t row) const {
    std::string_view text = Cell(column, row);
    if (utf8_) return std::string(text);
    std::string converted;
    char32_t missing = 0;
    if (!codePage_->FromUtf8(text, converted, missing))
        throw TableError(LocatedMessage(fileName_, row, column, codePage_->MissingCharacter(missing)));
    return converted;
}

std::u16string TableReader::GetCellW(std::uint16_t column, std::uint16_t row) const {
    return Utf8ToUtf16(Cell(column, row));
}

}  // namespace lexicorn
