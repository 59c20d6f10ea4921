#pragma once

#include <cstdint>
#include <string>

#include "platform/CodePage.h"

namespace lexicorn {

/// The build and merge options that a project file keeps, with their start-up defaults.
struct ProjectSettings {
    std::int8_t encoding = 0;                 ///< 0 single byte, 1 wide character (UTF-16), 2 UTF-8
    std::int8_t tableType = 0;                ///< 0 16-bit offsets (LXN16), 1 32-bit offsets (LXN32)
    std::uint8_t alignment = 0;               ///< 1 BYTE, 2 WORD, 4 DWORD; 0 (never chosen) acts as 1
    std::uint8_t byteOrder = 0;               ///< 0 little endian, 1 big endian
    std::uint8_t searchStep = 16;             ///< merge alignment and the runtime's image search step
    std::uint8_t mergeMode = 0;               ///< 0 none chosen yet, 1 overwrite, 2 append
    std::uint8_t mergePlacement = 0;          ///< 0 beginning, 1 explicit address, 2 end of the target
    std::uint32_t mergeAddress = 0;           ///< explicit merge address
    bool useDefaultString = true;             ///< an empty cell takes the first language's string
    std::int8_t targetLanguage = 0;           ///< string-id list for 0 C, 1 C#, 2 Visual Basic
    std::int8_t targetPlatform = 0;           ///< 0 API files compiled in, 1 .NET or lxnbase.dll
    std::string codePage = kDefaultCodePage;  ///< of single-byte text (encoding 0)

    bool operator==(const ProjectSettings&) const = default;
};

/// Target platform 1 (.NET or lxnbase.dll) reads wide text from 32-bit tables only and has a file
/// system; platform 0 compiles the C API, so its string-id list is C. Applies what choosing
/// `platform` forces; `configApiForROM` is the "Target platform has no file system" option.
void ChooseTargetPlatform(ProjectSettings& settings, std::int8_t platform, bool& configApiForROM);

}  // namespace lexicorn
