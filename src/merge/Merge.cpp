#include "merge/Merge.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <future>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "base/Beside.h"
#include "base/Error.h"
#include "image/ImageLayout.h"
#include "merge/MergeCommand.h"
#include "merge/MergeLayout.h"
#include "platform/AtomicFile.h"

namespace lexicorn {
namespace {

struct Range {
    std::uint64_t begin, end;
    bool Holds(std::uint64_t at) const { return at >= begin && at < end; }
};

MergeResult Refused(ResultCode code, std::string message) { return {code, std::move(message), true, {}}; }

MergeResult Failed(ResultCode code, const std::string& detail = {}) {
    return {
        code, merge_messages::CannotStartMerge(code) + (detail.empty() ? "" : "\r\r" + detail), false, {}};
}

// A target that could not be read or scanned: the code stays with what was read of it.
MergeResult TargetFailed(ResultCode code, OpenTarget& target) {
    target.Report().code = code;
    return Failed(code, target.Report().problem);
}

// What an output that cannot be written whole says: the file and the system's reason.
MergeResult OutputFailed(const Error& error) { return Failed(kCannotCreateOutput, error.what()); }

void WriteOutput(const FileHandle& image, const FileHandle& target, const MergeLayout& layout,
                 std::uint8_t fillByte, AtomicFile& output) {
    // The output is painted from the bottom up: fill bytes, the target, the new image on top. It
    // is written range by range straight from the inputs, so no copy of the whole output is ever
    // held in memory. The old images' signatures are cleared afterwards (ClearOldSignatures).
    const Range imageRange{layout.imageOffset, std::uint64_t{layout.imageOffset} + image.Size()};
    const Range targetRange{layout.targetOffset, std::uint64_t{layout.targetOffset} + target.Size()};
    std::vector<std::uint64_t> edges = {
        0, layout.outputSize, imageRange.begin, imageRange.end, targetRange.begin, targetRange.end};
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::array<char, 1 << 16> fill;
    fill.fill(static_cast<char>(fillByte));
    for (std::size_t i = 0; i + 1 < edges.size() && edges[i + 1] <= layout.outputSize; ++i) {
        const std::uint64_t begin = edges[i], length = edges[i + 1] - edges[i];
        if (imageRange.Holds(begin)) {
            image.CopyTo(output, static_cast<std::uint32_t>(begin - imageRange.begin), length);
        } else if (targetRange.Holds(begin)) {
            target.CopyTo(output, static_cast<std::uint32_t>(begin - targetRange.begin), length);
        } else {
            for (std::uint64_t left = length; left > 0;) {
                const std::uint64_t piece = std::min<std::uint64_t>(left, fill.size());
                output.Write({fill.data(), piece});
                left -= piece;
            }
        }
    }
}

// Zeroes the old images' signatures in a written output, where the new image does not cover them.
void ClearOldSignatures(const TargetFindings& found, std::uint32_t imageSize, std::uint32_t targetSize,
                        const MergeLayout& layout, AtomicFile& output) {
    // Under the new image an old signature is gone already.
    const Range imageRange{layout.imageOffset, std::uint64_t{layout.imageOffset} + imageSize};
    for (const OldImage& old : found.images) {
        if (std::uint64_t{old.position} + layout::kSignatureSize > targetSize) continue;
        const std::uint64_t at = layout.targetOffset + std::uint64_t{old.position};
        for (std::uint64_t byte = at; byte < at + layout::kSignatureSize; ++byte)
            if (!imageRange.Holds(byte)) output.WriteAt(byte, std::string_view("\0", 1));
    }
}

// Counts into `found` the bytes of `data`, which stand at `address`, that an image over `cover` would
// overwrite and that hold something: neither blank nor inside one of `old` (in address order). Called
// in address order, it keeps the first and the last of them.
void CountOverwritten(std::span<const std::uint8_t> data, std::uint64_t address, Range cover,
                      std::uint8_t fill, const std::vector<OldImage>& old, OverwrittenData& found) {
    const std::uint64_t end = std::min(address + data.size(), cover.end);
    auto image = old.begin();
    for (std::uint64_t at = std::max(address, cover.begin); at < end; ++at) {
        const std::uint8_t byte = data[at - address];
        if (byte == 0x00 || byte == 0xFF || byte == fill) continue;
        while (image != old.end() && image->position + std::uint64_t{image->size} <= at) ++image;
        if (image != old.end() && image->position <= at) continue;
        if (found.count++ == 0) found.first = static_cast<std::uint32_t>(at);
        found.last = static_cast<std::uint32_t>(at);
    }
}

// The same for the bytes of a binary target, read piece by piece: an image of megabytes is not held twice.
ResultCode CountOverwrittenInFile(const FileHandle& target, Range cover, std::uint8_t fill,
                                  const std::vector<OldImage>& old, OverwrittenData& found) {
    std::vector<std::uint8_t> piece(std::min<std::uint64_t>(cover.end - cover.begin, 1 << 16));
    for (std::uint64_t at = cover.begin; at < cover.end; at += piece.size()) {
        const auto count = static_cast<std::uint32_t>(std::min<std::uint64_t>(piece.size(), cover.end - at));
        if (ResultCode read = target.ReadAt(static_cast<std::uint32_t>(at), count, piece.data())) return read;
        CountOverwritten(std::span(piece.data(), count), at, cover, fill, old, found);
    }
    return kSuccess;
}

// The target's bytes under the image of a binary merge. An image lies over target bytes only when it
// is written over them, and the target then starts the output.
Range Covered(const MergeLayout& layout, std::uint32_t imageSize, std::uint32_t targetSize) {
    if (layout.targetOffset != 0) return {0, 0};
    const std::uint64_t end =
        std::min<std::uint64_t>(std::uint64_t{layout.imageOffset} + imageSize, targetSize);
    return {std::min<std::uint64_t>(layout.imageOffset, end), end};
}

// The output made in memory, with the image at `imageAddress`: for targets that are address spaces
// (`layout` none) and for binary targets written in another form.
MergeResult AssembleInMemory(const MergeJob& job, const FileHandle& imageFile, OpenTarget& target,
                             const MergeLayout* layout, std::uint32_t imageAddress) {
    static const std::array<std::uint8_t, layout::kSignatureSize> kCleared{};
    const std::uint8_t fillByte = job.settings.fillByte;
    const TargetFindings& found = target.Report().findings;
    // Memory that cannot be had is said with the file whose data it is.
    try {
        std::vector<std::uint8_t> image(imageFile.Size());
        if (ResultCode read = imageFile.ReadAt(0, imageFile.Size(), image.data())) return Failed(read);
        FirmwareFile output;
        if (layout) {
            // A binary target keeps its meaning: the merge as a binary, then written in another form.
            const FileHandle& targetFile = target.File();
            std::vector<std::uint8_t> bytes(targetFile.Size());
            if (ResultCode read = targetFile.ReadAt(0, targetFile.Size(), bytes.data())) return Failed(read);
            if (layout->outputSize > 0)
                output.segments.push_back({0, std::vector<std::uint8_t>(layout->outputSize, fillByte)});
            Paint(output, layout->targetOffset, bytes);
            for (const OldImage& old : found.images)
                Paint(output, layout->targetOffset + old.position, kCleared);
        } else {
            output = std::move(*target.Firmware());  // painted in place: 16 MiB of firmware is not copied
            target.Firmware().reset();
            for (const OldImage& old : found.images) Paint(output, old.position, kCleared);
        }
        Paint(output, imageAddress, image);

        AtomicFile file(job.output, AtomicFile::Flush::kLeaveToSystem);
        try {
            WriteFirmware(output, job.outputFormat.value_or(output.format), fillByte,
                          [&](std::string_view bytes) { file.Write(bytes); });
            file.Commit();
        } catch (const Error& error) {
            return OutputFailed(error);
        }
    } catch (const std::bad_alloc&) {
        return Failed(kNoStorage, fmt::format("{}: not enough memory to hold its data", job.target));
    }
    return {};
}

MergeResult Declined() { return {kSuccess, {}, false, {}, true}; }

// A merge into a target read as an address space.
MergeResult MergeIntoData(const MergeJob& job, const FileHandle& image, OpenTarget& target,
                          const MergeProceed& proceed) {
    if (ResultCode scanned = target.Scan()) return TargetFailed(scanned, target);
    const FirmwareFile& firmware = *target.Firmware();
    MergePlan plan;
    plan.imageSize = image.Size();
    plan.absolute = true;
    plan.data = SpanOf(firmware);
    if (ResultCode placed = PlaceInSpan(job.settings, plan.data, image.Size(), plan.imageAddress))
        return Failed(placed);
    const Range cover{plan.imageAddress, std::uint64_t{plan.imageAddress} + image.Size()};
    for (const Segment& segment : firmware.segments)
        CountOverwritten(segment.bytes, segment.address, cover, job.settings.fillByte,
                         target.Report().findings.images, plan.overwritten);
    if (proceed && !proceed(plan)) return Declined();
    MergeResult result = AssembleInMemory(job, image, target, nullptr, plan.imageAddress);
    result.plan = plan;
    return result;
}

// A merge into a binary target.
MergeResult MergeIntoBinary(const MergeJob& job, const FileHandle& image, OpenTarget& target,
                            const MergeProceed& proceed) {
    // The target is scanned while the output is written: on two cores the merge then reads the
    // target in about the time a copy takes. Its findings still come before any other outcome of
    // the writing.
    std::future<ResultCode> scan = RunBeside([&target] { return target.Scan(); });
    std::optional<ResultCode> scanned;
    const auto scanResult = [&] {
        if (!scanned) scanned = scan.get();
        return *scanned;
    };
    const std::uint32_t targetSize = target.File().Size();
    MergeLayout layout;
    if (ResultCode laidOut = LayOut(job.settings, targetSize, image.Size(), layout)) {
        if (ResultCode failed = scanResult()) return TargetFailed(failed, target);
        return Failed(laidOut);
    }
    MergePlan plan{layout.imageOffset, image.Size(), false, {0, targetSize}, layout.outputSize, {}};
    // Old images are left out of what the image overwrites: the scan is waited for when there is
    // something to leave out, which is seldom.
    const Range cover = Covered(layout, image.Size(), targetSize);
    const std::uint8_t fill = job.settings.fillByte;
    if (ResultCode read = CountOverwrittenInFile(target.File(), cover, fill, {}, plan.overwritten))
        return TargetFailed(read, target);
    if (plan.overwritten.count > 0) {
        if (ResultCode failed = scanResult()) return TargetFailed(failed, target);
        plan.overwritten = {};
        if (ResultCode read = CountOverwrittenInFile(target.File(), cover, fill,
                                                     target.Report().findings.images, plan.overwritten))
            return TargetFailed(read, target);
    }
    if (proceed && !proceed(plan)) return Declined();
    if (job.outputFormat && *job.outputFormat != FirmwareFormat::kBinary) {
        if (ResultCode failed = scanResult()) return TargetFailed(failed, target);
        MergeResult result = AssembleInMemory(job, image, target, &layout, layout.imageOffset);
        result.plan = plan;
        return result;
    }

    // A merge output is as large as the firmware and is made from inputs that stay untouched; like
    // cp, it leaves flushing to the system instead of waiting for the disk.
    AtomicFile output(job.output, AtomicFile::Flush::kLeaveToSystem);
    if (!output.Failed()) WriteOutput(image, target.File(), layout, fill, output);
    if (ResultCode failed = scanResult()) return TargetFailed(failed, target);
    try {
        ClearOldSignatures(target.Report().findings, image.Size(), targetSize, layout, output);
        output.Commit();
    } catch (const Error& error) {
        return OutputFailed(error);
    }
    MergeResult result;
    result.plan = plan;
    return result;
}

// The merge once both inputs are open; its result's target is filled in by Merge.
MergeResult MergeOpen(const MergeJob& job, FileHandle& image, OpenTarget& target,
                      const MergeProceed& proceed) {
    // The image is checked while the target is read: the two are independent, and a firmware
    // file takes its time to read.
    std::future<ImageCheck> imageChecked = RunBeside([&image] { return CheckOpenImage(image); });
    // Room beside each segment for the image and the widest alignment gap: painted there, the image
    // moves no data.
    const std::size_t room = std::size_t{image.Size()} + std::numeric_limits<std::uint8_t>::max();
    const ResultCode read = target.Read(OpenTarget::Reading::kMerge, room);
    const ImageCheck checked = imageChecked.get();
    if (merge_messages::IsInvalidImage(checked.code))
        return Refused(kNotALexicorn, job.image + ": " + merge_messages::InvalidImage(checked.problem));
    if (checked.code) return Refused(checked.code, merge_messages::FileProblem(job.image, checked.code));
    // Names can hide an input (links, /proc/self/fd/N); what is compared is the opened files.
    if (image.IsNamedBy(job.output) || target.File().IsNamedBy(job.output)) return Failed(kOutputIsInput);
    if (read) return TargetFailed(read, target);
    return target.Firmware() ? MergeIntoData(job, image, target, proceed)
                             : MergeIntoBinary(job, image, target, proceed);
}

std::string DoneWithNotes(const TargetScan& target, const MergePlan& plan) {
    std::string done = merge_messages::kDone;
    const auto line = [&done](const std::string& text) { done.append("\r").append(text); };
    line(merge_messages::PlacedAt(plan.imageAddress, plan.imageSize));
    if (!target.findings.images.empty()) line(merge_messages::MadeObsolete(target.findings.images.front()));
    for (const std::string& note : DescribeTarget(target).notes) line(note);
    return done;
}

// An empty target, and standard output that writes to an input: refused before anything is read.
std::optional<MergeResult> RefuseEmptyOrStandardOutput(const MergeJob& job, const FileHandle& image,
                                                       const FileHandle& target) {
    namespace text = merge_messages;
    const bool targetIsOutput = job.toStandardOutput && target.IsStandardOutput();
    if (target.Size() == 0)
        return Refused(kEmptyTarget, targetIsOutput ? text::EmptiedByStandardOutput(job.target)
                                                    : text::EmptyTarget(job.target));
    if (targetIsOutput) return Refused(kOutputIsInput, text::StandardOutputIsTarget(job.target));
    if (job.toStandardOutput && image.IsStandardOutput())
        return Refused(kOutputIsInput, text::StandardOutputIsImage(job.image));
    return std::nullopt;
}

}  // namespace

MergeResult Merge(const MergeJob& job, const MergeProceed& proceed) {
    if (!SettingsKnown(job.settings)) return {kOutOfRange, merge_messages::kCannotSetParameters, false, {}};
    FileHandle image(job.image);
    if (ResultCode opened = image.OpenForReading())
        return Refused(opened == kFileTooLarge ? opened : kCannotOpenImage,
                       merge_messages::FileProblem(job.image, opened));
    OpenTarget target;
    if (ResultCode opened = target.Open(job.target))
        return Refused(opened == kFileTooLarge ? opened : kCannotOpenTarget,
                       merge_messages::FileProblem(job.target, opened));
    if (std::optional<MergeResult> refused = RefuseEmptyOrStandardOutput(job, image, target.File()))
        return *refused;
    MergeResult result = MergeOpen(job, image, target, proceed);
    if (result.declined) return result;
    if (target.Report().opened && !result.inputRefused) result.target = std::move(target.Report());
    if (result.code == kSuccess) result.message = DoneWithNotes(*result.target, *result.plan);
    return result;
}

}  // namespace lexicorn
