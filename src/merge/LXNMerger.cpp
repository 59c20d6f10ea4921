#include "merge/LXNMerger.h"

#include <algorithm>
#include <array>
#include <future>
#include <new>
#include <optional>
#include <span>
#include <utility>
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

bool IsWholeImage(std::span<const std::uint8_t> bytes) {
    try {
        CheckImage(bytes);
        return true;
    } catch (const ImageError&) {
        return false;
    }
}

std::uint32_t ClaimedSize(std::span<const std::uint8_t> header, ByteOrder order) {
    return GetUnsigned(header.data() + layout::kImageSizeAt, 4, order);
}

// What stands behind a signature of a binary target: `imageSize` is set when a whole image does.
// An image is read whole to be checked, into `buffer`, so that memory holds one image at most.
ResultCode JudgeInFile(const FileHandle& file, const SignatureMatch& match, std::vector<std::uint8_t>& buffer,
                       std::optional<std::uint32_t>& imageSize) {
    imageSize.reset();
    const auto position = static_cast<std::uint32_t>(match.offset);
    std::array<std::uint8_t, layout::kHeaderSize> header{};
    if (std::uint64_t{position} + header.size() > file.Size()) return kOutOfRange;
    if (ResultCode read = file.ReadAt(position, header.size(), header.data())) return read;
    const std::uint32_t claimed = ClaimedSize(header, match.order);
    if (std::uint64_t{position} + claimed > file.Size()) return kSuccess;  // it would run past the end
    try {
        buffer.resize(claimed);
    } catch (const std::bad_alloc&) {
        return kNoStorage;
    }
    if (ResultCode read = file.ReadAt(position, claimed, buffer.data())) return read;
    if (IsWholeImage(buffer)) imageSize = claimed;
    return kSuccess;
}

struct PieceScan {
    ResultCode result = kSuccess;
    TargetFindings findings;
    std::uint64_t resumeAt = 0;  // where the search goes on after the stretch: past its last image
};

// Judges every signature that starts in [from, to) of `file`, in order, reading it in pieces so that
// memory stays small whatever the target's size. Reads rather than a mapping: a target cut short
// meanwhile gives an error, not a SIGBUS. A piece the size of a core's cache is searched while it is
// still there; the bytes of an image found are read to check it, but not searched.
PieceScan ScanPieces(const FileHandle& file, std::uint64_t from, std::uint64_t to) {
    constexpr std::uint64_t kPiece = 1 << 18;
    PieceScan scan;
    std::vector<std::uint8_t> piece(kPieceOverlap + std::min(kPiece, to - std::min(from, to)));
    std::vector<std::uint8_t> image;
    std::uint64_t next = from;
    while (next < to) {
        // Signatures that start before `starts` are judged in this piece.
        const std::uint64_t starts = std::min(to, next + kPiece);
        const std::uint64_t end = std::min<std::uint64_t>(file.Size(), starts + kPieceOverlap);
        const auto count = static_cast<std::uint32_t>(end - next);
        if ((scan.result = file.ReadAt(static_cast<std::uint32_t>(next), count, piece.data()))) return scan;
        std::uint64_t at = next;
        while (at < starts) {
            auto match = FindSignature(std::span(piece.data() + (at - next), end - at));
            if (!match || at + match->offset >= starts) break;
            match->offset += at;
            std::optional<std::uint32_t> imageSize;
            if ((scan.result = JudgeInFile(file, *match, image, imageSize))) return scan;
            at = scan.findings.Record(static_cast<std::uint32_t>(match->offset), imageSize);
        }
        next = std::max(at, starts);
    }
    scan.resumeAt = next;
    return scan;
}

}  // namespace

std::uint64_t TargetFindings::Record(std::uint32_t position, std::optional<std::uint32_t> imageSize) {
    if (imageSize) {
        images.push_back({position, *imageSize});
        return std::uint64_t{position} + *imageSize;
    }
    if (bareSignatures.size() < kListedBareSignatures) bareSignatures.push_back(position);
    ++bareSignatureCount;
    return std::uint64_t{position} + 1;
}

void TargetFindings::Append(const TargetFindings& later) {
    images.insert(images.end(), later.images.begin(), later.images.end());
    for (std::uint32_t position : later.bareSignatures)
        if (bareSignatures.size() < kListedBareSignatures) bareSignatures.push_back(position);
    bareSignatureCount += later.bareSignatureCount;
}

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
    findings_ = {};
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
    findings_ = {};
    if (TargetIsFirmware()) {
        TargetFindings found;
        for (std::uint64_t from = 0;;) {
            std::optional<SignatureMatch> match;
            if (ResultCode searched = FindInTargetData(from, match)) return searched;
            if (!match) break;
            std::optional<std::uint32_t> imageSize;
            if (ResultCode judged = JudgeInTargetData(*match, imageSize)) return judged;
            from = found.Record(static_cast<std::uint32_t>(match->offset), imageSize);
        }
        findings_ = std::move(found);
        return kSuccess;
    }
    // Two cores judge the two halves: most of a scan is the copy of the file out of the system's
    // cache, and each core copies at its own speed. An image of the first half that runs on into the
    // second holds what the second half judged from its start: then the rest is judged again from
    // the image's end.
    const std::uint32_t size = targetFile_.Size();
    const std::uint32_t half = size / 2;
    auto secondHalf = RunBeside([&] { return ScanPieces(targetFile_, half, size); });
    const PieceScan firstHalf = ScanPieces(targetFile_, 0, half);
    PieceScan rest = secondHalf.get();
    if (firstHalf.result != kSuccess) return firstHalf.result;
    if (firstHalf.resumeAt > half) rest = ScanPieces(targetFile_, firstHalf.resumeAt, size);
    if (rest.result != kSuccess) return rest.result;
    findings_ = firstHalf.findings;
    findings_.Append(rest.findings);
    return kSuccess;
}

// The same for a target read as an address space: an image stands whole in the data, without a gap.
ResultCode LXNMerger::JudgeInTargetData(const SignatureMatch& match,
                                        std::optional<std::uint32_t>& imageSize) {
    imageSize.reset();
    const auto position = static_cast<std::uint32_t>(match.offset);
    std::optional<std::vector<std::uint8_t>> header, image;
    if (ResultCode read = TargetDataAt(position, layout::kHeaderSize, header)) return read;
    if (!header) return kOutOfRange;
    const std::uint32_t claimed = ClaimedSize(*header, match.order);
    if (ResultCode read = TargetDataAt(position, claimed, image)) return read;
    if (image && IsWholeImage(*image)) imageSize = claimed;
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
    std::vector<std::uint32_t> signatures;
    for (const OldImage& image : findings_.images) signatures.push_back(image.position);
    ClearInOutput(std::move(signatures));
    return scanned;
}

}  // namespace lexicorn
