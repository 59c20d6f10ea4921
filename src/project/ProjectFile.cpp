#include "project/ProjectFile.h"

#include <fmt/format.h>

#include <charconv>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/AtomicFile.h"

namespace lexicorn {
namespace {

constexpr const char* kHeader = "LEXICORNPROJECTFILE";
// The optional line after the twelve that every version reads. Readers that know only twelve
// lines ignore it; it is written only when it says something other than the default.
constexpr std::string_view kCodePageKey = "CODEPAGE=";
constexpr std::size_t kCodePageLine = 12;

// The one table of the file's lines after the header, in their order (not the record's): both
// reading and writing walk it. `Settings` is ProjectSettings, const for writing.
template <typename Settings, typename Visit>
void ForEachLine(Settings& s, Visit&& visit) {
    visit(s.encoding);
    visit(s.tableType);
    visit(s.alignment);
    visit(s.byteOrder);
    visit(s.mergeMode);
    visit(s.mergePlacement);
    visit(s.searchStep);
    visit(s.mergeAddress);
    visit(s.targetPlatform);
    visit(s.targetLanguage);
    visit(s.useDefaultString);
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

template <typename Number>
bool ParseDecimal(const std::string& text, Number& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, error] = std::from_chars(begin, end, value);
    return begin != end && error == std::errc() && stop == end;
}

}  // namespace

std::string FormatProjectFile(const ProjectSettings& settings) {
    std::string text = std::string(kHeader) + "\r\n";
    ForEachLine(settings, [&](const auto& field) { text += fmt::format("{}\r\n", LineNumber(field)); });
    if (settings.codePage != kDefaultCodePage)
        text += fmt::format("{}{}\r\n", kCodePageKey, settings.codePage);
    return text;
}

ProjectFileResult SaveProjectFile(const std::filesystem::path& path, const ProjectSettings& settings) {
    try {
        WriteFileAtomically(path, FormatProjectFile(settings));
    } catch (const Error&) {
        // The window's message names the file as users know it; the reason is not part of it.
        return {ProjectFileResult::Status::kError, fmt::format("Cannot create file {}", path.string())};
    }
    return {};
}

ProjectFileResult LoadProjectFile(const std::filesystem::path& path, ProjectSettings& settings) {
    using Status = ProjectFileResult::Status;
    std::string content;
    try {
        content = ReadWholeFile(path);
    } catch (const Error&) {
        return {Status::kError, fmt::format("Cannot open file {}", path.string())};
    }
    const std::vector<std::string> lines = SplitLines(content);

    const auto missingLine = [](std::size_t index) {
        return ProjectFileResult{Status::kError, fmt::format("List index out of bounds ({})", index)};
    };
    if (lines.empty()) return missingLine(0);
    if (lines[0] != kHeader) return {Status::kNotAProject, {}};

    // Values are read in the file's order; 8-bit fields keep the low 8 bits of the number, the
    // address is unsigned 32-bit, and any number but 0 turns default strings on.
    ProjectSettings read = settings;
    std::size_t index = 0;
    std::optional<ProjectFileResult> failure;
    ForEachLine(read, [&](auto& field) {
        if (failure) return;
        if (++index >= lines.size()) {
            failure = missingLine(index);
            return;
        }
        const std::string& line = lines[index];
        using Field = std::remove_reference_t<decltype(field)>;
        std::conditional_t<std::is_same_v<Field, std::uint32_t>, std::uint32_t, std::int32_t> value = 0;
        if (!ParseDecimal(line, value))
            failure =
                ProjectFileResult{Status::kError, fmt::format("'{}' is not a valid integer value", line)};
        else if constexpr (std::is_same_v<Field, bool>)
            field = value != 0;
        else
            field = static_cast<Field>(value);  // the low bits
    });
    if (failure) return *failure;
    // A line that does not start with the key is ignored like any further line.
    read.codePage = kDefaultCodePage;
    if (lines.size() > kCodePageLine && lines[kCodePageLine].starts_with(kCodePageKey)) {
        read.codePage = lines[kCodePageLine].substr(kCodePageKey.size());
        if (!CodePage::IsKnown(read.codePage))
            return {Status::kError, fmt::format("Unknown code page '{}' on line {} of {}", read.codePage,
                                                kCodePageLine + 1, path.string())};
    }
    settings = read;
    return {};
}

}  // namespace lexicorn
