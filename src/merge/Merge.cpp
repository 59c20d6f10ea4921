#include "merge/Merge.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <future>
#include <limits>
#include <new>
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

// The output made in memory, for targets that are address spaces (`layout` none) and for binary
// targets written in another form.
MergeResult AssembleInMemory(const MergeJob& job, const FileHandle& imageFile, OpenTarget& target,
                             const MergeLayout* layout) {
    static const std::array<std::uint8_t, layout::kSignatureSize> kCleared{};
    const std::uint8_t fillByte = job.settings.fillByte;
    const TargetFindings& found = target.Report().findings;
    // Memory that cannot be had is said with the file whose data it is.
    try {
        std::vector<std::uint8_t> image(imageFile.Size());
        if (ResultCode read = imageFile.ReadAt(0, imageFile.Size(), image.data())) return Failed(read);
        FirmwareFile output;
        std::uint32_t imageAddress = 0;
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
            imageAddress = layout->imageOffset;
        } else {
            output = std::move(*target.Firmware());  // painted in place: 16 MiB of firmware is not copied
            target.Firmware().reset();
            if (ResultCode placed = PlaceInSpan(job.settings, SpanOf(output), imageFile.Size(), imageAddress))
                return Failed(placed);
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

// The merge once both inputs are open; its result's target is filled in by Merge.
MergeResult MergeOpen(const MergeJob& job, FileHandle& image, OpenTarget& target,
                      const std::function<bool()>& proceed) {
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
    if (proceed && !proceed()) return {kSuccess, {}, false, {}, true};
    // Names can hide an input (links, /proc/self/fd/N); what is compared is the opened files.
    if (image.IsNamedBy(job.output) || target.File().IsNamedBy(job.output)) return Failed(kOutputIsInput);
    if (read) return TargetFailed(read, target);
    if (target.Firmware()) {
        if (ResultCode scanned = target.Scan()) return TargetFailed(scanned, target);
        return AssembleInMemory(job, image, target, nullptr);
    }
    // A binary target is scanned while the output is written: on two cores the merge then reads
    // the target in about the time a copy takes. Its findings still come before any other outcome.
    std::future<ResultCode> scan = RunBeside([&target] { return target.Scan(); });
    MergeLayout layout;
    const ResultCode laidOut = LayOut(job.settings, target.File().Size(), image.Size(), layout);
    if (laidOut || (job.outputFormat && *job.outputFormat != FirmwareFormat::kBinary)) {
        if (ResultCode scanned = scan.get()) return TargetFailed(scanned, target);
        return laidOut ? Failed(laidOut) : AssembleInMemory(job, image, target, &layout);
    }

    // A merge output is as large as the firmware and is made from inputs that stay untouched; like
    // cp, it leaves flushing to the system instead of waiting for the disk.
    AtomicFile output(job.output, AtomicFile::Flush::kLeaveToSystem);
    if (!output.Failed()) WriteOutput(image, target.File(), layout, job.settings.fillByte, output);
    if (ResultCode scanned = scan.get()) return TargetFailed(scanned, target);
    try {
        ClearOldSignatures(target.Report().findings, image.Size(), target.File().Size(), layout, output);
        output.Commit();
    } catch (const Error& error) {
        return OutputFailed(error);
    }
    return {};
}

std::string DoneWithNotes(const TargetScan& target) {
    std::string done = merge_messages::kDone;
    for (const std::string& note : DescribeTarget(target).notes) done += "\r" + note;
    return done;
}

}  // namespace

MergeResult Merge(const MergeJob& job, const std::function<bool()>& proceed) {
    if (!SettingsKnown(job.settings)) return {kOutOfRange, merge_messages::kCannotSetParameters, false, {}};
    FileHandle image(job.image);
    if (ResultCode opened = image.OpenForReading())
        return Refused(opened == kFileTooLarge ? opened : kCannotOpenImage,
                       merge_messages::FileProblem(job.image, opened));
    OpenTarget target;
    if (ResultCode opened = target.Open(job.target))
        return Refused(opened == kFileTooLarge ? opened : kCannotOpenTarget,
                       merge_messages::FileProblem(job.target, opened));
    MergeResult result = MergeOpen(job, image, target, proceed);
    if (result.declined) return result;
    if (target.Report().opened && !result.inputRefused) result.target = std::move(target.Report());
    if (result.code == kSuccess) result.message = DoneWithNotes(*result.target);
    return result;
}

}  // namespace lexicorn
