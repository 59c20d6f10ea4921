#include "table/XlsReply.h"

#include <fmt/format.h>

#include <limits>

#include "table/TableReader.h"

namespace lexicorn {
namespace {

// The reader's own messages are a line; a longer one is not its answer.
constexpr std::size_t kMostErrorBytes = 1 << 16;

}  // namespace

std::string EncodeXlsReply(const SheetCells& cells) {
    std::string bytes = fmt::format("R{}:{}", cells.SheetName().size(), cells.SheetName());
    for (std::size_t row = 1; row <= cells.RowCount(); ++row)
        for (std::size_t column = 1; column <= cells.ColumnCount(); ++column)
            if (std::string_view text = cells.Get(row, column); !text.empty())
                fmt::format_to(std::back_inserter(bytes), "{} {} {}:{}", row, column, text.size(), text);
    return bytes;
}

std::string EncodeXlsError(const std::string& message) { return "E" + message; }

XlsReplyDecoder::XlsReplyDecoder(const std::string& fileName, std::size_t mostTextBytes)
    : fileName_(fileName), cells_(fileName, {}, mostTextBytes) {}

void XlsReplyDecoder::RefuseForm() const {
    throw TableError(fileName_ + ": the .xls reader answered in a form this program does not know");
}

void XlsReplyDecoder::Take(std::string_view piece) {
    while (!piece.empty()) {
        switch (expect_) {
            case Expect::kKind:
                if (piece.front() == 'R')
                    expect_ = Expect::kNameLength;
                else if (piece.front() == 'E')
                    expect_ = Expect::kErrorMessage;
                else
                    RefuseForm();
                piece.remove_prefix(1);
                break;
            case Expect::kErrorMessage:
                if (piece.size() > kMostErrorBytes - text_.size()) RefuseForm();
                text_ += piece;
                piece = {};
                break;
            case Expect::kName:
            case Expect::kText: {
                const std::size_t taken = std::min(piece.size(), textLeft_);
                text_ += piece.substr(0, taken);
                piece.remove_prefix(taken);
                textLeft_ -= taken;
                if (!textLeft_) EndText();
                break;
            }
            default:
                TakeDigit(piece.front());
                piece.remove_prefix(1);
                break;
        }
    }
}

// Numbers are decimal digits up to the separator after them: ':' before a text, ' ' after a row or
// a column.
void XlsReplyDecoder::TakeDigit(char c) {
    const bool beforeText = expect_ == Expect::kNameLength || expect_ == Expect::kTextLength;
    if (c == (beforeText ? ':' : ' ') && digits_) {
        const std::size_t number = number_;
        number_ = 0;
        digits_ = false;
        switch (expect_) {
            case Expect::kNameLength:
                textLeft_ = number;
                StartText(Expect::kName);
                break;
            case Expect::kRow:
                row_ = number;
                expect_ = Expect::kColumn;
                break;
            case Expect::kColumn:
                column_ = number;
                expect_ = Expect::kTextLength;
                break;
            default:
                textLeft_ = number;
                StartText(Expect::kText);
                break;
        }
        return;
    }
    const auto digit = static_cast<std::size_t>(c - '0');
    if (c < '0' || c > '9' || number_ > (std::numeric_limits<std::size_t>::max() - digit) / 10) RefuseForm();
    number_ = number_ * 10 + digit;
    digits_ = true;
}

void XlsReplyDecoder::StartText(Expect text) {
    cells_.CheckTextRoom(textLeft_);
    text_.clear();
    text_.reserve(textLeft_);  // grown in one step, never to twice the text
    expect_ = text;
    if (!textLeft_) EndText();
}

void XlsReplyDecoder::EndText() {
    if (expect_ == Expect::kName)
        cells_.NameSheet(std::move(text_));
    else
        cells_.Set(row_, column_, text_);
    text_ = std::string();
    expect_ = Expect::kRow;
}

SheetCells XlsReplyDecoder::Finish() {
    if (expect_ == Expect::kErrorMessage)
        throw TableError(text_.starts_with(fileName_) ? text_ : fileName_ + ": " + text_);
    // An answer ends after the sheet's name or after a cell.
    if (expect_ != Expect::kRow || digits_) RefuseForm();
    return std::move(cells_);
}

}  // namespace lexicorn
