#include "table/TableEdit.h"

#include <fmt/format.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include "base/Unicode.h"
#include "platform/AtomicFile.h"
#include "table/ExcelReader.h"
#include "table/TableFormats.h"
#include "table/TableReader.h"
#include "table/WorkbookFormats.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

// Bytes [begin, end) of a document replaced by `text`.
struct Splice {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string text;
};

std::string Spliced(std::string_view document, std::vector<Splice> splices) {
    std::stable_sort(splices.begin(), splices.end(),
                     [](const Splice& a, const Splice& b) { return a.begin < b.begin; });
    std::string out;
    out.reserve(document.size());
    std::size_t at = 0;
    for (const Splice& splice : splices) {
        out.append(document.substr(at, splice.begin - at));
        out += splice.text;
        at = std::max(at, splice.end);
    }
    out.append(document.substr(at));
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Text tables

std::string Utf16ToBytes(std::u16string_view units, bool bigEndian) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        const auto high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

// One record of a text table: where each field stands, quotes included, and where the record ends
// (before its line end).
struct Record {
    std::vector<std::pair<std::size_t, std::size_t>> fields;
    std::size_t end = 0;
};

// The records as CsvReader::Parse reads them; the file has been read by it, so it is well formed.
std::vector<Record> Records(std::string_view text, char separator, std::string& lineEnd) {
    std::vector<Record> records;
    Record record;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = at;
        if (text[at] == '"') {
            for (++at;;) {
                at = text.find('"', at);
                if (at == std::string_view::npos) at = text.size();
                if (at < text.size()) ++at;
                if (at < text.size() && text[at] == '"') {
                    ++at;
                    continue;
                }
                break;
            }
        }
        while (at < text.size() && text[at] != separator && text[at] != '\r' && text[at] != '\n') ++at;
        record.fields.emplace_back(start, at);
        if (at >= text.size()) break;
        if (text[at] == separator) {
            ++at;
            if (at == text.size()) record.fields.emplace_back(at, at);
            continue;
        }
        record.end = at;
        const std::size_t feed = text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
        if (lineEnd.empty()) lineEnd = text.substr(at, feed);
        at += feed;
        records.push_back(std::move(record));
        record = {};
    }
    if (!record.fields.empty()) {
        record.end = text.size();
        records.push_back(std::move(record));
    }
    return records;
}

bool NeedsQuotes(std::string_view text, char separator) {
    return text.find_first_of(std::string{separator, '"', '\r', '\n'}) != std::string_view::npos;
}

std::string Field(std::string_view text, char separator, bool quoted) {
    if (!quoted && !NeedsQuotes(text, separator)) return std::string(text);
    std::string field = "\"";
    for (char c : text) {
        if (c == '"') field += '"';
        field += c;
    }
    return field + '"';
}

std::string EditedText(std::string_view text, char separator, const std::vector<CellEdit>& edits) {
    std::string lineEnd;
    std::vector<Record> records = Records(text, separator, lineEnd);
    if (lineEnd.empty()) lineEnd = "\n";
    // A table whose every field is quoted gets its new fields quoted too.
    bool quotesAll = !records.empty();
    for (const Record& record : records)
        for (const auto& [begin, end] : record.fields)
            quotesAll = quotesAll && end > begin && text[begin] == '"';

    std::vector<Splice> splices;
    std::string appended;  // rows after the last one the file has
    const bool endsInLineEnd = !text.empty() && (text.back() == '\n' || text.back() == '\r');
    std::size_t lastRow = records.size();
    for (std::size_t i = 0; i < edits.size();) {
        const std::size_t row = edits[i].row;
        std::size_t next = i;
        while (next < edits.size() && edits[next].row == row) ++next;
        const Record* record = row <= records.size() ? &records[row - 1] : nullptr;
        // Fields past the end of the record are added after it, empty ones between.
        std::size_t fields = record ? record->fields.size() : 0;
        std::string tail;
        for (std::size_t e = i; e < next; ++e) {
            const CellEdit& edit = edits[e];
            if (edit.column <= fields && record) {
                const auto [begin, end] = record->fields[edit.column - 1];
                const bool quoted = end > begin && text[begin] == '"';
                splices.push_back({begin, end, Field(edit.text, separator, quoted || quotesAll)});
                continue;
            }
            tail.append(edit.column - std::max<std::size_t>(fields, 1), separator);
            tail += Field(edit.text, separator, quotesAll);
            fields = edit.column;
        }
        if (record) {
            if (!tail.empty()) splices.push_back({record->end, record->end, std::move(tail)});
        } else {
            if (lastRow == records.size() && !endsInLineEnd && !text.empty()) appended += lineEnd;
            for (; lastRow + 1 < row; ++lastRow) appended += lineEnd;
            appended += tail + lineEnd;
            lastRow = row;
        }
        i = next;
    }
    return Spliced(text, std::move(splices)) + appended;
}

std::string EditedTextTable(const std::string& path, char separator, const std::vector<CellEdit>& edits) {
    std::string content;
    try {
        content = ReadWholeFile(path);
    } catch (const Error& error) {
        throw TableError(error.what());
    }
    std::string_view text = content;
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        const bool bigEndian = text[0] == '\xFE';
        std::u16string units(text.size() / 2 - 1, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i) {
            const auto high = static_cast<unsigned char>(text[2 + 2 * i + (bigEndian ? 0 : 1)]);
            const auto low = static_cast<unsigned char>(text[2 + 2 * i + (bigEndian ? 1 : 0)]);
            units[i] = static_cast<char16_t>(high << 8 | low);
        }
        const std::string edited = EditedText(Utf16ToUtf8(units), separator, edits);
        return std::string(text.substr(0, 2)) + Utf16ToBytes(Utf8ToUtf16(edited), bigEndian);
    }
    const std::size_t mark = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    return std::string(text.substr(0, mark)) + EditedText(text.substr(mark), separator, edits);
}

// ---------------------------------------------------------------------------------------------------
// Workbooks: one XML part replaced, every other entry of the zip archive copied as it is

std::string WithPartReplaced(const std::string& path, const std::string& part, const std::string& bytes) {
    std::string archive;
    try {
        archive = ReadWholeFile(path);
    } catch (const Error& error) {
        throw TableError(error.what());
    }
    const auto fail = [&](const char* what, zip_error_t* error) {
        const std::string message = fmt::format("{}: {}: {}", path, what, zip_error_strerror(error));
        zip_error_fini(error);
        return TableError(message);
    };
    zip_error_t error;
    zip_error_init(&error);
    // The archive is edited in memory: libzip writes the new one into the same buffer source.
    zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
    if (!source) throw fail("cannot read the workbook", &error);
    zip_source_keep(source);
    std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> owned(source, zip_source_free);
    zip_t* zip = zip_open_from_source(source, 0, &error);
    if (!zip) throw fail("cannot read the workbook", &error);
    const zip_int64_t index = zip_name_locate(zip, part.c_str(), 0);
    zip_source_t* data = zip_source_buffer(zip, bytes.data(), bytes.size(), 0);
    if (index < 0 || !data || zip_file_replace(zip, static_cast<zip_uint64_t>(index), data, 0) != 0) {
        if (data) zip_source_free(data);
        const std::string message = fmt::format("{}: cannot replace {}: {}", path, part, zip_strerror(zip));
        zip_discard(zip);
        throw TableError(message);
    }
    if (zip_close(zip) != 0) {
        const std::string message = fmt::format("{}: cannot write the workbook: {}", path, zip_strerror(zip));
        zip_discard(zip);
        throw TableError(message);
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(source, &stat) != 0 || zip_source_open(source) != 0)
        throw TableError(fmt::format("{}: cannot write the workbook", path));
    std::string written(static_cast<std::size_t>(stat.size), '\0');
    const zip_int64_t got = zip_source_read(source, written.data(), written.size());
    zip_source_close(source);
    if (got != static_cast<zip_int64_t>(written.size()))
        throw TableError(fmt::format("{}: cannot write the workbook", path));
    zip_error_fini(&error);
    return written;
}

// The qualified name's prefix as written in the start tag at `offset` ("x:" of "<x:row"), so that new
// elements are written as the document writes its own.
std::string PrefixAt(std::string_view document, std::size_t offset, std::string_view local) {
    const std::size_t end = document.find_first_of(" \t\r\n/>", offset + 1);
    const std::string_view name = document.substr(offset + 1, end - offset - 1);
    return std::string(name.substr(0, name.size() - std::min(name.size(), local.size())));
}

// The start tag at `place` as an open one: "<row r="5"/>" gives "<row r="5">".
std::string OpenedTag(std::string_view document, const XmlHandler::Place& place) {
    std::string_view tag = document.substr(place.offset, place.length);
    if (tag.ends_with("/>")) {
        tag.remove_suffix(2);
        return std::string(tag) + '>';
    }
    return std::string(tag);
}

std::size_t ColumnOfReference(std::string_view reference) {
    std::size_t column = 0;
    for (char c : reference) {
        if (c < 'A' || c > 'Z') break;
        column = column * 26 + static_cast<std::size_t>(c - 'A' + 1);
    }
    return column;
}

std::string ColumnLetters(std::size_t column) {
    std::string letters;
    for (; column > 0; column = (column - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (column - 1) % 26));
    return letters;
}

// A cell's text as SpreadsheetML holds it: characters XML cannot carry, and a carriage return that
// a parser would make a line feed, as Excel's _xHHHH_ escapes; an underscore that would read as one
// escaped itself.
std::string XlsxText(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        const bool looksEscaped =
            c == '_' && at + 6 < text.size() && text[at + 1] == 'x' && text[at + 6] == '_' &&
            std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at) + 2,
                        text.begin() + static_cast<std::ptrdiff_t>(at) + 6,
                        [](char h) { return std::isxdigit(static_cast<unsigned char>(h)); });
        if ((c < 0x20 && c != '\t' && c != '\n') || looksEscaped)
            out += fmt::format("_x{:04X}_", c);
        else
            AppendXmlEscaped(out, text.substr(at, 1));
    }
    return out;
}

struct XlsxCell {
    std::size_t column = 0;
    std::size_t begin = 0, end = 0;
    std::size_t startLength = 0;
    std::string style;
};

struct XlsxRow {
    std::size_t row = 0;
    XmlHandler::Place start;
    std::size_t contentEnd = 0;  // where </row> starts; the end of the start tag for <row/>
    std::size_t end = 0;
    bool empty = false;  // written <row/>
    std::vector<XlsxCell> cells;
};

// Where the rows and cells of a worksheet stand in its part.
class XlsxLayout final : public XmlHandler {
  public:
    std::vector<XlsxRow> rows;
    Place sheetData, sheetDataEnd, dimension;
    std::string dimensionRef;
    std::string prefix;

    explicit XlsxLayout(std::string_view document) : document_(document) {}

    void Start(std::string_view name, const char** attributes) override {
        if (name == "sheetData") {
            sheetData = place;
            prefix = PrefixAt(document_, place.offset, name);
        } else if (name == "dimension") {
            dimension = place;
            const char* ref = Attribute(attributes, "ref");
            dimensionRef = ref ? ref : "";
        } else if (name == "row") {
            XlsxRow row;
            const char* r = Attribute(attributes, "r");
            row.row = r ? static_cast<std::size_t>(std::atoll(r)) : (rows.empty() ? 1 : rows.back().row + 1);
            row.start = place;
            rows.push_back(std::move(row));
        } else if (name == "c" && !rows.empty()) {
            XlsxCell cell;
            const char* r = Attribute(attributes, "r");
            cell.column = r ? ColumnOfReference(r)
                            : (rows.back().cells.empty() ? 1 : rows.back().cells.back().column + 1);
            const char* style = Attribute(attributes, "s");
            cell.style = style ? style : "";
            cell.begin = place.offset;
            cell.startLength = place.length;
            rows.back().cells.push_back(std::move(cell));
        }
    }

    void End(std::string_view name) override {
        if (name == "sheetData") {
            sheetDataEnd = place;
        } else if (name == "row" && !rows.empty()) {
            XlsxRow& row = rows.back();
            row.empty = place.length == 0;
            row.contentEnd = row.empty ? row.start.offset + row.start.length : place.offset;
            row.end = row.empty ? row.contentEnd : place.offset + place.length;
        } else if (name == "c" && !rows.empty() && !rows.back().cells.empty()) {
            XlsxCell& cell = rows.back().cells.back();
            cell.end = place.length == 0 ? cell.begin + cell.startLength : place.offset + place.length;
        }
    }

    void Text(std::string_view) override {}

  private:
    std::string_view document_;
};

std::string XlsxCellXml(const std::string& prefix, std::size_t row, std::size_t column,
                        const std::string& style, std::string_view text) {
    std::string out = fmt::format(R"(<{}c r="{}{}")", prefix, ColumnLetters(column), row);
    if (!style.empty()) out += fmt::format(R"( s="{}")", XmlEscaped(style, true));
    out += fmt::format(R"( t="inlineStr"><{0}is><{0}t xml:space="preserve">{1}</{0}t></{0}is></{0}c>)",
                       prefix, XlsxText(text));
    return out;
}

std::string EditedWorksheet(std::string_view document, const std::string& name,
                            const std::vector<CellEdit>& edits) {
    XlsxLayout layout(document);
    ParseXmlDocument(document, name, layout);
    if (layout.sheetData.length == 0) throw TableError(name + ": the worksheet has no sheetData");
    const std::string& prefix = layout.prefix;
    std::vector<Splice> splices;
    std::string newRows;  // rows that go before the end of sheetData
    std::size_t lastRow = 0, lastColumn = 0;
    auto rowAt = layout.rows.begin();
    for (std::size_t i = 0; i < edits.size();) {
        const std::size_t row = edits[i].row;
        std::size_t next = i;
        while (next < edits.size() && edits[next].row == row) ++next;
        lastRow = std::max(lastRow, row);
        while (rowAt != layout.rows.end() && rowAt->row < row) ++rowAt;
        if (rowAt == layout.rows.end() || rowAt->row != row) {
            std::string cells;
            for (std::size_t e = i; e < next; ++e) {
                cells += XlsxCellXml(prefix, row, edits[e].column, {}, edits[e].text);
                lastColumn = std::max(lastColumn, edits[e].column);
            }
            const std::string element = fmt::format(R"(<{0}row r="{1}">{2}</{0}row>)", prefix, row, cells);
            if (rowAt != layout.rows.end())
                splices.push_back({rowAt->start.offset, rowAt->start.offset, element});
            else
                newRows += element;
            i = next;
            continue;
        }
        XlsxRow& existing = *rowAt;
        auto cellAt = existing.cells.begin();
        std::string atEnd;
        for (std::size_t e = i; e < next; ++e) {
            const CellEdit& edit = edits[e];
            lastColumn = std::max(lastColumn, edit.column);
            while (cellAt != existing.cells.end() && cellAt->column < edit.column) ++cellAt;
            if (cellAt != existing.cells.end() && cellAt->column == edit.column)
                splices.push_back({cellAt->begin, cellAt->end,
                                   XlsxCellXml(prefix, row, edit.column, cellAt->style, edit.text)});
            else if (cellAt != existing.cells.end())
                splices.push_back(
                    {cellAt->begin, cellAt->begin, XlsxCellXml(prefix, row, edit.column, {}, edit.text)});
            else
                atEnd += XlsxCellXml(prefix, row, edit.column, {}, edit.text);
        }
        if (!atEnd.empty()) {
            if (existing.empty)
                splices.push_back(
                    {existing.start.offset, existing.end,
                     OpenedTag(document, existing.start) + atEnd + fmt::format("</{}row>", prefix)});
            else
                splices.push_back({existing.contentEnd, existing.contentEnd, atEnd});
        }
        i = next;
    }
    if (!newRows.empty()) {
        if (layout.sheetDataEnd.length == 0)
            splices.push_back(
                {layout.sheetData.offset, layout.sheetData.offset + layout.sheetData.length,
                 OpenedTag(document, layout.sheetData) + newRows + fmt::format("</{}sheetData>", prefix)});
        else
            splices.push_back({layout.sheetDataEnd.offset, layout.sheetDataEnd.offset, newRows});
    }
    // The dimension names the cells in use: it grows to take the new ones.
    if (layout.dimension.length != 0) {
        const std::string_view ref = layout.dimensionRef;
        const std::size_t colon = ref.find(':');
        const std::string_view first = ref.substr(0, colon),
                               last = colon == std::string_view::npos ? ref : ref.substr(colon + 1);
        const std::size_t letters = last.find_first_of("0123456789");
        const std::size_t oldColumn = ColumnOfReference(last);
        const std::size_t oldRow =
            letters == std::string_view::npos
                ? 0
                : static_cast<std::size_t>(std::atoll(std::string(last.substr(letters)).c_str()));
        if (oldColumn != 0 && oldRow != 0 && (lastColumn > oldColumn || lastRow > oldRow)) {
            const std::string grown = fmt::format(
                "{}:{}{}", first, ColumnLetters(std::max(oldColumn, lastColumn)), std::max(oldRow, lastRow));
            splices.push_back({layout.dimension.offset, layout.dimension.offset + layout.dimension.length,
                               fmt::format(R"(<{}dimension ref="{}"/>)", prefix, grown)});
        }
    }
    return Spliced(document, std::move(splices));
}

std::string EditedXlsx(const std::string& path, const std::vector<CellEdit>& edits) {
    std::string part, sheet;
    {
        const ZipArchive zip(path);
        part = FirstXlsxWorksheetPart(zip, path);
        sheet = zip.Read(part);
    }
    return WithPartReplaced(path, part, EditedWorksheet(sheet, path + ": " + part, edits));
}

// ---------------------------------------------------------------------------------------------------
// OpenDocument spreadsheets

// An element of a run of repeated rows or cells: where it stands and how many it stands for.
struct OdsElement {
    std::size_t first = 0;  // the row or column of its first copy, from 1
    std::size_t repeat = 1;
    XmlHandler::Place start;
    std::size_t end = 0;
    std::string style;
    std::vector<std::pair<std::size_t, std::size_t>> annotations;  // cells: their comments
    std::vector<OdsElement> cells;                                 // rows: their cells
};

std::size_t Repeat(const char* text) {
    std::size_t count = 1;
    if (text) std::from_chars(text, text + std::strlen(text), count);
    return std::max<std::size_t>(count, 1);
}

// Where the rows and cells of the first table of content.xml stand, counted as OdsSheet counts them.
class OdsLayout final : public XmlHandler {
  public:
    std::vector<OdsElement> rows;
    std::size_t tableEnd = 0;  // where </table:table> starts

    void Start(std::string_view name, const char** attributes) override {
        if (done_) return;
        if (name == "table") ++tableDepth_;
        if (tableDepth_ != 1) return;
        if (name == "table-row") {
            OdsElement row;
            row.first = nextRow_;
            row.repeat = Repeat(Attribute(attributes, "number-rows-repeated"));
            row.start = place;
            nextRow_ += row.repeat;
            rows.push_back(std::move(row));
        } else if ((name == "table-cell" || name == "covered-table-cell") && !rows.empty()) {
            auto& cells = rows.back().cells;
            OdsElement cell;
            cell.first = cells.empty() ? 1 : cells.back().first + cells.back().repeat;
            cell.repeat = Repeat(Attribute(attributes, "number-columns-repeated"));
            cell.start = place;
            const char* style = Attribute(attributes, "style-name");
            cell.style = style ? style : "";
            cells.push_back(std::move(cell));
            inCell_ = true;
        } else if (name == "annotation" && inCell_) {
            annotationStart_ = place.offset;
        }
    }

    void End(std::string_view name) override {
        if (done_) return;
        if (name == "table" && --tableDepth_ == 0) {
            tableEnd = place.offset;
            done_ = true;
        }
        if (tableDepth_ != 1) return;
        // The end of <a/> comes with no bytes of its own: the element ends with its start tag.
        const auto endOf = [&](const OdsElement& element) {
            return place.length == 0 ? element.start.offset + element.start.length
                                     : place.offset + place.length;
        };
        if (name == "table-row" && !rows.empty()) {
            rows.back().end = endOf(rows.back());
        } else if ((name == "table-cell" || name == "covered-table-cell") && !rows.empty() &&
                   !rows.back().cells.empty()) {
            rows.back().cells.back().end = endOf(rows.back().cells.back());
            inCell_ = false;
        } else if (name == "annotation" && inCell_) {
            rows.back().cells.back().annotations.emplace_back(annotationStart_, place.offset + place.length);
        }
    }

    void Text(std::string_view) override {}

  private:
    int tableDepth_ = 0;
    bool done_ = false, inCell_ = false;
    std::size_t nextRow_ = 1;
    std::size_t annotationStart_ = 0;
};

// The start tag with its repeat attribute set to `count` (left out for one).
std::string WithRepeat(std::string_view startTag, std::string_view attribute, std::size_t count) {
    std::string tag(startTag);
    const std::string name = fmt::format("table:{}=\"", attribute);
    if (const std::size_t at = tag.find(name); at != std::string::npos) {
        const std::size_t close = tag.find('"', at + name.size());
        tag.erase(at > 0 && tag[at - 1] == ' ' ? at - 1 : at,
                  close + 1 - (at > 0 && tag[at - 1] == ' ' ? at - 1 : at));
    }
    if (count == 1) return tag;
    const std::size_t nameEnd = tag.find_first_of(" \t\r\n/>");
    return tag.insert(nameEnd, fmt::format(" table:{}=\"{}\"", attribute, count));
}

// A run of the element repeated `count` times: its start tag with the count, and its content.
std::string RepeatedCopy(std::string_view document, const OdsElement& element, std::string_view attribute,
                         std::size_t count) {
    const std::string_view tag = document.substr(element.start.offset, element.start.length);
    return WithRepeat(tag, attribute, count) +
           std::string(document.substr(element.start.offset + element.start.length,
                                       element.end - element.start.offset - element.start.length));
}

// A cell's text as paragraphs: a line each, tabs and runs of spaces as the elements that keep them.
std::string OdsParagraphs(std::string_view text) {
    std::string out;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        out += "<text:p>";
        for (std::size_t at = 0; at < line.size();) {
            if (line[at] == '\t') {
                out += "<text:tab/>";
                ++at;
            } else if (line[at] == ' ') {
                std::size_t run = line.find_first_not_of(' ', at);
                run = (run == std::string_view::npos ? line.size() : run) - at;
                // One space between words stays a space; a run, or a space at the start, keeps its count.
                const bool lone = run == 1 && at > 0;
                out += lone ? " " : (run == 1 ? "<text:s/>" : fmt::format("<text:s text:c=\"{}\"/>", run));
                at += run;
            } else {
                const std::size_t stop = std::min(line.find_first_of(" \t", at), line.size());
                AppendXmlEscaped(out, line.substr(at, stop - at));
                at = stop;
            }
        }
        out += "</text:p>";
        if (end >= text.size()) break;
        start = end + 1;
    }
    return out;
}

std::string OdsCellXml(std::string_view document, const OdsElement* old, std::string_view text) {
    std::string out = "<table:table-cell";
    if (old && !old->style.empty())
        out += fmt::format(" table:style-name=\"{}\"", XmlEscaped(old->style, true));
    out += " office:value-type=\"string\">";
    // The cell's comments stay with it.
    if (old)
        for (const auto& [begin, end] : old->annotations) out.append(document.substr(begin, end - begin));
    return out + OdsParagraphs(text) + "</table:table-cell>";
}

// The elements of a run (rows or cells) with `edited` copies made anew: the rest of the run stays
// repeated around them.
template <typename Make>
std::string SplitRun(std::string_view document, const OdsElement& element, std::string_view attribute,
                     const std::vector<std::size_t>& edited, Make&& make) {
    std::string out;
    std::size_t at = element.first;
    for (std::size_t index : edited) {
        if (index > at) out += RepeatedCopy(document, element, attribute, index - at);
        out += make(index);
        at = index + 1;
    }
    if (element.first + element.repeat > at)
        out += RepeatedCopy(document, element, attribute, element.first + element.repeat - at);
    return out;
}

std::string EditedRow(std::string_view document, const OdsElement& row,
                      std::vector<CellEdit>::const_iterator begin,
                      std::vector<CellEdit>::const_iterator end) {
    // The row's content from its start tag's end to its end tag, with the edited cells spliced in.
    const std::size_t contentBegin = row.start.offset + row.start.length;
    const bool empty = row.end == contentBegin;
    std::vector<Splice> splices;
    auto edit = begin;
    for (const OdsElement& cell : row.cells) {
        std::vector<std::size_t> columns;
        auto first = edit;
        for (; edit != end && edit->column < cell.first + cell.repeat; ++edit)
            columns.push_back(edit->column);
        if (columns.empty()) continue;
        splices.push_back(
            {cell.start.offset - contentBegin, cell.end - contentBegin,
             SplitRun(document, cell, "number-columns-repeated", columns, [&](std::size_t column) {
                 auto which =
                     std::find_if(first, edit, [&](const CellEdit& e) { return e.column == column; });
                 return OdsCellXml(document, &cell, which->text);
             })});
    }
    std::string tail;
    std::size_t next = row.cells.empty() ? 1 : row.cells.back().first + row.cells.back().repeat;
    for (; edit != end; ++edit) {
        if (edit->column > next)
            tail += WithRepeat("<table:table-cell/>", "number-columns-repeated", edit->column - next);
        tail += OdsCellXml(document, nullptr, edit->text);
        next = edit->column + 1;
    }
    const std::string_view tag = document.substr(row.start.offset, row.start.length);
    if (empty)
        return WithRepeat(OpenedTag(document, row.start), "number-rows-repeated", 1) + tail +
               "</table:table-row>";
    const std::size_t closing = document.rfind("</", row.end - 1);
    std::string content = Spliced(document.substr(contentBegin, closing - contentBegin), std::move(splices));
    return WithRepeat(tag, "number-rows-repeated", 1) + content + tail +
           std::string(document.substr(closing, row.end - closing));
}

std::string EditedContent(std::string_view document, const std::string& name,
                          const std::vector<CellEdit>& edits) {
    OdsLayout layout;
    ParseXmlDocument(document, name, layout);
    if (layout.tableEnd == 0) throw TableError(name + ": the spreadsheet has no table");
    std::vector<Splice> splices;
    auto edit = edits.begin();
    for (const OdsElement& row : layout.rows) {
        std::vector<std::size_t> indices;
        const auto first = edit;
        for (; edit != edits.end() && edit->row < row.first + row.repeat; ++edit)
            if (indices.empty() || indices.back() != edit->row) indices.push_back(edit->row);
        if (indices.empty()) continue;
        splices.push_back(
            {row.start.offset, row.end,
             SplitRun(document, row, "number-rows-repeated", indices, [&](std::size_t index) {
                 const auto from =
                     std::find_if(first, edit, [&](const CellEdit& e) { return e.row == index; });
                 const auto to = std::find_if(from, edit, [&](const CellEdit& e) { return e.row != index; });
                 return EditedRow(document, row, from, to);
             })});
    }
    // Rows past the table's last one are added at its end.
    std::string added;
    std::size_t next = layout.rows.empty() ? 1 : layout.rows.back().first + layout.rows.back().repeat;
    const std::size_t insertAt = layout.rows.empty() ? layout.tableEnd : layout.rows.back().end;
    while (edit != edits.end()) {
        const std::size_t row = edit->row;
        if (row > next)
            added += WithRepeat("<table:table-row>", "number-rows-repeated", row - next) +
                     "<table:table-cell/></table:table-row>";
        added += "<table:table-row>";
        std::size_t column = 1;
        for (; edit != edits.end() && edit->row == row; ++edit) {
            if (edit->column > column)
                added += WithRepeat("<table:table-cell/>", "number-columns-repeated", edit->column - column);
            added += OdsCellXml(document, nullptr, edit->text);
            column = edit->column + 1;
        }
        added += "</table:table-row>";
        next = row + 1;
    }
    if (!added.empty()) splices.push_back({insertAt, insertAt, added});
    return Spliced(document, std::move(splices));
}

std::string EditedOds(const std::string& path, const std::vector<CellEdit>& edits) {
    std::string content;
    {
        const ZipArchive zip(path);
        if (!zip.Has("content.xml"))
            throw TableError(path + ": not an OpenDocument spreadsheet (no content.xml)");
        content = zip.Read("content.xml");
    }
    return WithPartReplaced(path, "content.xml", EditedContent(content, path + ": content.xml", edits));
}

enum class WorkbookKind { kNone, kXls, kXlsx, kOds };

WorkbookKind KindOf(const std::string& path) {
    if (!ExcelReader::LooksLikeWorkbook(path)) return WorkbookKind::kNone;
    char start[4] = {};
    std::ifstream(std::filesystem::path(path), std::ios::binary).read(start, sizeof start);
    if (std::string_view(start, sizeof start) != std::string_view("PK\x03\x04", 4)) return WorkbookKind::kXls;
    const ZipArchive zip(path);
    return zip.Has("content.xml") && !zip.Has("xl/workbook.xml") && !zip.Has("_rels/.rels")
               ? WorkbookKind::kOds
               : WorkbookKind::kXlsx;
}

}  // namespace

void CheckTableWritable(const std::string& path) {
    if (KindOf(path) == WorkbookKind::kXls)
        throw TableError("cannot write .xls files: save the workbook as .xlsx or .ods");
}

std::string EditTable(const std::string& path, const std::vector<CellEdit>& edits) {
    switch (KindOf(path)) {
        case WorkbookKind::kXls:
            throw TableError("cannot write .xls files: save the workbook as .xlsx or .ods");
        case WorkbookKind::kXlsx:
            return EditedXlsx(path, edits);
        case WorkbookKind::kOds:
            return EditedOds(path, edits);
        case WorkbookKind::kNone:
            break;
    }
    const TableFormat* format = TableFormatOf(path);
    return EditedTextTable(path, format && format->reading == TableReading::kCommaSeparated ? ',' : '\t',
                           edits);
}

}  // namespace lexicorn
