#include "table/SheetCells.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "base/Unicode.h"
#include "table/TableReader.h"

namespace lexicorn {

void SheetCells::CheckTextRoom(std::size_t bytes) const {
    if (bytes > mostTextBytes_ - textBytes_)
        throw TableError(fmt::format("{}: the table unpacks to more than {} MB of text; refused", fileName_,
                                     mostTextBytes_ >> 20));
}

void SheetCells::Admit(std::size_t row, std::size_t column, std::string_view text) const {
    if (row < 1 || column < 1)
        throw TableError(
            fmt::format("{}: a cell lies at row {}, column {}; both count from 1", fileName_, row, column));
    if (row > kMostRowsOrColumns || column > kMostRowsOrColumns)
        throw TableError(
            LocatedMessage(fileName_, row, column,
                           fmt::format("the cell lies beyond the {} rows and columns a table may have",
                                       kMostRowsOrColumns)));
    CheckCellText(fileName_, row, column, text);
    CheckTextRoom(text.size());
}

void SheetCells::Put(std::size_t row, const Cell& cell) {
    // A cell set again keeps its old text where it stood, unused: the cap counts it too.
    textBytes_ += cell.size;
    if (rows_.size() < row) rows_.resize(row);
    Row& cells = rows_[row - 1];
    // A table's rows are mostly as wide as the row above: room for as many cells at once.
    if (cells.empty() && row >= 2) cells.reserve(rows_[row - 2].size());
    // Cells nearly always arrive in order; a late one is put in its place.
    auto at = cells.end();
    if (!cells.empty() && cells.back().column >= cell.column)
        at = std::lower_bound(cells.begin(), cells.end(), cell.column,
                              [](const Cell& earlier, std::uint16_t c) { return earlier.column < c; });
    if (at != cells.end() && at->column == cell.column) {
        *at = cell;
    } else {
        if (++cellCount_ > kMostCells)
            throw TableError(
                fmt::format("{}: the table holds more than {} cells; refused", fileName_, kMostCells));
        cells.insert(at, cell);
    }
    columnCount_ = std::max(columnCount_, std::size_t{cell.column});
}

void SheetCells::Set(std::size_t row, std::size_t column, std::string_view text) {
    if (text.empty()) return;
    Admit(row, column, text);
    const std::size_t offset = text_.size();
    text_ += text;
    Put(row, {static_cast<std::uint16_t>(column), false, offset, text.size()});
}

void SheetCells::SetShared(std::size_t row, std::size_t column, std::size_t offset, std::size_t size) {
    if (size == 0) return;
    Admit(row, column, std::string_view(sharedText_).substr(offset, size));
    Put(row, {static_cast<std::uint16_t>(column), true, offset, size});
}

std::string_view SheetCells::Get(std::size_t row, std::size_t column) const {
    if (row < 1 || row > rows_.size()) return {};
    const Row& cells = rows_[row - 1];
    // A row without gaps before `column` holds it at its own place: found without a search.
    auto at = column >= 1 && column <= cells.size() && cells[column - 1].column == column
                  ? cells.begin() + static_cast<std::ptrdiff_t>(column - 1)
                  : std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const Cell& cell, std::size_t c) { return cell.column < c; });
    if (at == cells.end() || at->column != column) return {};
    return std::string_view(at->shared ? sharedText_ : text_).substr(at->offset, at->size);
}

void CheckCellText(std::string_view fileName, std::size_t row, std::size_t column, std::string_view text,
                   std::string_view advice) {
    if (auto bad = FindInvalidUtf8(text)) {
        // Half of a UTF-16 pair, whether a UTF-16 file or the UTF-8 of one brought it, is no
        // character: named as what it is, at its cell, never turned into another.
        if (const std::optional<char32_t> surrogate = SurrogateAt(text, *bad))
            throw TableError(LocatedMessage(fileName, row, column,
                                            fmt::format("a UTF-16 surrogate (U+{:04X}) without its pair{}",
                                                        static_cast<std::uint32_t>(*surrogate), advice)));
        throw TableError(LocatedMessage(
            fileName, row, column,
            fmt::format("invalid UTF-8 (byte 0x{:02X}){}", static_cast<unsigned char>(text[*bad]), advice)));
    }
    if (text.find('\0') != std::string_view::npos)
        throw TableError(LocatedMessage(fileName, row, column, "the cell holds a NUL character"));
}

std::string NumberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15)
        return fmt::format("{}", static_cast<long long>(value));
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : fmt::format("{}", value);
}

std::string SerialDateText(double serial, bool date1904) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465)
        return NumberText(serial);  // past 9999-12-31
    long long days = static_cast<long long>(std::floor(serial));
    long long seconds = std::llround((serial - static_cast<double>(days)) * 86400.0);
    if (seconds == 86400) {
        ++days;
        seconds = 0;
    }
    const std::string time =
        fmt::format("{:02}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
    if (days == 0 && !date1904) return time;  // a time alone: serial 0 is no day of the 1900 system
    // Days from 1970-01-01 (civil-from-days, proleptic Gregorian calendar).
    long long epochDays;
    if (date1904)
        epochDays = days - 24107;  // 1904-01-01
    else
        epochDays = days - (days < 60 ? 25568 : 25569);  // the 1900 system counts a 29 February 1900
    if (!date1904 && days == 60) return fmt::format("1900-02-29{}", seconds ? "T" + time : "");
    const long long z = epochDays + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2);
    const std::string date = fmt::format("{:04}-{:02}-{:02}", year, month, day);
    return seconds ? date + "T" + time : date;
}

}  // namespace lexicorn
