#include <ostream>

#include "cli/Commands.h"
#include "merge/MergeCommand.h"

namespace lexicorn::cli {
namespace {

class ScanCommand final : public Subcommand {
  public:
    explicit ScanCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("scan", "Look for a Lexicorn embedded in a target software file")) {
        Command().add_option("TARGET", target_, "The target software file")->required();
    }

    int Run(const Console& console) override {
        LXNMerger merger;
        if (ResultCode result = merger.ScanTarget(target_))
            throw std::runtime_error(!merger.TargetProblem().empty() ? merger.TargetProblem()
                                                                     : FileProblem(target_, result));
        ShowWarnings(console, merger.TargetWarnings());
        const TargetInfo info = DescribeTarget(merger);
        console.out << info.text << "\nLexicorn Size: 0x" << info.size << "\nLexicorn Position: 0x"
                    << info.position << '\n';
        if (!info.span.empty()) console.out << info.span << '\n';
        return kExitSuccess;
    }

  private:
    std::string target_;
};

}  // namespace

std::unique_ptr<Subcommand> AddScanCommand(CLI::App& app) { return std::make_unique<ScanCommand>(app); }

}  // namespace lexicorn::cli
