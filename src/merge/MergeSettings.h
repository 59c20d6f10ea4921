#pragma once

#include <array>
#include <cstdint>

#include "base/SettingChoices.h"

// The choices of a merge, owned by the merger; project files keep them by their codes.
namespace lexicorn {

/// How the merger places an image into target software.
enum class MergeMode : std::uint8_t {
    kNone = 0,  ///< none chosen yet
    kOverwrite = 1,
    kAppend = 2,
};

/// The modes a user chooses from, in the order the command line and the merger page list them.
inline constexpr SettingChoice<MergeMode> kMergeModes[] = {
    {MergeMode::kAppend, "append", "Append Lexicorn"},
    {MergeMode::kOverwrite, "overwrite", "Overwrite Lexicorn"},
};

/// Where in the target the merger places the image.
enum class MergePlacement : std::uint8_t {
    kBeginning = 0,
    kAddress = 1,  ///< at an explicit address
    kEnd = 2,
};

inline constexpr SettingChoice<MergePlacement> kMergePlacements[] = {
    {MergePlacement::kBeginning, "begin", "Merge to the begninnig of target"},
    {MergePlacement::kAddress, "", "Specify an address to merge from:"},
    {MergePlacement::kEnd, "end", "Merge to the end of target"},
};

/// The merge alignments in bytes, which are also the image search steps of the target runtime.
inline constexpr std::array<std::uint8_t, 5> kMergeAlignments = {1, 2, 4, 8, 16};

/// What a merge is told beyond its files: the choices a project keeps.
struct MergeSettings {
    MergeMode mode = MergeMode::kNone;
    MergePlacement placement = MergePlacement::kBeginning;
    std::uint32_t address = 0;     ///< explicit merge address
    std::uint8_t searchStep = 16;  ///< merge alignment and the runtime's image search step
    std::uint8_t fillByte = 0;     ///< what the merger writes into gaps (0xFF: erased flash)
};

}  // namespace lexicorn
