#include "merge/MergeCommand.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>
#include <vector>

#include "base/Text.h"
#include "cli/Commands.h"
#include "cli/StandardStreams.h"
#include "compile/BuildMessages.h"
#include "compile/OwnInputs.h"
#include "merge/FirmwareForms.h"
#include "merge/MergeLayout.h"
#include "platform/AtomicFile.h"

namespace lexicorn::cli {
namespace {

struct MergeArguments {
    std::string image;
    std::string target;
    std::string output;
    MergeMode mode = MergeMode::kAppend;
    std::string place = "end";
    std::optional<std::uint8_t> align;
    std::optional<std::string> fill;
    std::optional<FirmwareFormat> outputFormat;
    std::string project;
    bool yes = false;
    bool quiet = false;
};

// The words --output-format takes: each form's own, in the order the forms are registered.
Words<FirmwareFormat> FormWords() {
    Words<FirmwareFormat> words;
    for (const FirmwareForm* form : kFirmwareForms) words.emplace_back(form->word, form->format);
    return words;
}

// Messages of a merge go to standard output when it succeeds, unless quiet or the output itself
// goes there, and to standard error otherwise.
class CliMergeHost final : public MergeHost {
  public:
    CliMergeHost(const Console& console, bool yes, bool quiet, bool outputToStandardOutput)
        : console_(console), yes_(yes), quiet_(quiet), outputToStandardOutput_(outputToStandardOutput) {}
    void ShowError(const std::string& text) override { messages_ += WithLineFeeds(text) + '\n'; }
    void ShowInformation(const std::string& text) override { messages_ += WithLineFeeds(text) + '\n'; }
    bool Ask(const std::string& question) override {
        if (yes_) return true;
        if (!console_.answers) {
            messages_ +=
                WithLineFeeds(question) + "\nNobody to answer here: give --yes to merge all the same.\n";
            return false;
        }
        console_.err << WithLineFeeds(question) << " [y/N] " << std::flush;
        std::string answer;
        std::getline(*console_.answers, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }
    // A script says what it wants: the merge goes on, and the warning stays in its log.
    bool Proceed(const MergeRisk& risk) override {
        warnings_.push_back(risk.warning);
        return true;
    }
    /// What the merge was told to do that the user may not have meant.
    const std::vector<std::string>& Warnings() const { return warnings_; }
    void Report(MergeOutcome outcome) const {
        // An input that cannot be taken is an error of the command, as with every other command.
        if (outcome == MergeOutcome::kInputRefused)
            console_.err << "lexicorn: error: " << messages_;
        else if (outcome != MergeOutcome::kDone)
            console_.err << "lexicorn: " << messages_;
        else if (!quiet_)
            (outputToStandardOutput_ ? console_.err : console_.out) << messages_;
    }

  private:
    const Console& console_;
    bool yes_;
    bool quiet_;
    bool outputToStandardOutput_;
    std::string messages_;
    std::vector<std::string> warnings_;
};

std::uint8_t ParseFillByte(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    unsigned value = 0;
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (begin == end || error != std::errc() || stop != end || value > 0xFF)
        throw UsageError("--fill " + text + ": not a byte (0 to 255, or 0x00 to 0xFF)");
    return static_cast<std::uint8_t>(value);
}

class MergeCommand final : public Subcommand {
  public:
    explicit MergeCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("merge",
                                        "Place a Lexicorn image into a target software file: binary, Intel "
                                        "HEX or S-records")) {
        MergeArguments& a = args_;
        CLI::App& command = Command();
        command.add_option("IMAGE", a.image, "The Lexicorn image (Lexicorn.bin)")->required();
        command.add_option("TARGET", a.target, "The target software file: binary, Intel HEX or S-records")
            ->required();
        command.add_option("OUTPUT", a.output, "The file to write; - writes standard output")->required();
        TakeWords(
            command.add_option("--mode", a.mode, "append (before or after the target, default) or overwrite"),
            WordsOf(kMergeModes));
        command
            .add_option("--place", a.place, "end (default), begin, or a hexadecimal address (overwrite only)")
            ->type_name("end|begin|HEX");
        TakeNumbers(
            command.add_option("--align", a.align, "Alignment in bytes (default: the project's, else 16)"),
            kMergeAlignments);
        command
            .add_option("--fill", a.fill,
                        "The byte written into gaps, decimal or 0x hexadecimal: 0xFF as erased flash holds "
                        "(default: the project's, else 0)")
            ->type_name("BYTE");
        TakeWords(command.add_option("--output-format", a.outputFormat,
                                     "bin, ihex (Intel HEX) or srec (S-records); default: the one OUTPUT's "
                                     "extension names, else the target's"),
                  FormWords());
        command.add_option("-p,--project", a.project, "Project file (.lxn) whose alignment and fill to use")
            ->type_name("PROJECT.lxn");
        command.add_flag("-y,--yes", a.yes,
                         "Merge at an address that is not a multiple of the alignment "
                         "without asking");
        command.add_flag("-q,--quiet", a.quiet, "Print nothing but errors");
    }

    int Run(const Console& console) override {
        const MergeArguments& args = args_;
        const OutputForm outputForm = ChooseOutputForm(args.output, args.outputFormat);
        if (!outputForm.refusal.empty()) throw UsageError(outputForm.refusal);
        ProjectSettings settings = LoadSettings(args.project);
        if (args.align) settings.searchStep = *args.align;
        if (args.fill) settings.fillByte = ParseFillByte(*args.fill);
        // Standard output takes the merged file whole once it is complete, as a file would.
        const bool toStandardOutput = args.output == kStandardStream;
        std::optional<ScratchFolder> scratch;
        if (toStandardOutput) scratch.emplace();
        const std::string output = toStandardOutput ? (scratch->path() / "merged").string() : args.output;
        // The merge itself refuses an output that is the image or the target; the project is read here.
        if (const std::optional<CommandInput> input =
                InputNamedBy(output, {{"the project file", args.project}}))
            throw std::runtime_error(
                messages::OutputFileIsInput("merge", output, input->role, input->path.string()));
        MergeRequest request{
            {args.image, args.target, output, MergeSettingsOf(settings), outputForm.format, toStandardOutput},
            {}};
        request.job.settings.mode = args.mode;
        if (args.place.empty()) throw UsageError("--place takes end, begin or a hexadecimal address");
        const auto named = std::find_if(std::begin(kMergePlacements), std::end(kMergePlacements),
                                        [&](const auto& choice) { return choice.word == args.place; });
        if (named != std::end(kMergePlacements)) {
            request.job.settings.placement = named->value;
        } else {
            if (!PlacementAllowed(args.mode, MergePlacement::kAddress))
                throw UsageError("--place ADDRESS needs --mode overwrite");
            request.job.settings.placement = MergePlacement::kAddress;
            request.addressText = args.place;
        }

        CliMergeHost host(console, args.yes, args.quiet, toStandardOutput);
        const MergeRun run = RunMergeCommand(host, request);
        const MergeOutcome outcome = run.outcome;
        if (run.merged.target) ShowWarnings(console, run.merged.target->warnings);
        ShowWarnings(console, host.Warnings());
        host.Report(outcome);
        if (outcome == MergeOutcome::kDone && toStandardOutput)
            console.out << ReadWholeFile(output) << std::flush;
        switch (outcome) {
            case MergeOutcome::kDone:
                return kExitSuccess;
            case MergeOutcome::kInvalidAddress:
                return kExitUsage;
            default:
                return kExitFailure;
        }
    }

  private:
    MergeArguments args_;
};

}  // namespace

std::unique_ptr<Subcommand> AddMergeCommand(CLI::App& app) { return std::make_unique<MergeCommand>(app); }

}  // namespace lexicorn::cli
