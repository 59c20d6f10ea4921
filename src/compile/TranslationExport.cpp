#include "compile/TranslationExport.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "base/Unicode.h"
#include "compile/DeviceFit.h"
#include "compile/TableCheck.h"
#include "generate/ListLanguages.h"
#include "table/TableLayout.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

using namespace table_layout;

// The first character of `text` that XML 1.0 has no place for, even as a character reference:
// the control characters other than tab, line feed and carriage return, and U+FFFE and U+FFFF.
std::optional<char32_t> CharacterXmlLacks(std::string_view text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return byte;
        if (byte == 0xEF && text.substr(at + 1, 1) == "\xBF" && at + 2 < text.size() &&
            (text[at + 2] == '\xBE' || text[at + 2] == '\xBF'))
            return DecodeUtf8At(text, at);
    }
    return std::nullopt;
}

// Text as it stands between the quotes of a PO string: control characters as C escapes, which
// gettext reads back.
std::string PoEscaped(std::string_view text) {
    std::string out;
    for (char c : text) switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    out += fmt::format("\\{:03o}", static_cast<unsigned char>(c));
                else
                    out += c;
        }
    return out;
}

// A PO string: "text"; a text of several lines as gettext writes it, an empty first line and then
// one quoted line each.
std::string PoString(std::string_view text) {
    const std::size_t feed = text.find('\n');
    if (feed == std::string_view::npos || feed + 1 == text.size()) return '"' + PoEscaped(text) + '"';
    std::string lines = "\"\"";
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
        lines += "\n\"" + PoEscaped(text.substr(start, end - start)) + '"';
        start = end;
    }
    return lines;
}

// One string of the table as the files carry it.
struct Unit {
    std::string_view id;
    std::string_view source;
    std::optional<std::string_view> target;  ///< the cell's own translation
    std::string_view note;                   ///< for the translators
    std::size_t row = 0;
    std::optional<WidthLimit> limit;
};

class Exporter {
  public:
    Exporter(const LoadedTable& table, const ProjectSettings& settings, const ExportOptions& options)
        : reader_(*table.tableReader),
          options_(options),
          list_(FindListLanguage(settings.targetLanguage)),
          limits_(settings.limits, settings.maxWidth),
          notesColumn_(table.notesColumn),
          fileName_(std::filesystem::path(table.spreadsheetPath).filename().string()),
          sourceCode_(table.languages.empty() ? std::string() : Utf16ToUtf8(table.languages.front().code)) {}

    TranslationFile Export(std::size_t column, const std::string& code) {
        TranslationFile file{code, {}, StringCount(reader_.GetRowCount()), 0};
        std::vector<Unit> units;
        units.reserve(file.strings);
        for (std::size_t s = 1; s <= file.strings; ++s) {
            const std::size_t row = StringRow(s);
            Unit unit{Cell(row, kIdColumn), Cell(row, kDefaultColumn), Cell(row, column), {}, row, {}};
            if (notesColumn_ != 0) unit.note = Cell(row, notesColumn_);
            if (unit.target->empty() || *unit.target == kUseDefault)
                unit.target.reset();
            else
                ++file.translated;
            unit.limit = limits_.For(unit.id);
            units.push_back(unit);
        }
        if (options_.format == ExchangeFormat::kXliff)
            WriteXliff(units, column, code, file.bytes);
        else
            WritePo(units, column, code, file.bytes);
        return file;
    }

  private:
    std::string_view Cell(std::size_t row, std::size_t column) const {
        return reader_.CellUtf8(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row));
    }

    std::vector<Placeholder> PlaceholdersOf(std::string_view text) const {
        if (!list_ || text.find(list_->placeholders.marker) == std::string_view::npos) return {};
        return list_->placeholders.find(text);
    }

    // XLIFF holds no control characters: each cell that has one is named, and nothing is written.
    void RefuseWhatXmlLacks(const std::vector<Unit>& units, std::size_t column) const {
        std::string reasons;
        const auto refuse = [&](std::size_t row, std::size_t at, std::string_view text) {
            if (const std::optional<char32_t> c = CharacterXmlLacks(text))
                reasons += fmt::format(
                    "{}:{}: XLIFF cannot hold the control character U+{:04X}: XML has "
                    "no such character\n",
                    fileName_, CellName(row, at), static_cast<std::uint32_t>(*c));
        };
        for (const Unit& unit : units) {
            refuse(unit.row, kIdColumn, unit.id);
            refuse(unit.row, kDefaultColumn, unit.source);
            if (unit.target) refuse(unit.row, column, *unit.target);
            refuse(unit.row, notesColumn_, unit.note);
        }
        if (!reasons.empty()) throw ExportRefused(reasons.substr(0, reasons.size() - 1));
    }

    // The text of a <source> or <target>: its placeholders as inline codes, numbered in the source
    // from 1; a target's placeholder has the number of the source's that is written alike, so that
    // tools pair them.
    void AppendSegment(std::string& out, std::string_view text, std::vector<std::string>& numbered) const {
        if (options_.inlineCodes == InlineCodes::kNone) return AppendXmlEscaped(out, text);
        std::vector<bool> paired(numbered.size(), false);
        const bool source = numbered.empty();
        std::size_t at = 0;
        for (const Placeholder& placeholder : PlaceholdersOf(text)) {
            AppendXmlEscaped(out, text.substr(at, placeholder.offset - at));
            at = placeholder.offset + placeholder.written.size();
            std::size_t number = numbered.size();
            for (std::size_t i = 0; !source && i < paired.size(); ++i)
                if (!paired[i] && numbered[i] == placeholder.written) {
                    paired[i] = true;
                    number = i;
                    break;
                }
            if (number == numbered.size()) numbered.push_back(placeholder.written);
            if (options_.inlineCodes == InlineCodes::kX)
                out += fmt::format(R"(<x id="{}" equiv-text="{}"/>)", number + 1,
                                   XmlEscaped(placeholder.written, true));
            else
                out += fmt::format(R"(<ph id="{}" ctype="{}">{}</ph>)", number + 1,
                                   list_->placeholders.xliffType, XmlEscaped(placeholder.written));
        }
        AppendXmlEscaped(out, text.substr(at));
    }

    void WriteXliff(const std::vector<Unit>& units, std::size_t column, const std::string& code,
                    std::string& out) const {
        RefuseWhatXmlLacks(units, column);
        out +=
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n";
        out += fmt::format(
            "  <file original=\"{}\" source-language=\"{}\" target-language=\"{}\" datatype=\"plaintext\">\n"
            "    <body>\n",
            XmlEscaped(fileName_, true), XmlEscaped(sourceCode_, true), XmlEscaped(code, true));
        std::vector<std::string> numbered;
        for (const Unit& unit : units) {
            const std::string id = XmlEscaped(unit.id, true);
            out += fmt::format(R"(      <trans-unit id="{}" resname="{}")", id, id);
            // The table's translations are the master's: converters mark units without this fuzzy.
            if (unit.target) out += R"( approved="yes")";
            if (unit.limit) out += fmt::format(R"( maxwidth="{}" size-unit="pixel")", unit.limit->width);
            out += " xml:space=\"preserve\">\n        <source>";
            numbered.clear();
            AppendSegment(out, unit.source, numbered);
            out += "</source>\n";
            if (unit.target) {
                out += "        <target state=\"translated\">";
                AppendSegment(out, *unit.target, numbered);
                out += "</target>\n";
            }
            if (!unit.note.empty()) out += fmt::format("        <note>{}</note>\n", XmlEscaped(unit.note));
            if (unit.limit && unit.limit->lines != 0)
                out += fmt::format("        <note>at most {} {}</note>\n", unit.limit->lines,
                                   unit.limit->lines == 1 ? "line" : "lines");
            out += "      </trans-unit>\n";
        }
        out += "    </body>\n  </file>\n</xliff>\n";
    }

    void WritePo(const std::vector<Unit>& units, std::size_t column, const std::string& code,
                 std::string& out) const {
        // The fields msgfmt --check expects are there, empty where only the translator can fill them.
        out += fmt::format(
            "msgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: {}\\n\"\n\"PO-Revision-Date: \\n\"\n"
            "\"Last-Translator: \\n\"\n\"Language-Team: \\n\"\n\"Language: {}\\n\"\n\"MIME-Version: "
            "1.0\\n\"\n"
            "\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Content-Transfer-Encoding: 8bit\\n\"\n"
            "\"Plural-Forms: nplurals=1; plural=0;\\n\"\n",
            PoEscaped(fileName_), PoEscaped(code));
        for (const Unit& unit : units) {
            out += '\n';
            AppendPoComment(out, unit.note);
            if (unit.limit) {
                out += fmt::format("#. max width {} px", unit.limit->width);
                if (unit.limit->lines != 0)
                    out +=
                        fmt::format(", {} {}", unit.limit->lines, unit.limit->lines == 1 ? "line" : "lines");
                out += '\n';
            }
            out += fmt::format("#: {}:{}\n", fileName_, CellName(unit.row, column));
            // gettext checks the placeholders of the entries it is told hold them.
            if (!PlaceholdersOf(unit.source).empty())
                out += fmt::format("#, {}\n", list_->placeholders.gettextFlag);
            out += fmt::format("msgctxt {}\nmsgid {}\nmsgstr {}\n", PoString(unit.id), PoString(unit.source),
                               PoString(unit.target.value_or("")));
        }
    }

    // A note as extracted comments, "#. " before each of its lines (ended by a line feed, a carriage
    // return or both), which gettext reads to the end of the line.
    static void AppendPoComment(std::string& out, std::string_view note) {
        for (std::size_t start = 0; start < note.size();) {
            const std::size_t end = std::min(note.find_first_of("\r\n", start), note.size());
            const std::string_view line = note.substr(start, end - start);
            out += line.empty() ? "#.\n" : fmt::format("#. {}\n", line);
            start = end + (note.substr(end, 2) == "\r\n" ? 2 : 1);
        }
    }

    TableReader& reader_;
    const ExportOptions& options_;
    const ListLanguage* list_;
    WidthLimits limits_;
    std::size_t notesColumn_;
    std::string fileName_;
    std::string sourceCode_;
};

// The ids the check refuses, which no unit can be known by: an empty one, one twice.
void RefuseUnnamedUnits(const LoadedTable& table, ProjectSettings settings) {
    // Ids are judged without the device: its fonts are not even opened.
    settings.fonts.clear();
    settings.limits.clear();
    settings.maxWidth = 0;
    std::string reasons;
    for (const Finding& finding : CheckTable(table, settings).findings)
        if (finding.rule == "empty-id" || finding.rule == "duplicate-id")
            reasons += FindingLine(table.spreadsheetPath, finding) + '\n';
    if (!reasons.empty()) throw ExportRefused(reasons.substr(0, reasons.size() - 1));
}

}  // namespace

std::optional<ExchangeFormat> ExchangeFormatOf(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".xlf" || extension == ".xliff") return ExchangeFormat::kXliff;
    if (extension == ".po") return ExchangeFormat::kPo;
    return std::nullopt;
}

std::string TranslationFileName(std::string_view code, ExchangeFormat format) {
    return fmt::format("{}.{}", code, format == ExchangeFormat::kXliff ? "xlf" : "po");
}

std::vector<TranslationFile> ExportTranslations(const LoadedTable& table, const ProjectSettings& settings,
                                                const std::vector<std::size_t>& entries,
                                                const ExportOptions& options) {
    RefuseUnnamedUnits(table, settings);
    Exporter exporter(table, settings, options);
    std::vector<TranslationFile> files;
    for (std::size_t entry : entries)
        files.push_back(
            exporter.Export(table.LanguageColumn(entry), Utf16ToUtf8(table.languages.at(entry).code)));
    return files;
}

}  // namespace lexicorn
