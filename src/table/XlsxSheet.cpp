// Office Open XML workbooks: zip parts of SpreadsheetML, read with libzip and expat.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <future>
#include <map>
#include <vector>

#include "base/Beside.h"
#include "base/Unicode.h"
#include "platform/LargeMemory.h"
#include "table/TableReader.h"
#include "table/WorkbookFormats.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

struct Relationship {
    std::string type;
    std::string target;  // resolved to a part name
};

bool EndsWith(std::string_view text, std::string_view end) { return text.ends_with(end); }

// A relationship's target relative to the folder of the part that owns it ("xl/"), as a part name.
std::string ResolvePart(const std::string& folder, std::string target) {
    if (target.starts_with("/")) return target.substr(1);
    std::string path = folder;
    while (target.starts_with("../")) {
        target.erase(0, 3);
        const std::size_t slash = path.find_last_of('/', path.size() >= 2 ? path.size() - 2 : 0);
        path = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    }
    return path + target;
}

class RelationshipsHandler final : public XmlHandler {
  public:
    explicit RelationshipsHandler(std::string folder) : folder_(std::move(folder)) {}
    std::map<std::string, Relationship> byId;
    void Start(std::string_view name, const char** attributes) override {
        if (name != "Relationship") return;
        const char* id = Attribute(attributes, "Id");
        const char* type = Attribute(attributes, "Type");
        const char* target = Attribute(attributes, "Target");
        if (id && type && target) byId[id] = {type, ResolvePart(folder_, target)};
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}

  private:
    std::string folder_;
};

std::map<std::string, Relationship> ReadRelationships(const ZipArchive& zip, const std::string& part) {
    const std::size_t slash = part.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : part.substr(0, slash + 1);
    const std::string relsPart = folder + "_rels/" + part.substr(folder.size()) + ".rels";
    RelationshipsHandler handler(folder);
    if (zip.Has(relsPart)) zip.Parse(relsPart, handler);
    return handler.byId;
}

struct WorkbookSheet {
    std::string name;
    std::string relationshipId;
};

class WorkbookHandler final : public XmlHandler {
  public:
    std::vector<WorkbookSheet> sheets;
    bool date1904 = false;
    void Start(std::string_view name, const char** attributes) override {
        if (name == "sheet") {
            const char* sheetName = Attribute(attributes, "name");
            const char* id = Attribute(attributes, "id");
            sheets.push_back({sheetName ? sheetName : "", id ? id : ""});
        } else if (name == "workbookPr") {
            const char* flag = Attribute(attributes, "date1904");
            date1904 = flag && (std::string_view(flag) == "1" || std::string_view(flag) == "true");
        }
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

// "_x000D_" stands for a carriage return, "_x005F_" for the underscore: Excel's escapes of characters
// that XML cannot carry as they are.
std::string Unescape(std::string text) {
    if (text.find("_x") == std::string::npos) return text;
    std::u16string units;
    std::string output;
    const auto flush = [&] {
        output += Utf16ToUtf8(units, UnpairedSurrogate::kKept);
        units.clear();
    };
    for (std::size_t i = 0; i < text.size();) {
        unsigned value = 0;
        if (text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && text[i + 6] == '_' &&
            std::from_chars(text.data() + i + 2, text.data() + i + 6, value, 16).ptr == text.data() + i + 6) {
            units += static_cast<char16_t>(value);
            i += 7;
        } else {
            flush();
            output += text[i++];
        }
    }
    flush();
    return output;
}

// Most bytes reserved for the shared strings before they are read; more grow as they come.
constexpr std::size_t kMostSharedTextReserved = 64u << 20;

// The workbook's shared strings end to end in one buffer: a block of its own for each would cost an
// allocation each, on the thread that reads them. The table then keeps the buffer, and its cells
// point into it.
struct SharedStrings {
    std::string text;
    std::vector<std::size_t> ends;  // string i ends at ends[i] and begins where string i - 1 ends

    std::size_t Begin(std::size_t index) const { return index == 0 ? 0 : ends[index - 1]; }
};

class SharedStringsHandler final : public XmlHandler {
  public:
    SharedStrings strings;
    void Start(std::string_view name, const char**) override {
        if (name == "si") {
            // Text read outside a string belongs to none.
            strings.text.resize(strings.ends.empty() ? 0 : strings.ends.back());
            start_ = strings.text.size();
        }
        if (name == "rPh") ++phonetic_;
        if (name == "t" && !phonetic_) inText_ = true;
    }
    void End(std::string_view name) override {
        if (name == "t") inText_ = false;
        if (name == "rPh") --phonetic_;
        if (name == "si") {
            std::string& text = strings.text;
            if (text.find("_x", start_) != std::string::npos) {
                std::string unescaped = Unescape(text.substr(start_));
                text.resize(start_);
                text += unescaped;
            }
            strings.ends.push_back(text.size());
            start_ = text.size();
        }
    }
    void Text(std::string_view text) override {
        if (inText_) strings.text += text;
    }

  private:
    std::size_t start_ = 0;  // where the string being read begins
    bool inText_ = false;
    int phonetic_ = 0;
};

// Whether a number format shows dates or times: the built-in date formats, and format codes with
// date or time letters outside quoted text, escapes and [colour] sections.
bool IsDateFormat(int id, const std::string& code) {
    if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58))
        return true;
    bool quoted = false, bracket = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == '\\' || c == '_' || c == '*')
            ++i;
        else if (c == '[')
            bracket = true;
        else if (c == ']')
            bracket = false;
        else if (bracket)
            continue;
        else if (std::string_view("ymdhsYMDHS").find(c) != std::string_view::npos)
            return true;
    }
    return false;
}

class StylesHandler final : public XmlHandler {
  public:
    std::vector<bool> dateStyles;  // by cell style index
    void Start(std::string_view name, const char** attributes) override {
        if (name == "numFmt") {
            const char* id = Attribute(attributes, "numFmtId");
            const char* code = Attribute(attributes, "formatCode");
            if (id && code) codes_[std::atoi(id)] = code;
        } else if (name == "cellXfs") {
            inCellXfs_ = true;
        } else if (name == "xf" && inCellXfs_) {
            const char* id = Attribute(attributes, "numFmtId");
            const int format = id ? std::atoi(id) : 0;
            auto code = codes_.find(format);
            dateStyles.push_back(IsDateFormat(format, code == codes_.end() ? "" : code->second));
        }
    }
    void End(std::string_view name) override {
        if (name == "cellXfs") inCellXfs_ = false;
    }
    void Text(std::string_view) override {}

  private:
    std::map<int, std::string> codes_;
    bool inCellXfs_ = false;
};

class SheetHandler final : public XmlHandler {
  public:
    SheetHandler(SheetCells& cells, const std::vector<bool>& dateStyles, bool date1904, std::string sheetName)
        : cells_(cells), dateStyles_(dateStyles), date1904_(date1904), sheet_(std::move(sheetName)) {}

    /// Puts the shared strings into the cells that refer to them; they are read beside the sheet.
    void ResolveSharedStrings(SharedStrings shared) {
        cells_.AdoptSharedText(std::move(shared.text));
        for (const SharedCell& cell : sharedCells_) {
            row_ = cell.row;
            column_ = cell.column;
            if (cell.index >= shared.ends.size())
                throw TableError(Problem(fmt::format("shared string '{}' does not exist ({} strings)",
                                                     cell.index, shared.ends.size())));
            const std::size_t begin = shared.Begin(cell.index);
            cells_.SetShared(cell.row, cell.column, begin, shared.ends[cell.index] - begin);
        }
    }

    void Start(std::string_view name, const char** attributes) override {
        if (name == "row") {
            const char* r = Attribute(attributes, "r");
            row_ = r ? Number(r, "row number") : row_ + 1;
            column_ = 0;
        } else if (name == "c") {
            const char* reference = Attribute(attributes, "r");
            column_ = reference ? ColumnOf(reference) : column_ + 1;
            const char* type = Attribute(attributes, "t");
            type_ = type ? type : "n";
            const char* style = Attribute(attributes, "s");
            style_ = style ? Number(style, "style") : 0;
            value_.clear();
            inCell_ = true;
        } else if (inCell_ && (name == "v" || name == "t")) {
            collecting_ = phonetic_ == 0;
        } else if (name == "rPh") {
            ++phonetic_;
        }
    }

    void End(std::string_view name) override {
        if (name == "v" || name == "t") collecting_ = false;
        if (name == "rPh") --phonetic_;
        if (name == "c" && inCell_) {
            inCell_ = false;
            cells_.Set(row_, column_, CellText());
        }
    }

    void Text(std::string_view text) override {
        if (collecting_) value_ += text;
    }

  private:
    std::string Problem(std::string_view what) const {
        return LocatedMessage(cells_.FileName(), sheet_, row_, column_, what);
    }

    std::size_t Number(const char* text, const char* what) const {
        std::size_t value = 0;
        const char* end = text + std::strlen(text);
        auto [stop, error] = std::from_chars(text, end, value);
        if (error != std::errc() || stop != end)
            throw TableError(Problem(fmt::format("bad {} '{}'", what, text)));
        return value;
    }

    // "BC12": the column of an A1 reference; its row must agree with the row's.
    std::size_t ColumnOf(const char* reference) {
        std::size_t column = 0, i = 0;
        for (; reference[i] >= 'A' && reference[i] <= 'Z'; ++i) {
            column = column * 26 + static_cast<std::size_t>(reference[i] - 'A' + 1);
            if (column > SheetCells::kMostRowsOrColumns + 1) column = SheetCells::kMostRowsOrColumns + 1;
        }
        if (i == 0) throw TableError(Problem(fmt::format("bad cell reference '{}'", reference)));
        if (reference[i] != '\0') row_ = Number(reference + i, "cell reference");
        return column;
    }

    std::string CellText() {
        if (type_ == "s") {
            if (!value_.empty())
                sharedCells_.push_back({row_, column_, Number(value_.c_str(), "shared string")});
            return {};
        }
        if (type_ == "inlineStr" || type_ == "str") return Unescape(value_);
        if (type_ == "b") return value_ == "1" ? "TRUE" : value_.empty() ? "" : "FALSE";
        if (type_ == "e" || type_ == "d") return value_;
        if (value_.empty()) return {};
        double number = 0;
        auto [stop, error] = std::from_chars(value_.data(), value_.data() + value_.size(), number);
        if (error != std::errc() || stop != value_.data() + value_.size())
            throw TableError(Problem(fmt::format("'{}' is not a number", value_)));
        const bool isDate = style_ < dateStyles_.size() && dateStyles_[style_];
        return isDate ? SerialDateText(number, date1904_) : NumberText(number);
    }

    struct SharedCell {
        std::size_t row, column, index;
    };

    SheetCells& cells_;
    std::vector<SharedCell> sharedCells_;
    const std::vector<bool>& dateStyles_;
    bool date1904_;
    std::string sheet_;
    std::size_t row_ = 0, column_ = 0, style_ = 0;
    std::string type_, value_;
    bool inCell_ = false, collecting_ = false;
    int phonetic_ = 0;
};

// The workbook's main part, as the package's relationships name it.
std::string WorkbookPart(const ZipArchive& zip, const std::string& fileName) {
    std::string workbookPart = "xl/workbook.xml";
    for (const auto& [id, relationship] : ReadRelationships(zip, ""))
        if (EndsWith(relationship.type, "/officeDocument")) workbookPart = relationship.target;
    if (!zip.Has(workbookPart))
        throw TableError(fileName + ": not an Excel workbook (no " + workbookPart + ")");
    return workbookPart;
}

// The first worksheet in the workbook's order, and its part; chart sheets are not tables, hidden
// sheets count.
std::pair<const WorkbookSheet*, std::string> FirstWorksheet(
    const ZipArchive& zip, const std::string& fileName, const WorkbookHandler& workbook,
    const std::map<std::string, Relationship>& relationships) {
    for (const WorkbookSheet& sheet : workbook.sheets) {
        auto relationship = relationships.find(sheet.relationshipId);
        if (relationship == relationships.end())
            throw TableError(fmt::format("{}: sheet '{}' points nowhere", fileName, sheet.name));
        if (!EndsWith(relationship->second.type, "/worksheet")) continue;
        if (!zip.Has(relationship->second.target))
            throw TableError(fmt::format("{}: sheet '{}' points to the missing part {}", fileName, sheet.name,
                                         relationship->second.target));
        return {&sheet, relationship->second.target};
    }
    throw TableError(fileName + ": the workbook has no worksheet");
}

}  // namespace

SheetCells ReadXlsxSheet(const std::string& fileName) {
    ZipArchive zip(fileName);
    const std::string workbookPart = WorkbookPart(zip, fileName);

    WorkbookHandler workbook;
    zip.Parse(workbookPart, workbook);
    const auto relationships = ReadRelationships(zip, workbookPart);

    // The shared strings are most of a string table's bytes: they are read on a second core while
    // this one reads the sheet. The reader of a zip archive serves one thread, so each has its own.
    std::future<SharedStrings> shared;
    std::vector<bool> dateStyles;
    for (const auto& [id, relationship] : relationships) {
        if (EndsWith(relationship.type, "/sharedStrings") && zip.Has(relationship.target)) {
            shared = RunBeside([&fileName, part = relationship.target] {
                SharedStringsHandler handler;
                const ZipArchive archive(fileName);
                // The strings are shorter than the part that holds them: one buffer of the part's
                // stated size takes them without growing. A stated size beyond a plausible table
                // is only believed as far as that.
                std::string& text = handler.strings.text;
                text.reserve(std::min(archive.StatedSize(part), kMostSharedTextReserved));
                PreferLargePages(text.data(), text.capacity());
                archive.Parse(part, handler);
                return std::move(handler.strings);
            });
        } else if (EndsWith(relationship.type, "/styles") && zip.Has(relationship.target)) {
            StylesHandler handler;
            zip.Parse(relationship.target, handler);
            dateStyles = std::move(handler.dateStyles);
        }
    }

    const auto [sheet, part] = FirstWorksheet(zip, fileName, workbook, relationships);
    SheetCells cells(fileName, sheet->name);
    SheetHandler handler(cells, dateStyles, workbook.date1904, sheet->name);
    zip.Parse(part, handler);
    handler.ResolveSharedStrings(shared.valid() ? shared.get() : SharedStrings());
    return cells;
}

std::string FirstXlsxWorksheetPart(const ZipArchive& zip, const std::string& fileName) {
    const std::string workbookPart = WorkbookPart(zip, fileName);
    WorkbookHandler workbook;
    zip.Parse(workbookPart, workbook);
    return FirstWorksheet(zip, fileName, workbook, ReadRelationships(zip, workbookPart)).second;
}

}  // namespace lexicorn
