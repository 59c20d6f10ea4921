#include "settings/ProjectFile.h"

#include <fmt/format.h>

#include <charconv>
#include <limits>
#include <vector>

#include "platform/AtomicFile.h"

namespace lexicorn {
namespace {

constexpr const char* kHeader = "LEXICORNPROJECTFILE";
constexpr std::size_t kLineCount = 12;

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

template <typename Number>
bool ParseDecimal(const std::string& text, Number& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    auto [stop, error] = std::from_chars(begin, end, value);
    return begin != end && error == std::errc() && stop == end;
}

}  // namespace

std::string FormatProjectFile(const ProjectSettings& s) {
    return fmt::format("{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n{}\r\n", kHeader,
                       s.encoding, s.tableType, s.alignment, s.byteOrder, s.mergeMode, s.mergePlacement,
                       s.searchStep, s.mergeAddress, s.targetPlatform, s.targetLanguage,
                       s.useDefaultString ? 1 : 0);
}

ProjectFileResult SaveProjectFile(const std::filesystem::path& path, const ProjectSettings& settings) {
    if (!WriteFileAtomically(path, FormatProjectFile(settings)))
        return {ProjectFileResult::Status::kError, fmt::format("Cannot create file {}", path.string())};
    return {};
}

ProjectFileResult LoadProjectFile(const std::filesystem::path& path, ProjectSettings& settings) {
    using Status = ProjectFileResult::Status;
    std::string content;
    if (!ReadWholeFile(path, content))
        return {Status::kError, fmt::format("Cannot open file {}", path.string())};
    const std::vector<std::string> lines = SplitLines(content);

    const auto missingLine = [](std::size_t index) {
        return ProjectFileResult{Status::kError, fmt::format("List index out of bounds ({})", index)};
    };
    if (lines.empty()) return missingLine(0);
    if (lines[0] != kHeader) return {Status::kNotAProject, {}};

    // Values are read in the file's order; 8-bit fields keep the low 8 bits of the number.
    ProjectSettings read = settings;
    for (std::size_t index = 1; index < kLineCount; ++index) {
        if (index >= lines.size()) return missingLine(index);
        const std::string& line = lines[index];
        std::int32_t value = 0;
        std::uint32_t address = 0;
        const bool valid = index == 8 ? ParseDecimal(line, address) : ParseDecimal(line, value);
        if (!valid) return {Status::kError, fmt::format("'{}' is not a valid integer value", line)};
        const auto low8 = static_cast<std::uint8_t>(value);
        switch (index) {
            case 1:
                read.encoding = static_cast<std::int8_t>(low8);
                break;
            case 2:
                read.tableType = static_cast<std::int8_t>(low8);
                break;
            case 3:
                read.alignment = low8;
                break;
            case 4:
                read.byteOrder = low8;
                break;
            case 5:
                read.mergeMode = low8;
                break;
            case 6:
                read.mergePlacement = low8;
                break;
            case 7:
                read.searchStep = low8;
                break;
            case 8:
                read.mergeAddress = address;
                break;
            case 9:
                read.targetPlatform = static_cast<std::int8_t>(low8);
                break;
            case 10:
                read.targetLanguage = static_cast<std::int8_t>(low8);
                break;
            case 11:
                read.useDefaultString = value != 0;
                break;
        }
    }
    settings = read;
    return {};
}

}  // namespace lexicorn
