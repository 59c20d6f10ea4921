#include <fmt/format.h>

#include <ostream>

#include "cli/Commands.h"
#include "cli/Json.h"
#include "merge/FirmwareForms.h"
#include "merge/MergeCommand.h"

namespace lexicorn::cli {
namespace {

class ScanCommand final : public Subcommand {
  public:
    explicit ScanCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("scan", "Look for a Lexicorn embedded in a target software file")) {
        Command().add_option("TARGET", target_, "The target software file")->required();
        Command().add_flag("--json", json_, "Print one JSON object");
    }

    int Run(const Console& console) override {
        LXNMerger merger;
        if (ResultCode result = merger.ScanTarget(target_))
            throw std::runtime_error(!merger.TargetProblem().empty()
                                         ? merger.TargetProblem()
                                         : merge_messages::FileProblem(target_, result));
        ShowWarnings(console, merger.TargetWarnings());
        if (json_) {
            PrintJson(merger, console.out);
            return kExitSuccess;
        }
        const TargetInfo info = DescribeTarget(merger);
        console.out << info.text << "\nLexicorn Size: 0x" << info.size << "\nLexicorn Position: 0x"
                    << info.position << '\n';
        for (const std::string& note : info.notes) console.out << note << '\n';
        if (!info.span.empty()) console.out << info.span << '\n';
        return kExitSuccess;
    }

  private:
    // Sizes and addresses as numbers; the span of the data for Intel HEX and S-records, else null.
    void PrintJson(const LXNMerger& merger, std::ostream& out) const {
        const bool found = merger.TargetHasLexicorn();
        std::string form = R"("binary","span":null)";
        if (const auto& target = merger.TargetFormRead())
            form = fmt::format(R"("{}","span":{})", FormOf(target->format).word,
                               target->span.high == 0 ? "null"
                                                      : fmt::format(R"({{"low":{},"high":{}}})",
                                                                    target->span.low, target->span.high - 1));
        out << fmt::format(R"({{"target":{},"lexicorn":{},"size":{},"position":{},"form":{}}})"
                           "\n",
                           JsonString(target_), found, found ? merger.OldLexicornSize() : 0,
                           found ? merger.OldLexicornPosition() : 0, form);
    }

    std::string target_;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddScanCommand(CLI::App& app) { return std::make_unique<ScanCommand>(app); }

}  // namespace lexicorn::cli
