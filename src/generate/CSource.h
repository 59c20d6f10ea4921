#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "base/ResultCodes.h"
#include "image/ImageFormat.h"

namespace lexicorn {

class AtomicFile;
class LexicornEngine;

/// Lexicorn.c: the image as the byte array `embeddedLexicorn`, eight bytes a line, CR LF line ends.
/// Images run to megabytes, so the text goes to `emit` piece by piece.
void FormatCSource(std::string_view versionText, std::uint32_t uniqueId, std::span<const std::uint8_t> image,
                   const std::function<void(std::string_view)>& emit);
/// The whole of Lexicorn.c as one text.
std::string FormatCSource(std::string_view versionText, std::uint32_t uniqueId,
                          std::span<const std::uint8_t> image);

/// Writes the engine's complete image as Lexicorn.c into `file` and finishes it: 0, or the code of
/// the engine's CheckComplete. Throws Error (kCannotCreateFile) when the file cannot be written.
ResultCode SaveCSource(const LexicornEngine& engine, AtomicFile& file);

/// What LXNApiCfg.h tells the target runtime.
struct ApiConfig {
    TableType tableType = TableType::k16Bit;
    Encoding encoding = Encoding::kSingleByte;
    std::uint8_t searchStep = 16;
    bool forRom = false;  ///< the target has no file system
};

/// LXNApiCfg.h: the target runtime's configuration, LF line ends.
std::string FormatApiConfigHeader(const ApiConfig& config);

/// Writes LXNApiCfg.h into `file` and finishes it; throws Error (kCannotCreateFile) when it cannot.
void WriteApiConfigHeader(const ApiConfig& config, AtomicFile& file);

}  // namespace lexicorn
