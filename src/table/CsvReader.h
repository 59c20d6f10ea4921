#pragma once

#include <string>
#include <vector>

#include "table/TableReader.h"

namespace lexicorn {

/// Comma- or tab-separated text (RFC 4180): quoted fields may hold separators, doubled quotes and
/// line breaks; records end with CR LF, LF or CR. The text is UTF-8, with or without a byte-order
/// mark, or UTF-16 with its byte-order mark. The table reaches to the last row and the last column
/// that hold a non-empty cell.
class CsvReader final : public TableReader {
  public:
    /// Opens and measures the file; a missing file leaves the reader closed with no rows.
    CsvReader(std::string fileName, char separator);
    ~CsvReader() override;

    /// Parses `text` as the content of the file `fileName` (the name is for messages only).
    static std::vector<std::vector<std::string>> Parse(std::string_view text, char separator,
                                                       const std::string& fileName);

  protected:
    void Load() override;
    void Unload() override;
    std::string_view CellText(std::uint16_t column, std::uint16_t row) const override;

  private:
    char separator_;
    std::vector<std::vector<std::string>> rows_;
};

}  // namespace lexicorn
