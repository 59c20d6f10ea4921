#include "project/ProjectSettings.h"

#include <fmt/format.h>

#include <algorithm>

namespace lexicorn {

DeviceFont ParseDeviceFont(std::string_view text) {
    const std::size_t equals = text.find('=');
    const std::string_view head = text.substr(0, equals);
    const bool codes = equals != std::string_view::npos && !head.empty() &&
                       std::all_of(head.begin(), head.end(), [](char c) {
                           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                  (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ',';
                       });
    if (!codes) return {{}, std::string(text)};
    DeviceFont font{{}, std::string(text.substr(equals + 1))};
    for (std::size_t start = 0; start <= head.size();) {
        const std::size_t comma = std::min(head.find(',', start), head.size());
        if (comma > start) font.languages.emplace_back(head.substr(start, comma - start));
        start = comma + 1;
    }
    return font;
}

std::string DeviceFontText(const DeviceFont& font) {
    std::string text;
    for (const std::string& code : font.languages) text += (text.empty() ? "" : ",") + code;
    return text.empty() ? font.path : text + "=" + font.path;
}

std::optional<std::string> WidthLimitProblem(std::uint64_t pixels) {
    if (pixels <= kMostLimitWidth) return std::nullopt;
    return fmt::format("{} px is wider than any screen: a limit takes at most {} px", pixels,
                       kMostLimitWidth);
}

std::optional<std::string> LineLimitProblem(std::uint64_t lines) {
    if (lines <= kMostLimitLines) return std::nullopt;
    return fmt::format("{} lines are more than any screen shows: a limit takes at most {}", lines,
                       kMostLimitLines);
}

PlatformConstraints ConstraintsOf(TargetPlatform platform) {
    if (platform == TargetPlatform::kDotNet) return {Encoding::kUtf16, TableType::k32Bit, std::nullopt, true};
    return {std::nullopt, std::nullopt, TargetLanguage::kC, false};
}

void ChooseTargetPlatform(ProjectSettings& settings, TargetPlatform platform) {
    settings.targetPlatform = platform;
    const PlatformConstraints fixed = ConstraintsOf(platform);
    if (fixed.encoding) settings.encoding = *fixed.encoding;
    if (fixed.tableType) settings.tableType = *fixed.tableType;
    if (fixed.targetLanguage) settings.targetLanguage = *fixed.targetLanguage;
    if (fixed.hasFileSystem) settings.noFileSystem = false;
}

ApiConfig ApiConfigOf(const ProjectSettings& settings) {
    const bool forRom = settings.noFileSystem && !ConstraintsOf(settings.targetPlatform).hasFileSystem;
    return {settings.tableType, settings.encoding, settings.searchStep, forRom};
}

MergeSettings MergeSettingsOf(const ProjectSettings& settings) {
    return {settings.mergeMode, settings.mergePlacement, settings.mergeAddress, settings.searchStep,
            settings.fillByte};
}

void KeepMergeSettings(ProjectSettings& settings, const MergeSettings& merge) {
    settings.mergeMode = merge.mode;
    settings.mergePlacement = merge.placement;
    settings.mergeAddress = merge.address;
    settings.searchStep = merge.searchStep;
    settings.fillByte = merge.fillByte;
}

}  // namespace lexicorn
