#include "project/ProjectFile.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/AtomicFile.h"

namespace lexicorn {
namespace {

constexpr const char* kHeader = "LEXICORNPROJECTFILE";
// Optional lines after the twelve, each written only when it says something: readers that know
// only twelve lines ignore them. The code page comes first, where the first reader of optional
// lines looks for it.
constexpr std::size_t kFirstOptionalLine = 12;
constexpr std::string_view kCodePageKey = "CODEPAGE=";
constexpr std::string_view kNoFileSystemKey = "NOFILESYSTEM=";
constexpr std::string_view kTableKey = "TABLE=";
constexpr std::string_view kLanguagesKey = "LANGUAGES=";
constexpr std::string_view kNotesKey = "NOTES=";
constexpr std::string_view kOutputKey = "OUTPUT=";
constexpr std::string_view kFillKey = "FILL=";
// The device's fonts (one line each) and the limits their strings must fit.
constexpr std::string_view kFontKey = "FONT=";
constexpr std::string_view kFontSizeKey = "FONTSIZE=";
constexpr std::string_view kAntiAliasedKey = "ANTIALIAS=";
constexpr std::string_view kLimitsKey = "LIMITS=";
constexpr std::string_view kMaxWidthKey = "MAXWIDTH=";
// The lines that name files.
constexpr std::array<std::string_view, 4> kPathKeys = {kTableKey, kOutputKey, kFontKey, kLimitsKey};

// A path as the file keeps it: relative to the project's folder when it lies inside it, so that
// a project and its table can move together.
std::string StoredPath(const std::string& path, const std::filesystem::path& projectFolder) {
    namespace fs = std::filesystem;
    if (projectFolder.empty()) return path;
    std::error_code ignored;
    const fs::path absolute = fs::absolute(path, ignored).lexically_normal();
    const fs::path relative =
        absolute.lexically_relative(fs::absolute(projectFolder, ignored).lexically_normal());
    if (relative.empty() || *relative.begin() == "..") return path;
    return relative.generic_string();
}

std::string LoadedPath(const std::string& stored, const std::filesystem::path& projectFolder) {
    const std::filesystem::path path(stored);
    return path.is_absolute() ? stored : (projectFolder / path).lexically_normal().string();
}

std::string JoinCodes(const std::vector<std::string>& codes) {
    std::string joined;
    for (const std::string& code : codes) joined += (joined.empty() ? "" : ",") + code;
    return joined;
}

std::vector<std::string> SplitCodes(std::string_view text) {
    std::vector<std::string> codes;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        if (comma != 0) codes.emplace_back(text.substr(0, comma));
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return codes;
}

// What a line of the file may hold: a value beyond it is a damaged file, refused rather than cut
// to its low bits.
bool AnyNumber(long long) { return true; }
template <const auto& kChoices>
bool OneOfChoices(long long value) {
    return IsChoiceCode(kChoices, value);
}
template <const auto& kValues>
bool OneOfValues(long long value) {
    return std::find(kValues.begin(), kValues.end(), value) != kValues.end();
}
// 0 is a project saved before an alignment was chosen.
bool StringAlignment(long long value) { return value == 0 || OneOfValues<kStringAlignments>(value); }
// A project saved before a merge keeps no mode.
bool MergeModeCode(long long value) {
    return value == Code(MergeMode::kNone) || OneOfChoices<kMergeModes>(value);
}

// The one table of the file's lines after the header, in their order (not the record's), each
// with the values it may hold: both reading and writing walk it. `Settings` is ProjectSettings,
// const for writing.
template <typename Settings, typename Visit>
void ForEachLine(Settings& s, Visit&& visit) {
    visit(s.encoding, OneOfChoices<kEncodings>);
    visit(s.tableType, OneOfChoices<kTableTypes>);
    visit(s.alignment, StringAlignment);
    visit(s.byteOrder, OneOfChoices<kByteOrders>);
    visit(s.mergeMode, MergeModeCode);
    visit(s.mergePlacement, OneOfChoices<kMergePlacements>);
    visit(s.searchStep, OneOfValues<kMergeAlignments>);
    visit(s.mergeAddress, AnyNumber);
    visit(s.targetPlatform, OneOfChoices<kTargetPlatforms>);
    visit(s.targetLanguage, OneOfChoices<kTargetLanguages>);
    visit(s.useDefaultString, AnyNumber);  // any number but 0 is on
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

// The number that a line holds for a field.
template <typename Field>
auto LineNumber(Field field) {
    if constexpr (std::is_enum_v<Field>)
        return +Code(field);
    else
        return +field;
}

// A line as a message may show it: printable, and not more than a line of a message box.
std::string ShownLine(std::string_view line) {
    constexpr std::size_t kMost = 80;
    std::string shown;
    for (char c : line.substr(0, kMost)) shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return line.size() > kMost ? shown + "..." : shown;
}

template <typename Number>
bool ParseDecimal(const std::string& text, Number& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, error] = std::from_chars(begin, end, value);
    return begin != end && error == std::errc() && stop == end;
}

}  // namespace

std::string FormatProjectFile(const ProjectSettings& settings, const std::filesystem::path& projectFolder) {
    std::string text = std::string(kHeader) + "\r\n";
    ForEachLine(settings, [&](const auto& field, auto) { text += fmt::format("{}\r\n", LineNumber(field)); });
    const auto optional = [&](std::string_view key, const std::string& value) {
        if (!value.empty()) text += fmt::format("{}{}\r\n", key, value);
    };
    if (settings.codePage != kDefaultCodePage) optional(kCodePageKey, settings.codePage);
    // Said only where it differs from the default and the platform leaves it open.
    if (settings.noFileSystem != ProjectSettings{}.noFileSystem &&
        !ConstraintsOf(settings.targetPlatform).hasFileSystem)
        optional(kNoFileSystemKey, settings.noFileSystem ? "1" : "0");
    if (!settings.table.empty()) optional(kTableKey, StoredPath(settings.table, projectFolder));
    optional(kNotesKey, settings.notesColumn);
    optional(kLanguagesKey, JoinCodes(settings.languages));
    if (!settings.outputFolder.empty())
        optional(kOutputKey, StoredPath(settings.outputFolder, projectFolder));
    if (settings.fillByte != 0) optional(kFillKey, std::to_string(settings.fillByte));
    for (DeviceFont font : settings.fonts) {
        font.path = StoredPath(font.path, projectFolder);
        optional(kFontKey, DeviceFontText(font));
    }
    if (settings.fontSize != 0) optional(kFontSizeKey, std::to_string(settings.fontSize));
    if (settings.antiAliased) optional(kAntiAliasedKey, "1");
    if (!settings.limits.empty()) optional(kLimitsKey, StoredPath(settings.limits, projectFolder));
    if (settings.maxWidth != 0) optional(kMaxWidthKey, std::to_string(settings.maxWidth));
    return text;
}

ProjectFileResult SaveProjectFile(const std::filesystem::path& path, const ProjectSettings& settings) {
    try {
        WriteFileAtomically(path, FormatProjectFile(settings, path.parent_path()));
    } catch (const Error& error) {
        return {ProjectFileResult::Status::kError,
                fmt::format("Cannot create file {}\r\r{}", path.string(), error.what())};
    }
    return {};
}

ProjectFileResult LoadProjectFile(const std::filesystem::path& path, ProjectSettings& settings) {
    using Status = ProjectFileResult::Status;
    std::string content;
    try {
        content = ReadWholeFile(path);
    } catch (const Error& error) {
        return {Status::kError, fmt::format("Cannot open file {}\r\r{}", path.string(), error.what())};
    }
    // Editors that save UTF-8 may begin the file with a byte-order mark; the header follows it.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (content.starts_with(kByteOrderMark)) content.erase(0, kByteOrderMark.size());
    const std::vector<std::string> lines = SplitLines(content);

    // A file that ends early says where; the index (counted from 0) is the text the message has
    // always ended with.
    const auto missingLine = [&](std::size_t index) {
        const std::string end = lines.empty() ? "the file is empty"
                                              : fmt::format("the file ends after {} line{}", lines.size(),
                                                            lines.size() == 1 ? "" : "s");
        return ProjectFileResult{Status::kError,
                                 fmt::format("{}: line {} is missing: {}\r\rList index out of bounds ({})",
                                             path.string(), index + 1, end, index)};
    };
    if (lines.empty()) return missingLine(0);
    if (lines[0] != kHeader) return {Status::kNotAProject, {}};

    // Values are read in the file's order; 8-bit fields keep the low 8 bits of the number, the
    // address is unsigned 32-bit, and any number but 0 turns default strings on.
    ProjectSettings read = settings;
    std::size_t index = 0;
    std::optional<ProjectFileResult> failure;
    ForEachLine(read, [&](auto& field, auto allowed) {
        if (failure) return;
        if (++index >= lines.size()) {
            failure = missingLine(index);
            return;
        }
        const std::string& line = lines[index];
        using Field = std::remove_reference_t<decltype(field)>;
        std::conditional_t<std::is_same_v<Field, std::uint32_t>, std::uint32_t, std::int32_t> value = 0;
        if (!ParseDecimal(line, value))
            failure = ProjectFileResult{Status::kError,
                                        fmt::format("'{}' is not a valid integer value", ShownLine(line))};
        else if (!allowed(value))
            failure =
                ProjectFileResult{Status::kError, fmt::format("{}\r\rLine {}: {} is no value of this line",
                                                              kCorruptedProjectFile, index + 1, value)};
        else if constexpr (std::is_same_v<Field, bool>)
            field = value != 0;
        else
            field = static_cast<Field>(value);
    });
    if (failure) return *failure;
    // Optional lines are known by their keys; any other line is ignored.
    read.codePage = kDefaultCodePage;
    read.noFileSystem = ProjectSettings{}.noFileSystem;
    read.table.clear();
    read.notesColumn.clear();
    read.languages.clear();
    read.outputFolder.clear();
    read.fillByte = 0;
    read.fonts.clear();
    read.fontSize = 0;
    read.antiAliased = false;
    read.limits.clear();
    read.maxWidth = 0;
    const std::filesystem::path folder = path.parent_path();
    for (std::size_t line = kFirstOptionalLine; line < lines.size(); ++line) {
        const std::string_view text = lines[line];
        const auto value = [&](std::string_view key) { return std::string(text.substr(key.size())); };
        // A NUL ends a name where the system reads it: the file opened would be another than the
        // line names.
        if (text.find('\0') != std::string_view::npos &&
            std::any_of(kPathKeys.begin(), kPathKeys.end(),
                        [&](std::string_view key) { return text.starts_with(key); }))
            return {Status::kError,
                    fmt::format("{}\r\r{}, line {}: '{}' holds a NUL character, which no file name can",
                                kCorruptedProjectFile, path.string(), line + 1, ShownLine(text))};
        if (text.starts_with(kCodePageKey)) {
            read.codePage = value(kCodePageKey);
            if (const auto problem = CodePage::Problem(read.codePage))
                return {Status::kError, fmt::format("Unknown code page '{}' on line {} of {}: {}",
                                                    read.codePage, line + 1, path.string(), *problem)};
        } else if (text.starts_with(kNoFileSystemKey)) {
            read.noFileSystem = value(kNoFileSystemKey) != "0";
        } else if (text.starts_with(kTableKey)) {
            read.table = LoadedPath(value(kTableKey), folder);
        } else if (text.starts_with(kNotesKey)) {
            read.notesColumn = value(kNotesKey);
        } else if (text.starts_with(kLanguagesKey)) {
            read.languages = SplitCodes(value(kLanguagesKey));
        } else if (text.starts_with(kOutputKey)) {
            read.outputFolder = LoadedPath(value(kOutputKey), folder);
        } else if (text.starts_with(kFillKey)) {
            unsigned fill = 0;
            if (!ParseDecimal(value(kFillKey), fill) || fill > 0xFF)
                return {Status::kError,
                        fmt::format("{}\r\rLine {}: '{}' is no fill byte (0 to 255)", kCorruptedProjectFile,
                                    line + 1, ShownLine(value(kFillKey)))};
            read.fillByte = static_cast<std::uint8_t>(fill);
        } else if (text.starts_with(kFontKey)) {
            DeviceFont font = ParseDeviceFont(value(kFontKey));
            font.path = LoadedPath(font.path, folder);
            read.fonts.push_back(std::move(font));
        } else if (text.starts_with(kFontSizeKey)) {
            if (!ParseDecimal(value(kFontSizeKey), read.fontSize) || read.fontSize == 0 ||
                read.fontSize > kMostFontSize)
                return {Status::kError, fmt::format("{}\r\rLine {}: '{}' is no font size in pixels (1 to {})",
                                                    kCorruptedProjectFile, line + 1,
                                                    ShownLine(value(kFontSizeKey)), kMostFontSize)};
        } else if (text.starts_with(kAntiAliasedKey)) {
            read.antiAliased = value(kAntiAliasedKey) != "0";
        } else if (text.starts_with(kLimitsKey)) {
            read.limits = LoadedPath(value(kLimitsKey), folder);
        } else if (text.starts_with(kMaxWidthKey)) {
            std::uint64_t width = 0;
            if (!ParseDecimal(value(kMaxWidthKey), width))
                return {Status::kError,
                        fmt::format("{}\r\rLine {}: '{}' is no width in pixels", kCorruptedProjectFile,
                                    line + 1, ShownLine(value(kMaxWidthKey)))};
            if (const std::optional<std::string> problem = WidthLimitProblem(width))
                return {Status::kError,
                        fmt::format("{}\r\rLine {}: {}", kCorruptedProjectFile, line + 1, *problem)};
            read.maxWidth = static_cast<std::uint32_t>(width);
        }
    }
    // A platform that has a file system has one whatever a line says, as the window shows it and a
    // save keeps it.
    if (ConstraintsOf(read.targetPlatform).hasFileSystem) read.noFileSystem = false;
    settings = read;
    return {};
}

}  // namespace lexicorn
