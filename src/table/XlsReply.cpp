#include "table/XlsReply.h"

#include <fmt/format.h>

#include <charconv>

#include "table/TableReader.h"

namespace lexicorn {
namespace {

// Reads the number at the front of `rest` and the separator after it; false when there is none.
bool TakeNumber(std::string_view& rest, char separator, std::size_t& number) {
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), number);
    if (error != std::errc() || end == rest.data() + rest.size() || *end != separator) return false;
    rest.remove_prefix(static_cast<std::size_t>(end - rest.data()) + 1);
    return true;
}

bool TakeText(std::string_view& rest, std::string_view& text) {
    std::size_t length = 0;
    if (!TakeNumber(rest, ':', length) || length > rest.size()) return false;
    text = rest.substr(0, length);
    rest.remove_prefix(length);
    return true;
}

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

SheetCells DecodeXlsReply(const std::string& fileName, std::string_view reply) {
    const auto unknown = [&] {
        return TableError(fileName + ": the .xls reader answered in a form this program does not know");
    };
    if (reply.starts_with('E')) {
        const std::string message(reply.substr(1));
        throw TableError(message.starts_with(fileName) ? message : fileName + ": " + message);
    }
    if (!reply.starts_with('R')) throw unknown();
    std::string_view rest = reply.substr(1);
    std::string_view name;
    if (!TakeText(rest, name)) throw unknown();
    SheetCells cells(fileName, std::string(name));
    while (!rest.empty()) {
        std::size_t row = 0, column = 0;
        std::string_view text;
        if (!TakeNumber(rest, ' ', row) || !TakeNumber(rest, ' ', column) || !TakeText(rest, text))
            throw unknown();
        cells.Set(row, column, std::string(text));
    }
    return cells;
}

}  // namespace lexicorn
