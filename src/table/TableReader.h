#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Error.h"
#include "platform/CodePage.h"

namespace lexicorn {

/// "file: row R, column C: what": the form of every message about a cell.
std::string LocatedMessage(std::string_view fileName, std::size_t row, std::size_t column,
                           std::string_view what);
/// "file: sheet 'S': row R, column C: what": the same for a cell of a named sheet of a workbook.
std::string LocatedMessage(std::string_view fileName, std::string_view sheet, std::size_t row,
                           std::size_t column, std::string_view what);

/// A table file that cannot be read: the message names the file and, where it applies, the row
/// and the column.
class TableError : public Error {
  public:
    explicit TableError(const std::string& message) : Error(kCannotOpenFile, message) {}
};

/// A table of text cells addressed by column and row, both counted from 1, column first. Cells come
/// as UTF-16 (`GetCellW`) or as narrow text: UTF-8 in UTF-8 mode, else in the reader's single-byte
/// code page. An empty cell, a cell outside the table and every cell of a closed reader read as
/// empty text. A reader measures its table when it opens it; the counts survive `Close`.
class TableReader {
  public:
    virtual ~TableReader() = 0;

    /// Narrow text in UTF-8 from now on when on, else in the code page.
    void SetUtf8Mode(bool on) { utf8_ = on; }
    /// The code page of narrow text outside UTF-8 mode; throws TableError for an unknown name.
    void SetCodePage(const std::string& name);

    /// Throws TableError when the cell holds a character that the code page lacks.
    std::string GetCell(std::uint16_t column, std::uint16_t row) const;
    std::u16string GetCellW(std::uint16_t column, std::uint16_t row) const;
    /// The cell's UTF-8 text without a copy, whatever the mode; valid until the reader closes.
    std::string_view CellUtf8(std::uint16_t column, std::uint16_t row) const { return Cell(column, row); }

    /// Releases the source; always 0. The counts and the UTF-8 mode stay.
    virtual ResultCode Close();
    /// Opens the source so that cells can be read: 0, or kTableFileMissing. Opening an open reader
    /// does nothing. Throws TableError when the file cannot be read as a table.
    virtual ResultCode Open();

    std::uint16_t GetColumnCount() const { return columnCount_; }
    std::uint16_t GetRowCount() const { return rowCount_; }
    bool IsOpen() const { return opened_; }
    const std::string& FileName() const { return fileName_; }
    /// The name of the worksheet the cells come from; empty for text tables.
    virtual std::string SheetName() const { return {}; }
    /// 0 when the table file exists, kTableFileMissing when it does not.
    ResultCode CheckFile() const;

  protected:
    TableReader(std::string fileName, std::uint16_t columnCount, std::uint16_t rowCount);

    /// Reads the whole table and records its counts; called by Open on an existing file.
    virtual void Load() = 0;
    /// Releases what Load read.
    virtual void Unload() = 0;
    /// The valid UTF-8 text of a cell inside the counts of an open table.
    virtual std::string_view CellText(std::uint16_t column, std::uint16_t row) const = 0;

    void SetCounts(std::size_t columnCount, std::size_t rowCount);

  private:
    std::string_view Cell(std::uint16_t column, std::uint16_t row) const;

    std::string fileName_;
    std::uint16_t rowCount_;
    std::uint16_t columnCount_;
    bool opened_ = false;
    bool utf8_ = false;
    std::unique_ptr<CodePage> codePage_;
};

}  // namespace lexicorn
