#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/ResultCodes.h"
#include "merge/AddressSpace.h"
#include "merge/FileHandle.h"
#include "merge/Firmware.h"
#include "merge/SignatureFinder.h"

namespace lexicorn {

class FirmwareScan;

/// An image embedded in a target.
struct OldImage {
    std::uint32_t position = 0;  ///< offset (address in an address space) of its signature
    std::uint32_t size = 0;      ///< its header's image size
    bool operator==(const OldImage&) const = default;
};

/// What stands behind the signatures in a target. An old image is a signature followed by a whole
/// image, as the image check judges it; every old image is made obsolete by a merge. A signature
/// with no image behind it (a constant that happens to hold the two words, a damaged image) is
/// left as it is. Images never overlap: what stands inside an image is its own data, so the search
/// goes on after its last byte.
struct TargetFindings {
    /// Signatures with no image behind them are listed up to this many, and counted all: a target
    /// made of signatures must not make the list as large as the target.
    static constexpr std::size_t kListedBareSignatures = 16;

    std::vector<OldImage> images;               ///< in the order of the target
    std::vector<std::uint32_t> bareSignatures;  ///< the first kListedBareSignatures, in order
    std::uint64_t bareSignatureCount = 0;

    /// Records what stands behind the signature at `position`: an image of `imageSize` bytes, or
    /// none. Gives where the search goes on: after the image, else after the signature's first byte.
    std::uint64_t Record(std::uint32_t position, std::optional<std::uint32_t> imageSize);
    /// Adds the findings of a later stretch of the target.
    void Append(const TargetFindings& later);
    /// The first old image; a position and size of 0 when there is none.
    OldImage FirstImage() const { return images.empty() ? OldImage{} : images.front(); }
};

/// What a target in Intel HEX or S-records holds.
struct TargetForm {
    FirmwareFormat format;
    AddressSpan span;  ///< {0, 0} when it holds no data
};

/// What reading a target found.
struct TargetScan {
    /// 0, the code of the failed open or read (kOutOfRange when a signature's header does not stand
    /// whole in the target), kDamagedTarget, or kNoStorage when its data or an image to check does not
    /// fit in memory.
    ResultCode code = kSuccess;
    bool opened = false;  ///< false when the file could not be opened
    /// After kDamagedTarget: the file, the line and what is wrong with it; after kNoStorage when the
    /// target's data did not fit in memory: the file and so; else empty.
    std::string problem;
    /// What reading Intel HEX or S-records let pass but a person should know: "<file>: line <n>: <what>".
    std::vector<std::string> warnings;
    std::optional<TargetForm> form;  ///< none for a binary
    TargetFindings findings;
};

/// Judges every signature in the target at `path`, of either byte order, at any byte offset (see
/// TargetFindings). The file is only read.
TargetScan ScanTarget(const std::string& path);

/// What the check of an image file found.
struct ImageCheck {
    /// 0 when the file is a whole Lexicorn image (of either byte order, every size, offset and
    /// terminator right); else kNotALexicorn, kOutOfRange for a file shorter than a signature, or the
    /// code of the failed open or read.
    ResultCode code = kSuccess;
    std::string problem;  ///< what is wrong with an image refused for its contents, when its signature stands
};
ImageCheck CheckImageFile(const std::string& path);
/// The same for an image open in `file`.
ImageCheck CheckOpenImage(FileHandle& file);

/// A target open for reading, as the scan and the merge read it: a binary in place, Intel HEX and
/// S-records as an address space.
class OpenTarget {
  public:
    OpenTarget();
    ~OpenTarget();
    OpenTarget(const OpenTarget&) = delete;
    OpenTarget& operator=(const OpenTarget&) = delete;

    /// Opens the file: 0, or the code of the failed open.
    ResultCode Open(const std::string& path);
    FileHandle& File() { return file_; }
    const FileHandle& File() const { return file_; }

    /// What a target in Intel HEX or S-records is read for: a scan, which never holds its data, or a
    /// merge, which holds it with `room` bytes beside each segment.
    enum class Reading { kScan, kMerge };
    /// Reads the target's form, and its data as an address space when it is Intel HEX or S-records:
    /// 0, the code of a failed read, kDamagedTarget or kNoStorage with the report's problem saying why.
    ResultCode Read(Reading reading, std::size_t room = 0);
    /// Judges every signature in the target, read before, into the report's findings: 0, the code of
    /// a failed read, kOutOfRange when a signature's header does not stand whole in the target, or
    /// kNoStorage when an image to check does not fit in memory.
    ResultCode Scan();

    /// The data of an Intel HEX or S-record target read for a merge; none for a binary.
    std::optional<FirmwareFile>& Firmware() { return firmware_; }
    TargetScan& Report() { return report_; }

  private:
    TextSource Text() const;
    /// Runs `read`, a reading of the target, and turns what it throws into a result code with the
    /// report's problem saying why.
    template <typename Step>
    ResultCode Guarded(const Step& read);
    bool IsFirmware() const { return firmware_ || scan_; }
    ResultCode ScanData();
    ResultCode JudgeInData(const SignatureMatch& match, std::optional<std::uint32_t>& imageSize);

    FileHandle file_;
    std::optional<FirmwareFile> firmware_;
    std::unique_ptr<FirmwareScan> scan_;
    TargetScan report_;
};

}  // namespace lexicorn
