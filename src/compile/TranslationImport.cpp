#include "compile/TranslationImport.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "base/Unicode.h"
#include "compile/TableCheck.h"
#include "compile/TranslationExport.h"
#include "generate/ListLanguages.h"
#include "generate/Placeholders.h"
#include "table/TableLayout.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

using namespace table_layout;

std::string Lowered(std::string_view text) {
    std::string lowered(text);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lowered;
}

// The value of the "Language:" line of a gettext header; empty when it has none.
std::string HeaderLanguage(std::string_view header) {
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        std::string_view line = header.substr(start, end - start);
        if (line.starts_with("Language:")) {
            line.remove_prefix(9);
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
            return std::string(line);
        }
        start = end + 1;
    }
    return {};
}

// XLIFF 1.x: the units of the file's <file> elements. Only a <source> and <target> directly in a
// <trans-unit> count (an <alt-trans> holds others' suggestions); every inline code in them reads as
// the text it stands for: the content of <ph>, <bpt>, <ept>, <it>, <g> and <mrk>, the equiv-text
// of <x/>, <bx/> and <ex/>.
class XliffHandler final : public XmlHandler {
  public:
    explicit XliffHandler(TranslationDocument& document) : document_(document) {}

    void Start(std::string_view name, const char** attributes) override {
        stack_.emplace_back(name);
        // Read after the push, which may move the names already on the stack.
        const std::string_view parent = stack_.size() < 2 ? std::string_view() : stack_[stack_.size() - 2];
        if (stack_.size() == 1) {
            if (name != "xliff") Refuse("not an XLIFF file: its root element is <{}>", name);
            const std::string_view version = Value(attributes, "version");
            if (!version.starts_with("1.")) Refuse("XLIFF {} is not read: export XLIFF 1.2", version);
        } else if (name == "file") {
            const std::string language(Value(attributes, "target-language"));
            if (!language.empty()) {
                if (!document_.language.empty() && document_.language != language)
                    Refuse("a second <file> is in another language: {}", language);
                document_.language = language;
            }
        } else if (name == "trans-unit" && !unit_) {
            unit_.emplace();
            unit_->line = place.line;
            const std::string_view resname = Value(attributes, "resname");
            unit_->idNamed = !resname.empty();
            unit_->id = resname.empty() ? Value(attributes, "id") : resname;
            header_ = Value(attributes, "restype") == "x-gettext-domain-header";
        } else if (unit_ && parent == "trans-unit" && (name == "source" || name == "target")) {
            segment_ = name == "source" ? &unit_->source : &unit_->target;
            segmentDepth_ = stack_.size();
        } else if (segment_ && (name == "x" || name == "bx" || name == "ex")) {
            *segment_ += Value(attributes, "equiv-text");
        }
    }

    void End(std::string_view name) override {
        if (segment_ && stack_.size() == segmentDepth_) segment_ = nullptr;
        stack_.pop_back();
        if (name != "trans-unit" || !unit_) return;
        // po2xliff keeps the gettext header as a unit: it names the language, and is no string.
        if (header_) {
            if (document_.language.empty())
                document_.language = HeaderLanguage(unit_->target.empty() ? unit_->source : unit_->target);
        } else {
            document_.units.push_back(std::move(*unit_));
        }
        unit_.reset();
    }

    void Text(std::string_view text) override {
        if (segment_) *segment_ += text;
    }

  private:
    static std::string_view Value(const char** attributes, std::string_view name) {
        const char* value = Attribute(attributes, name);
        return value ? std::string_view(value) : std::string_view();
    }

    template <typename... Args>
    [[noreturn]] void Refuse(fmt::format_string<Args...> what, Args&&... args) const {
        throw TranslationFileError(fmt::format("{}:{}: {}", document_.fileName, place.line,
                                               fmt::format(what, std::forward<Args>(args)...)));
    }

    TranslationDocument& document_;
    std::vector<std::string> stack_;
    std::optional<ImportedUnit> unit_;
    bool header_ = false;
    std::string* segment_ = nullptr;
    std::size_t segmentDepth_ = 0;
};

// gettext's PO: entries of comments, msgctxt, msgid (and msgid_plural) and msgstr (or msgstr[N]),
// each a string of one or more quoted pieces on lines of their own.
class PoReader {
  public:
    PoReader(TranslationDocument& document, std::string_view text) : document_(document), text_(text) {}

    void Read() {
        for (std::size_t start = 0; start < text_.size();) {
            const std::size_t end = std::min(text_.find('\n', start), text_.size());
            std::string_view line = text_.substr(start, end - start);
            if (line.ends_with('\r')) line.remove_suffix(1);
            ++line_;
            start = end + 1;
            ReadLine(line);
        }
        EndEntry();
    }

  private:
    enum class Field { kNone, kContext, kId, kPlural, kString, kOtherString };

    void ReadLine(std::string_view line) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty()) return EndEntry();
        if (line.starts_with("#~")) return;  // an obsolete entry
        if (line.starts_with('#')) {
            if (field_ != Field::kNone && field_ != Field::kContext) EndEntry();
            if (line.starts_with("#,") && line.find("fuzzy") != std::string_view::npos) fuzzy_ = true;
            return;
        }
        if (line.starts_with('"')) {
            if (field_ == Field::kNone) Refuse("a string that follows no keyword");
            return Append(line);
        }
        const std::size_t space = line.find_first_of(" \t");
        const std::string_view keyword = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (keyword == "msgctxt") {
            if (field_ != Field::kNone) EndEntry();
            Begin(Field::kContext);
        } else if (keyword == "msgid") {
            if (field_ != Field::kNone && field_ != Field::kContext) EndEntry();
            Begin(Field::kId);
        } else if (keyword == "msgid_plural") {
            Begin(Field::kPlural);
        } else if (keyword == "msgstr" || keyword == "msgstr[0]") {
            Begin(Field::kString);
        } else if (keyword.starts_with("msgstr[")) {
            Begin(Field::kOtherString);
        } else {
            Refuse(fmt::format("'{}' is no keyword of a PO file", keyword));
        }
        Append(rest);
    }

    void Begin(Field field) {
        field_ = field;
        if (field == Field::kContext || field == Field::kId) {
            if (!entryLine_) entryLine_ = line_;
            if (field == Field::kContext) hasContext_ = true;
        }
    }

    void Append(std::string_view quoted) {
        while (!quoted.empty() && (quoted.front() == ' ' || quoted.front() == '\t')) quoted.remove_prefix(1);
        if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
            Refuse("a PO string is written in double quotes");
        std::string* into = nullptr;
        switch (field_) {
            case Field::kContext:
                into = &entry_.id;
                break;
            case Field::kId:
                into = &entry_.source;
                break;
            case Field::kString:
                into = &entry_.target;
                break;
            default:
                return;
        }
        Unescape(quoted.substr(1, quoted.size() - 2), *into);
    }

    void Unescape(std::string_view text, std::string& out) const {
        for (std::size_t at = 0; at < text.size(); ++at) {
            if (text[at] == '"') Refuse("a double quote inside a PO string is written \\\"");
            if (text[at] != '\\') {
                out += text[at];
                continue;
            }
            if (++at == text.size()) Refuse("a PO string ends in a backslash");
            switch (const char c = text[at]) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 'a':
                    out += '\a';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'v':
                    out += '\v';
                    break;
                case '"':
                case '\\':
                case '\'':
                case '?':
                    out += c;
                    break;
                default:
                    if (c >= '0' && c <= '7') {
                        unsigned value = 0;
                        for (int digits = 0;
                             digits < 3 && at < text.size() && text[at] >= '0' && text[at] <= '7';
                             ++digits, ++at)
                            value = value * 8 + static_cast<unsigned>(text[at] - '0');
                        --at;
                        out += static_cast<char>(value);
                    } else {
                        Refuse(fmt::format("\\{} is no escape of a PO string", c));
                    }
            }
        }
    }

    void EndEntry() {
        if (entryLine_) {
            entry_.line = entryLine_;
            entry_.fuzzy = fuzzy_;
            entry_.idNamed = hasContext_;
            if (!hasContext_ && entry_.source.empty()) {
                document_.language = HeaderLanguage(entry_.target);
            } else {
                if (FindInvalidUtf8(entry_.source + entry_.target))
                    throw TranslationFileError(
                        fmt::format("{}:{}: the entry is no UTF-8 text", document_.fileName, entryLine_));
                document_.units.push_back(std::move(entry_));
            }
        }
        entry_ = {};
        entryLine_ = 0;
        hasContext_ = false;
        fuzzy_ = false;
        field_ = Field::kNone;
    }

    [[noreturn]] void Refuse(const std::string& what) const {
        throw TranslationFileError(fmt::format("{}:{}: {}", document_.fileName, line_, what));
    }

    TranslationDocument& document_;
    std::string_view text_;
    std::size_t line_ = 0;
    ImportedUnit entry_;
    std::size_t entryLine_ = 0;
    bool hasContext_ = false;
    bool fuzzy_ = false;
    Field field_ = Field::kNone;
};

bool LooksLikeXml(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && bytes[first] == '<';
}

// One file's units put to the table.
class Planner {
  public:
    Planner(const LoadedTable& table, const ProjectSettings& settings, const ImportOptions& options,
            ImportPlan& plan)
        : reader_(*table.tableReader),
          table_(table),
          options_(options),
          list_(FindListLanguage(settings.targetLanguage)),
          plan_(plan),
          nextColumn_(
              std::max<std::size_t>(reader_.GetColumnCount(), LanguageColumn(table.languages.size() - 1)) +
              1) {
        for (std::size_t s = 1; s <= StringCount(reader_.GetRowCount()); ++s) {
            const std::size_t row = StringRow(s);
            if (!rowsById_.emplace(std::string(Cell(row, kIdColumn)), row).second)
                idsTwice_.emplace(Cell(row, kIdColumn));
            rowsBySource_[std::string(Cell(row, kDefaultColumn))].push_back(row);
        }
    }

    void Add(const TranslationDocument& document) {
        LanguageImport language;
        language.fileName = document.fileName;
        language.code = document.language;
        if (document.language.empty())
            return Problem(document.fileName, 0,
                           "the file names no target language (target-language, Language:)");
        if (!Column(document.language, language)) return;
        for (const ImportedUnit& unit : document.units) Take(document, unit, language);
        plan_.languages.push_back(std::move(language));
    }

  private:
    std::string_view Cell(std::size_t row, std::size_t column) const {
        return reader_.CellUtf8(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row));
    }

    void Problem(const std::string& file, std::size_t line, const std::string& what) {
        plan_.problems.push_back(line ? fmt::format("{}:{}: {}", file, line, what)
                                      : fmt::format("{}: {}", file, what));
    }

    // The language's column: the one whose code (row 2) it is, or a new one after the last.
    bool Column(const std::string& code, LanguageImport& language) {
        for (const LanguageImport& earlier : plan_.languages)
            if (Lowered(earlier.code) == Lowered(code)) {
                Problem(language.fileName, 0,
                        fmt::format("{} is a second file for the language {}: {} is the first",
                                    language.fileName, code, earlier.fileName));
                return false;
            }
        for (std::size_t e = 0; e < table_.languages.size(); ++e)
            if (Lowered(Utf16ToUtf8(table_.languages[e].code)) == Lowered(code)) {
                if (e == 0) {
                    Problem(language.fileName, 0,
                            fmt::format("{} is the table's default language, the source of every translation",
                                        code));
                    return false;
                }
                language.column = LanguageColumn(e);
                return true;
            }
        language.column = nextColumn_++;
        language.added = true;
        plan_.changes.push_back({kNameRow, language.column, code});
        plan_.changes.push_back({kCodeRow, language.column, code});
        return true;
    }

    // The row of the unit's string: by its id, else by its default text where only one string has it.
    std::optional<std::size_t> Row(const TranslationDocument& document, const ImportedUnit& unit,
                                   LanguageImport& language) {
        if (auto found = rowsById_.find(unit.id); !unit.id.empty() && found != rowsById_.end()) {
            // The check refuses an id twice: which of its strings the unit is, nobody can tell.
            if (idsTwice_.contains(unit.id)) {
                Problem(document.fileName, unit.line,
                        fmt::format("the table has more than one string with the id {}", unit.id));
                return std::nullopt;
            }
            return found->second;
        }
        if (unit.idNamed) {
            Problem(document.fileName, unit.line,
                    fmt::format("the table has no string with the id {}", unit.id));
            return std::nullopt;
        }
        const auto rows = rowsBySource_.find(unit.source);
        if (rows == rowsBySource_.end()) {
            Problem(document.fileName, unit.line,
                    fmt::format("the unit names no id of the table, and no string has its source text \"{}\"",
                                unit.source));
            return std::nullopt;
        }
        if (rows->second.size() > 1) {
            Problem(
                document.fileName, unit.line,
                fmt::format("the unit names no id of the table, and {} strings have its source text \"{}\"",
                            rows->second.size(), unit.source));
            return std::nullopt;
        }
        ++language.bySource;
        return rows->second.front();
    }

    void Take(const TranslationDocument& document, const ImportedUnit& unit, LanguageImport& language) {
        const std::optional<std::size_t> row = Row(document, unit, language);
        if (!row) return;
        const std::string cell = CellName(*row, language.column);
        const std::string_view id = Cell(*row, kIdColumn);
        if (unit.target.empty()) {
            ++language.empty;
            return;
        }
        const auto skip = [&](const std::string& why) {
            plan_.warnings.push_back(
                fmt::format("{}:{}: {} ({}): {}: skipped", document.fileName, unit.line, id, cell, why));
            language.skipped.push_back(cell);
        };
        if (unit.fuzzy) return skip("the entry is marked fuzzy");
        const std::string_view standard = Cell(*row, kDefaultColumn);
        if (unit.source != standard && !options_.acceptChangedSources)
            return skip(
                fmt::format("its source is no longer the table's default string ({}); "
                            "--accept-changed-sources takes it",
                            CellName(*row, kDefaultColumn)));
        if (list_ && !standard.empty())
            if (const std::optional<std::string> difference =
                    PlaceholderDifference(list_->placeholders, unit.target, standard))
                return Problem(document.fileName, unit.line,
                               fmt::format("{} ({}): placeholder-mismatch: {}", id, cell, *difference));
        if (!language.added && Cell(*row, language.column) == unit.target) {
            language.unchanged.push_back(cell);
            return;
        }
        language.changed.push_back(cell);
        plan_.changes.push_back({*row, language.column, unit.target});
    }

    const TableReader& reader_;
    const LoadedTable& table_;
    const ImportOptions& options_;
    const ListLanguage* list_;
    ImportPlan& plan_;
    std::size_t nextColumn_;
    std::unordered_map<std::string, std::size_t> rowsById_;
    std::unordered_map<std::string, std::vector<std::size_t>> rowsBySource_;
    std::unordered_set<std::string> idsTwice_;
};

}  // namespace

TranslationDocument ReadTranslationDocument(const std::string& fileName, std::string_view bytes) {
    TranslationDocument document{fileName, {}, {}};
    const std::optional<ExchangeFormat> named = ExchangeFormatOf(fileName);
    if (named ? *named == ExchangeFormat::kXliff : LooksLikeXml(bytes)) {
        XliffHandler handler(document);
        try {
            ParseXmlDocument(bytes, fileName, handler);
        } catch (const TableError& error) {
            throw TranslationFileError(error.what());
        }
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
        PoReader(document, bytes).Read();
    }
    return document;
}

ImportPlan PlanImport(const LoadedTable& table, const ProjectSettings& settings,
                      const std::vector<TranslationDocument>& documents, const ImportOptions& options) {
    ImportPlan plan;
    Planner planner(table, settings, options, plan);
    for (const TranslationDocument& document : documents) planner.Add(document);
    std::stable_sort(plan.changes.begin(), plan.changes.end(), [](const CellChange& a, const CellChange& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    return plan;
}

}  // namespace lexicorn
