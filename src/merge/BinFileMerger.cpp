#include "merge/BinFileMerger.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <future>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "base/Beside.h"
#include "base/Error.h"
#include "image/ImageLayout.h"
#include "merge/FirmwareScan.h"
#include "platform/AtomicFile.h"

namespace lexicorn {
namespace {

struct Range {
    std::uint64_t begin, end;
    bool Holds(std::uint64_t at) const { return at >= begin && at < end; }
};

// A binary's size is a 32-bit number, so a binary output ends below 4 GiB; an address space holds
// every 32-bit address, FFFFFFFF included.
constexpr std::uint64_t kMost32 = std::numeric_limits<std::uint32_t>::max();
constexpr std::uint64_t kAddressSpaceEnd = kMost32 + 1;

// What the target's text source throws when the target cannot be read.
struct TargetReadFailed {
    ResultCode code;
};

std::string NoMemoryFor(const std::string& target) {
    return fmt::format("{}: not enough memory to hold its data", target);
}

ResultCode Measure(FileHandle& file, const std::string& path, std::uint32_t& size) {
    file.SetFileName(path);
    if (ResultCode opened = file.OpenForReading()) return opened;
    size = file.Size();
    file.CloseFile();
    return kSuccess;
}

}  // namespace

BinFileMerger::BinFileMerger() = default;
BinFileMerger::~BinFileMerger() = default;

bool PlacementAllowed(MergeMode mode, MergePlacement placement) {
    return mode == MergeMode::kOverwrite || placement != MergePlacement::kAddress;
}

ResultCode BinFileMerger::SetSourceFile(const std::string& path) {
    return Measure(sourceFile_, path, sourceSize_);
}

ResultCode BinFileMerger::SetTargetFile(const std::string& path) {
    // What was read of an earlier target does not describe this one, even when it cannot be opened.
    targetForm_.reset();
    targetProblem_.clear();
    targetWarnings_.clear();
    return Measure(targetFile_, path, targetSize_);
}

ResultCode BinFileMerger::SetOutputFile(const std::string& path) {
    outputFile_.SetFileName(path);
    return kSuccess;
}

void BinFileMerger::CloseAll() {
    for (FileHandle* file : {&sourceFile_, &targetFile_, &outputFile_})
        if (file->IsOpen()) file->CloseFile();
}

ResultCode BinFileMerger::SetParameters(MergeMode mode, MergePlacement placement, std::uint8_t alignment,
                                        std::uint32_t address) {
    if (Code(mode) >= 3 || Code(placement) >= 3) return kOutOfRange;
    mergeMode_ = mode;
    mergePlacement_ = placement;
    mergeAlignment_ = alignment;
    mergeAddress_ = placement == MergePlacement::kAddress ? address : 0;
    return kSuccess;
}

std::uint32_t BinFileMerger::AlignDown(std::uint32_t n) const {
    const std::uint32_t a = mergeAlignment_;
    return a != 0 && n % a != 0 ? n - n % a : n;
}

ResultCode BinFileMerger::Layout(std::uint32_t targetSize, std::uint32_t sourceSize,
                                 MergeLayout& layout) const {
    if (!PlacementAllowed(mergeMode_, mergePlacement_)) return kPlacementNotInMode;
    if (mergeMode_ == MergeMode::kOverwrite) {
        if (std::uint64_t{mergeAddress_} + sourceSize > kMost32) return kAddressOverflow;
        layout.outputSize = std::max(targetSize, mergeAddress_ + sourceSize);
        layout.targetOffset = 0;
        switch (mergePlacement_) {
            case MergePlacement::kBeginning:
                layout.imageOffset = 0;
                break;
            case MergePlacement::kAddress:
                layout.imageOffset = mergeAddress_;
                break;
            case MergePlacement::kEnd:
                layout.imageOffset = AlignDown(layout.outputSize - sourceSize);
                break;
            default:
                return kPlacementNotInMode;
        }
        return kSuccess;
    }
    const bool imageFirst = mergePlacement_ == MergePlacement::kBeginning;
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

ResultCode BinFileMerger::PlaceInSpan(AddressSpan span, std::uint32_t sourceSize,
                                      std::uint32_t& address) const {
    if (!PlacementAllowed(mergeMode_, mergePlacement_)) return kPlacementNotInMode;
    const std::uint64_t a = mergeAlignment_ == 0 ? 1 : mergeAlignment_;
    std::uint64_t at = 0;
    if (mergeMode_ == MergeMode::kOverwrite) {
        switch (mergePlacement_) {
            case MergePlacement::kBeginning:
                at = span.low;
                break;
            case MergePlacement::kAddress:
                at = mergeAddress_;
                break;
            case MergePlacement::kEnd:
                // Over the span's last bytes, rounded down; never before its start.
                at = span.high - span.low > sourceSize ? std::max(span.low, (span.high - sourceSize) / a * a)
                                                       : span.low;
                break;
            default:
                return kPlacementNotInMode;
        }
    } else if (mergePlacement_ == MergePlacement::kBeginning) {
        if (span.low < sourceSize) return kBelowAddressZero;
        at = (span.low - sourceSize) / a * a;
    } else {
        at = (span.high + a - 1) / a * a;
    }
    if (at + sourceSize > kAddressSpaceEnd) return kAddressOverflow;
    address = static_cast<std::uint32_t>(at);
    return kSuccess;
}

TextSource BinFileMerger::TargetText() const {
    return {targetFile_.Size(), [this](std::uint64_t offset, std::span<char> buffer) {
                if (ResultCode read =
                        targetFile_.ReadAt(static_cast<std::uint32_t>(offset),
                                           static_cast<std::uint32_t>(buffer.size()), buffer.data()))
                    throw TargetReadFailed{read};
            }};
}

template <typename Read>
ResultCode BinFileMerger::ReadingTarget(const Read& read) {
    try {
        read();
    } catch (const TargetReadFailed& failed) {
        return failed.code;
    } catch (const FirmwareError& error) {
        targetProblem_ = error.what();
        return kDamagedTarget;
    } catch (const std::bad_alloc&) {
        targetProblem_ = NoMemoryFor(targetFile_.FileName());
        return kNoStorage;
    }
    return kSuccess;
}

ResultCode BinFileMerger::ReadOpenTarget(TargetReading reading) {
    targetFirmware_.reset();
    targetScan_.reset();
    targetForm_.reset();
    targetProblem_.clear();
    targetWarnings_.clear();
    return ReadingTarget([&] {
        const TextSource text = TargetText();
        const FirmwareFormat format = DetectFirmwareFormat(text);
        if (format == FirmwareFormat::kBinary) return;
        if (reading == TargetReading::kScan) {
            targetScan_ = std::make_unique<FirmwareScan>(format, text, targetFile_.FileName());
            targetWarnings_ = targetScan_->Records().warnings;
            targetForm_ = TargetForm{format, targetScan_->Span()};
        } else {
            // Room beside each segment for the image and the widest alignment gap: painted there,
            // the image moves no data.
            const std::size_t room = std::size_t{sourceSize_} + std::numeric_limits<std::uint8_t>::max();
            targetFirmware_ = ReadFirmware(format, text, targetFile_.FileName(), room);
            targetWarnings_ = targetFirmware_->warnings;
            targetForm_ = TargetForm{format, SpanOf(*targetFirmware_)};
        }
    });
}

ResultCode BinFileMerger::FindInTargetData(std::uint64_t from, std::optional<SignatureMatch>& match) {
    return ReadingTarget([&] {
        match = targetScan_ ? targetScan_->FindSignature(from) : FindSignature(*targetFirmware_, from);
    });
}

ResultCode BinFileMerger::TargetDataAt(std::uint32_t address, std::size_t count,
                                       std::optional<std::vector<std::uint8_t>>& bytes) {
    return ReadingTarget([&] {
        if (targetScan_) {
            bytes = targetScan_->DataAt(address, count);
        } else if (const auto data = DataAt(*targetFirmware_, address, count)) {
            bytes.emplace(data->begin(), data->end());
        } else {
            bytes.reset();
        }
    });
}

ResultCode BinFileMerger::Merge() {
    failedFile_.clear();
    targetProblem_.clear();
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
    // Names can hide an input (links, /proc/self/fd/N); what is compared is the opened files.
    const std::string& outputPath = outputFile_.FileName();
    if (sourceFile_.IsNamedBy(outputPath) || targetFile_.IsNamedBy(outputPath)) return kOutputIsInput;
    // The image is checked while the target is read: the two are independent, and a firmware
    // file takes its time to read. The target's outcome still comes first.
    std::future<ResultCode> sourceChecked = RunBeside([this] { return CheckSource(); });
    const ResultCode read = ReadOpenTarget(TargetReading::kMerge);
    const ResultCode checked = sourceChecked.get();
    if (read) return read;
    if (checked) return checked;
    if (targetFirmware_) {
        if (ResultCode scanned = CheckTarget()) return scanned;
        return AssembleInMemory(nullptr);
    }
    // A binary target is looked at while the output is written: on two cores the merge then reads
    // the target in about the time a copy takes. Its findings still come before any other outcome.
    std::future<ResultCode> scan = RunBeside([this] { return CheckTarget(); });
    MergeLayout layout;
    const ResultCode laidOut = Layout(targetSize_, sourceSize_, layout);
    if (laidOut || (outputFormat_ && *outputFormat_ != FirmwareFormat::kBinary)) {
        if (ResultCode scanned = scan.get()) return scanned;
        return laidOut ? laidOut : AssembleInMemory(&layout);
    }

    // A merge output is as large as the firmware and is made from inputs that stay untouched; like
    // cp, it leaves flushing to the system instead of waiting for the disk.
    AtomicFile output(outputFile_.FileName(), AtomicFile::Flush::kLeaveToSystem);
    if (!output.Failed()) WriteOutput(layout, output);
    if (ResultCode scanned = scan.get()) return scanned;
    try {
        ClearOldSignatures(layout, output);
        output.Commit();
    } catch (const Error& error) {
        failedFile_ = error.what();
        return kCannotCreateOutput;
    }
    return kSuccess;
}

ResultCode BinFileMerger::AssembleInMemory(const MergeLayout* layout) {
    static const std::array<std::uint8_t, layout::kSignatureSize> kCleared{};
    // The output is made in memory: memory that cannot be had is said with the file whose data it is.
    try {
        std::vector<std::uint8_t> image(sourceSize_);
        if (ResultCode read = sourceFile_.ReadAt(0, sourceSize_, image.data())) return read;
        FirmwareFile output;
        std::uint32_t imageAddress = 0;
        if (layout) {
            // A binary target keeps its meaning: the merge as a binary, then written in another form.
            std::vector<std::uint8_t> target(targetSize_);
            if (ResultCode read = targetFile_.ReadAt(0, targetSize_, target.data())) return read;
            if (layout->outputSize > 0)
                output.segments.push_back({0, std::vector<std::uint8_t>(layout->outputSize, fillByte_)});
            Paint(output, layout->targetOffset, target);
            for (std::uint32_t signature : clearedSignatures_)
                Paint(output, layout->targetOffset + signature, kCleared);
            imageAddress = layout->imageOffset;
        } else {
            output = std::move(*targetFirmware_);  // painted in place: 16 MiB of firmware is not copied
            targetFirmware_.reset();
            if (ResultCode placed = PlaceInSpan(SpanOf(output), sourceSize_, imageAddress)) return placed;
            for (std::uint32_t signature : clearedSignatures_) Paint(output, signature, kCleared);
        }
        Paint(output, imageAddress, image);

        AtomicFile file(outputFile_.FileName(), AtomicFile::Flush::kLeaveToSystem);
        try {
            WriteFirmware(output, outputFormat_.value_or(output.format), fillByte_,
                          [&](std::string_view bytes) { file.Write(bytes); });
            file.Commit();
        } catch (const Error& error) {
            failedFile_ = error.what();
            return kCannotCreateOutput;
        }
    } catch (const std::bad_alloc&) {
        targetProblem_ = NoMemoryFor(targetFile_.FileName());
        return kNoStorage;
    }
    return kSuccess;
}

void BinFileMerger::WriteOutput(const MergeLayout& layout, AtomicFile& output) const {
    // The output is painted from the bottom up: fill bytes, the target, the new image on top. It
    // is written range by range straight from the inputs, so no copy of the whole output is ever
    // held in memory. The old images' signatures are cleared afterwards (ClearOldSignatures).
    const Range imageRange{layout.imageOffset, std::uint64_t{layout.imageOffset} + sourceSize_};
    const Range targetRange{layout.targetOffset, std::uint64_t{layout.targetOffset} + targetSize_};
    std::vector<std::uint64_t> edges = {
        0, layout.outputSize, imageRange.begin, imageRange.end, targetRange.begin, targetRange.end};
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::array<char, 1 << 16> fill;
    fill.fill(static_cast<char>(fillByte_));
    for (std::size_t i = 0; i + 1 < edges.size() && edges[i + 1] <= layout.outputSize; ++i) {
        const std::uint64_t begin = edges[i], length = edges[i + 1] - edges[i];
        if (imageRange.Holds(begin)) {
            sourceFile_.CopyTo(output, static_cast<std::uint32_t>(begin - imageRange.begin), length);
        } else if (targetRange.Holds(begin)) {
            targetFile_.CopyTo(output, static_cast<std::uint32_t>(begin - targetRange.begin), length);
        } else {
            for (std::uint64_t left = length; left > 0;) {
                const std::uint64_t piece = std::min<std::uint64_t>(left, fill.size());
                output.Write({fill.data(), piece});
                left -= piece;
            }
        }
    }
}

void BinFileMerger::ClearOldSignatures(const MergeLayout& layout, AtomicFile& output) const {
    // Under the new image an old signature is gone already.
    const Range imageRange{layout.imageOffset, std::uint64_t{layout.imageOffset} + sourceSize_};
    for (std::uint32_t signature : clearedSignatures_) {
        if (std::uint64_t{signature} + layout::kSignatureSize > targetSize_) continue;
        const std::uint64_t at = layout.targetOffset + std::uint64_t{signature};
        for (std::uint64_t byte = at; byte < at + layout::kSignatureSize; ++byte)
            if (!imageRange.Holds(byte)) output.WriteAt(byte, std::string_view("\0", 1));
    }
}

}  // namespace lexicorn
