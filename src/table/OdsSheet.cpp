// OpenDocument spreadsheets: content.xml of the zip package, read with libzip and expat.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "table/TableReader.h"
#include "table/WorkbookFormats.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

// Repeat counts beyond the table's limit only matter for cells with values, and those are refused by
// SheetCells; empty ones are skipped without a loop. A count is held at one past the limit, so that
// row and column numbers grow beyond it but never wrap around to the table's start.
std::size_t RepeatCount(const char* text) {
    if (!text) return 1;
    std::size_t count = 1;
    auto [stop, error] = std::from_chars(text, text + std::strlen(text), count);
    if (error == std::errc::result_out_of_range) return SheetCells::kMostRowsOrColumns + 1;
    return error == std::errc() && count > 0 ? std::min(count, SheetCells::kMostRowsOrColumns + 1) : 1;
}

// "PT10H30M05S" (an ISO 8601 duration, as time cells hold it) as "10:30:05".
std::string TimeText(const std::string& duration) {
    long hours = 0, minutes = 0;
    double seconds = 0;
    if (std::sscanf(duration.c_str(), "PT%ldH%ldM%lfS", &hours, &minutes, &seconds) != 3) return duration;
    return fmt::format("{:02}:{:02}:{:02}", hours, minutes, static_cast<long>(seconds + 0.5));
}

class ContentHandler final : public XmlHandler {
  public:
    explicit ContentHandler(SheetCells& cells) : cells_(cells) {}

    void Start(std::string_view name, const char** attributes) override {
        if (done_) return;
        if (name == "table") {
            if (++tableDepth_ == 1) tableName_ = Value(Attribute(attributes, "name"));
            return;
        }
        if (tableDepth_ != 1) return;
        if (name == "table-row") {
            rowRepeat_ = RepeatCount(Attribute(attributes, "number-rows-repeated"));
            rowSpans_.clear();
            column_ = 0;
        } else if (name == "table-cell" || name == "covered-table-cell") {
            cellRepeat_ = RepeatCount(Attribute(attributes, "number-columns-repeated"));
            text_.clear();
            paragraphs_ = 0;
            const std::string type = Value(Attribute(attributes, "value-type"));
            if (type == "float" || type == "percentage" || type == "currency") {
                value_ = NumberValue(Attribute(attributes, "value"));
            } else if (type == "date") {
                value_ = Value(Attribute(attributes, "date-value"));
            } else if (type == "time") {
                value_ = TimeText(Value(Attribute(attributes, "time-value")));
            } else if (type == "boolean") {
                value_ = Value(Attribute(attributes, "boolean-value")) == "true" ? "TRUE" : "FALSE";
            } else {
                value_.reset();  // text: the paragraphs say it
            }
            inCell_ = true;
        } else if (!inCell_) {
            return;
        } else if (name == "annotation") {
            ++annotation_;  // a comment on the cell, not its text
        } else if (annotation_) {
            return;
        } else if (name == "p" || name == "h") {
            if (paragraphs_++ > 0) Gather("\n");  // several paragraphs in one cell are lines
        } else if (name == "s") {
            static const std::string kSpaces(1000, ' ');
            Gather(std::string_view(kSpaces).substr(0, RepeatCount(Attribute(attributes, "c"))));
        } else if (name == "tab") {
            Gather("\t");
        } else if (name == "line-break") {
            Gather("\n");
        }
    }

    void End(std::string_view name) override {
        if (done_) return;
        if (name == "table") {
            if (--tableDepth_ == 0) done_ = true;  // only the first table is the string table
            return;
        }
        if (tableDepth_ != 1) return;
        if (name == "annotation") {
            --annotation_;
        } else if ((name == "table-cell" || name == "covered-table-cell") && inCell_) {
            inCell_ = false;
            std::string& text = value_ ? *value_ : text_;
            if (text.empty()) {
                column_ += cellRepeat_;
                return;
            }
            // The cell goes into the table at once, so that its text is held once. Every copy of a
            // repeated cell is memory: each is checked before it is made; the last takes the text.
            rowSpans_.emplace_back(column_ + 1, cellRepeat_);
            for (std::size_t copies = cellRepeat_; copies > 1; --copies) {
                cells_.CheckTextRoom(text.size());
                cells_.Set(row_ + 1, ++column_, text);
            }
            cells_.Set(row_ + 1, ++column_, text);
        } else if (name == "table-row") {
            if (rowSpans_.empty()) {
                row_ += rowRepeat_;
                return;
            }
            // A repeated row is copied from the one already in the table, each copy checked first.
            const std::size_t written = ++row_;
            for (std::size_t copies = rowRepeat_; copies > 1; --copies) {
                ++row_;
                for (const auto& [first, count] : rowSpans_)
                    for (std::size_t column = first; column < first + count; ++column) {
                        const std::string_view text = cells_.Get(written, column);
                        cells_.CheckTextRoom(text.size());
                        cells_.Set(row_, column, std::string(text));
                    }
            }
        }
    }

    void Text(std::string_view text) override {
        if (!done_ && inCell_ && !annotation_ && paragraphs_ > 0) Gather(text);
    }

    bool FoundTable() const { return done_; }
    const std::string& TableName() const { return tableName_; }

  private:
    static std::string Value(const char* text) { return text ? text : ""; }

    // A cell's text is checked against the table's room as it grows: a cell of gigabytes is refused
    // before it is held.
    void Gather(std::string_view text) {
        cells_.CheckTextRoom(text_.size() + text.size());
        text_ += text;
    }

    std::string NumberValue(const char* text) const {
        double number = 0;
        if (!text) return {};
        auto [stop, error] = std::from_chars(text, text + std::strlen(text), number);
        if (error != std::errc() || *stop != '\0')
            throw TableError(LocatedMessage(cells_.FileName(), tableName_, row_ + 1, column_ + 1,
                                            fmt::format("'{}' is not a number", text)));
        return NumberText(number);
    }

    SheetCells& cells_;
    std::string tableName_;
    int tableDepth_ = 0;
    bool done_ = false;
    std::size_t row_ = 0, column_ = 0, rowRepeat_ = 1, cellRepeat_ = 1;
    std::vector<std::pair<std::size_t, std::size_t>> rowSpans_;  // first column, count: cells with text
    std::optional<std::string> value_;
    std::string text_;
    bool inCell_ = false;
    int paragraphs_ = 0, annotation_ = 0;
};

}  // namespace

SheetCells ReadOdsSheet(const std::string& fileName, std::size_t mostTextBytes) {
    ZipArchive zip(fileName);
    if (!zip.Has("content.xml"))
        throw TableError(fileName + ": not an OpenDocument spreadsheet (no content.xml)");
    SheetCells cells(fileName, {}, mostTextBytes);
    ContentHandler handler(cells);
    zip.Parse("content.xml", handler);
    if (!handler.FoundTable()) throw TableError(fileName + ": the spreadsheet has no table");
    cells.NameSheet(handler.TableName());
    return cells;
}

SheetCells ReadOdsSheet(const std::string& fileName) {
    return ReadOdsSheet(fileName, SheetCells::kMostTextBytes);
}

}  // namespace lexicorn
