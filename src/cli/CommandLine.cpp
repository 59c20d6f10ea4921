#include "cli/CommandLine.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

#include "Version.h"
#include "build/BuildRun.h"
#include "build/ImageReader.h"
#include "build/UniqueId.h"
#include "cli/CliBuildHost.h"
#include "cli/Json.h"
#include "merger/MergeCommand.h"
#include "platform/AtomicFile.h"
#include "platform/CodePage.h"
#include "settings/ProjectFile.h"
#include "table/TableReaderFactory.h"
#include "table/Unicode.h"

namespace lexicorn::cli {
namespace {

namespace fs = std::filesystem;

// A mistake in the command itself: reported with exit code 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct BuildArguments {
    std::string table;
    std::string outputFolder = ".";
    std::string project;
    std::string languages = "all";
    std::optional<std::int8_t> encoding;
    std::optional<std::int8_t> tableType;
    std::optional<std::uint8_t> alignment;
    std::optional<std::uint8_t> byteOrder;
    bool noDefaultStrings = false;
    std::optional<std::int8_t> targetLanguage;
    std::optional<std::int8_t> targetPlatform;
    bool noFileSystem = false;
    std::optional<std::uint8_t> searchStep;
    std::optional<std::string> codePage;
    std::string uniqueId;
    bool quiet = false;
};

struct MergeArguments {
    std::string image;
    std::string target;
    std::string output;
    std::uint8_t mode = BinFileMerger::kAppend;
    std::string place = "end";
    std::optional<std::uint8_t> align;
    std::string project;
    bool yes = false;
};

struct FileArguments {
    std::string file;
    std::string codePage = TableReader::kDefaultCodePage;
    bool json = false;
};

template <typename T>
std::map<std::string, T> Choices(std::initializer_list<std::pair<const std::string, T>> choices) {
    return choices;
}

std::uint32_t ParseUniqueId(std::string text) {
    if (text.starts_with("0x") || text.starts_with("0X")) text.erase(0, 2);
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 8 || error != std::errc() || end != text.data() + text.size())
        throw UsageError("--unique-id takes up to 8 hexadecimal digits, such as 0x622B634C");
    return value;
}

void CheckCodePage(const std::string& name) {
    try {
        CodePage check(name);
    } catch (const std::invalid_argument& error) {
        throw UsageError(error.what());
    }
}

// The settings window's rules: .NET reads wide text from 32-bit tables and has a file system, and a
// target that compiles the C API gets a C string-id list.
void ApplyTargetPlatform(const BuildArguments& args, ProjectSettings& settings, bool& configApiForROM) {
    if (!args.targetPlatform) return;
    ChooseTargetPlatform(settings, *args.targetPlatform, configApiForROM);
    if (*args.targetPlatform == 1) {
        if ((args.encoding && *args.encoding != 1) || (args.tableType && *args.tableType != 1))
            throw UsageError("--target-platform dotnet builds --encoding wide and --table 32");
        if (args.noFileSystem)
            throw UsageError("--target-platform dotnet has a file system; drop --no-file-system");
    } else if (args.targetLanguage && *args.targetLanguage != 0) {
        throw UsageError("--target-platform api compiles the C API and takes --target-language c");
    }
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

ProjectSettings LoadSettings(const std::string& project) {
    ProjectSettings settings;
    if (project.empty()) return settings;
    ProjectFileResult loaded = LoadProjectFile(project, settings);
    if (loaded.status == ProjectFileResult::Status::kNotAProject)
        throw std::runtime_error(project + ": Corrupted project file.");
    if (!loaded) throw std::runtime_error(loaded.message);
    return settings;
}

int Build(const BuildArguments& args, const Console& console) {
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
    if (!args.uniqueId.empty()) {
        options.uniqueId = ParseUniqueId(args.uniqueId);
    } else {
        try {
            SourceDateEpoch();
        } catch (const std::invalid_argument& error) {
            throw UsageError(error.what());
        }
    }

    LoadedTable table = LoadTable(args.table, settings.codePage);
    SelectLanguages(table, args.languages);
    options.outputFolder = args.outputFolder;
    std::error_code error;
    fs::create_directories(options.outputFolder, error);
    if (error) throw std::runtime_error(fmt::format("{}: {}", args.outputFolder, error.message()));

    CliBuildHost host(table, console.out, console.err, console.showProgress, args.quiet);
    const BuildOutcome outcome = BuildLexicorn(host, table, settings, options);
    switch (outcome.kind) {
        case BuildOutcome::Kind::kSucceeded:
            return kExitSuccess;
        case BuildOutcome::Kind::kCancelled:
            return kExitCancelled;
        default:
            return kExitFailure;
    }
}

std::string FileProblem(const std::string& path, ResultCode code) {
    switch (code) {
        case kFileTooLarge:
            return path + ": files of 4 GB or more cannot be merged";
        case kOutOfRange:
            return path + ": the file ends inside the header of the Lexicorn it holds";
        default:
            return fmt::format("{}: the file cannot be read (error {})", path, HexCode(code));
    }
}

int Scan(const std::string& target, std::ostream& out) {
    LXNMerger merger;
    if (ResultCode result = merger.ScanTarget(target)) throw std::runtime_error(FileProblem(target, result));
    const TargetInfo info = DescribeTarget(merger);
    out << info.text << "\nLexicorn Size: 0x" << info.size << "\nLexicorn Position: 0x" << info.position
        << '\n';
    return kExitSuccess;
}

// Messages of a merge go to standard output when it succeeds and to standard error otherwise.
class CliMergeHost final : public MergeHost {
  public:
    CliMergeHost(const Console& console, bool yes) : console_(console), yes_(yes) {}
    void ShowError(const std::string& text) override { messages_ += TerminalText(text) + '\n'; }
    void ShowInformation(const std::string& text) override { messages_ += TerminalText(text) + '\n'; }
    bool Ask(const std::string& question) override {
        if (yes_) return true;
        if (!console_.answers) {
            messages_ +=
                TerminalText(question) + "\nNobody to answer here: give --yes to merge all the same.\n";
            return false;
        }
        console_.err << TerminalText(question) << " [y/N] " << std::flush;
        std::string answer;
        std::getline(*console_.answers, answer);
        return answer == "y" || answer == "Y" || answer == "yes";
    }
    void Report(MergeOutcome outcome) const {
        if (outcome == MergeOutcome::kDone)
            console_.out << messages_;
        else
            console_.err << "lexicorn: " << messages_;
    }

  private:
    const Console& console_;
    bool yes_;
    std::string messages_;
};

int Merge(const MergeArguments& args, const Console& console) {
    ProjectSettings settings = LoadSettings(args.project);
    if (args.align) settings.searchStep = *args.align;
    MergeRequest request{true, true, true, args.mode, BinFileMerger::kEnd, {}};
    if (args.place == "begin") {
        request.placement = BinFileMerger::kBeginning;
    } else if (args.place != "end") {
        if (args.mode != BinFileMerger::kOverwrite)
            throw UsageError("--place ADDRESS needs --mode overwrite");
        request.placement = BinFileMerger::kAddress;
        request.addressText = args.place;
    }

    LXNMerger merger;
    if (ResultCode result = merger.CheckLexicornFile(args.image))
        throw std::runtime_error(result == kNotALexicorn || result == kOutOfRange
                                     ? args.image + ": " + merge_messages::kInvalidImage
                                     : FileProblem(args.image, result));
    if (ResultCode result = merger.ScanTarget(args.target))
        throw std::runtime_error(FileProblem(args.target, result));
    merger.SetOutputFile(args.output);

    CliMergeHost host(console, args.yes);
    const MergeOutcome outcome = RunMergeCommand(host, merger, settings, request);
    host.Report(outcome);
    switch (outcome) {
        case MergeOutcome::kDone:
            return kExitSuccess;
        case MergeOutcome::kInvalidAddress:
            return kExitUsage;
        default:
            return kExitFailure;
    }
}

int Dump(const FileArguments& args, std::ostream& out) {
    CheckCodePage(args.codePage);
    std::error_code missing;
    if (!fs::exists(args.file, missing)) throw std::runtime_error(args.file + ": no such file");
    std::string bytes;
    if (!ReadWholeFile(args.file, bytes)) throw std::runtime_error(args.file + ": the file cannot be read");
    ImageContents image;
    try {
        image = ReadImage({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, args.codePage);
    } catch (const ImageError& error) {
        throw std::runtime_error(fmt::format("{}: not a valid Lexicorn image: {}", args.file, error.what()));
    }
    const char* order = image.byteOrder ? "big" : "little";
    const int tableBits = image.tableType == 1 ? 32 : 16;
    if (args.json) {
        out << fmt::format(
            R"({{"uniqueId":"0x{:x}","imageSize":{},"byteOrder":"{}","encoding":{},"tableType":{},)",
            image.uniqueId, image.imageSize, order, image.encoding, tableBits);
        out << fmt::format(R"("stringCount":{},"languages":[)", image.stringCount);
        for (std::size_t l = 0; l < image.languages.size(); ++l)
            out << (l ? "," : "") << R"({"code":)" << JsonString(image.languages[l].codeText) << R"(,"name":)"
                << JsonString(image.languages[l].name) << '}';
        out << R"(],"strings":[)";
        for (std::size_t l = 0; l < image.strings.size(); ++l) {
            out << (l ? ",[" : "[");
            for (std::size_t s = 0; s < image.strings[l].size(); ++s)
                out << (s ? "," : "") << JsonString(image.strings[l][s]);
            out << ']';
        }
        out << "]}\n";
        return kExitSuccess;
    }
    static const char* const kEncodings[] = {"single byte", "UTF-16", "UTF-8"};
    out << fmt::format("unique id:    0x{:x}\nimage size:   {} bytes\nbyte order:   {} endian\n",
                       image.uniqueId, image.imageSize, order);
    out << fmt::format(
        "encoding:     {} ({})\ntable type:   {}-bit offsets\nlanguages:    {}\nstrings:      {}\n",
        image.encoding, kEncodings[image.encoding], tableBits, image.languages.size(), image.stringCount);
    for (std::size_t l = 0; l < image.languages.size(); ++l) {
        out << fmt::format("\nlanguage {}: {} {}\n", l, image.languages[l].codeText,
                           JsonString(image.languages[l].name));
        for (std::size_t s = 0; s < image.strings[l].size(); ++s)
            out << fmt::format("  {:5} {}\n", s, JsonString(image.strings[l][s]));
    }
    return kExitSuccess;
}

int Table(const FileArguments& args, std::ostream& out) {
    CheckCodePage(args.codePage);
    std::unique_ptr<TableReader> reader = CreateTableReader(args.file);
    if (reader->Open() != kSuccess) throw std::runtime_error(args.file + ": no such file");
    reader->SetUtf8Mode(true);
    const std::uint16_t rows = reader->GetRowCount();
    const std::uint16_t columns = reader->GetColumnCount();
    // Tables run to hundreds of thousands of cells: the text is gathered and written in one piece.
    std::string text;
    if (args.json) text += fmt::format(R"({{"rows":{},"columns":{},"cells":[)", rows, columns);
    for (std::uint32_t row = 1; row <= rows; ++row) {
        if (args.json) text += row > 1 ? ",[" : "[";
        for (std::uint32_t column = 1; column <= columns; ++column) {
            // Without --json: one line per row, each cell quoted so that tabs and line breaks stay visible.
            if (column > 1) text += args.json ? ',' : '\t';
            text += JsonString(
                reader->GetCell(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row)));
        }
        text += args.json ? "]" : "\n";
    }
    if (args.json) text += "]}\n";
    out << text;
    reader->Close();
    return kExitSuccess;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, const Console& console) {
    std::ostream& out = console.out;
    std::ostream& err = console.err;
    CLI::App app(
        "Lexicorn Wizard command line: builds Lexicorn string images from string tables and merges "
        "them into target software.",
        "lexicorn");
    app.require_subcommand(1);
    app.set_version_flag("--version", fmt::format("lexicorn {}", kVersionText));

    BuildArguments build;
    CLI::App* buildCommand = app.add_subcommand("build",
                                                "Build Lexicorn.bin, Lexicorn.c, the string-id list and "
                                                "LXNApiCfg.h from a string table");
    buildCommand->add_option("TABLE", build.table, "The string table (.xls, .xlsx, .ods, .csv, .tsv)")
        ->required();
    buildCommand->add_option("-o,--output", build.outputFolder, "Folder for the output files (default: .)");
    buildCommand->add_option("-p,--project", build.project, "Project file (.lxn) whose settings to use");
    buildCommand->add_option("--languages", build.languages,
                             "Language codes (row 2) to build, separated by commas, or 'all' (default)");
    buildCommand->add_option("--encoding", build.encoding, "String encoding: ascii, wide or utf8")
        ->transform(CLI::CheckedTransformer(Choices<std::int8_t>({{"ascii", 0}, {"wide", 1}, {"utf8", 2}})));
    buildCommand->add_option("--table", build.tableType, "String table type: 16 or 32 (bit offsets)")
        ->transform(CLI::CheckedTransformer(Choices<std::int8_t>({{"16", 0}, {"32", 1}})));
    buildCommand->add_option("--align", build.alignment, "Start alignment of strings: 1, 2 or 4 bytes")
        ->check(CLI::IsMember({1, 2, 4}));
    buildCommand->add_option("--byte-order", build.byteOrder, "Byte order: little or big")
        ->transform(CLI::CheckedTransformer(Choices<std::uint8_t>({{"little", 0}, {"big", 1}})));
    buildCommand->add_flag("--no-default-strings", build.noDefaultStrings,
                           "Keep empty cells empty instead of using the first language's string");
    buildCommand->add_option("--target-language", build.targetLanguage, "String-id list for: c, csharp or vb")
        ->transform(CLI::CheckedTransformer(Choices<std::int8_t>({{"c", 0}, {"csharp", 1}, {"vb", 2}})));
    buildCommand
        ->add_option("--target-platform", build.targetPlatform,
                     "api: the target compiles the LXN API; dotnet: .NET or lxnbase.dll")
        ->transform(CLI::CheckedTransformer(Choices<std::int8_t>({{"api", 0}, {"dotnet", 1}})));
    buildCommand->add_flag("--no-file-system", build.noFileSystem, "The target platform has no file system");
    buildCommand->add_option("--search-step", build.searchStep, "Image search step of the target runtime")
        ->check(CLI::IsMember({1, 2, 4, 8, 16}));
    buildCommand->add_option("--code-page", build.codePage,
                             "Code page of single-byte text (default: the project's, else CP1252)");
    buildCommand->add_option("--unique-id", build.uniqueId,
                             "Unique id of the image in hexadecimal (default: SOURCE_DATE_EPOCH, else now)");
    buildCommand->add_flag("-q,--quiet", build.quiet, "Print nothing but errors");

    FileArguments dump;
    CLI::App* dumpCommand = app.add_subcommand("dump",
                                               "Check a Lexicorn image and print its header, languages "
                                               "and strings");
    dumpCommand->add_option("IMAGE", dump.file, "The image (Lexicorn.bin)")->required();
    dumpCommand->add_flag("--json", dump.json, "Print one JSON object");
    dumpCommand->add_option("--code-page", dump.codePage, "Code page of single-byte text (default CP1252)");

    std::string scanTarget;
    CLI::App* scanCommand =
        app.add_subcommand("scan", "Look for a Lexicorn embedded in a target software file");
    scanCommand->add_option("TARGET", scanTarget, "The target software file")->required();

    MergeArguments merge;
    CLI::App* mergeCommand =
        app.add_subcommand("merge", "Place a Lexicorn image into a target software file");
    mergeCommand->add_option("IMAGE", merge.image, "The Lexicorn image (Lexicorn.bin)")->required();
    mergeCommand->add_option("TARGET", merge.target, "The target software file")->required();
    mergeCommand->add_option("OUTPUT", merge.output, "The file to write")->required();
    mergeCommand
        ->add_option("--mode", merge.mode, "append (before or after the target, default) or overwrite")
        ->transform(CLI::CheckedTransformer(Choices<std::uint8_t>(
            {{"append", BinFileMerger::kAppend}, {"overwrite", BinFileMerger::kOverwrite}})));
    mergeCommand->add_option("--place", merge.place,
                             "end (default), begin, or a hexadecimal address (overwrite only)");
    mergeCommand->add_option("--align", merge.align, "Alignment in bytes (default: the project's, else 16)")
        ->check(CLI::IsMember({1, 2, 4, 8, 16}));
    mergeCommand->add_option("-p,--project", merge.project, "Project file (.lxn) whose alignment to use");
    mergeCommand->add_flag("-y,--yes", merge.yes,
                           "Merge at an address that is not a multiple of the alignment "
                           "without asking");

    FileArguments table;
    CLI::App* tableCommand = app.add_subcommand("table", "Print a string table as the reader sees it");
    tableCommand->add_option("TABLE", table.file, "The string table")->required();
    tableCommand->add_flag("--json", table.json, "Print one JSON object");
    tableCommand->add_option("--code-page", table.codePage, "Code page of single-byte text (default CP1252)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, out, err);
        return kExitUsage;
    }

    try {
        if (*buildCommand) return Build(build, console);
        if (*dumpCommand) return Dump(dump, out);
        if (*scanCommand) return Scan(scanTarget, out);
        if (*mergeCommand) return Merge(merge, console);
        return Table(table, out);
    } catch (const UsageError& error) {
        err << "lexicorn: " << error.what() << '\n';
        return kExitUsage;
    } catch (const std::exception& error) {
        err << "lexicorn: error: " << TerminalText(error.what()) << '\n';
        return kExitFailure;
    }
}

}  // namespace lexicorn::cli
