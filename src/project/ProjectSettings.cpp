#include "project/ProjectSettings.h"

namespace lexicorn {

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

}  // namespace lexicorn
