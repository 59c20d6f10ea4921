#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "merge/Merge.h"
#include "merge/MergeSettings.h"

// The Merge command's questions and texts, shared by the merger page and the command line so that
// the two can never disagree.
namespace lexicorn {

namespace merge_messages {
inline constexpr const char* kSelectOutput = "Error: Please select output file.";
inline constexpr const char* kSelectTarget = "Please select target file.";
inline constexpr const char* kSelectImage = "Please select Lexicorn file.";
inline constexpr const char* kInvalidHex = "Invalid Hex value!";
inline constexpr const char* kAddressNotAligned =
    "The adress you specified isn't multiple of the alignment. Are you sure you want to continue?";
inline constexpr const char* kAborting = "Aborting merge process.";
inline constexpr const char* kCannotSetParameters = "Can not set merge parameters.";
inline constexpr const char* kDone = "Merge operation done successfully.";
inline constexpr const char* kInvalidImage = "Invalid Lexicorn file.";
inline constexpr const char* kTargetHasLexicorn =
    "Target already has a Lexicorn. New Lexicorn will make this old Lexicorn obsolete.";
inline constexpr const char* kNoLexicornInTarget = "No Lexicorn found in the target software.";
/// Where a merge placed the image and its size: "Placed at 0x00030000, 417 bytes."
std::string PlacedAt(std::uint32_t address, std::uint32_t size);
/// The first old image, which a merge makes obsolete; firmware that attached the copy compiled in from
/// Lexicorn.c finds none now.
std::string MadeObsolete(const OldImage& image);
/// An old image beyond the first, which a merge makes obsolete as well.
std::string AlsoALexicorn(const OldImage& image);
/// A signature with no image behind it, which a merge leaves as it is.
std::string NoLexicornBehind(std::uint32_t position);
/// The signatures with no image behind them that are not listed one by one.
std::string MoreWithNoLexicornBehind(std::uint64_t count);
/// "Can not start merge operation." with the code, and a sentence for the codes a user can act on.
std::string CannotStartMerge(ResultCode code);
/// "Invalid Lexicorn file.", then what is wrong with it when that is known.
std::string InvalidImage(const std::string& problem);
/// Whether the merger's check of an image refused what the file holds (rather than the file).
bool IsInvalidImage(ResultCode code);
/// What went wrong with an input file of the merger, naming it, for a result code of its open or
/// read: the same words in every front end.
std::string FileProblem(const std::string& path, ResultCode code);
/// A target of no bytes, and one that standard output goes to and a shell's `>` emptied.
std::string EmptyTarget(const std::string& path);
std::string EmptiedByStandardOutput(const std::string& path);
/// Standard output goes to an input of a merge whose output is written there.
std::string StandardOutputIsTarget(const std::string& path);
std::string StandardOutputIsImage(const std::string& path);
}  // namespace merge_messages

/// Something a merge is about to do that the user may not mean, said in one sentence that both front
/// ends use: the window asks (No preset), the command line warns and goes on.
struct MergeRisk {
    std::string warning;   ///< "<target>: <what happens>", as the command line prints it
    std::string question;  ///< what happens, why it matters and whether to go on, as the window asks
};
/// The address of the address placement lies outside the target's data: in HEX and S-records no data
/// is overwritten at all, a binary grows to reach it.
MergeRisk AddressOutsideData(const std::string& target, const MergePlan& plan);
/// The image overwrites bytes of the target that hold something.
MergeRisk OverwritesData(const std::string& target, const OverwrittenData& overwritten);

/// A hexadecimal address as typed (digits 0-9 and A-F, upper case): none for any other character,
/// for an empty text and for a value that needs more than 8 digits.
std::optional<std::uint32_t> ParseHexAddress(std::string_view text);

/// What the merger page and the scan command show of a scanned target.
struct TargetInfo {
    std::string text;      ///< whether the target holds a Lexicorn
    std::string size;      ///< the first old image's size, 8 upper-case hexadecimal digits
    std::string position;  ///< its position (address) in the target, likewise
    /// A sentence for each further old image and each signature with no image behind it.
    std::vector<std::string> notes;
    std::string span;  ///< for Intel HEX and S-records: the form and the span of the data
};
TargetInfo DescribeTarget(const TargetScan& target);

/// The output form that a file name asks for by its extension (.bin; .hex, .ihx, .ihex; .s19, .s28,
/// .s37, .srec, .mot, .sx, any case); none for another name, which keeps the target's form.
std::optional<FirmwareFormat> OutputFormatOfName(std::string_view path);

/// The form an output is written in, by the one rule of every front end.
struct OutputForm {
    std::optional<FirmwareFormat> format;  ///< none: the target's own form
    std::string refusal;                   ///< why the output's name does not fit the form; empty if it does
};
/// The form `chosen` when there is one, else the one the output's extension asks for, else the
/// target's. A name whose extension asks for another form than the one chosen is refused: a file
/// named .bin that holds S-records misleads every tool that opens it.
OutputForm ChooseOutputForm(std::string_view path, std::optional<FirmwareFormat> chosen);

/// The side of a Merge command that the front end provides.
class MergeHost {
  public:
    virtual ~MergeHost() = default;
    virtual void ShowError(const std::string& text) = 0;
    virtual void ShowInformation(const std::string& text) = 0;
    /// A Yes/No question; true for Yes.
    virtual bool Ask(const std::string& question) = 0;
    /// What a merge is about to do that the user may not mean: true to go on. The window asks, the
    /// command line warns and goes on.
    virtual bool Proceed(const MergeRisk& risk) = 0;
};

/// A Merge command as the user gave it: the job, with the address still as typed.
struct MergeRequest {
    MergeJob job;
    std::string addressText;  ///< for the address placement; empty means 0
};

enum class MergeOutcome {
    kRefused,         ///< the parameters were refused
    kInvalidAddress,  ///< the address text is not a hexadecimal address
    kAborted,         ///< the user said No to a question
    kInputRefused,    ///< an input cannot be opened or read, or the image is not a Lexicorn
    kFailed,          ///< the merge itself failed
    kDone,
};

/// What a Merge command did, and the merge's own result once it ran.
struct MergeRun {
    MergeOutcome outcome = MergeOutcome::kRefused;
    MergeResult merged;
};

/// Reads the typed address into the job's settings (for the address placement), asks when it is not
/// a multiple of the alignment, hands the host the risks of what the merge is about to do (an address
/// outside the target's data, data that the image overwrites), merges, and shows the outcome's one
/// message.
MergeRun RunMergeCommand(MergeHost& host, MergeRequest& request);

}  // namespace lexicorn
