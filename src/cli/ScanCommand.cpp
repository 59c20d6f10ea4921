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
        const TargetScan scan = ScanTarget(target_);
        if (scan.code)
            throw std::runtime_error(!scan.problem.empty() ? scan.problem
                                                           : merge_messages::FileProblem(target_, scan.code));
        ShowWarnings(console, scan.warnings);
        if (json_) {
            PrintJson(scan, console.out);
            return kExitSuccess;
        }
        const TargetInfo info = DescribeTarget(scan);
        console.out << info.text << "\nLexicorn Size: 0x" << info.size << "\nLexicorn Position: 0x"
                    << info.position << '\n';
        for (const std::string& note : info.notes) console.out << note << '\n';
        if (!info.span.empty()) console.out << info.span << '\n';
        return kExitSuccess;
    }

  private:
    // Sizes and addresses as numbers; the span of the data for Intel HEX and S-records, else null.
    void PrintJson(const TargetScan& scan, std::ostream& out) const {
        const OldImage first = scan.findings.FirstImage();
        const bool found = !scan.findings.images.empty();
        std::string form = R"("binary","span":null)";
        if (const auto& target = scan.form)
            form = fmt::format(R"("{}","span":{})", FormOf(target->format).word,
                               target->span.high == 0 ? "null"
                                                      : fmt::format(R"({{"low":{},"high":{}}})",
                                                                    target->span.low, target->span.high - 1));
        out << fmt::format(R"({{"target":{},"lexicorn":{},"size":{},"position":{},"form":{}}})"
                           "\n",
                           JsonString(target_), found, first.size, first.position, form);
    }

    std::string target_;
    bool json_ = false;
};

}  // namespace

std::unique_ptr<Subcommand> AddScanCommand(CLI::App& app) { return std::make_unique<ScanCommand>(app); }

}  // namespace lexicorn::cli
