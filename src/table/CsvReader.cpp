#include "table/CsvReader.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>

#include "base/Unicode.h"
#include "platform/AtomicFile.h"
#include "table/SheetCells.h"

namespace lexicorn {
namespace {

// UTF-16 text (after its byte-order mark) as UTF-8.
std::string Utf16FileToUtf8(std::string_view bytes, bool bigEndian, const std::string& fileName) {
    if (bytes.size() % 2 != 0)
        throw TableError(fileName + ": the UTF-16 text ends in the middle of a character");
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto high = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        const auto low = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        units[i] = static_cast<char16_t>(high << 8 | low);
    }
    // A surrogate without its pair is refused at its cell as UTF-8's damage is, not replaced.
    return Utf16ToUtf8(units, UnpairedSurrogate::kKept);
}

}  // namespace

CsvReader::CsvReader(std::string fileName, char separator)
    : TableReader(std::move(fileName), 0, 0), separator_(separator) {
    Open();
}

CsvReader::~CsvReader() = default;

void CsvReader::Load() {
    std::error_code ignored;
    if (std::filesystem::is_directory(FileName(), ignored))
        throw TableError(FileName() + ": is a folder, not a table");
    std::string content;
    try {
        content = ReadWholeFile(FileName());
    } catch (const Error& error) {
        throw TableError(error.what());
    }

    std::string_view text = content;
    std::string decoded;
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    } else if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        decoded = Utf16FileToUtf8(text.substr(2), text[0] == '\xFE', FileName());
        text = decoded;
    }
    rows_ = Parse(text, separator_, FileName());

    std::size_t columns = 0;
    for (const auto& row : rows_) columns = std::max(columns, row.size());
    SetCounts(columns, rows_.size());
}

void CsvReader::Unload() {
    rows_.clear();
    rows_.shrink_to_fit();
}

std::string_view CsvReader::CellText(std::uint16_t column, std::uint16_t row) const {
    const auto& cells = rows_[row - 1];
    return column <= cells.size() ? std::string_view(cells[column - 1]) : std::string_view();
}

std::vector<std::vector<std::string>> CsvReader::Parse(std::string_view text, char separator,
                                                       const std::string& fileName) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> record;
    std::string field;
    std::size_t lastFilledRow = 0;  // rows after the last one that holds text do not count
    bool recordHasText = false;

    const auto endField = [&](std::size_t row) {
        CheckCellText(fileName, row, record.size() + 1, field, "; save the file as UTF-8");
        recordHasText = recordHasText || !field.empty();
        record.push_back(std::move(field));
        field.clear();
    };
    const auto endRecord = [&](std::size_t row) {
        endField(row);
        // Trailing empty cells do not widen the table.
        while (!record.empty() && record.back().empty()) record.pop_back();
        rows.push_back(std::move(record));
        record.clear();
        if (recordHasText) lastFilledRow = rows.size();
        recordHasText = false;
    };

    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t row = rows.size() + 1;
        if (text[at] == '"') {
            const std::size_t quoteColumn = record.size() + 1;
            ++at;
            for (;;) {
                std::size_t quote = text.find('"', at);
                if (quote == std::string_view::npos)
                    throw TableError(
                        LocatedMessage(fileName, row, quoteColumn, "a quoted cell is never closed"));
                field.append(text.substr(at, quote - at));
                at = quote + 1;
                if (at < text.size() && text[at] == '"') {
                    field += '"';
                    ++at;
                    continue;
                }
                break;
            }
            if (at < text.size() && text[at] != separator && text[at] != '\r' && text[at] != '\n')
                throw TableError(
                    LocatedMessage(fileName, row, quoteColumn, "text follows the closing quote of a cell"));
        } else {
            std::size_t stop = at;
            while (stop < text.size() && text[stop] != separator && text[stop] != '\r' && text[stop] != '\n')
                ++stop;
            field.append(text.substr(at, stop - at));
            at = stop;
        }
        if (at >= text.size()) break;
        if (text[at] == separator) {
            endField(row);
            ++at;
            if (at == text.size()) endRecord(row);
        } else {
            endRecord(row);
            if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') ++at;
            ++at;
        }
    }
    if (!field.empty() || !record.empty()) endRecord(rows.size() + 1);
    rows.resize(lastFilledRow);
    return rows;
}

}  // namespace lexicorn
