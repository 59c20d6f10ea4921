#include "merger/BinFileMerger.h"

#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "platform/AtomicFile.h"

namespace lexicorn {
namespace {

constexpr std::uint64_t kMost32 = std::numeric_limits<std::uint32_t>::max();

ResultCode Measure(FileHandle& file, const std::string& path, std::uint32_t& size) {
    file.SetFileName(path);
    if (ResultCode opened = file.OpenForReading()) return opened;
    size = file.Size();
    file.CloseFile();
    return kSuccess;
}

}  // namespace

ResultCode BinFileMerger::SetSourceFile(const std::string& path) { return Measure(sourceFile_, path, sourceSize_); }

ResultCode BinFileMerger::SetTargetFile(const std::string& path) { return Measure(targetFile_, path, targetSize_); }

ResultCode BinFileMerger::SetOutputFile(const std::string& path) {
    outputFile_.SetFileName(path);
    return kSuccess;
}

void BinFileMerger::CloseAll() {
    for (FileHandle* file : {&sourceFile_, &targetFile_, &outputFile_})
        if (file->IsOpen()) file->CloseFile();
}

ResultCode BinFileMerger::SetParameters(std::uint8_t mode, std::uint8_t placement, std::uint8_t alignment,
                                        std::uint32_t address) {
    if (mode >= 3 || placement >= 3) return kOutOfRange;
    mergeMode_ = mode;
    mergePlacement_ = placement;
    mergeAlignment_ = alignment;
    mergeAddress_ = placement == kAddress ? address : 0;
    return kSuccess;
}

std::uint32_t BinFileMerger::AlignUp(std::uint32_t n) const {
    const std::uint32_t a = mergeAlignment_;
    return a != 0 && n % a != 0 ? n + a - n % a : n;
}

std::uint32_t BinFileMerger::AlignDown(std::uint32_t n) const {
    const std::uint32_t a = mergeAlignment_;
    return a != 0 && n % a != 0 ? n - n % a : n;
}

ResultCode BinFileMerger::Layout(std::uint32_t targetSize, std::uint32_t sourceSize, MergeLayout& layout) const {
    if (mergeMode_ == kOverwrite) {
        if (std::uint64_t{mergeAddress_} + sourceSize > kMost32) return kAddressOverflow;
        layout.outputSize = std::max(targetSize, mergeAddress_ + sourceSize);
        layout.targetOffset = 0;
        switch (mergePlacement_) {
            case kBeginning: layout.imageOffset = 0; break;
            case kAddress: layout.imageOffset = mergeAddress_; break;
            case kEnd: layout.imageOffset = AlignDown(layout.outputSize - sourceSize); break;
            default: return kPlacementNotInMode;
        }
        return kSuccess;
    }
    if (mergePlacement_ != kBeginning && mergePlacement_ != kEnd) return kPlacementNotInMode;
    const bool imageFirst = mergePlacement_ == kBeginning;
    const std::uint32_t first = imageFirst ? sourceSize : targetSize;
    const std::uint32_t second = imageFirst ? targetSize : sourceSize;
    const std::uint32_t a = mergeAlignment_;
    const std::uint64_t secondOffset = std::uint64_t{first} + (a != 0 && first % a != 0 ? a - first % a : 0);
    if (secondOffset + second > kMost32) return kFileTooLarge;  // the output would reach 4 GiB
    layout.outputSize = static_cast<std::uint32_t>(secondOffset + second);
    layout.imageOffset = imageFirst ? 0 : static_cast<std::uint32_t>(secondOffset);
    layout.targetOffset = imageFirst ? static_cast<std::uint32_t>(secondOffset) : 0;
    return kSuccess;
}

ResultCode BinFileMerger::Merge() {
    const ResultCode result = Assemble();
    CloseAll();
    return result;
}

ResultCode BinFileMerger::Assemble() {
    if (ResultCode opened = sourceFile_.OpenForReading())
        return opened == kFileTooLarge ? opened : kCannotOpenImage;
    if (ResultCode opened = targetFile_.OpenForReading())
        return opened == kFileTooLarge ? opened : kCannotOpenTarget;
    sourceSize_ = sourceFile_.Size();
    targetSize_ = targetFile_.Size();

    MergeLayout layout;
    if (ResultCode laidOut = Layout(targetSize_, sourceSize_, layout)) return laidOut;
    AtomicFile output(outputFile_.FileName());
    if (output.Failed()) return kCannotCreateOutput;

    // Zero-filled: the gaps (alignment fill, the room before a distant address) stay zero.
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[std::max(layout.outputSize, 1u)]());
    if (!buffer) return kNoStorage;
    if (ResultCode read = targetFile_.ReadNext(buffer.get() + layout.targetOffset, targetSize_)) return read;
    // The old image is made obsolete in the output only; the target itself is never written.
    if (clearedSignature_ && std::uint64_t{*clearedSignature_} + 8 <= targetSize_)
        std::memset(buffer.get() + layout.targetOffset + *clearedSignature_, 0, 8);
    if (ResultCode read = sourceFile_.ReadNext(buffer.get() + layout.imageOffset, sourceSize_)) return read;

    output.Write({reinterpret_cast<const char*>(buffer.get()), layout.outputSize});
    return output.Commit() ? kSuccess : kCannotCreateOutput;
}

}  // namespace lexicorn
