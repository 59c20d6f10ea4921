#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <optional>
#include <vector>

#include "base/Unicode.h"
#include "cli/CliBuildHost.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/TableOptions.h"
#include "compile/BuildRun.h"
#include "image/UniqueId.h"

namespace lexicorn::cli {
namespace {

struct BuildArguments {
    TableOptions table;
    std::optional<std::string> outputFolder;
    std::optional<ByteOrder> byteOrder;
    std::optional<bool> noFileSystem;
    std::optional<std::uint8_t> searchStep;
    std::string uniqueId;
    bool quiet = false;
    bool json = false;
};

std::uint32_t ParseUniqueId(std::string text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc() || end != text.data() + text.size())
        throw UsageError("--unique-id takes up to 8 hexadecimal digits, such as 0x622B634C");
    return value;
}

// One object for CI pipelines: the files written with their sizes, the languages in the image's
// order, and the image's figures.
std::string JsonSummary(const BuildOutcome& outcome, const std::vector<LanguageEntry>& languages) {
    std::string files, chosen;
    for (const std::filesystem::path& file : outcome.files)
        files += fmt::format(R"({}{{"name":{},"bytes":{}}})", files.empty() ? "" : ",",
                             JsonString(file.filename().string()), std::filesystem::file_size(file));
    for (const LanguageEntry& language : languages)
        chosen += fmt::format(R"({}{{"code":{},"name":{}}})", chosen.empty() ? "" : ",",
                              JsonString(Utf16ToUtf8(language.code)), JsonString(Utf16ToUtf8(language.name)));
    return fmt::format(R"({{"files":[{}],"languages":[{}],"strings":{},"imageSize":{},"uniqueId":"0x{:x}"}})"
                       "\n",
                       files, chosen, outcome.stringCount, outcome.imageSize, outcome.uniqueId);
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
        command
            ->add_option("-o,--output", a.outputFolder,
                         "Folder for the output files (default: the project's, else .)")
            ->type_name("DIR");
        TakeWords(command->add_option("--byte-order", a.byteOrder, "Byte order: little or big"),
                  WordsOf(kByteOrders));
        // Neither: the project's choice, else a file system.
        CLI::Option* noFileSystem = command->add_flag_callback(
            "--no-file-system", [&a] { a.noFileSystem = true; }, "The target platform has no file system");
        command
            ->add_flag_callback(
                "--file-system", [&a] { a.noFileSystem = false; },
                "The target platform has a file system: the runtime can read image files "
                "(the default unless the project says otherwise)")
            ->excludes(noFileSystem);
        TakeNumbers(
            command->add_option("--search-step", a.searchStep, "Image search step of the target runtime"),
            kMergeAlignments);
        command
            ->add_option("--unique-id", a.uniqueId,
                         "Unique id of the image in hexadecimal (default: SOURCE_DATE_EPOCH, else now)")
            ->type_name("HEX");
        command->add_flag("-q,--quiet", a.quiet, "Print nothing but errors");
        command->add_flag("--json", a.json,
                          "Print one JSON object that sums up the build (files, languages, strings, image) "
                          "instead of the message");
    }

    int Run(const Console& console) override {
        const BuildArguments& args = args_;
        ProjectSettings settings = args.table.Settings(args.noFileSystem);
        BuildOptions options;
        options.strict = args.table.strict;
        options.projectFile = args.table.project;
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
        const std::vector<std::filesystem::path> madeFolders = FoldersMissingFor(options.outputFolder);
        std::error_code error;
        std::filesystem::create_directories(options.outputFolder, error);
        if (error)
            throw std::runtime_error(fmt::format("{}: {}", options.outputFolder.string(), error.message()));

        // The summary names the languages as they were chosen.
        std::vector<LanguageEntry> chosen;
        std::copy_if(table.languages.begin(), table.languages.end(), std::back_inserter(chosen),
                     [](const LanguageEntry& language) { return language.selected; });
        CliBuildHost host(table, console.out, console.err, console.showProgress, args.quiet || args.json,
                          options.strict);
        const BuildOutcome outcome = BuildLexicorn(host, table, settings, options);
        // A build that wrote nothing leaves no trace: the folders made for it go again while empty.
        if (outcome.kind != BuildOutcome::Kind::kSucceeded)
            for (const std::filesystem::path& folder : madeFolders) std::filesystem::remove(folder, error);
        switch (outcome.kind) {
            case BuildOutcome::Kind::kSucceeded:
                if (args.json) console.out << JsonSummary(outcome, chosen);
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
