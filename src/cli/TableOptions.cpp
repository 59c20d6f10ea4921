#include "cli/TableOptions.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <sstream>

#include "base/Text.h"
#include "base/Unicode.h"
#include "cli/Commands.h"
#include "table/TableFormats.h"

namespace lexicorn::cli {
namespace {

std::vector<std::string> SplitCodes(const std::string& text) {
    std::vector<std::string> codes;
    std::stringstream list(text);
    for (std::string code; std::getline(list, code, ',');) codes.push_back(code);
    return codes;
}

std::string KnownCodes(const LoadedTable& table) {
    std::string known;
    for (const auto& language : table.languages)
        known += (known.empty() ? "" : ", ") + ShownText(Utf16ToUtf8(language.code));
    return known;
}

bool HasLanguage(const LoadedTable& table, const std::string& code) {
    return std::any_of(table.languages.begin(), table.languages.end(),
                       [&](const LanguageEntry& language) { return Utf16ToUtf8(language.code) == code; });
}

void SelectLanguages(LoadedTable& table, const std::vector<std::string>& codes) {
    if (codes.empty() || codes == std::vector<std::string>{"all"}) {
        for (auto& language : table.languages) language.selected = true;
        return;
    }
    for (const std::string& code : codes) {
        bool found = false;
        for (auto& language : table.languages)
            if (Utf16ToUtf8(language.code) == code) language.selected = found = true;
        if (!found)
            throw UsageError(fmt::format("the table has no language with the code '{}' (its codes: {})", code,
                                         KnownCodes(table)));
    }
}

}  // namespace

void TableOptions::AddTo(CLI::App& command, const std::string& tableHelp) {
    command.add_option("TABLE", table,
                       tableHelp + " (" + ListedTableExtensions() + "); default: the project's");
    command.add_option("-p,--project", project, "Project file (.lxn) whose settings to use")
        ->type_name("PROJECT.lxn");
    command
        .add_option(
            "--languages", languages,
            "Language codes (row 2), separated by commas, or 'all' (default: the project's, else all)")
        ->type_name("CODES|all");
    command
        .add_option("--notes-column", notesColumn,
                    "The column (its name in row 1) that holds notes for translators: it is no language "
                    "(default: the project's, else none)")
        ->type_name("HEADER");
    TakeWords(command.add_option("--encoding", encoding, "String encoding: ascii, wide or utf8"),
              WordsOf(kEncodings));
    TakeWords(command.add_option("--table", tableType, "String table type: 16 or 32 (bit offsets)"),
              WordsOf(kTableTypes));
    TakeNumbers(command.add_option("--align", alignment, "Start alignment of strings: 1, 2 or 4 bytes"),
                kStringAlignments);
    command.add_flag("--no-default-strings", noDefaultStrings,
                     "Keep empty cells empty instead of using the first language's string");
    TakeWords(command.add_option("--target-language", targetLanguage, "String-id list for: c, csharp or vb"),
              WordsOf(kTargetLanguages));
    TakeWords(command.add_option("--target-platform", targetPlatform,
                                 "api: the target compiles the LXN API; dotnet: .NET or lxnbase.dll"),
              WordsOf(kTargetPlatforms));
    command
        .add_option("--code-page", codePage,
                    "Code page of single-byte text (default: the project's, else CP1252)")
        ->type_name("NAME");
    command.add_flag("--strict", strict, "Warnings of the table check count as errors");
    command
        .add_option("--font", fonts,
                    "The device's font (TrueType, OpenType, BDF, PCF): every string must be in it; "
                    "CODES=FILE for languages of their own (ja,zh=NotoSansCJK.otf); may repeat")
        ->type_name("[CODES=]FILE");
    command.add_option("--font-size", fontSize, "Size of a scalable font, or which of a bitmap font's sizes")
        ->type_name("PX")
        ->check(CLI::Range(1, int{kMostFontSize}));
    command.add_flag(
        "--anti-alias", antiAliased,
        "The device draws shades of grey, not one bit a pixel (hinting and the preview follow it)");
    command
        .add_option("--limits", limits,
                    "Table of string ids with their width in pixels and optionally their number of lines")
        ->type_name("LIMITS.csv");
    command
        .add_option("--max-width", maxWidth,
                    "Width in pixels for every string without a limit of its own; 0: none, as in the limits")
        ->type_name("PX")
        ->check(CLI::Validator(
            [](const std::string& text) {
                // CLI11 converts the number after the checks.
                std::uint64_t pixels = 0;
                const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), pixels);
                if (error != std::errc() || end != text.data() + text.size()) return std::string();
                return WidthLimitProblem(pixels).value_or("");
            },
            ""));
}

ProjectSettings TableOptions::Settings(std::optional<bool> noFileSystem) const {
    ProjectSettings settings = LoadSettings(project);
    if (targetPlatform) {
        // The platform is chosen first; an option that asks for what it rules out is a mistake.
        ChooseTargetPlatform(settings, *targetPlatform);
        const PlatformConstraints fixed = ConstraintsOf(*targetPlatform);
        const auto conflicts = [](const auto& asked, const auto& fixedValue) {
            return asked && fixedValue && *asked != *fixedValue;
        };
        if (conflicts(encoding, fixed.encoding) || conflicts(tableType, fixed.tableType))
            throw UsageError("--target-platform dotnet builds --encoding wide and --table 32");
        if (noFileSystem.value_or(false) && fixed.hasFileSystem)
            throw UsageError("--target-platform dotnet has a file system; drop --no-file-system");
        if (conflicts(targetLanguage, fixed.targetLanguage))
            throw UsageError("--target-platform api compiles the C API and takes --target-language c");
    }
    if (encoding) settings.encoding = *encoding;
    if (tableType) settings.tableType = *tableType;
    if (alignment) settings.alignment = *alignment;
    if (noDefaultStrings) settings.useDefaultString = false;
    if (targetLanguage) settings.targetLanguage = *targetLanguage;
    if (noFileSystem) settings.noFileSystem = *noFileSystem;
    if (codePage) {
        CheckCodePage(*codePage);
        settings.codePage = *codePage;
    }
    if (!fonts.empty()) {
        settings.fonts.clear();
        for (const std::string& font : fonts) settings.fonts.push_back(ParseDeviceFont(font));
    }
    if (fontSize) settings.fontSize = *fontSize;
    if (antiAliased) settings.antiAliased = true;
    if (limits) settings.limits = *limits;
    if (maxWidth) settings.maxWidth = *maxWidth;
    if (notesColumn) settings.notesColumn = *notesColumn;
    if (settings.fonts.empty() && (!settings.limits.empty() || settings.maxWidth != 0))
        throw UsageError("--limits and --max-width measure strings in the device's font: add --font");
    return settings;
}

LoadedTable TableOptions::LoadChosenTable(const ProjectSettings& settings) const {
    // The command line's choices win over the project's job, which wins over the defaults.
    const std::string path = !table.empty() ? table : settings.table;
    if (path.empty()) throw UsageError("TABLE is required (the project names no table)");
    LoadedTable loaded = LoadTable(path, settings.codePage, settings.notesColumn);
    SelectLanguages(loaded, languages ? SplitCodes(*languages) : settings.languages);
    for (const DeviceFont& font : settings.fonts)
        for (const std::string& code : font.languages)
            if (!HasLanguage(loaded, code))
                throw UsageError(
                    fmt::format("--font {}: the table has no language with the code '{}' (its codes: {})",
                                DeviceFontText(font), code, KnownCodes(loaded)));
    return loaded;
}

}  // namespace lexicorn::cli
