#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "merge/BinFileMerger.h"

namespace lexicorn {

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
};

/// The merger of Lexicorn images: accepts an image file by its signature, scans a target for images
/// already embedded in it, and merges the image into the target, making every old image obsolete in
/// the output by clearing its signature.
class LXNMerger final : public BinFileMerger {
  public:
    /// 0 when the file is a whole Lexicorn image (of either byte order, every size, offset and
    /// terminator right), else kNotALexicorn (with ImageProblem saying what is wrong when the signature
    /// stands) or the code of the failed open or read.
    ResultCode CheckLexicornFile(const std::string& path);
    /// What is wrong with an image refused for its contents; empty otherwise.
    const std::string& ImageProblem() const { return imageProblem_; }
    /// Chooses the target for the merge without scanning it (the merge scans it): 0, or the code
    /// of the failed open.
    ResultCode ChooseTarget(const std::string& path);
    /// Chooses the target and judges every signature in it, of either byte order, at any byte
    /// offset (see TargetFindings): 0, or the code of the failed open or read (kOutOfRange when a
    /// signature's header does not stand whole in the target, kNoStorage when an image to check
    /// does not fit in memory).
    ResultCode ScanTarget(const std::string& path);
    /// kOutOfRange for a mode other than overwrite or append; else as SetParameters.
    ResultCode SetMergeParameters(MergeMode mode, MergePlacement placement, std::uint8_t alignment,
                                  std::uint32_t address);
    /// kMergeNotReady before an image was accepted and a target chosen; else as Merge. The inputs are
    /// checked and the target scanned again as they are when merged, since either may have been
    /// rebuilt since it was chosen: only the old images found then are made obsolete, and what the
    /// scan found is what Findings and the rest tell afterwards.
    ResultCode MergeLexicorn();

    bool IsReady() const { return sourceValid_ && targetChosen_; }
    /// What the last scan found in the target.
    const TargetFindings& Findings() const { return findings_; }
    bool TargetHasLexicorn() const { return !findings_.images.empty(); }
    /// The first old image's position and size; 0 when there is none.
    std::uint32_t OldLexicornPosition() const { return FirstOldImage().position; }
    std::uint32_t OldLexicornSize() const { return FirstOldImage().size; }

  protected:
    ResultCode CheckSource() override;
    ResultCode CheckTarget() override;

  private:
    ResultCode CheckOpenSource();
    ResultCode ScanOpenTarget();
    /// Whether a whole image stands behind the signature `match` in a HEX or S-record target's data:
    /// `imageSize` is its size then. kOutOfRange when its header does not stand there whole.
    ResultCode JudgeInTargetData(const SignatureMatch& match, std::optional<std::uint32_t>& imageSize);
    OldImage FirstOldImage() const {
        return findings_.images.empty() ? OldImage{} : findings_.images.front();
    }

    bool sourceValid_ = false;
    bool targetChosen_ = false;
    TargetFindings findings_;
    std::string imageProblem_;
};

}  // namespace lexicorn
