#include "merge/MergeCommand.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <vector>

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

std::string merge_messages::InvalidImage(const std::string& problem) {
    return problem.empty() ? kInvalidImage : std::string(kInvalidImage) + "\r\r" + problem;
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

TargetInfo DescribeTarget(const LXNMerger& merger) {
    const std::uint32_t size = merger.TargetHasLexicorn() ? merger.OldLexicornSize() : 0;
    const std::uint32_t position = merger.TargetHasLexicorn() ? merger.OldLexicornPosition() : 0;
    std::string span;
    if (const auto& target = merger.TargetFormRead()) {
        const char* form = target->format == FirmwareFormat::kIntelHex ? "Intel HEX" : "S-records";
        span = target->span.high == 0 ? fmt::format("{}, no data", form)
                                      : fmt::format("{}, data from {:08X} to {:08X}", form, target->span.low,
                                                    target->span.high - 1);
    }
    return {size != 0 ? merge_messages::kTargetHasLexicorn : merge_messages::kNoLexicornInTarget,
            fmt::format("{:08X}", size), fmt::format("{:08X}", position), span};
}

namespace {

// The extensions of each form, in the one place that the choosers and the output's name take them from.
struct FormNames {
    FirmwareFormat format;
    const char* name;
    std::vector<std::string_view> extensions;
};
const std::vector<FormNames> kFormNames = {
    {FirmwareFormat::kBinary, "Binary", {"bin"}},
    {FirmwareFormat::kIntelHex, "Intel HEX", {"hex", "ihx"}},
    {FirmwareFormat::kSRecord, "S-records", {"s19", "s28", "s37", "srec", "mot"}},
};

std::string Patterns(const std::vector<std::string_view>& extensions) {
    std::string patterns;
    for (std::string_view extension : extensions)
        patterns += fmt::format("{}*.{}", patterns.empty() ? "" : " ", extension);
    return patterns;
}

std::string EachForm() {
    std::string filter;
    for (const FormNames& form : kFormNames)
        filter += fmt::format("{} ({});;", form.name, Patterns(form.extensions));
    return filter + "All Files (*)";
}

}  // namespace

std::optional<FirmwareFormat> OutputFormatOfName(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return std::nullopt;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const FormNames& form : kFormNames)
        if (std::find(form.extensions.begin(), form.extensions.end(), extension) != form.extensions.end())
            return form.format;
    return std::nullopt;
}

std::string TargetFileFilter() {
    std::vector<std::string_view> every;
    for (const FormNames& form : kFormNames)
        every.insert(every.end(), form.extensions.begin(), form.extensions.end());
    return fmt::format("Firmware ({});;{}", Patterns(every), EachForm());
}

std::string OutputFileFilter() { return EachForm(); }

MergeOutcome RunMergeCommand(MergeHost& host, LXNMerger& merger, ProjectSettings& settings,
                             const MergeRequest& request) {
    namespace text = merge_messages;
    if (!request.outputChosen) {
        host.ShowError(text::kSelectOutput);
        return MergeOutcome::kRefused;
    }
    if (!request.targetChosen) {
        host.ShowError(text::kSelectTarget);
        return MergeOutcome::kRefused;
    }
    if (!request.imageChosen) {
        host.ShowError(text::kSelectImage);
        return MergeOutcome::kRefused;
    }
    settings.mergeMode = request.mode;
    settings.mergePlacement = request.placement;
    if (request.placement == MergePlacement::kAddress) {
        settings.mergeAddress = 0;
        if (!request.addressText.empty()) {
            std::string upper = request.addressText;
            for (char& c : upper) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            const std::optional<std::uint32_t> address = ParseHexAddress(upper);
            if (!address) {
                host.ShowInformation(text::kInvalidHex);
                return MergeOutcome::kInvalidAddress;
            }
            settings.mergeAddress = *address;
            // A search step of 0 (only a damaged project file holds one) means no alignment to keep.
            if (settings.searchStep != 0 && settings.mergeAddress % settings.searchStep != 0 &&
                !host.Ask(text::kAddressNotAligned)) {
                host.ShowInformation(text::kAborting);
                return MergeOutcome::kAborted;
            }
        }
    }
    if (merger.SetMergeParameters(settings.mergeMode, settings.mergePlacement, settings.searchStep,
                                  settings.mergeAddress)) {
        host.ShowError(text::kCannotSetParameters);
        return MergeOutcome::kRefused;
    }
    merger.SetFillByte(settings.fillByte);
    if (ResultCode result = merger.MergeLexicorn()) {
        std::string detail = merger.FailedFile();
        if (detail.empty() && result == kNotALexicorn) detail = merger.ImageProblem();
        if (detail.empty() && (result == kDamagedTarget || result == kNoStorage))
            detail = merger.TargetProblem();
        host.ShowError(text::CannotStartMerge(result) + (detail.empty() ? "" : "\r\r" + detail));
        return MergeOutcome::kFailed;
    }
    host.ShowInformation(text::kDone);
    return MergeOutcome::kDone;
}

}  // namespace lexicorn
