#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "build/ResultCodes.h"
#include "merger/FileHandle.h"

namespace lexicorn {

class AtomicFile;

/// Where the parts of a merge output go. Every offset is within the output.
struct MergeLayout {
    std::uint32_t outputSize = 0;
    std::uint32_t targetOffset = 0;
    std::uint32_t imageOffset = 0;
};

/// Places one file (the source) into another (the target) and writes the result to a third: appended
/// before or after the whole target, or written over target bytes at its beginning, its end or an
/// address, aligned, with zero bytes in every gap. The inputs are only read; the output is written
/// whole or not at all.
class BinFileMerger {
  public:
    enum Mode : std::uint8_t { kOverwrite = 1, kAppend = 2 };
    enum Placement : std::uint8_t { kBeginning = 0, kAddress = 1, kEnd = 2 };

    virtual ~BinFileMerger() = default;

    /// Records the file and measures it (opened read-only): 0, kCannotOpenFile or kFileTooLarge.
    ResultCode SetSourceFile(const std::string& path);
    ResultCode SetTargetFile(const std::string& path);
    /// Records the output path; touches no file.
    ResultCode SetOutputFile(const std::string& path);
    /// Closes whatever file is open.
    void CloseAll();

    /// Stores mode, placement, alignment and (for placement kAddress) the address; kOutOfRange for
    /// a mode or placement of 3 or more.
    ResultCode SetParameters(std::uint8_t mode, std::uint8_t placement, std::uint8_t alignment,
                             std::uint32_t address);
    /// Writes the output: 0, kCannotOpenImage, kCannotOpenTarget, kFileTooLarge, kPlacementNotInMode,
    /// kAddressOverflow, or kCannotCreateOutput when the output cannot be written whole.
    ResultCode Merge();

    /// Rounds up or down to the alignment (no change with alignment 0).
    std::uint32_t AlignUp(std::uint32_t n) const;
    std::uint32_t AlignDown(std::uint32_t n) const;
    /// Where the target and the source go for the stored parameters and the given sizes.
    ResultCode Layout(std::uint32_t targetSize, std::uint32_t sourceSize, MergeLayout& layout) const;

    std::uint8_t MergeMode() const { return mergeMode_; }
    std::uint8_t MergePlacement() const { return mergePlacement_; }
    std::uint32_t MergeAddress() const { return mergeAddress_; }

  protected:
    /// The 8 bytes at this target offset read as zero in the output (an old image's signature).
    void ClearInOutput(std::optional<std::uint32_t> targetOffset) { clearedSignature_ = targetOffset; }

    FileHandle sourceFile_;
    FileHandle targetFile_;
    FileHandle outputFile_;
    std::uint32_t sourceSize_ = 0;
    std::uint32_t targetSize_ = 0;

  private:
    ResultCode Assemble();
    void WriteOutput(const MergeLayout& layout, AtomicFile& output) const;

    std::uint8_t mergeMode_ = 0;
    std::uint8_t mergePlacement_ = 0;
    std::uint32_t mergeAddress_ = 0;
    std::uint8_t mergeAlignment_ = 0;
    std::optional<std::uint32_t> clearedSignature_;
};

}  // namespace lexicorn
