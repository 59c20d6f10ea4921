#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Bytes.h"
#include "generate/CSource.h"
#include "generate/StringListEngine.h"
#include "image/ImageFormat.h"
#include "merge/MergeSettings.h"
#include "platform/CodePage.h"

namespace lexicorn {

/// Where the target software gets the strings from.
enum class TargetPlatform : std::int8_t {
    kApi = 0,     ///< it compiles the LXN API files
    kDotNet = 1,  ///< it uses .NET or lxnbase.dll
};

inline constexpr SettingChoice<TargetPlatform> kTargetPlatforms[] = {
    {TargetPlatform::kApi, "api", "I compile LXN API files directly with my application"},
    {TargetPlatform::kDotNet, "dotnet", "I use .NET or lxnbase.dll"},
};

/// A font the device draws text with: its file, and the language codes it draws (none: every
/// language without a font of its own).
struct DeviceFont {
    std::vector<std::string> languages;
    std::string path;
    bool operator==(const DeviceFont&) const = default;
};

/// A font as the command line and project files write it: "ja,zh=NotoSansCJK.otf" for the
/// languages ja and zh, "Device12.bdf" for the rest. Text before the first '=' names languages
/// only when it is made of codes (letters, digits, '-', '_') and commas.
DeviceFont ParseDeviceFont(std::string_view text);
std::string DeviceFontText(const DeviceFont& font);

/// The room a string may be given, at most: more than any screen has. A larger limit is refused
/// where it is read (a limits table, a project, the command line), which also keeps every sum of
/// widths and heights far from the range of an int.
inline constexpr std::uint32_t kMostLimitWidth = 100000;  ///< pixels
inline constexpr std::uint32_t kMostLimitLines = 10000;
/// The largest font size, in pixels.
inline constexpr std::uint16_t kMostFontSize = 1000;

/// Why `pixels` cannot be a width limit, as a message says it; none when it can. 0 is a limit: it
/// means none.
std::optional<std::string> WidthLimitProblem(std::uint64_t pixels);
/// Why `lines` cannot be a limit of lines; none when it can.
std::optional<std::string> LineLimitProblem(std::uint64_t lines);

/// The build and merge options that a project file keeps, with their start-up defaults. A project
/// file may hold any number for a choice; the fields keep it as it is.
struct ProjectSettings {
    Encoding encoding = Encoding::kSingleByte;
    TableType tableType = TableType::k16Bit;
    std::uint8_t alignment = 0;  ///< 1 BYTE, 2 WORD, 4 DWORD; 0 (never chosen) acts as 1
    ByteOrder byteOrder = ByteOrder::kLittle;
    std::uint8_t searchStep = 16;  ///< merge alignment and the runtime's image search step
    MergeMode mergeMode = MergeMode::kNone;
    MergePlacement mergePlacement = MergePlacement::kBeginning;
    std::uint32_t mergeAddress = 0;  ///< explicit merge address
    std::uint8_t fillByte = 0;       ///< what the merger writes into gaps (0xFF: erased flash)
    bool useDefaultString = true;    ///< an empty cell takes the first language's string
    TargetLanguage targetLanguage = TargetLanguage::kC;
    TargetPlatform targetPlatform = TargetPlatform::kApi;
    std::string codePage = kDefaultCodePage;  ///< of single-byte text
    bool noFileSystem = false;  ///< "Target platform has no file system"

    // What the device draws with, for the check of glyphs and widths and for the preview; nothing
    // of it is checked while `fonts` is empty.
    std::vector<DeviceFont> fonts;
    std::uint16_t fontSize = 0;  ///< pixels, for scalable fonts; 0: a bitmap font's own size
    bool antiAliased = false;    ///< the device draws shades of coverage, not one bit a pixel
    std::string limits;          ///< a table of string ids with their width in pixels and lines
    std::uint32_t maxWidth = 0;  ///< pixels, for every string without a limit of its own; 0: none
                                 ///< (as a width of 0 in the limits table)

    // The job a project may hold beyond the settings: empty when it holds none.
    std::string table;                   ///< the string table's path
    std::string notesColumn;             ///< row 1 of the table's column of notes for translators
    std::vector<std::string> languages;  ///< the codes of the chosen languages
    std::string outputFolder;            ///< where builds write

    bool operator==(const ProjectSettings&) const = default;
};

/// What a target platform fixes; none where it leaves the choice free. The .NET runtime reads
/// wide text from 32-bit tables only and runs where there is a file system; a target that
/// compiles the C API gets a C string-id list.
struct PlatformConstraints {
    std::optional<Encoding> encoding;
    std::optional<TableType> tableType;
    std::optional<TargetLanguage> targetLanguage;
    bool hasFileSystem = false;  ///< "Target platform has no file system" cannot be chosen
};
PlatformConstraints ConstraintsOf(TargetPlatform platform);

/// Chooses `platform` and applies what it fixes.
void ChooseTargetPlatform(ProjectSettings& settings, TargetPlatform platform);

/// What LXNApiCfg.h says for these settings: a platform that has a file system gets its code,
/// whatever `noFileSystem` holds.
ApiConfig ApiConfigOf(const ProjectSettings& settings);

/// The merge choices these settings keep, and keeping those a merge was told.
MergeSettings MergeSettingsOf(const ProjectSettings& settings);
void KeepMergeSettings(ProjectSettings& settings, const MergeSettings& merge);

}  // namespace lexicorn
