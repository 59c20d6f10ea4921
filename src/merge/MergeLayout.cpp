#include "merge/MergeLayout.h"

#include <algorithm>
#include <limits>

#include "base/Bytes.h"

namespace lexicorn {
namespace {

// A binary's size is a 32-bit number, so a binary output ends below 4 GiB; an address space holds
// every 32-bit address, FFFFFFFF included.
constexpr std::uint64_t kMost32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kAddressSpaceEnd = kMost32 + 1;

std::uint32_t AlignDown(std::uint32_t n, std::uint32_t alignment) {
    return alignment != 0 && n % alignment != 0 ? n - n % alignment : n;
}

// The address counts for the address placement only.
std::uint32_t AddressOf(const MergeSettings& settings) {
    return settings.placement == MergePlacement::kAddress ? settings.address : 0;
}

}  // namespace

bool PlacementAllowed(MergeMode mode, MergePlacement placement) {
    return mode == MergeMode::kOverwrite || placement != MergePlacement::kAddress;
}

bool SettingsKnown(const MergeSettings& settings) {
    return FindChoice(kMergeModes, settings.mode) && FindChoice(kMergePlacements, settings.placement);
}

ResultCode LayOut(const MergeSettings& settings, std::uint32_t targetSize, std::uint32_t imageSize,
                  MergeLayout& layout) {
    if (!PlacementAllowed(settings.mode, settings.placement)) return kPlacementNotInMode;
    const std::uint32_t address = AddressOf(settings);
    if (settings.mode == MergeMode::kOverwrite) {
        if (std::uint64_t{address} + imageSize > kMost32) return kAddressOverflow;
        layout.outputSize = std::max(targetSize, address + imageSize);
        layout.targetOffset = 0;
        switch (settings.placement) {
            case MergePlacement::kBeginning:
                layout.imageOffset = 0;
                break;
            case MergePlacement::kAddress:
                layout.imageOffset = address;
                break;
            case MergePlacement::kEnd:
                layout.imageOffset = AlignDown(layout.outputSize - imageSize, settings.searchStep);
                break;
            default:
                return kPlacementNotInMode;
        }
        return kSuccess;
    }
    const bool imageFirst = settings.placement == MergePlacement::kBeginning;
    const std::uint32_t first = imageFirst ? imageSize : targetSize;
    const std::uint32_t second = imageFirst ? targetSize : imageSize;
    const std::uint32_t a = settings.searchStep;
    const std::uint64_t secondOffset = std::uint64_t{first} + (a != 0 && first % a != 0 ? a - first % a : 0);
    if (secondOffset + second > kMost32) return kFileTooLarge;  // the output would reach 4 GiB
    layout.outputSize = static_cast<std::uint32_t>(secondOffset + second);
    layout.imageOffset = imageFirst ? 0 : static_cast<std::uint32_t>(secondOffset);
    layout.targetOffset = imageFirst ? static_cast<std::uint32_t>(secondOffset) : 0;
    return kSuccess;
}

ResultCode PlaceInSpan(const MergeSettings& settings, AddressSpan span, std::uint32_t imageSize,
                       std::uint32_t& address) {
    if (!PlacementAllowed(settings.mode, settings.placement)) return kPlacementNotInMode;
    const std::uint64_t a = settings.searchStep == 0 ? 1 : settings.searchStep;
    std::uint64_t at = 0;
    if (settings.mode == MergeMode::kOverwrite) {
        switch (settings.placement) {
            case MergePlacement::kBeginning:
                at = span.low;
                break;
            case MergePlacement::kAddress:
                at = AddressOf(settings);
                break;
            case MergePlacement::kEnd:
                // Over the span's last bytes, rounded down; never before its start.
                at = span.high - span.low > imageSize ? std::max(span.low, (span.high - imageSize) / a * a)
                                                      : span.low;
                break;
            default:
                return kPlacementNotInMode;
        }
    } else if (settings.placement == MergePlacement::kBeginning) {
        if (span.low < imageSize) return kBelowAddressZero;
        at = (span.low - imageSize) / a * a;
    } else {
        at = (span.high + a - 1) / a * a;
    }
    if (at + imageSize > kAddressSpaceEnd) return kAddressOverflow;
    address = static_cast<std::uint32_t>(at);
    return kSuccess;
}

}  // namespace lexicorn
