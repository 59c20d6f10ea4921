#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "base/Unicode.h"
#include "cli/CliBuildHost.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "compile/BuildRun.h"
#include "image/UniqueId.h"

namespace lexicorn::cli {
namespace {

struct BuildArguments {
    std::string table;
    std::string outputFolder = ".";
    std::string project;
    std::string languages = "all";
    std::optional<Encoding> encoding;
    std::optional<TableType> tableType;
    std::optional<std::uint8_t> alignment;
    std::optional<ByteOrder> byteOrder;
    bool noDefaultStrings = false;
    std::optional<TargetLanguage> targetLanguage;
    std::optional<TargetPlatform> targetPlatform;
    bool noFileSystem = false;
    std::optional<std::uint8_t> searchStep;
    std::optional<std::string> codePage;
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

// Chooses the target platform and refuses an option that asks for what the platform rules out.
void ApplyTargetPlatform(const BuildArguments& args, ProjectSettings& settings, bool& configApiForROM) {
    if (!args.targetPlatform) return;
    ChooseTargetPlatform(settings, *args.targetPlatform, configApiForROM);
    const PlatformConstraints fixed = ConstraintsOf(*args.targetPlatform);
    const auto conflicts = [](const auto& asked, const auto& fixedValue) {
        return asked && fixedValue && *asked != *fixedValue;
    };
    if (conflicts(args.encoding, fixed.encoding) || conflicts(args.tableType, fixed.tableType))
        throw UsageError("--target-platform dotnet builds --encoding wide and --table 32");
    if (args.noFileSystem && fixed.hasFileSystem)
        throw UsageError("--target-platform dotnet has a file system; drop --no-file-system");
    if (conflicts(args.targetLanguage, fixed.targetLanguage))
        throw UsageError("--target-platform api compiles the C API and takes --target-language c");
}

void SelectLanguages(LoadedTable& table, const std::string& codes) {
    if (codes == "all") {
        for (auto& language : table.languages) language.selected = true;
        return;
    }
    std::stringstream list(codes);
    std::string code;
    while (std::getline(list, code, ',')) {
        bool found = false;
        for (auto& language : table.languages)
            if (Utf16ToUtf8(language.code) == code) language.selected = found = true;
        if (!found) {
            std::string known;
            for (const auto& language : table.languages)
                known += (known.empty() ? "" : ", ") + Utf16ToUtf8(language.code);
            throw UsageError(
                fmt::format("the table has no language with the code '{}' (its codes: {})", code, known));
        }
    }
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
        command->add_option("TABLE", a.table, "The string table (.xls, .xlsx, .ods, .csv, .tsv)")->required();
        command->add_option("-o,--output", a.outputFolder, "Folder for the output files (default: .)")
            ->type_name("DIR");
        command->add_option("-p,--project", a.project, "Project file (.lxn) whose settings to use")
            ->type_name("PROJECT.lxn");
        command
            ->add_option("--languages", a.languages,
                         "Language codes (row 2) to build, separated by commas, or 'all' (default)")
            ->type_name("CODES|all");
        TakeWords(
            command->add_option("--encoding", a.encoding, "String encoding: ascii, wide or utf8"),
            Words<Encoding>{
                {"ascii", Encoding::kSingleByte}, {"wide", Encoding::kUtf16}, {"utf8", Encoding::kUtf8}});
        TakeWords(command->add_option("--table", a.tableType, "String table type: 16 or 32 (bit offsets)"),
                  Words<TableType>{{"16", TableType::k16Bit}, {"32", TableType::k32Bit}});
        TakeNumbers(
            command->add_option("--align", a.alignment, "Start alignment of strings: 1, 2 or 4 bytes"),
            kStringAlignments);
        TakeWords(command->add_option("--byte-order", a.byteOrder, "Byte order: little or big"),
                  Words<ByteOrder>{{"little", ByteOrder::kLittle}, {"big", ByteOrder::kBig}});
        command->add_flag("--no-default-strings", a.noDefaultStrings,
                          "Keep empty cells empty instead of using the first language's string");
        TakeWords(
            command->add_option("--target-language", a.targetLanguage, "String-id list for: c, csharp or vb"),
            Words<TargetLanguage>{{"c", TargetLanguage::kC},
                                  {"csharp", TargetLanguage::kCSharp},
                                  {"vb", TargetLanguage::kVisualBasic}});
        TakeWords(command->add_option("--target-platform", a.targetPlatform,
                                      "api: the target compiles the LXN API; dotnet: .NET or lxnbase.dll"),
                  Words<TargetPlatform>{{"api", TargetPlatform::kApi}, {"dotnet", TargetPlatform::kDotNet}});
        command->add_flag("--no-file-system", a.noFileSystem, "The target platform has no file system");
        TakeNumbers(
            command->add_option("--search-step", a.searchStep, "Image search step of the target runtime"),
            kMergeAlignments);
        command
            ->add_option("--code-page", a.codePage,
                         "Code page of single-byte text (default: the project's, else CP1252)")
            ->type_name("NAME");
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
        ProjectSettings settings = LoadSettings(args.project);
        BuildOptions options;
        ApplyTargetPlatform(args, settings, options.configApiForROM);
        if (args.encoding) settings.encoding = *args.encoding;
        if (args.tableType) settings.tableType = *args.tableType;
        if (args.alignment) settings.alignment = *args.alignment;
        if (args.byteOrder) settings.byteOrder = *args.byteOrder;
        if (args.noDefaultStrings) settings.useDefaultString = false;
        if (args.targetLanguage) settings.targetLanguage = *args.targetLanguage;
        if (args.noFileSystem) options.configApiForROM = true;
        if (args.searchStep) settings.searchStep = *args.searchStep;
        if (args.codePage) {
            CheckCodePage(*args.codePage);
            settings.codePage = *args.codePage;
        }
        if (!args.uniqueId.empty()) options.uniqueId = ParseUniqueId(args.uniqueId);
        // A malformed value is a mistake of the command's environment, reported before anything is read.
        try {
            SourceDateEpoch();
        } catch (const std::invalid_argument& error) {
            throw UsageError(error.what());
        }

        LoadedTable table = LoadTable(args.table, settings.codePage);
        SelectLanguages(table, args.languages);
        options.outputFolder = args.outputFolder;
        std::error_code error;
        std::filesystem::create_directories(options.outputFolder, error);
        if (error) throw std::runtime_error(fmt::format("{}: {}", args.outputFolder, error.message()));

        // The build forgets the table; the summary names the languages as they were chosen.
        std::vector<LanguageEntry> chosen;
        std::copy_if(table.languages.begin(), table.languages.end(), std::back_inserter(chosen),
                     [](const LanguageEntry& language) { return language.selected; });
        CliBuildHost host(table, console.out, console.err, console.showProgress, args.quiet || args.json);
        const BuildOutcome outcome = BuildLexicorn(host, table, settings, options);
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
