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
};

/// Opens the image and the target once each, checks the image while the target is read, scans the
/// target for old images, lays the output out and writes it: appended before or after the whole
/// target, or written over target bytes at its beginning, its end or an address, aligned, with the
/// fill byte in every gap, every old image's signature cleared. The inputs are only read; the output
/// is written whole or not at all. `proceed`, when given, is asked once the image has passed its
/// check and before any other failure is reported or anything is written: a front end's questions
/// come after what is wrong with the image and before what is wrong with the target or the output.
MergeResult Merge(const MergeJob& job, const std::function<bool()>& proceed = {});

}  // namespace lexicorn
