#pragma once

#include <functional>
#include <optional>
#include <string>

#include "base/ResultCodes.h"
#include "merge/Firmware.h"
#include "merge/MergeSettings.h"
#include "merge/TargetScan.h"

namespace lexicorn {

/// One merge: the files and what to do with them.
struct MergeJob {
    std::string image;   ///< the Lexicorn image to place
    std::string target;  ///< the target software: binary, Intel HEX or S-records
    std::string output;  ///< the file to write, whole or not at all
    /// Mode, placement, the address (for the address placement only), the alignment and the fill byte.
    MergeSettings settings;
    std::optional<FirmwareFormat> outputFormat;  ///< none: the target's own form
    /// The output is passed on to standard output once written: standard output must not be an input.
    bool toStandardOutput = false;
};

/// The target's bytes that an image overwrites and that hold something: neither blank (0x00, 0xFF
/// or the fill byte) nor part of an old image, which the merge replaces anyway.
struct OverwrittenData {
    std::uint64_t count = 0;  ///< how many of them
    std::uint32_t first = 0;  ///< the offset (address) of the first of them
    std::uint32_t last = 0;   ///< and of the last: the range holds blank bytes between them too
};

/// What a merge is about to do, told before anything is written, and where the image went once done.
struct MergePlan {
    /// Where the image starts: an offset in a binary output, an address in HEX and S-records.
    std::uint32_t imageAddress = 0;
    std::uint32_t imageSize = 0;
    /// Whether the target is HEX or S-records, whose addresses are absolute.
    bool absolute = false;
    /// Where the target's data lies: from 0 to its size for a binary, from its lowest address to one
    /// past its highest for HEX and S-records ({0, 0} when it holds none).
    AddressSpan data;
    /// The size of a binary output: beyond the target's when the image starts or ends past its end.
    std::uint64_t outputSize = 0;
    OverwrittenData overwritten;
};

/// How a merge ended.
struct MergeResult {
    /// 0, or kOutOfRange (a mode or placement it does not know), kCannotOpenImage, kCannotOpenTarget,
    /// kFileTooLarge, kOutputIsInput (the output is one of the opened inputs, whatever its name),
    /// kNotALexicorn, a code of the target's reading or scan, kPlacementNotInMode, kAddressOverflow,
    /// kBelowAddressZero, or kCannotCreateOutput.
    ResultCode code = kSuccess;
    /// The one text a user is shown: the success with what else the target held, or what went wrong,
    /// naming the file and the reason.
    std::string message;
    /// Whether an input was refused as it was opened and checked, before the merge began: it cannot
    /// be opened or read, or the image is not a Lexicorn. The message then names the file.
    bool inputRefused = false;
    /// What the merge read of the target, once it got so far: the old images it made obsolete.
    std::optional<TargetScan> target;
    /// The front end's questions were answered No: nothing was written (`code` 0, no message).
    bool declined = false;
    /// What the merge did, once it was laid out.
    std::optional<MergePlan> plan{};
};

/// The front end's say before a merge writes anything, given what the merge is about to do: true
/// to go on.
using MergeProceed = std::function<bool(const MergePlan&)>;

/// Opens the image and the target once each, checks the image while the target is read, scans the
/// target for old images, lays the output out and writes it: appended before or after the whole
/// target, or written over target bytes at its beginning, its end or an address, aligned, with the
/// fill byte in every gap, every old image's signature cleared. The inputs are only read; the output
/// is written whole or not at all. An empty target is refused, and so is an image or a target that
/// standard output writes to when the output goes there. `proceed`, when given, is asked once the
/// inputs have been read and the image laid out, before anything is written: a front end's questions
/// come after what is wrong with the inputs and the placement. Only a binary target's scan, which runs
/// beside the writing, may still fail afterwards (it is waited for first when the image overwrites
/// data, so that the plan leaves old images out).
MergeResult Merge(const MergeJob& job, const MergeProceed& proceed = {});

}  // namespace lexicorn
