#include "merge/LXNMerger.h"

#include <array>

#include "base/Bytes.h"
#include "image/ImageLayout.h"
#include "image/ImageReader.h"

namespace lexicorn {
namespace {

// The merger places and finds little-endian images.
const std::array<std::uint8_t, layout::kSignatureSize> kSignature =
    layout::SignatureBytes(ByteOrder::kLittle);

}  // namespace

ResultCode LXNMerger::CheckLexicornFile(const std::string& path) {
    sourceValid_ = false;
    if (ResultCode measured = SetSourceFile(path)) return measured;
    if (ResultCode opened = sourceFile_.OpenForReading()) return opened;
    const ResultCode checked = CheckOpenSource();
    sourceFile_.CloseFile();
    sourceValid_ = checked == kSuccess;
    return checked;
}

ResultCode LXNMerger::CheckOpenSource() {
    imageProblem_.clear();
    std::array<std::uint8_t, layout::kSignatureSize> start{};
    if (ResultCode read = sourceFile_.ReadAt(0, layout::kSignatureSize, start.data())) return read;
    if (start != kSignature) return kNotALexicorn;
    // A device reads what the header says: the whole image is checked, as dump checks it.
    std::span<const std::uint8_t> image;
    if (ResultCode mapped = sourceFile_.MapContents(image)) return mapped;
    try {
        ReadImage(image);
    } catch (const ImageError& error) {
        imageProblem_ = error.what();
        return kNotALexicorn;
    }
    return kSuccess;
}

ResultCode LXNMerger::ChooseTarget(const std::string& path) {
    targetChosen_ = false;
    targetHasLexicorn_ = false;
    oldLexicornSize_ = 0;
    if (ResultCode measured = SetTargetFile(path)) return measured;
    targetChosen_ = true;
    return kSuccess;
}

ResultCode LXNMerger::ScanTarget(const std::string& path) {
    if (ResultCode chosen = ChooseTarget(path)) return chosen;
    ResultCode scanned = targetFile_.OpenForReading();
    if (scanned == kSuccess) {
        scanned = ScanOpenTarget();
        targetFile_.CloseFile();
    }
    targetChosen_ = scanned == kSuccess;
    return scanned;
}

ResultCode LXNMerger::ScanOpenTarget() {
    targetHasLexicorn_ = false;
    oldLexicornSize_ = 0;
    std::span<const std::uint8_t> target;
    if (ResultCode mapped = targetFile_.MapContents(target)) return mapped;
    const std::size_t found = FindPattern(target, kSignature, 0, 1);
    if (found == std::string::npos) return kSuccess;
    if (found + layout::kHeaderSize > target.size()) return kOutOfRange;
    targetHasLexicorn_ = true;
    oldLexicornPosition_ = static_cast<std::uint32_t>(found);
    oldLexicornSize_ = GetUnsigned(target.data() + found + layout::kImageSizeAt, 4, ByteOrder::kLittle);
    return kSuccess;
}

ResultCode LXNMerger::SetMergeParameters(MergeMode mode, MergePlacement placement, std::uint8_t alignment,
                                         std::uint32_t address) {
    if (mode != MergeMode::kOverwrite && mode != MergeMode::kAppend) return kOutOfRange;
    return SetParameters(mode, placement, alignment, address);
}

ResultCode LXNMerger::MergeLexicorn() {
    if (!IsReady()) return kMergeNotReady;
    return Merge();
}

ResultCode LXNMerger::CheckInputs() {
    // An image shorter than its signature is no image, whatever the read says.
    if (ResultCode checked = CheckOpenSource()) return checked == kOutOfRange ? kNotALexicorn : checked;
    const ResultCode scanned = ScanOpenTarget();
    ClearInOutput(targetHasLexicorn_ ? std::optional<std::uint32_t>(oldLexicornPosition_) : std::nullopt);
    return scanned;
}

}  // namespace lexicorn
