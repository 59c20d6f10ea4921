#pragma once

#include <cstdint>

#include "base/ResultCodes.h"
#include "merge/AddressSpace.h"
#include "merge/MergeSettings.h"

namespace lexicorn {

/// Where the parts of a merge output go. Every offset is within the output.
struct MergeLayout {
    std::uint32_t outputSize = 0;
    std::uint32_t targetOffset = 0;
    std::uint32_t imageOffset = 0;
};

/// Whether `placement` is available in `mode`: appending goes before or after the whole target,
/// so an explicit address needs overwriting.
bool PlacementAllowed(MergeMode mode, MergePlacement placement);

/// Whether a merge can be told `settings`: a mode of overwrite or append, a placement it knows.
bool SettingsKnown(const MergeSettings& settings);

/// Where a binary target and the image go, appended before or after the whole target or written over
/// target bytes at its beginning, its end or `settings.address` (the address placement only),
/// aligned to `settings.searchStep`: kSuccess, kPlacementNotInMode, kAddressOverflow, or
/// kFileTooLarge when an appended output would reach 4 GiB.
ResultCode LayOut(const MergeSettings& settings, std::uint32_t targetSize, std::uint32_t imageSize,
                  MergeLayout& layout);

/// Where the image goes in an address space whose data spans `span`: kSuccess, kPlacementNotInMode,
/// kBelowAddressZero, or kAddressOverflow when it would not end at address FFFFFFFF or below.
ResultCode PlaceInSpan(const MergeSettings& settings, AddressSpan span, std::uint32_t imageSize,
                       std::uint32_t& address);

}  // namespace lexicorn
