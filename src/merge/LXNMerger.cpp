#include "merge/LXNMerger.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <future>
#include <vector>

#include "base/Beside.h"
#include "base/Bytes.h"
#include "image/ImageLayout.h"
#include "image/ImageReader.h"
#include "merge/AddressSpace.h"
#include "merge/SignatureFinder.h"

namespace lexicorn {
namespace {

// Pieces of the target overlap by a signature's length less one byte: a signature across two is
// whole in the second.
constexpr std::size_t kPieceOverlap = layout::kSignatureSize - 1;

struct PieceSearch {
    ResultCode read = kSuccess;
    std::optional<SignatureMatch> match;  // its offset in the whole file
};

// The first signature that stands whole in the bytes [from, to) of `file`, read in pieces so that
// memory stays small whatever the target's size. Reads rather than a mapping: a target cut short
// meanwhile gives an error, not a SIGBUS. A piece the size of a core's cache is searched while it
// is still there. Gives up, finding nothing, once `stop` is set.
PieceSearch SearchPieces(const FileHandle& file, std::uint32_t from, std::uint32_t to,
                         const std::atomic<bool>* stop = nullptr) {
    constexpr std::size_t kPiece = 1 << 18;
    std::vector<std::uint8_t> buffer(kPieceOverlap + std::min<std::size_t>(kPiece, to - from));
    std::size_t kept = 0;  // bytes carried over from the previous piece, at the buffer's start
    for (std::uint32_t next = from; next < to && !(stop && *stop);) {
        const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(kPiece, to - next));
        if (ResultCode read = file.ReadAt(next, count, buffer.data() + kept)) return {read, {}};
        const std::span<const std::uint8_t> window(buffer.data(), kept + count);
        if (auto match = FindSignature(window)) {
            match->offset += next - kept;
            return {kSuccess, match};
        }
        next += count;
        kept = std::min(kPieceOverlap, window.size());
        std::memmove(buffer.data(), window.data() + window.size() - kept, kept);
    }
    return {};
}

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
    const auto match = FindSignature(start);
    if (!match || match->offset != 0) return kNotALexicorn;
    // A device reads what the header says: the whole image is checked, as dump checks it.
    std::span<const std::uint8_t> image;
    if (ResultCode mapped = sourceFile_.MapContents(image)) return mapped;
    try {
        CheckImage(image);
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
        scanned = ReadOpenTarget(TargetReading::kScan);
        if (scanned == kSuccess) scanned = ScanOpenTarget();
        targetFile_.CloseFile();
    }
    targetChosen_ = scanned == kSuccess;
    return scanned;
}

ResultCode LXNMerger::ScanOpenTarget() {
    targetHasLexicorn_ = false;
    oldLexicornSize_ = 0;
    if (TargetIsFirmware()) {
        std::optional<SignatureMatch> match;
        if (ResultCode searched = FindInTargetData(0, match)) return searched;
        return match ? FoundOldImage(static_cast<std::uint32_t>(match->offset), match->order) : kSuccess;
    }
    // Two cores search the two halves: most of a scan is the copy of the file out of the system's
    // cache, and each core copies at its own speed. A match in the first half is the first; the
    // second half's counts only when the first half has none and could be read, and is not looked
    // for any longer once the first half has decided.
    const std::uint32_t size = targetFile_.Size();
    const std::uint32_t half = size / 2;
    std::atomic<bool> firstHalfDecided = false;
    auto secondHalf = RunBeside([&] { return SearchPieces(targetFile_, half, size, &firstHalfDecided); });
    const PieceSearch firstHalf =
        SearchPieces(targetFile_, 0, std::min<std::uint32_t>(size, half + kPieceOverlap));
    firstHalfDecided = firstHalf.read != kSuccess || firstHalf.match.has_value();
    const PieceSearch secondHalfFound = secondHalf.get();
    const PieceSearch& found = firstHalfDecided ? firstHalf : secondHalfFound;
    if (found.read != kSuccess) return found.read;
    return found.match ? FoundOldImage(static_cast<std::uint32_t>(found.match->offset), found.match->order)
                       : kSuccess;
}

ResultCode LXNMerger::FoundOldImage(std::uint32_t position, ByteOrder order) {
    // The whole header must stand there: the target may not end, nor a gap start, inside it.
    std::array<std::uint8_t, layout::kHeaderSize> header{};
    if (TargetIsFirmware()) {
        std::optional<std::vector<std::uint8_t>> data;
        if (ResultCode read = TargetDataAt(position, header.size(), data)) return read;
        if (!data) return kOutOfRange;
        std::copy(data->begin(), data->end(), header.begin());
    } else {
        if (std::uint64_t{position} + header.size() > targetFile_.Size()) return kOutOfRange;
        if (ResultCode read = targetFile_.ReadAt(position, header.size(), header.data())) return read;
    }
    targetHasLexicorn_ = true;
    oldLexicornPosition_ = position;
    oldLexicornSize_ = GetUnsigned(header.data() + layout::kImageSizeAt, 4, order);
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

ResultCode LXNMerger::CheckSource() {
    // An image shorter than its signature is no image, whatever the read says.
    const ResultCode checked = CheckOpenSource();
    return checked == kOutOfRange ? kNotALexicorn : checked;
}

ResultCode LXNMerger::CheckTarget() {
    const ResultCode scanned = ScanOpenTarget();
    ClearInOutput(targetHasLexicorn_ ? std::optional<std::uint32_t>(oldLexicornPosition_) : std::nullopt);
    return scanned;
}

}  // namespace lexicorn
