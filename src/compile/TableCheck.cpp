#include "compile/TableCheck.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "base/Text.h"
#include "base/Unicode.h"
#include "compile/BuildRun.h"
#include "compile/DeviceFit.h"
#include "generate/ListLanguages.h"
#include "generate/StringListEngine.h"
#include "image/ImageLayout.h"
#include "image/Lexicorn16Engine.h"
#include "image/Lexicorn32Engine.h"
#include "platform/CodePage.h"
#include "table/TableLayout.h"

namespace lexicorn {
namespace {

using namespace table_layout;

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// UTF-16 units of valid UTF-8 text, counted without converting it.
std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

std::string_view LeadingSpace(std::string_view text) {
    return text.substr(0, std::min(text.size(), text.find_first_not_of(" \t\r\n")));
}

std::string_view TrailingSpace(std::string_view text) {
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return last == std::string_view::npos ? text : text.substr(last + 1);
}

// The hashes of the texts stored so far, in one array: a node a string would cost the check as much
// as the build's own store.
class HashSet {
  public:
    void Reserve(std::uint64_t count) {
        std::size_t size = 16;
        while (size < 2 * count) size *= 2;
        slots_.assign(size, 0);
    }
    /// False when the hash is there already.
    bool Insert(std::size_t hash) {
        if (hash == 0) hash = 1;  // 0 marks a free slot
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            if (slots_[at] == hash) return false;
            if (slots_[at] == 0) {
                slots_[at] = hash;
                return true;
            }
        }
    }

  private:
    std::vector<std::size_t> slots_;
};

class Checker {
  public:
    Checker(const LoadedTable& table, const ProjectSettings& settings)
        : reader_(*table.tableReader), settings_(settings), codePage_(MakeCodePage(settings.codePage)) {
        entries_ = ChosenLanguages(table);
        for (std::size_t i : entries_) {
            codes_.push_back(Utf16ToUtf8(table.languages[i].code));
            columns_.push_back(table.LanguageColumn(i));
        }
        encoding_ = settings.encoding == Encoding::kUtf16 || settings.encoding == Encoding::kUtf8
                        ? settings.encoding
                        : Encoding::kSingleByte;
        terminator_ = encoding_ == Encoding::kUtf16 ? 2 : 1;
        alignment_ = settings.alignment == 2 || settings.alignment == 4 ? settings.alignment : 1;
        if (!settings.fonts.empty()) {
            fonts_.emplace(settings, codes_);
            report_.notes = fonts_->Notes();
        }
        limits_ = WidthLimits(settings.limits, settings.maxWidth);
    }

    CheckReport Run() {
        sheet_ = reader_.SheetName();
        report_.sheet = sheet_;
        const std::size_t rows = reader_.GetRowCount();
        strings_ = StringCount(rows);
        if (entries_.empty())
            Error("no-language", kNameRow, kDefaultColumn, {},
                  "the table has no language column: column 2 and the columns after it hold one language "
                  "each, its name in row 1, its code in row 2 and its strings from row 3 on",
                  kSuccess);
        CheckIds();
        CheckTexts();
        CheckLimitIds();
        // Messages quote ids and texts of the table: their control characters are spelled out.
        for (Finding& finding : report_.findings) finding.message = ShownText(finding.message);
        SortFindings(report_.findings);
        return std::move(report_);
    }

  private:
    static CodePage MakeCodePage(const std::string& name) {
        try {
            return CodePage(name);
        } catch (const std::invalid_argument& error) {
            throw TableError(error.what());
        }
    }

    std::string_view Cell(std::size_t row, std::size_t column) const {
        return reader_.CellUtf8(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row));
    }

    void Add(Finding::Severity severity, const char* rule, std::size_t row, std::size_t column,
             std::string language, std::string message, ResultCode code = kSuccess) {
        report_.findings.push_back(
            {severity, rule, sheet_, row, column, std::move(language), std::move(message), code, {}});
    }
    void Error(const char* rule, std::size_t row, std::size_t column, std::string language,
               std::string message, ResultCode code) {
        Add(Finding::Severity::kError, rule, row, column, std::move(language), std::move(message), code);
    }
    void Warning(const char* rule, std::size_t row, std::size_t column, std::string language,
                 std::string message) {
        Add(Finding::Severity::kWarning, rule, row, column, std::move(language), std::move(message));
    }

    void CheckIds() {
        const ListLanguage* list = FindListLanguage(settings_.targetLanguage);
        std::unordered_map<std::string_view, std::size_t> exact;
        std::unordered_map<std::string, std::size_t> names;
        for (std::size_t s = 1; s <= strings_; ++s) {
            const std::size_t row = StringRow(s);
            const std::string_view id = Cell(row, kIdColumn);
            if (id.empty()) {
                Error("empty-id", row, kIdColumn, {}, "the string id is empty", kEmptyStringId);
                continue;
            }
            if (id.size() > StringListEngine::kMaxIdLength) {
                Error("id-too-long", row, kIdColumn, {},
                      fmt::format("the string id has {} bytes; at most {} fit", id.size(),
                                  StringListEngine::kMaxIdLength),
                      kStringIdTooLong);
                continue;
            }
            if (auto [earlier, fresh] = exact.emplace(id, row); !fresh) {
                Error("duplicate-id", row, kIdColumn, {},
                      fmt::format("the string id '{}' is already the id in {}", id,
                                  CellName(earlier->second, kIdColumn)),
                      kDuplicateStringId);
                continue;
            }
            if (!list) continue;
            if (auto problem = list->identifierProblem(id)) {
                Error("invalid-identifier", row, kIdColumn, {},
                      fmt::format("'{}' is no name in {}: {}", id, list->name, *problem), kInvalidStringId);
                continue;
            }
            if (auto [earlier, fresh] = names.emplace(list->nameKey(id), row); !fresh)
                Error("invalid-identifier", row, kIdColumn, {},
                      fmt::format("'{}' is the same name in {} as '{}' in {}, as it ignores case", id,
                                  list->name, Cell(earlier->second, kIdColumn),
                                  CellName(earlier->second, kIdColumn)),
                      kInvalidStringId);
        }
    }

    // What a build stores for `text` in the image's encoding: its size in bytes and in the units that
    // the cell limit counts.
    struct Stored {
        std::uint64_t bytes = 0;
        std::size_t units = 0;
        bool mappable = true;
        char32_t missing = 0;
    };
    Stored Measure(std::string_view text) const {
        switch (encoding_) {
            case Encoding::kUtf16: {
                const std::size_t units = Utf16Length(text);
                return {2 * units, units};
            }
            case Encoding::kUtf8:
                return {text.size(), text.size()};
            case Encoding::kSingleByte:
                break;
        }
        // Every code page of single-byte text agrees with ASCII.
        if (std::all_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return {text.size(), text.size()};
        std::string converted;
        char32_t missing = 0;
        if (!codePage_.FromUtf8(text, converted, missing)) return {text.size(), text.size(), false, missing};
        return {converted.size(), converted.size()};
    }

    // The problems of one cell's own text, each cell once.
    void CheckCell(std::size_t row, std::size_t column, const std::string& language, std::string_view text,
                   const Stored& stored) {
        // A cell of the default column is met again wherever an empty cell takes its string.
        if (column == kDefaultColumn && row > kHeaderRows) {
            if (defaultChecked_[row - kHeaderRows]) return;
            defaultChecked_[row - kHeaderRows] = true;
        }
        if (!stored.mappable)
            Error("unmappable-character", row, column, language, codePage_.MissingCharacter(stored.missing),
                  kSuccess);
        if (stored.units > kMaxCellLength)
            Error("cell-too-long", row, column, language,
                  fmt::format("the text has {} characters; at most {} fit", stored.units, kMaxCellLength),
                  kCellTooLong);
        const auto control = std::find_if(text.begin(), text.end(), [](char c) {
            const auto byte = static_cast<unsigned char>(c);
            return (byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F;
        });
        if (control != text.end())
            Warning("control-character", row, column, language,
                    fmt::format("the text holds the control character U+{:04X}",
                                static_cast<unsigned char>(*control)));
    }

    // What the string data needs: names are stored each time, strings once for identical text.
    void Store(std::string_view key, std::uint64_t bytes, bool shareable, std::size_t row, std::size_t column,
               const std::string& language) {
        const std::uint64_t size = bytes + terminator_;
        // Identical texts are known by a 64-bit hash of their bytes: the figures need no copy of the
        // table, and the build's own store stays the judge of what fits.
        if (shareable && !shared_.Insert(std::hash<std::string_view>()(key))) {
            report_.sharedBytesSaved += size;
            return;
        }
        used_ = AlignUp(used_ + size, alignment_);
        if (used_ > capacity_ && !overflow_)
            overflow_ = Finding{Finding::Severity::kError, "capacity", sheet_, row, column, language, {},
                                kCapacityExceeded,         {}};
    }

    void CheckTexts() {
        const ListLanguage* list = FindListLanguage(settings_.targetLanguage);
        const bool wide = settings_.tableType == TableType::k32Bit;
        const std::uint64_t slots = std::uint64_t{entries_.size()} * strings_;
        capacity_ = wide ? Lexicorn32Engine::kBytesPerSlot * slots : Lexicorn16Engine::kDataCapacity;
        used_ = AlignUp(terminator_, alignment_);  // the empty string at offset 0
        shared_.Reserve(slots);
        const std::uint64_t width = wide ? 4 : 2;
        report_.stringBytes.assign(strings_, 0);

        for (std::size_t e = 0; e < entries_.size(); ++e) {
            const std::size_t column = columns_[e];
            const std::string_view name = Cell(kNameRow, column);
            const Stored measuredName = Measure(name);
            CheckCell(kNameRow, column, codes_[e], name, measuredName);
            const std::string_view code = Cell(kCodeRow, column);
            if (const Stored stored = Measure(code); !stored.mappable)
                Error("unmappable-character", kCodeRow, column, codes_[e],
                      codePage_.MissingCharacter(stored.missing), kSuccess);
            CheckCode(column, codes_[e]);
            Store(name, measuredName.bytes, false, kNameRow, column, codes_[e]);
        }

        const std::string defaultLanguage = LanguageOf(kDefaultColumn);
        std::vector<std::string_view> defaults(strings_ + 1);
        for (std::size_t s = 1; s <= strings_; ++s) defaults[s] = Cell(StringRow(s), kDefaultColumn);
        defaultChecked_.assign(strings_ + 1, false);
        for (std::size_t e = 0; e < entries_.size(); ++e) {
            const std::size_t column = columns_[e];
            LanguageFigures figures{codes_[e], strings_, 0, 0, 0, 0, {}};
            Font* font = fonts_ ? fonts_->For(e) : nullptr;
            for (std::size_t s = 1; s <= strings_; ++s) {
                const std::size_t row = StringRow(s);
                const std::string_view own = column == kDefaultColumn ? defaults[s] : Cell(row, column);
                const bool useDefault = TakesDefaultString(own, settings_);
                const std::string_view text = useDefault ? defaults[s] : own;
                glyphs_.Add(text);
                if (font) CheckFit(e, row, useDefault ? kDefaultColumn : column, text, *font);
                if (!own.empty() && own != kUseDefault) ++figures.translated;
                const bool untranslated = own.empty() || own == kUseDefault;
                if (column != kDefaultColumn && (untranslated || own == defaults[s]))
                    CountMissing(figures, untranslated, row, column, e);
                const Stored stored = Measure(text);
                if (useDefault)
                    CheckCell(row, kDefaultColumn, defaultLanguage, text, stored);
                else
                    CheckCell(row, column, codes_[e], text, stored);
                if (!useDefault && column != kDefaultColumn && !own.empty())
                    CompareWithDefault(row, column, codes_[e], own, defaults[s], list);
                figures.bytes += stored.bytes + terminator_;
                report_.stringBytes[s - 1] += width + AlignUp(stored.bytes + terminator_, alignment_);
                Store(text, stored.bytes, true, row, useDefault ? kDefaultColumn : column, codes_[e]);
            }
            figures.glyphs = glyphs_.Take();
            report_.languages.push_back(std::move(figures));
        }
        ReportMissingGlyphs();

        report_.imageSize =
            layout::kHeaderSize + layout::kLanguageEntrySize * entries_.size() + width * slots + used_;
        if (!wide) report_.capacityUsed = static_cast<double>(used_) / static_cast<double>(capacity_);
        if (overflow_) {
            const std::uint64_t wideCapacity = Lexicorn32Engine::kBytesPerSlot * slots;
            overflow_->message =
                wide
                    ? fmt::format(
                          "the string data needs {} bytes, {} more than a 32-bit table of {} strings holds",
                          used_, used_ - capacity_, slots)
                    : fmt::format(
                          "the string data needs {} bytes, {} more than the 64 KB of a 16-bit table; {}",
                          used_, used_ - capacity_,
                          used_ <= wideCapacity ? "a 32-bit table holds it"
                                                : fmt::format("a 32-bit table of {} strings holds at most {}",
                                                              slots, wideCapacity));
            report_.findings.push_back(std::move(*overflow_));
        }
    }

    void CountMissing(LanguageFigures& figures, bool untranslated, std::size_t row, std::size_t column,
                      std::size_t entry) {
        using Kind = MissingTranslation::Kind;
        ++(untranslated ? figures.untranslated : figures.sameAsDefault);
        report_.missing.push_back({untranslated ? Kind::kUntranslated : Kind::kSameAsDefault, row, column,
                                   entry, std::string(Cell(row, kIdColumn))});
    }

    // Whether the string of a cell shows on the device in `font`: its characters are in it, and it
    // fits its limit. A default string is judged once for each font it is drawn with, in the
    // default language's name where that language draws it with the same font.
    void CheckFit(std::size_t entry, std::size_t row, std::size_t column, std::string_view text, Font& font) {
        std::string language = codes_[entry];
        if (column == kDefaultColumn) {
            const std::size_t fonts = settings_.fonts.size() + 1;
            if (!defaultFits_.insert(row * fonts + fonts_->NumberOf(entry)).second) return;
            const std::size_t defaultEntry = DefaultEntry();
            if (defaultEntry < entries_.size() && fonts_->For(defaultEntry) == &font)
                language = codes_[defaultEntry];
        }
        // Other control characters are named with the cell whether measured or not; a tab is
        // named where it is measured, with how it was.
        if (text.find('\t') != std::string_view::npos)
            Warning("control-character", row, column, language,
                    font.IsLvgl()
                        ? fmt::format("the text holds a tab (U+0009), which LVGL draws as two spaces "
                                      "of {}",
                                      font.Path())
                        : fmt::format("the text holds a tab (U+0009), which takes no room in {}: how "
                                      "wide it shows depends on the device's renderer",
                                      font.Path()));
        TextFit& fit = fit_;
        MeasureText(font, text, fit);
        for (char32_t c : fit.missing) {
            const auto [known, fresh] =
                missingGlyphs_.try_emplace(std::tuple(language, font.Path(), c), missingGlyphs_.size());
            if (fresh)
                missingFindings_.push_back({{Finding::Severity::kError,
                                             "missing-glyph",
                                             sheet_,
                                             row,
                                             column,
                                             language,
                                             fmt::format("'{}' (U+{:04X}) is not in {}", CharacterText(c),
                                                         static_cast<std::uint32_t>(c), font.Path()),
                                             kGlyphMissing,
                                             {}},
                                            0});
            else
                ++missingFindings_[known->second].furtherCells;
        }
        const std::optional<WidthLimit> limit = limits_.For(Cell(row, kIdColumn));
        if (!limit) return;
        const std::size_t widest = fit.WidestLine();
        if (const std::int64_t over = fit.WidthOver(limit); over > 0)
            Error("too-wide", row, column, language,
                  fmt::format("{} {} px wide in {}, {} px more than the {} px it may take",
                              fit.lineWidths.size() == 1 ? std::string("the text is")
                                                         : fmt::format("line {} is", widest + 1),
                              fit.lineWidths[widest], font.Path(), over, limit->width),
                  kTooWide);
        if (limit->lines != 0 && fit.lineWidths.size() > limit->lines)
            Error("too-many-lines", row, column, language,
                  fmt::format("the text has {} lines; it may take {}", fit.lineWidths.size(), limit->lines),
                  kTooWide);
    }

    // The chosen language number of the default column, or entries_.size() when it is not chosen.
    std::size_t DefaultEntry() const {
        return static_cast<std::size_t>(std::find(entries_.begin(), entries_.end(), 0) - entries_.begin());
    }

    static std::string CharacterText(char32_t c) {
        std::string text;
        AppendUtf8(text, c);
        return text;
    }

    // Each character a font lacks once per language, at the first cell it is in.
    void ReportMissingGlyphs() {
        for (auto& [finding, further] : missingFindings_) {
            if (further > 0)
                finding.message +=
                    fmt::format("; {} more {} of {} {} it", further, further == 1 ? "cell" : "cells",
                                finding.language, further == 1 ? "uses" : "use");
            report_.findings.push_back(std::move(finding));
        }
    }

    // A limit for an id that the table lacks is a limit for nothing: a renamed or deleted string.
    void CheckLimitIds() {
        if (limits_.Entries().empty()) return;
        std::unordered_set<std::string_view> ids;
        for (std::size_t s = 1; s <= strings_; ++s) ids.insert(Cell(StringRow(s), kIdColumn));
        for (const auto& [id, entry] : limits_.Entries())
            if (!ids.contains(id)) {
                report_.findings.push_back({Finding::Severity::kWarning,
                                            "limit-unknown-id",
                                            {},
                                            entry.row,
                                            kIdColumn,
                                            {},
                                            fmt::format("the table has no string with the id '{}'", id),
                                            kSuccess,
                                            limits_.Path()});
            }
    }

    // A table without its row of codes (ids and names, then the strings) takes its first strings
    // for codes; a text that no code looks like tells. A column without a code is rarely meant as a
    // language: most often it holds notes, which would grow the image as one.
    void CheckCode(std::size_t column, const std::string& code) {
        // Two letters, with a region or script no more than nine (en-US, zh-Hant), as a build holds.
        constexpr std::size_t kMaxCodeLength = 9;
        const std::size_t characters = static_cast<std::size_t>(std::count_if(
            code.begin(), code.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
        if (code.empty())
            return Warning("empty-code", kCodeRow, column, code,
                           "the column has no language code in row 2; if it holds notes for translators, "
                           "name it with --notes-column or the project's NOTES line");
        std::string problem;
        if (code.find_first_of(" \t\r\n") != std::string::npos)
            problem = "it holds white space";
        else if (characters > kMaxCodeLength)
            problem = fmt::format("it has {} characters; a code has at most {}", characters, kMaxCodeLength);
        else
            return;
        Warning("language-code", kCodeRow, column, code,
                fmt::format("this is no language code ({}): row 2 holds each language's code, such as en; "
                            "is that row missing?",
                            problem));
    }

    std::string LanguageOf(std::size_t column) const {
        for (std::size_t e = 0; e < entries_.size(); ++e)
            if (columns_[e] == column) return codes_[e];
        return {};
    }

    void CompareWithDefault(std::size_t row, std::size_t column, const std::string& language,
                            std::string_view own, std::string_view standard, const ListLanguage* list) {
        if (standard.empty()) return;
        if (list && (own.find(list->placeholders.marker) != std::string_view::npos ||
                     standard.find(list->placeholders.marker) != std::string_view::npos))
            if (auto difference = PlaceholderDifference(list->placeholders, own, standard))
                Error("placeholder-mismatch", row, column, language, std::move(*difference),
                      kPlaceholderMismatch);
        if (LeadingSpace(own) != LeadingSpace(standard))
            Warning("whitespace-mismatch", row, column, language,
                    "leading white space differs from the default string");
        else if (TrailingSpace(own) != TrailingSpace(standard))
            Warning("whitespace-mismatch", row, column, language,
                    "trailing white space differs from the default string");
    }

    TableReader& reader_;
    const ProjectSettings& settings_;
    CodePage codePage_;
    std::vector<std::size_t> entries_;
    std::vector<std::string> codes_;
    std::vector<std::size_t> columns_;  // of each chosen language
    Encoding encoding_ = Encoding::kSingleByte;
    std::uint64_t terminator_ = 1;
    std::uint64_t alignment_ = 1;
    std::string sheet_;
    std::size_t strings_ = 0;
    std::uint64_t capacity_ = 0;
    std::uint64_t used_ = 0;
    HashSet shared_;
    std::vector<bool> defaultChecked_;
    std::optional<Finding> overflow_;
    std::optional<DeviceFonts> fonts_;
    WidthLimits limits_;
    GlyphCollector glyphs_;
    TextFit fit_;                                  // of the string measured last, its room used again
    std::unordered_set<std::size_t> defaultFits_;  // row and font of each default string judged
    struct MissingGlyph {
        Finding finding;
        std::size_t furtherCells = 0;
    };
    std::map<std::tuple<std::string, std::string, char32_t>, std::size_t> missingGlyphs_;
    std::vector<MissingGlyph> missingFindings_;
    CheckReport report_;
};

}  // namespace

std::string CellName(std::size_t row, std::size_t column) {
    std::string letters;
    for (std::size_t n = column; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters + std::to_string(row);
}

void SortFindings(std::vector<Finding>& findings) {
    std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
        return std::tuple(!a.file.empty(), a.row, a.column) < std::tuple(!b.file.empty(), b.row, b.column);
    });
}

std::string Finding::Cell() const { return CellName(row, column); }

std::string FindingLine(std::string_view fileName, const Finding& finding) {
    const std::string place =
        finding.file.empty()
            ? fmt::format("{}:{}{}", fileName, finding.sheet.empty() ? "" : ShownText(finding.sheet) + "!",
                          finding.Cell())
            : fmt::format("{}:{}", finding.file, finding.row);
    return fmt::format("{}: {}: {}: {}", place,
                       finding.severity == Finding::Severity::kError ? "error" : "warning", finding.rule,
                       finding.message);
}

std::string MissingLine(std::string_view fileName, const CheckReport& report,
                        const MissingTranslation& missing) {
    return fmt::format(
        "{}:{}{}: {}: {}: {}", fileName, report.sheet.empty() ? "" : report.sheet + "!",
        CellName(missing.row, missing.column),
        missing.kind == MissingTranslation::Kind::kUntranslated ? "untranslated" : "same-as-default",
        report.languages.at(missing.language).code, missing.id);
}

std::string FiguresText(const CheckReport& report) {
    std::string text = fmt::format("{:<10} {:>8} {:>11} {:>13} {:>5} {:>10} {:>7}\n", "language", "strings",
                                   "translated", "untranslated", "same", "bytes", "glyphs");
    for (const LanguageFigures& language : report.languages)
        text += fmt::format("{:<10} {:>8} {:>11} {:>13} {:>5} {:>10} {:>7}\n", language.code,
                            language.strings, language.translated, language.untranslated,
                            language.sameAsDefault, language.bytes, language.glyphs.Count());
    text += fmt::format("image size {} bytes, {} bytes saved by sharing identical strings", report.imageSize,
                        report.sharedBytesSaved);
    if (report.capacityUsed)
        text += fmt::format(", {:.0f}% of a 16-bit table's 64 KB", *report.capacityUsed * 100);
    return text + "\n";
}

std::string CountsText(const CheckReport& report) {
    const auto counted = [](std::size_t count, std::string_view what) {
        return fmt::format("{} {}{}", count, what, count == 1 ? "" : "s");
    };
    return counted(report.Errors(), "error") + ", " + counted(report.Warnings(), "warning");
}

std::size_t CheckReport::Errors() const {
    return static_cast<std::size_t>(std::count_if(findings.begin(), findings.end(), [](const Finding& f) {
        return f.severity == Finding::Severity::kError;
    }));
}

std::size_t CheckReport::Warnings() const { return findings.size() - Errors(); }

CheckReport CheckTable(const LoadedTable& table, const ProjectSettings& settings) {
    return Checker(table, settings).Run();
}

std::vector<std::size_t> ChosenLanguages(const LoadedTable& table) {
    std::vector<std::size_t> entries;
    for (std::size_t i = 0; i < table.languages.size(); ++i)
        if (table.languages[i].selected) entries.push_back(i);
    if (entries.empty())
        for (std::size_t i = 0; i < table.languages.size(); ++i) entries.push_back(i);
    return entries;
}

bool TakesDefaultString(std::string_view cell, const ProjectSettings& settings) {
    return cell == kUseDefault || (settings.useDefaultString && cell.empty());
}

}  // namespace lexicorn
