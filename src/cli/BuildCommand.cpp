#include <fmt/format.h>

#include <charconv>
#include <filesystem>
#include <optional>

#include "cli/CliBuildHost.h"
#include "cli/Commands.h"
#include "cli/TableOptions.h"
#include "compile/BuildRun.h"
#include "image/UniqueId.h"

namespace lexicorn::cli {
namespace {

struct BuildArguments {
    TableOptions table;
    std::optional<std::string> outputFolder;
    std::optional<ByteOrder> byteOrder;
    bool noFileSystem = false;
    std::optional<std::uint8_t> searchStep;
    std::string uniqueId;
    bool quiet = false;
};

std::uint32_t ParseUniqueId(std::string text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc() || end != text.data() + text.size())
        throw UsageError("--unique-id takes up to 8 hexadecimal digits, such as 0x622B634C");
    return value;
}

class BuildCommand final : public Subcommand {
  public:
    explicit BuildCommand(CLI::App& app)
        : Subcommand(app.add_subcommand("build",
                                        "Build Lexicorn.bin, Lexicorn.c, the string-id list and "
                                        "LXNApiCfg.h from a string table")) {
        CLI::App* command = &Command();
        BuildArguments& a = args_;
        a.table.AddTo(*command, "The string table");
        command->add_option("-o,--output", a.outputFolder,
                            "Folder for the output files (default: the project's, else .)");
        command->add_option("--byte-order", a.byteOrder, "Byte order: little or big")
            ->transform(CLI::CheckedTransformer(
                Choices<ByteOrder>({{"little", ByteOrder::kLittle}, {"big", ByteOrder::kBig}})));
        command->add_flag("--no-file-system", a.noFileSystem, "The target platform has no file system");
        command->add_option("--search-step", a.searchStep, "Image search step of the target runtime")
            ->check(CLI::IsMember(Numbers(kMergeAlignments)));
        command->add_option("--unique-id", a.uniqueId,
                            "Unique id of the image in hexadecimal (default: SOURCE_DATE_EPOCH, else now)");
        command->add_flag("-q,--quiet", a.quiet, "Print nothing but errors");
    }

    int Run(const Console& console) override {
        const BuildArguments& args = args_;
        ProjectSettings settings = args.table.Settings(args.noFileSystem);
        BuildOptions options;
        options.strict = args.table.strict;
        if (args.byteOrder) settings.byteOrder = *args.byteOrder;
        if (args.searchStep) settings.searchStep = *args.searchStep;
        if (!args.uniqueId.empty()) options.uniqueId = ParseUniqueId(args.uniqueId);
        // A malformed value is a mistake of the command's environment, reported before anything is read.
        try {
            SourceDateEpoch();
        } catch (const std::invalid_argument& error) {
            throw UsageError(error.what());
        }

        LoadedTable table = args.table.LoadChosenTable(settings);
        options.outputFolder =
            args.outputFolder.value_or(settings.outputFolder.empty() ? "." : settings.outputFolder);
        std::error_code error;
        std::filesystem::create_directories(options.outputFolder, error);
        if (error)
            throw std::runtime_error(fmt::format("{}: {}", options.outputFolder.string(), error.message()));

        CliBuildHost host(table, console.out, console.err, console.showProgress, args.quiet);
        switch (BuildLexicorn(host, table, settings, options).kind) {
            case BuildOutcome::Kind::kSucceeded:
                return kExitSuccess;
            case BuildOutcome::Kind::kCancelled:
                return kExitCancelled;
            default:
                return kExitFailure;
        }
    }

  private:
    BuildArguments args_;
};

}  // namespace

std::unique_ptr<Subcommand> AddBuildCommand(CLI::App& app) { return std::make_unique<BuildCommand>(app); }

}  // namespace lexicorn::cli
