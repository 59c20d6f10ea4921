#include "merge/TargetScan.h"

#include <fmt/format.h>

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
#include "merge/FirmwareScan.h"

namespace lexicorn {
namespace {

// Pieces of the target overlap by a signature's length less one byte: a signature across two is
// whole in the second.
constexpr std::size_t kPieceOverlap = layout::kSignatureSize - 1;

// What the target's text source throws when the target cannot be read.
struct TargetReadFailed {
    ResultCode code;
};

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

ImageCheck CheckOpenImage(FileHandle& file) {
    std::array<std::uint8_t, layout::kSignatureSize> start{};
    if (ResultCode read = file.ReadAt(0, layout::kSignatureSize, start.data())) return {read, {}};
    const auto match = FindSignature(start);
    if (!match || match->offset != 0) return {kNotALexicorn, {}};
    // A device reads what the header says: the whole image is checked, as dump checks it.
    std::span<const std::uint8_t> image;
    if (ResultCode mapped = file.MapContents(image)) return {mapped, {}};
    try {
        CheckImage(image);
    } catch (const ImageError& error) {
        return {kNotALexicorn, error.what()};
    }
    return {};
}

ImageCheck CheckImageFile(const std::string& path) {
    FileHandle file(path);
    if (ResultCode opened = file.OpenForReading()) return {opened, {}};
    return CheckOpenImage(file);
}

TargetScan ScanTarget(const std::string& path) {
    OpenTarget target;
    ResultCode scanned = target.Open(path);
    if (scanned == kSuccess) scanned = target.Read(OpenTarget::Reading::kScan);
    if (scanned == kSuccess) scanned = target.Scan();
    target.Report().code = scanned;
    return std::move(target.Report());
}

OpenTarget::OpenTarget() = default;
OpenTarget::~OpenTarget() = default;

ResultCode OpenTarget::Open(const std::string& path) {
    file_.SetFileName(path);
    const ResultCode opened = file_.OpenForReading();
    report_.opened = opened == kSuccess;
    return opened;
}

TextSource OpenTarget::Text() const {
    return {file_.Size(), [this](std::uint64_t offset, std::span<char> buffer) {
                if (ResultCode read = file_.ReadAt(static_cast<std::uint32_t>(offset),
                                                   static_cast<std::uint32_t>(buffer.size()), buffer.data()))
                    throw TargetReadFailed{read};
            }};
}

template <typename Step>
ResultCode OpenTarget::Guarded(const Step& read) {
    try {
        read();
    } catch (const TargetReadFailed& failed) {
        return failed.code;
    } catch (const FirmwareError& error) {
        report_.problem = error.what();
        return kDamagedTarget;
    } catch (const std::bad_alloc&) {
        report_.problem = fmt::format("{}: not enough memory to hold its data", file_.FileName());
        return kNoStorage;
    }
    return kSuccess;
}

ResultCode OpenTarget::Read(Reading reading, std::size_t room) {
    return Guarded([&] {
        const TextSource text = Text();
        const FirmwareFormat format = DetectTargetFormat(text, file_.FileName());
        if (format == FirmwareFormat::kBinary) return;
        if (reading == Reading::kScan) {
            scan_ = std::make_unique<FirmwareScan>(format, text, file_.FileName());
            report_.warnings = scan_->Records().warnings;
            report_.form = TargetForm{format, scan_->Span()};
        } else {
            firmware_ = ReadFirmware(format, text, file_.FileName(), room);
            report_.warnings = firmware_->warnings;
            report_.form = TargetForm{format, SpanOf(*firmware_)};
        }
    });
}

ResultCode OpenTarget::Scan() {
    if (IsFirmware()) return ScanData();
    // Two cores judge the two halves: most of a scan is the copy of the file out of the system's
    // cache, and each core copies at its own speed. An image of the first half that runs on into the
    // second holds what the second half judged from its start: then the rest is judged again from
    // the image's end.
    const std::uint32_t size = file_.Size();
    const std::uint32_t half = size / 2;
    auto secondHalf = RunBeside([&] { return ScanPieces(file_, half, size); });
    const PieceScan firstHalf = ScanPieces(file_, 0, half);
    PieceScan rest = secondHalf.get();
    if (firstHalf.result != kSuccess) return firstHalf.result;
    if (firstHalf.resumeAt > half) rest = ScanPieces(file_, firstHalf.resumeAt, size);
    if (rest.result != kSuccess) return rest.result;
    report_.findings = firstHalf.findings;
    report_.findings.Append(rest.findings);
    return kSuccess;
}

// The same for a target read as an address space: signatures in address order, across records and
// never across a gap.
ResultCode OpenTarget::ScanData() {
    TargetFindings found;
    for (std::uint64_t from = 0;;) {
        std::optional<SignatureMatch> match;
        if (ResultCode searched = Guarded(
                [&] { match = scan_ ? scan_->FindSignature(from) : FindSignature(*firmware_, from); }))
            return searched;
        if (!match) break;
        std::optional<std::uint32_t> imageSize;
        if (ResultCode judged = JudgeInData(*match, imageSize)) return judged;
        from = found.Record(static_cast<std::uint32_t>(match->offset), imageSize);
    }
    report_.findings = std::move(found);
    return kSuccess;
}

// An image stands whole in the data, without a gap. kOutOfRange when its header does not stand there.
ResultCode OpenTarget::JudgeInData(const SignatureMatch& match, std::optional<std::uint32_t>& imageSize) {
    imageSize.reset();
    const auto position = static_cast<std::uint32_t>(match.offset);
    const auto dataAt = [&](std::size_t count, std::optional<std::vector<std::uint8_t>>& bytes) {
        return Guarded([&] {
            if (scan_) {
                bytes = scan_->DataAt(position, count);
            } else if (const auto data = DataAt(*firmware_, position, count)) {
                bytes.emplace(data->begin(), data->end());
            } else {
                bytes.reset();
            }
        });
    };
    std::optional<std::vector<std::uint8_t>> header, image;
    if (ResultCode read = dataAt(layout::kHeaderSize, header)) return read;
    if (!header) return kOutOfRange;
    const std::uint32_t claimed = ClaimedSize(*header, match.order);
    if (ResultCode read = dataAt(claimed, image)) return read;
    if (image && IsWholeImage(*image)) imageSize = claimed;
    return kSuccess;
}

}  // namespace lexicorn
