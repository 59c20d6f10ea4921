#pragma once

#include <cstdint>
#include <string>

#include "base/Bytes.h"
#include "merge/BinFileMerger.h"

namespace lexicorn {

/// The merger of Lexicorn images: accepts an image file by its signature, scans a target for an image
/// already embedded in it, and merges the image into the target, making the old image obsolete in
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
    /// Chooses the target and looks for the first whole signature in it, of either byte order, at any
    /// byte offset: 0, or
    /// the code of the failed open or read (kOutOfRange when the signature stands less than a
    /// header's length before the end).
    ResultCode ScanTarget(const std::string& path);
    /// kOutOfRange for a mode other than overwrite or append; else as SetParameters.
    ResultCode SetMergeParameters(MergeMode mode, MergePlacement placement, std::uint8_t alignment,
                                  std::uint32_t address);
    /// kMergeNotReady before an image was accepted and a target chosen; else as Merge. The inputs are
    /// checked and the target scanned again as they are when merged, since either may have been
    /// rebuilt since it was chosen: only the old image found then is made obsolete, and what the
    /// scan found is what TargetHasLexicorn and the rest tell afterwards.
    ResultCode MergeLexicorn();

    bool IsReady() const { return sourceValid_ && targetChosen_; }
    bool TargetHasLexicorn() const { return targetHasLexicorn_; }
    std::uint32_t OldLexicornPosition() const { return oldLexicornPosition_; }
    std::uint32_t OldLexicornSize() const { return oldLexicornSize_; }

  protected:
    ResultCode CheckSource() override;
    ResultCode CheckTarget() override;

  private:
    ResultCode CheckOpenSource();
    ResultCode ScanOpenTarget();
    /// Records the old image whose signature stands at `position` of the target.
    ResultCode FoundOldImage(std::uint32_t position, ByteOrder order);

    bool sourceValid_ = false;
    bool targetChosen_ = false;
    bool targetHasLexicorn_ = false;
    std::uint32_t oldLexicornPosition_ = 0;
    std::uint32_t oldLexicornSize_ = 0;
    std::string imageProblem_;
};

}  // namespace lexicorn
