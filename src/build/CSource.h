#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "build/ResultCodes.h"

namespace lexicorn {

struct ProjectSettings;

/// Lexicorn.c: the image as the byte array `embeddedLexicorn`, eight bytes a line, CR LF line ends.
/// Images run to megabytes, so the text goes to `emit` piece by piece.
void FormatCSource(std::string_view versionText, std::uint32_t uniqueId, std::span<const std::uint8_t> image,
                   const std::function<void(std::string_view)>& emit);
/// The whole of Lexicorn.c as one text.
std::string FormatCSource(std::string_view versionText, std::uint32_t uniqueId,
                          std::span<const std::uint8_t> image);

/// LXNApiCfg.h: the target runtime's configuration, LF line ends.
std::string FormatApiConfigHeader(const ProjectSettings& settings, bool configApiForROM);

/// Writes LXNApiCfg.h into `folder`; 0 or kCannotCreateFile.
ResultCode WriteApiConfigHeader(const ProjectSettings& settings, bool configApiForROM,
                                const std::filesystem::path& folder);

}  // namespace lexicorn
