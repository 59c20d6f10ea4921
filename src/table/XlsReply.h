#pragma once

#include <string>
#include <string_view>

#include "table/SheetCells.h"

namespace lexicorn {

// How the .xls reader program answers: 'R' and the sheet, or 'E' and an error message. The sheet is
// its name as "length:name", then the cells with text as "row column length:text". Lengths are
// bytes, so texts travel as they are.

/// The memory the reader may take: more than any table within 65535 rows needs, and far below what a
/// hostile file would take.
constexpr std::size_t kXlsReaderMostMemoryBytes = std::size_t{2} << 30;

/// The answer that carries `cells`.
std::string EncodeXlsReply(const SheetCells& cells);
/// The answer that carries an error message.
std::string EncodeXlsError(const std::string& message);

/// Reads an answer as it arrives, in pieces cut anywhere, and holds no more of it than the cells it
/// has read and the text it is in: an answer that floods is refused as soon as it leaves this form or
/// its cells pass the table's limits, not once it has all arrived.
class XlsReplyDecoder {
  public:
    /// `mostTextBytes`: see SheetCells.
    explicit XlsReplyDecoder(const std::string& fileName,
                             std::size_t mostTextBytes = SheetCells::kMostTextBytes);

    /// Reads the next piece. Throws TableError naming the file as soon as the answer is not in this
    /// form, or a cell is refused (see SheetCells::Set); a text is refused by its length, before its
    /// bytes arrive.
    void Take(std::string_view piece);
    /// The sheet once the whole answer has been taken. Throws TableError naming the file with the
    /// message of an error answer, or when the answer ends early.
    SheetCells Finish();

  private:
    enum class Expect { kKind, kErrorMessage, kNameLength, kName, kRow, kColumn, kTextLength, kText };

    [[noreturn]] void RefuseForm() const;
    void TakeDigit(char c);
    void StartText(Expect text);
    void EndText();

    std::string fileName_;
    SheetCells cells_;
    Expect expect_ = Expect::kKind;
    std::size_t number_ = 0;
    bool digits_ = false;  // of number_
    std::size_t row_ = 0, column_ = 0;
    std::string text_;  // the error message, the sheet's name or a cell's text, as far as it has come
    std::size_t textLeft_ = 0;
};

}  // namespace lexicorn
