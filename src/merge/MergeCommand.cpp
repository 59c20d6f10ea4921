#include "merge/MergeCommand.h"

#include <fmt/format.h>

#include <algorithm>
#include <vector>

#include "merge/FirmwareForms.h"
#include "merge/MergeLayout.h"

namespace lexicorn {

std::string merge_messages::CannotStartMerge(ResultCode code) {
    std::string text = "Can not start merge operation." + HexCode(code);
    switch (code) {
        case kOutputIsInput:
            return text +
                   "\r\rThe output file is the Lexicorn file or the target file. Please select another "
                   "output file.";
        case kAddressOverflow:
            return text + "\r\rAt this address the Lexicorn would end beyond 4 GB.";
        case kFileTooLarge:
            return text + "\r\rFiles of 4 GB or more cannot be merged.";
        case kOutOfRange:
            return text + "\r\rThe target ends inside the header of the Lexicorn it holds.";
        case kBelowAddressZero:
            return text +
                   "\r\rPlaced before the target's lowest address, the Lexicorn would start below address 0.";
        default:
            return text;
    }
}

std::string merge_messages::PlacedAt(std::uint32_t address, std::uint32_t size) {
    return fmt::format("Placed at 0x{:08X}, {} bytes.", address, size);
}

std::string merge_messages::MadeObsolete(const OldImage& image) {
    return fmt::format(
        "A Lexicorn at 0x{:08X}: size 0x{:08X}, made obsolete: firmware that read it with "
        "lxn_attach_embedded "
        "(the copy compiled in from Lexicorn.c) finds the new one with lxn_find.",
        image.position, image.size);
}

std::string merge_messages::AlsoALexicorn(const OldImage& image) {
    return fmt::format("Also a Lexicorn at 0x{:08X}: size 0x{:08X}, made obsolete as well.", image.position,
                       image.size);
}

std::string merge_messages::NoLexicornBehind(std::uint32_t position) {
    return fmt::format("A signature at 0x{:08X} has no valid Lexicorn behind it: left as it is.", position);
}

std::string merge_messages::MoreWithNoLexicornBehind(std::uint64_t count) {
    return fmt::format("{} more signatures have no valid Lexicorn behind them: left as they are.", count);
}

std::string merge_messages::InvalidImage(const std::string& problem) {
    return problem.empty() ? kInvalidImage : std::string(kInvalidImage) + "\r\r" + problem;
}

bool merge_messages::IsInvalidImage(ResultCode code) { return code == kNotALexicorn || code == kOutOfRange; }

std::string merge_messages::FileProblem(const std::string& path, ResultCode code) {
    switch (code) {
        case kFileTooLarge:
            return path + ": files of 4 GB or more cannot be merged";
        case kOutOfRange:
            return path + ": the file ends inside the header of the Lexicorn it holds";
        default:
            return fmt::format("{}: the file cannot be read (error {})", path, HexCode(code));
    }
}

std::string merge_messages::EmptyTarget(const std::string& path) { return path + ": the target is empty"; }

std::string merge_messages::EmptiedByStandardOutput(const std::string& path) {
    return path +
           ": the target is empty, and standard output goes to it: a shell's > empties the file before "
           "the merge begins";
}

std::string merge_messages::StandardOutputIsTarget(const std::string& path) {
    return path + ": standard output goes to the target";
}

std::string merge_messages::StandardOutputIsImage(const std::string& path) {
    return path + ": standard output goes to the Lexicorn file";
}

namespace {

// One sentence in both front ends' words: after the target's name on the command line, as the
// question's first sentence in the window, followed by why it matters.
MergeRisk Risk(const std::string& target, const std::string& fact, std::string_view why) {
    std::string question = fact;
    question[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(question[0])));
    return {target + ": " + fact, fmt::format("{}.\r{} Are you sure you want to continue?", question, why)};
}

// A count of bytes as a sentence says it.
std::string Bytes(std::uint64_t count) { return fmt::format("{} byte{}", count, count == 1 ? "" : "s"); }

}  // namespace

MergeRisk AddressOutsideData(const std::string& target, const MergePlan& plan) {
    const AddressSpan span = plan.data;
    const std::string data = span.high == 0 ? std::string("it holds none")
                                            : fmt::format("{:08X} to {:08X}", span.low, span.high - 1);
    const std::string fact =
        fmt::format("the address {:08X} lies outside the target's data ({})", plan.imageAddress, data);
    if (plan.absolute)
        return Risk(target, fact,
                    "Addresses of HEX and S-record targets are absolute, not offsets in the file.");
    return Risk(
        target,
        fact + fmt::format(": the output grows from {} to {}", Bytes(span.high), Bytes(plan.outputSize)),
        "Addresses of binary targets are offsets in the file: the gap is filled with the fill byte.");
}

MergeRisk OverwritesData(const std::string& target, const OverwrittenData& overwritten) {
    return Risk(target,
                fmt::format("the Lexicorn overwrites {} of the target's data at 0x{:08X}-0x{:08X}",
                            Bytes(overwritten.count), overwritten.first, overwritten.last),
                overwritten.count == 1
                    ? "It is neither blank (00, FF or the fill byte) nor part of an old Lexicorn."
                    : "They are neither blank (00, FF or the fill byte) nor part of an old "
                      "Lexicorn.");
}

std::optional<std::uint32_t> ParseHexAddress(std::string_view text) {
    std::uint64_t value = 0;
    if (text.empty()) return std::nullopt;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value << 4 | static_cast<std::uint64_t>(digit);
        // Leading zeros are harmless; a ninth significant digit is not dropped but refused.
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

TargetInfo DescribeTarget(const TargetScan& target) {
    const OldImage first = target.findings.FirstImage();
    const TargetFindings& found = target.findings;
    std::vector<std::string> notes;
    for (std::size_t i = 1; i < found.images.size(); ++i)
        notes.push_back(merge_messages::AlsoALexicorn(found.images[i]));
    for (std::uint32_t signature : found.bareSignatures)
        notes.push_back(merge_messages::NoLexicornBehind(signature));
    if (found.bareSignatureCount > found.bareSignatures.size())
        notes.push_back(
            merge_messages::MoreWithNoLexicornBehind(found.bareSignatureCount - found.bareSignatures.size()));
    std::string span;
    if (const auto& form = target.form) {
        const std::string_view name = FormOf(form->format).name;
        span = form->span.high == 0
                   ? fmt::format("{}, no data", name)
                   : fmt::format("{}, data from {:08X} to {:08X}", name, form->span.low, form->span.high - 1);
    }
    return {found.images.empty() ? merge_messages::kNoLexicornInTarget : merge_messages::kTargetHasLexicorn,
            fmt::format("{:08X}", first.size), fmt::format("{:08X}", first.position), std::move(notes), span};
}

std::optional<FirmwareFormat> OutputFormatOfName(std::string_view path) {
    if (const FirmwareForm* named = FormNamedBy(path)) return named->format;
    return std::nullopt;
}

OutputForm ChooseOutputForm(std::string_view path, std::optional<FirmwareFormat> chosen) {
    const std::optional<FirmwareFormat> named = OutputFormatOfName(path);
    if (!chosen) return {named, {}};
    if (named && *named != *chosen)
        return {std::nullopt,
                fmt::format("{}: the extension .{} means {}, but the output form chosen is {}", path,
                            ExtensionOf(path), FormOf(*named).name, FormOf(*chosen).name)};
    return {chosen, {}};
}

MergeRun RunMergeCommand(MergeHost& host, MergeRequest& request) {
    namespace text = merge_messages;
    MergeSettings& settings = request.job.settings;
    if (settings.placement == MergePlacement::kAddress) {
        settings.address = 0;
        if (!request.addressText.empty()) {
            std::string upper = request.addressText;
            for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            const std::optional<std::uint32_t> address = ParseHexAddress(upper);
            if (!address) {
                host.ShowInformation(text::kInvalidHex);
                return {MergeOutcome::kInvalidAddress, {}};
            }
            settings.address = *address;
        }
    }
    // Asked once the inputs have passed their checks: a user is not asked about a merge that fails anyway.
    const std::string& target = request.job.target;
    const auto confirm = [&](const MergePlan& plan) {
        if (settings.placement == MergePlacement::kAddress) {
            // A search step of 0 (only a damaged project file holds one) means no alignment to keep.
            if (settings.searchStep != 0 && settings.address % settings.searchStep != 0 &&
                !host.Ask(text::kAddressNotAligned))
                return false;
            if (!plan.data.Holds(plan.imageAddress) && !host.Proceed(AddressOutsideData(target, plan)))
                return false;
        }
        return plan.overwritten.count == 0 || host.Proceed(OverwritesData(target, plan.overwritten));
    };
    MergeRun run{MergeOutcome::kDone, Merge(request.job, confirm)};
    if (run.merged.declined) {
        host.ShowInformation(text::kAborting);
        run.outcome = MergeOutcome::kAborted;
        return run;
    }
    if (run.merged.code == kSuccess) {
        host.ShowInformation(run.merged.message);
        return run;
    }
    host.ShowError(run.merged.message);
    run.outcome = run.merged.inputRefused   ? MergeOutcome::kInputRefused
                  : SettingsKnown(settings) ? MergeOutcome::kFailed
                                            : MergeOutcome::kRefused;
    return run;
}

}  // namespace lexicorn
