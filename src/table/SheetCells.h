#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lexicorn {

/// The cells of one worksheet as UTF-8 text, kept sparse: a workbook may place a single cell far
/// away. Empty cells are not kept, so the counts reach to the last cell that holds a value.
class SheetCells {
  public:
    /// Most rows and columns a table may have: counts are 16-bit.
    static constexpr std::size_t kMostRowsOrColumns = 65535;
    /// Most cells with values a table may have: a bound on the memory a hostile file can claim.
    static constexpr std::size_t kMostCells = 10'000'000;
    /// Most bytes of text a table may unpack to, repeats and spaces included: a small file can
    /// describe gigabytes.
    static constexpr std::size_t kMostTextBytes = 512u << 20;

    /// `mostTextBytes`: kMostTextBytes, or less where a test wants to meet the cap.
    explicit SheetCells(std::string fileName, std::string sheetName = {},
                        std::size_t mostTextBytes = kMostTextBytes)
        : fileName_(std::move(fileName)), sheetName_(std::move(sheetName)), mostTextBytes_(mostTextBytes) {}

    /// Sets the cell in `row` and `column` (from 1) to a copy of `text`. Empty text is ignored. Throws
    /// TableError for a cell beyond 65535 rows or columns or beyond the most cells, text beyond the
    /// most text bytes, invalid UTF-8 or a NUL character.
    void Set(std::size_t row, std::size_t column, std::string_view text);
    /// Takes `text` as the store of the texts that many cells share (a workbook's shared strings):
    /// SetShared then points a cell into it instead of copying its text.
    void AdoptSharedText(std::string text) { sharedText_ = std::move(text); }
    /// Set, to the `size` bytes at `offset` of the shared text, which stay where they are.
    void SetShared(std::size_t row, std::size_t column, std::size_t offset, std::size_t size);
    /// Throws TableError when the table has no room for `bytes` more of text. For a reader that
    /// gathers a text before it sets it, or copies one: the text is refused before it is held.
    void CheckTextRoom(std::size_t bytes) const;
    /// Empty for a cell without a value; valid until the next Set or AdoptSharedText.
    std::string_view Get(std::size_t row, std::size_t column) const;
    std::size_t RowCount() const { return rows_.size(); }
    std::size_t ColumnCount() const { return columnCount_; }
    const std::string& FileName() const { return fileName_; }
    /// The worksheet's name as the workbook shows it.
    const std::string& SheetName() const { return sheetName_; }
    void NameSheet(std::string name) { sheetName_ = std::move(name); }

  private:
    // A cell's text stands in text_, or in sharedText_: a block of its own for each of a table's
    // many cells would cost an allocation each and scatter them over the heap.
    struct Cell {
        std::uint16_t column;
        bool shared;
        std::size_t offset;
        std::size_t size;
    };
    using Row = std::vector<Cell>;  // sorted by column
    // Throws TableError when `text` may not stand in the cell, or when the table has no room for it.
    void Admit(std::size_t row, std::size_t column, std::string_view text) const;
    // Puts the admitted cell into its row, in the place of a cell of the same column.
    void Put(std::size_t row, const Cell& cell);

    std::string fileName_;
    std::string sheetName_;
    std::vector<Row> rows_;
    std::string text_;
    std::string sharedText_;
    std::size_t columnCount_ = 0;
    std::size_t cellCount_ = 0;
    std::size_t mostTextBytes_;
    std::size_t textBytes_ = 0;  // never more than mostTextBytes_
};

/// Throws TableError, naming the file, row and column, when a cell's text is not valid UTF-8 (then
/// with `advice` appended) or holds a NUL character, which the zero-terminated texts of an image cannot.
void CheckCellText(std::string_view fileName, std::size_t row, std::size_t column, std::string_view text,
                   std::string_view advice = {});

/// A number as a spreadsheet shows it in a string table: integers without a decimal part ("1"),
/// other numbers in the shortest form that reads back to the same value.
std::string NumberText(double value);
/// A spreadsheet date serial (days, with the time as the fraction) in ISO 8601: "2024-01-15",
/// "10:30:00" for a time alone, "2024-01-15T10:30:00" for both. `date1904`: days count from
/// 1904-01-01 instead of the 1900 system (with its phantom 29 February 1900).
std::string SerialDateText(double serial, bool date1904);

}  // namespace lexicorn
