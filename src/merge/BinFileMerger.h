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
#include "merge/MergeSettings.h"

namespace lexicorn {

class AtomicFile;
class FirmwareScan;

/// Where the parts of a merge output go. Every offset is within the output.
struct MergeLayout {
    std::uint32_t outputSize = 0;
    std::uint32_t targetOffset = 0;
    std::uint32_t imageOffset = 0;
};

/// Whether `placement` is available in `mode`: appending goes before or after the whole target,
/// so an explicit address needs overwriting.
bool PlacementAllowed(MergeMode mode, MergePlacement placement);

/// Places one file (the source) into another (the target) and writes the result to a third: appended
/// before or after the whole target, or written over target bytes at its beginning, its end or an
/// address, aligned, with the fill byte (0 unless set) in every gap. The inputs are only read; the output is
/// written whole or not at all.
class BinFileMerger {
  public:
    BinFileMerger();
    virtual ~BinFileMerger();

    /// Records the file and measures it (opened read-only): 0, kCannotOpenFile or kFileTooLarge.
    ResultCode SetSourceFile(const std::string& path);
    /// As SetSourceFile; what was read of the target before (its problem, its warnings) is forgotten.
    ResultCode SetTargetFile(const std::string& path);
    /// Records the output path; touches no file.
    ResultCode SetOutputFile(const std::string& path);

    /// Stores mode, placement, alignment and (for the address placement) the address; kOutOfRange
    /// for a mode or placement of 3 or more.
    ResultCode SetParameters(MergeMode mode, MergePlacement placement, std::uint8_t alignment,
                             std::uint32_t address);
    /// The byte written into gaps: 0, or 0xFF as erased flash holds.
    void SetFillByte(std::uint8_t fill) { fillByte_ = fill; }
    /// The form of the output; none for the target's own.
    void SetOutputFormat(std::optional<FirmwareFormat> format) { outputFormat_ = format; }
    /// Writes the output: 0, kCannotOpenImage, kCannotOpenTarget, kOutputIsInput (the output is one
    /// of the opened inputs, whatever its name), kFileTooLarge, kPlacementNotInMode, kAddressOverflow,
    /// a code of CheckSource or CheckTarget, or kCannotCreateOutput when the output cannot be written whole.
    ResultCode Merge();

    /// Where the target and the source go for the stored parameters and the given sizes.
    ResultCode Layout(std::uint32_t targetSize, std::uint32_t sourceSize, MergeLayout& layout) const;
    /// Where the source goes in an address space whose data spans `span`: kSuccess,
    /// kPlacementNotInMode, kBelowAddressZero, or kAddressOverflow when it would not end at address
    /// FFFFFFFF or below.
    ResultCode PlaceInSpan(AddressSpan span, std::uint32_t sourceSize, std::uint32_t& address) const;

    /// After a merge that failed on its output: the file and the system's reason; else empty.
    const std::string& FailedFile() const { return failedFile_; }
    /// After kDamagedTarget: the file, the line and what is wrong with it; after kNoStorage when the
    /// target's data did not fit in memory: the file and so; else empty.
    const std::string& TargetProblem() const { return targetProblem_; }
    /// What reading an Intel HEX or S-record target let pass but a person should know, as read last:
    /// "<file>: line <n>: <what>" each.
    const std::vector<std::string>& TargetWarnings() const { return targetWarnings_; }
    /// What a target in Intel HEX or S-records holds, as read last; none for a binary.
    struct TargetForm {
        FirmwareFormat format;
        AddressSpan span;  ///< {0, 0} when it holds no data
    };
    const std::optional<TargetForm>& TargetFormRead() const { return targetForm_; }

    std::uint32_t MergeAddress() const { return mergeAddress_; }

  protected:
    /// Looks at the source, open for the merge, before anything is written; 0 lets the merge go on.
    virtual ResultCode CheckSource() { return kSuccess; }
    /// Looks at the target, open for the merge (and read by ReadOpenTarget); 0 lets the merge go on.
    /// For a binary target it runs in a thread of its own while the output is written: it may read
    /// the target and call ClearInOutput, and touch nothing else of the merger.
    virtual ResultCode CheckTarget() { return kSuccess; }
    /// The 8 bytes at each of these target offsets (addresses in an address space) read as zero in
    /// the output (the signatures of old images).
    void ClearInOutput(std::vector<std::uint32_t> targetOffsets) {
        clearedSignatures_ = std::move(targetOffsets);
    }
    /// What a target in Intel HEX or S-records is read for: a scan, which never holds its data, or a
    /// merge, which does.
    enum class TargetReading { kScan, kMerge };
    /// Reads the open target as an address space when its content is Intel HEX or S-records: 0, the
    /// code of a failed read, kDamagedTarget or kNoStorage (its data does not fit in memory) with
    /// TargetProblem saying why.
    ResultCode ReadOpenTarget(TargetReading reading);
    /// Whether ReadOpenTarget found Intel HEX or S-records; the target must stay open while the two
    /// below are asked after a scan.
    bool TargetIsFirmware() const { return targetFirmware_ || targetScan_; }
    /// In such a target: the first whole signature at or after address `from`, in address order,
    /// across records and never across a gap. 0, or the codes of ReadOpenTarget.
    ResultCode FindInTargetData(std::uint64_t from, std::optional<SignatureMatch>& match);
    /// In such a target: `count` bytes of data from `address`, none when they do not all stand there
    /// without a gap. 0, or the codes of ReadOpenTarget.
    ResultCode TargetDataAt(std::uint32_t address, std::size_t count,
                            std::optional<std::vector<std::uint8_t>>& bytes);

    FileHandle sourceFile_;
    FileHandle targetFile_;
    FileHandle outputFile_;

  private:
    ResultCode Assemble();
    /// The open target as text for the firmware readers.
    TextSource TargetText() const;
    /// Runs `read`, a reading of the target, and turns what it throws into a result code with
    /// TargetProblem saying why.
    template <typename Read>
    ResultCode ReadingTarget(const Read& read);
    /// The output made in memory, for targets that are address spaces and outputs of another form.
    ResultCode AssembleInMemory(const MergeLayout* layout);
    void CloseAll();
    std::uint32_t AlignDown(std::uint32_t n) const;
    void WriteOutput(const MergeLayout& layout, AtomicFile& output) const;
    /// Zeroes the old images' signatures in a written output, where the new image does not cover them.
    void ClearOldSignatures(const MergeLayout& layout, AtomicFile& output) const;

    MergeMode mergeMode_ = MergeMode::kNone;
    MergePlacement mergePlacement_ = MergePlacement::kBeginning;
    std::uint32_t mergeAddress_ = 0;
    std::uint8_t mergeAlignment_ = 0;
    std::uint8_t fillByte_ = 0;
    std::optional<FirmwareFormat> outputFormat_;
    std::optional<FirmwareFile> targetFirmware_;
    std::unique_ptr<FirmwareScan> targetScan_;
    std::optional<TargetForm> targetForm_;
    std::string targetProblem_;
    std::vector<std::string> targetWarnings_;
    std::uint32_t sourceSize_ = 0;
    std::uint32_t targetSize_ = 0;
    std::vector<std::uint32_t> clearedSignatures_;
    std::string failedFile_;
};

}  // namespace lexicorn
