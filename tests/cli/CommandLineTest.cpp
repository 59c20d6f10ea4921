#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "base/Unicode.h"
#include "cli/CommandLine.h"
#include "cli/Json.h"
#include "merge/FirmwareForms.h"
#include "platform/Terminal.h"
#include "project/ProjectFile.h"
#include "support/FontFixtures.h"
#include "support/TestSupport.h"

namespace lexicorn::cli {
namespace {

namespace fs = std::filesystem;

const char* const kTable =
    "ID,English,Deutsch\r\n"
    ",en,de\r\n"
    "OK_TEXT,OK,OK\r\n"
    "NO_TEXT,No,Nein\r\n";

class CommandLine : public testing::Test {
  protected:
    CommandLine() { test::WriteFile(dir / "strings.csv", kTable); }
    ~CommandLine() override { test::UnsetEnvironment("SOURCE_DATE_EPOCH"); }

    /// Runs the command; `answers`, when given, stands for a terminal that answers questions.
    int Run(std::vector<std::string> args, std::istream* answers = nullptr) {
        args.insert(args.begin(), "lexicorn");
        std::vector<const char*> argv;
        for (const auto& arg : args) argv.push_back(arg.c_str());
        std::ostringstream outStream, errStream;
        const int code = RunCommandLine(static_cast<int>(argv.size()), argv.data(),
                                        {outStream, errStream, false, answers, &input});
        out = outStream.str();
        err = errStream.str();
        return code;
    }
    // As the program names it: with the system's separator (a backslash on Windows) throughout.
    std::string Path(const char* name) const { return (dir / name).make_preferred().string(); }
    int Build(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"build", Path("strings.csv"), "-o", Path("out")};
        args.insert(args.end(), extra.begin(), extra.end());
        return Run(args);
    }
    std::string Dump() {
        EXPECT_EQ(Run({"dump", Path("out/Lexicorn.bin"), "--json"}), kExitSuccess) << err;
        return out;
    }

    test::TempDir dir;
    std::istringstream input;  ///< standard input, for a file named -
    std::string out, err;
};

TEST_F(CommandLine, BuildWritesTheFilesAndPrintsTheSummary) {
    ASSERT_EQ(Build({"--unique-id", "0x622B634C"}), kExitSuccess) << err;
    EXPECT_EQ(out,
              "Lexicorn was created succesfully!\n\nNumber of languages: 2\nNumber of strings: 2\n"
              "Total size of Lexicorn: 96\nOutput folder: " +
                  Path("out") + "\n");
    EXPECT_EQ(err, "");
    for (const char* file : {"Lexicorn.bin", "Lexicorn.c", "StringList.h", "LXNApiCfg.h"})
        EXPECT_TRUE(fs::exists(dir / "out" / file)) << file;
    EXPECT_EQ(
        Dump(),
        R"({"uniqueId":"0x622b634c","imageSize":96,"byteOrder":"little","encoding":0,"tableType":16,)"
        R"("stringCount":2,"languages":[{"code":"en","name":"English"},{"code":"de","name":"Deutsch"}],)"
        R"("strings":[["OK","No"],["OK","Nein"]]})"
        "\n");
}

TEST_F(CommandLine, BuildJsonSumsTheBuildUpInOneObject) {
    ASSERT_EQ(Build({"--unique-id", "0x622B634C", "--json", "--languages", "de"}), kExitSuccess) << err;
    const auto size = [&](const char* name) { return fs::file_size(dir / "out" / name); };
    EXPECT_EQ(
        out,
        fmt::format(R"({{"files":[{{"name":"Lexicorn.bin","bytes":{}}},{{"name":"Lexicorn.c","bytes":{}}},)"
                    R"({{"name":"StringList.h","bytes":{}}},{{"name":"LXNApiCfg.h","bytes":{}}}],)"
                    R"("languages":[{{"code":"de","name":"Deutsch"}}],"strings":2,"imageSize":{},)"
                    R"("uniqueId":"0x622b634c"}})"
                    "\n",
                    size("Lexicorn.bin"), size("Lexicorn.c"), size("StringList.h"), size("LXNApiCfg.h"),
                    size("Lexicorn.bin")));
    EXPECT_EQ(err, "");

    // A failed build prints no summary; its error goes where it always goes.
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "OK_TEXT,Again,Wieder\r\n");
    EXPECT_EQ(Build({"--json"}), kExitFailure);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, Path("strings.csv") +
                       ":A5: error: duplicate-id: the string id 'OK_TEXT' is already the id in A3\n"
                       "lexicorn: error 2820D000: Duplicate string id !!!\n\nOK_TEXT\nRow: 5\n");
}

TEST_F(CommandLine, OptionsWinOverTheProjectWhichWinsOverDefaults) {
    test::WriteFile(dir / "p.lxn",
                    "LEXICORNPROJECTFILE\r\n2\r\n1\r\n4\r\n1\r\n0\r\n0\r\n8\r\n0\r\n0\r\n0\r\n1\r\n");
    ASSERT_EQ(Build({"-p", Path("p.lxn"), "--encoding", "wide", "-q"}), kExitSuccess) << err;
    EXPECT_EQ(out, "");
    const std::string dump = Dump();
    EXPECT_NE(dump.find(R"("byteOrder":"big","encoding":1,"tableType":32)"), std::string::npos) << dump;
    EXPECT_NE(test::ReadFile(dir / "out" / "LXNApiCfg.h").find("LXNCFG_SEARCH_STEP 8\n"), std::string::npos);
}

// The target has a file system unless the options or the project say otherwise.
TEST_F(CommandLine, TheFileSystemComesFromTheOptionElseTheProjectElseHasOne) {
    const std::string twelveLines =
        "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n";
    test::WriteFile(dir / "plain.lxn", twelveLines);
    test::WriteFile(dir / "rom.lxn", twelveLines + "NOFILESYSTEM=1\r\n");
    const struct {
        std::vector<std::string> options;
        const char* line;
    } cases[] = {
        {{}, "LXNCFG_API_FOR_ROM 0\n"},
        {{"--no-file-system"}, "LXNCFG_API_FOR_ROM 1\n"},
        {{"-p", Path("plain.lxn")}, "LXNCFG_API_FOR_ROM 0\n"},
        {{"-p", Path("rom.lxn")}, "LXNCFG_API_FOR_ROM 1\n"},
        {{"-p", Path("rom.lxn"), "--file-system"}, "LXNCFG_API_FOR_ROM 0\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> options = c.options;
        options.push_back("-q");
        ASSERT_EQ(Build(options), kExitSuccess) << err;
        EXPECT_NE(test::ReadFile(dir / "out" / "LXNApiCfg.h").find(c.line), std::string::npos)
            << testing::PrintToString(c.options);
    }
}

TEST_F(CommandLine, TheProjectsCodePageIsUsedUnlessTheCommandNamesOne) {
    test::WriteFile(dir / "greek.csv", "ID,Ellinika\n,el\nOK,\xCE\x9D\xCE\xB1\xCE\xB9\n");
    test::WriteFile(dir / "p.lxn",
                    "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"
                    "CODEPAGE=ISO-8859-7\r\n");
    const std::vector<std::string> build = {"build", Path("greek.csv"), "-o", Path("out"),
                                            "-p",    Path("p.lxn")};
    ASSERT_EQ(Run(build), kExitSuccess) << err;
    std::vector<std::string> overridden = build;
    overridden.insert(overridden.end(), {"--code-page", "CP1252"});
    EXPECT_EQ(Run(overridden), kExitFailure);
    EXPECT_NE(err.find("is not in code page CP1252"), std::string::npos) << err;
}

TEST_F(CommandLine, LanguagesAreChosenByTheirCodes) {
    ASSERT_EQ(Build({"--languages", "de"}), kExitSuccess) << err;
    EXPECT_NE(Dump().find(R"("languages":[{"code":"de","name":"Deutsch"}])"), std::string::npos);
    EXPECT_EQ(Build({"--languages", "de,xx"}), kExitUsage);
    EXPECT_EQ(err, "lexicorn: the table has no language with the code 'xx' (its codes: en, de)\n");
}

TEST_F(CommandLine, SourceDateEpochMakesBuildsReproducible) {
    test::SetEnvironment("SOURCE_DATE_EPOCH", "1140559992");
    ASSERT_EQ(Build(), kExitSuccess) << err;
    const std::string first = test::ReadFile(dir / "out" / "Lexicorn.c");
    EXPECT_NE(first.find("0x622b634c"), std::string::npos);
    ASSERT_EQ(Build(), kExitSuccess);
    EXPECT_EQ(test::ReadFile(dir / "out" / "Lexicorn.c"), first);
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    const char* errorText;
};
void PrintTo(const UsageCase& c, std::ostream* os) { *os << c.name; }

class CommandLineUsage : public CommandLine, public testing::WithParamInterface<UsageCase> {};

TEST_P(CommandLineUsage, IsRefusedWithExitCodeTwo) {
    EXPECT_EQ(Build(GetParam().args), kExitUsage);
    EXPECT_NE(err.find(GetParam().errorText), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.bin"));
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CommandLineUsage,
    testing::Values(
        UsageCase{"UnknownEncoding", {"--encoding", "utf16"}, "--encoding: utf16 not in {ascii,wide,utf8}"},
        UsageCase{"BadAlignment", {"--align", "3"}, "--align"},
        UsageCase{"BadUniqueId", {"--unique-id", "0x123456789"}, "--unique-id takes up to 8"},
        UsageCase{"UnknownCodePage", {"--code-page", "CP99999"}, "unknown code page: CP99999"},
        UsageCase{"EmptyCodePage",
                  {"--code-page", ""},
                  "no code page given: an empty name stands for the character set of the machine's "
                  "locale"},
        UsageCase{"WideCodePage",
                  {"--code-page", "UTF-16LE"},
                  "code page UTF-16LE: not a code page for the strings of an image (ASCII must stay as "
                  "it is, and no character may become a zero byte)"},
        UsageCase{"TransliteratingCodePage",
                  {"--code-page", "ASCII//TRANSLIT"},
                  "code page ASCII//TRANSLIT: converter modes such as //TRANSLIT and //IGNORE change or "
                  "drop characters"},
        UsageCase{"DotnetWithSingleByte",
                  {"--target-platform", "dotnet", "--encoding", "ascii"},
                  "--target-platform dotnet builds --encoding wide and --table 32"},
        UsageCase{"UnknownOption", {"--colour"}, "--colour"},
        UsageCase{"WidthBeyondAnyScreen",
                  {"--max-width", "4294967295"},
                  "4294967295 px is wider than any screen: a limit takes at most 100000 px"},
        UsageCase{"FontSizeBeyondTheLargest", {"--font-size", "1001"}, "--font-size"},
        UsageCase{"WidthWithoutFont",
                  {"--max-width", "80"},
                  "--limits and --max-width measure strings in the device's font: add --font"},
        UsageCase{"FontOfAnUnknownLanguage",
                  {"--font", "ja=Noto.otf"},
                  "--font ja=Noto.otf: the table has no language with the code 'ja' (its codes: en, de)"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(CommandLine, AProjectWithAJobBuildsItsTableIntoItsFolder) {
    test::WriteFile(dir / "job.lxn",
                    "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"
                    "TABLE=strings.csv\r\nLANGUAGES=de\r\nOUTPUT=job-out\r\n");
    ASSERT_EQ(Run({"build", "-p", Path("job.lxn"), "--unique-id", "0x1"}), kExitSuccess) << err;
    EXPECT_NE(out.find("Number of languages: 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Output folder: " + Path("job-out") + "\n"), std::string::npos) << out;
    EXPECT_TRUE(fs::exists(dir / "job-out" / "Lexicorn.bin"));
    // The command line's own choices win.
    ASSERT_EQ(Run({"build", "-p", Path("job.lxn"), "--languages", "all", "-o", Path("mine")}), kExitSuccess);
    EXPECT_NE(out.find("Number of languages: 2\n"), std::string::npos) << out;
    test::WriteFile(dir / "empty.lxn",
                    "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n");
    EXPECT_EQ(Run({"build", "-p", Path("empty.lxn")}), kExitUsage);
    EXPECT_EQ(err, "lexicorn: TABLE is required (the project names no table)\n");
}

TEST_F(CommandLine, AFileThatCannotBeWrittenIsNamedWithItsReason) {
    fs::create_directories(dir / "out" / "StringList.h");
    test::WriteFile(dir / "out" / "Lexicorn.bin", "earlier");
    EXPECT_EQ(Build(), kExitFailure);
    EXPECT_EQ(err,
              "lexicorn: error 2000100B: " + Path("out/StringList.h") +
                  ": not a regular file\n\nCannot create string list file StringList.h\nError: 0x2000100B\n");
    EXPECT_EQ(test::ReadFile(dir / "out" / "Lexicorn.bin"), "earlier");
}

// A build never writes over what it reads: a workbook named as one of its outputs, or a project
// named so, is refused with both files named, and nothing is written.
TEST_F(CommandLine, BuildRefusesAnOutputThatIsItsTableOrItsProject) {
    const std::string refusal =
        ".\nA build does not write over its own input: please choose another output folder.\n";
    fs::create_directories(dir / "out");
    fs::copy_file(LEXICORN_FIXTURES_DIR "/table.xlsx", dir / "out" / "Lexicorn.c");
    const std::string workbook = test::ReadFile(dir / "out" / "Lexicorn.c");
    EXPECT_EQ(Run({"build", Path("out/Lexicorn.c"), "-o", Path("out")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error 20201004: " + Path("out/Lexicorn.c") + " is the string table " +
                       Path("out/Lexicorn.c") + refusal);
    EXPECT_EQ(test::ReadFile(dir / "out" / "Lexicorn.c"), workbook);
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.bin"));

    ASSERT_TRUE(SaveProjectFile(dir / "StringList.h", ProjectSettings{}));
    const std::string project = test::ReadFile(dir / "StringList.h");
    EXPECT_EQ(Run({"build", Path("strings.csv"), "-p", Path("StringList.h"), "-o", dir.path().string()}),
              kExitFailure);
    EXPECT_EQ(err, "lexicorn: error 20201004: " + Path("StringList.h") + " is the project file " +
                       Path("StringList.h") + refusal);
    EXPECT_EQ(test::ReadFile(dir / "StringList.h"), project);
    EXPECT_FALSE(fs::exists(dir / "Lexicorn.bin"));
}

// Every command refuses an output that is one of its inputs, by its own name or through a link (a
// workbook is known by its content, whatever its name): the message names both files, and the
// input stays as it was.
struct InputAsOutputCase {
    const char* name;
    std::vector<std::string> args;  ///< "@name" stands for the file of the test's folder
    const char* output;             ///< as the message names it
    const char* role;
    const char* input;        ///< as the message names it; it stays as it was
    bool linked = false;      ///< `output` is made a symbolic link to `input` first
    const char* work;         ///< which command refuses
    bool intoFolder = false;  ///< a build: the user chooses another output folder
};
void PrintTo(const InputAsOutputCase& c, std::ostream* os) { *os << c.name; }

class CommandLineInputs : public CommandLine, public testing::WithParamInterface<InputAsOutputCase> {
  protected:
    CommandLineInputs() {
        fs::create_directories(dir / "out");
        fs::create_directories(dir / "o2");
        fs::copy_file(LEXICORN_FIXTURES_DIR "/table.xlsx", dir / "book.png");
        const std::string font = test::BdfFont(test::DeviceGlyphs());
        test::WriteFile(dir / "Device12.bdf", font);
        test::WriteFile(dir / "out" / "Lexicorn.bin", font);
        test::WriteFile(dir / "limits.csv", "OK_TEXT,100\n");
        test::WriteFile(dir / "o2" / "StringList.h", "OK_TEXT,100\n");
        test::WriteFile(dir / "de.po", "msgid \"\"\nmsgstr \"Language: de\\n\"\n");
        test::WriteFile(dir / "device.lxn",
                        "LEXICORNPROJECTFILE\r\n2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"
                        "FONT=Device12.bdf\r\n");
    }
};

TEST_P(CommandLineInputs, AreNeverWrittenOver) {
    const InputAsOutputCase& c = GetParam();
#ifdef _WIN32
    if (c.linked) GTEST_SKIP() << "a link needs the right to make one on Windows";
#endif
    if (c.linked) fs::create_symlink(dir / c.input, dir / c.output);
    const std::string before = test::ReadFile(dir / c.input);
    std::vector<std::string> args;
    for (const std::string& arg : c.args) args.push_back(arg.starts_with('@') ? Path(arg.c_str() + 1) : arg);
    EXPECT_EQ(Run(args), kExitFailure);
    EXPECT_EQ(err,
              fmt::format("lexicorn: error{}: {} is {} {}.\nA {} does not write over its own input: please "
                          "choose another output {}.\n",
                          c.intoFolder ? " 20201004" : "", Path(c.output), c.role, Path(c.input), c.work,
                          c.intoFolder ? "folder" : "file"));
    EXPECT_EQ(test::ReadFile(dir / c.input), before);
    EXPECT_EQ(fs::is_symlink(dir / c.output), c.linked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineInputs,
    testing::Values(
        InputAsOutputCase{.name = "PreviewOverItsWorkbookNamedAsAPicture",
                          .args = {"preview", "@book.png", "--font", "@Device12.bdf", "-o", "@book.png"},
                          .output = "book.png",
                          .role = "the string table",
                          .input = "book.png",
                          .work = "preview"},
        InputAsOutputCase{.name = "PreviewOverALinkToItsFont",
                          .args = {"preview", "@strings.csv", "--font", "@Device12.bdf", "-o", "@font.png"},
                          .output = "font.png",
                          .role = "the device's font",
                          .input = "Device12.bdf",
                          .linked = true,
                          .work = "preview"},
        InputAsOutputCase{.name = "PreviewOverALinkToItsProject",
                          .args = {"preview", "@strings.csv", "-p", "@device.lxn", "-o", "@project.html"},
                          .output = "project.html",
                          .role = "the project file",
                          .input = "device.lxn",
                          .linked = true,
                          .work = "preview"},
        InputAsOutputCase{.name = "PreviewOverALinkToItsLimits",
                          .args = {"preview", "@strings.csv", "--font", "@Device12.bdf", "--limits",
                                   "@limits.csv", "-o", "@limits.png"},
                          .output = "limits.png",
                          .role = "the limits table",
                          .input = "limits.csv",
                          .linked = true,
                          .work = "preview"},
        InputAsOutputCase{.name = "BuildOverItsFont",
                          .args = {"build", "@strings.csv", "--font", "@out/Lexicorn.bin", "-o", "@out"},
                          .output = "out/Lexicorn.bin",
                          .role = "the device's font",
                          .input = "out/Lexicorn.bin",
                          .work = "build",
                          .intoFolder = true},
        InputAsOutputCase{.name = "BuildOverItsLimits",
                          .args = {"build", "@strings.csv", "--font", "@Device12.bdf", "--limits",
                                   "@o2/StringList.h", "-o", "@o2"},
                          .output = "o2/StringList.h",
                          .role = "the limits table",
                          .input = "o2/StringList.h",
                          .work = "build",
                          .intoFolder = true},
        InputAsOutputCase{.name = "ExportOverItsProject",
                          .args = {"export", "@strings.csv", "-p", "@device.lxn", "--language", "de", "-o",
                                   "@device.lxn", "--format", "po"},
                          .output = "device.lxn",
                          .role = "the project file",
                          .input = "device.lxn",
                          .work = "translation export"},
        InputAsOutputCase{.name = "ImportOverALinkToItsTranslation",
                          .args = {"import", "@strings.csv", "@de.po", "-o", "@copy.csv"},
                          .output = "copy.csv",
                          .role = "the translation file",
                          .input = "de.po",
                          .linked = true,
                          .work = "translation import"},
        // The merge itself refuses the image and the target; the project is the command's.
        InputAsOutputCase{
            .name = "MergeOverItsProject",
            .args = {"merge", "@out/Lexicorn.bin", "@strings.csv", "@device.lxn", "-p", "@device.lxn"},
            .output = "device.lxn",
            .role = "the project file",
            .input = "device.lxn",
            .work = "merge"}),
    [](const auto& testCase) { return testCase.param.name; });

// A build that fails writes nothing, not even the output folder it would have made.
TEST_F(CommandLine, AFailedBuildLeavesNoFolderItMade) {
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "OK_TEXT,Again,Wieder\r\n");
    EXPECT_EQ(Run({"build", Path("strings.csv"), "-o", Path("new/out")}), kExitFailure);
    EXPECT_NE(err.find("OK_TEXT"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "new"));

    fs::create_directories(dir / "kept");
    EXPECT_EQ(Run({"build", Path("strings.csv"), "-q", "-o", Path("kept")}), kExitFailure);
    EXPECT_TRUE(fs::is_empty(dir / "kept"));
}

TEST_F(CommandLine, CheckListsEveryFindingThenTheFiguresAndExitsByWhatItFound) {
    test::WriteFile(dir / "strings.csv",
                    std::string(kTable) + "VALUE,Value %d,Wert %s\r\nOK_TEXT,Again,Wieder\r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv")}), kExitFailure);
    EXPECT_EQ(
        out,
        Path("strings.csv") +
            ":C5: error: placeholder-mismatch: the placeholder %s (argument 1) differs from the "
            "default string's %d\n" +
            Path("strings.csv") +
            ":A6: error: duplicate-id: the string id 'OK_TEXT' is already the id in A3\n"
            "language    strings  translated  untranslated  same      bytes  glyphs\n"
            "en                4           4             0     0         21      16\n"
            "de                4           4             0     1         23      13\n"
            "image size 134 bytes, 3 bytes saved by sharing identical strings, 0% of a 16-bit table's 64 KB\n"
            "2 errors, 0 warnings\n");
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "VALUE,Value %d,Wert %s\r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv")}), kExitFailure);
    EXPECT_EQ(
        Run({"check", Path("strings.csv"), "--target-language", "csharp", "--target-platform", "dotnet"}),
        kExitSuccess);  // .NET lists read no printf conversions
    // Warnings alone pass, unless the check is strict.
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "SPACE,Space,Leer \r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv")}), kExitSuccess);
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--strict"}), kExitFailure);
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--json", "--languages", "de"}), kExitSuccess);
    EXPECT_EQ(
        out,
        R"({"errors":0,"warnings":1,"findings":[{"severity":"warning","rule":"whitespace-mismatch","sheet":null,)"
        R"("cell":"C5","row":5,"column":3,"language":"de","message":"trailing white space differs from )"
        R"(the default string"}],"languages":[{"code":"de","strings":3,"translated":3,"untranslated":0,"sameAsDefault":1,"bytes":14,"glyphs":9}],)"
        R"("imageSize":81,)"
        R"("sharedBytesSaved":0,"capacityUsed":0.0004})"
        "\n");
}

TEST_F(CommandLine, CheckUntranslatedListsTheCellsWithoutATranslation) {
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "BACK,Back,\r\nHOME,Home,[USE_DEFAULT]\r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--untranslated", "--languages", "de"}), kExitSuccess);
    EXPECT_EQ(out, Path("strings.csv") + ":C3: same-as-default: de: OK_TEXT\n" + Path("strings.csv") +
                       ":C5: untranslated: de: BACK\n" + Path("strings.csv") +
                       ":C6: untranslated: de: HOME\n"
                       "language    strings  translated  untranslated  same      bytes  glyphs\n"
                       "de                4           2             2     1         18      13\n"
                       "image size 87 bytes, 0 bytes saved by sharing identical strings, 0% of a 16-bit "
                       "table's 64 KB\n"
                       "0 errors, 0 warnings\n");
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--untranslated", "--json", "--languages", "de"}),
              kExitSuccess);
    EXPECT_NE(
        out.find(R"("sameAsDefault":1,"bytes":18,"glyphs":13}],"untranslatedCells":[{"kind":"sameAsDefault",)"
                 R"("sheet":null,"cell":"C3","row":3,"column":3,"language":"de","id":"OK_TEXT"},)"
                 R"({"kind":"untranslated","sheet":null,"cell":"C5","row":5,"column":3,"language":"de",)"
                 R"("id":"BACK"},)"),
        std::string::npos)
        << out;
}

TEST_F(CommandLine, CheckWithTheDevicesFontsNamesWhatDoesNotShow) {
    test::WriteFile(dir / "Device12.bdf", test::BdfFont(test::DeviceGlyphs()));
    test::WriteFile(dir / "limits.csv", "OK_TEXT,10\nNO_TEXT,30,1\nOLD_TEXT,40\n");
    test::WriteFile(dir / "strings.csv", std::string(kTable) +
                                             "SIZE,Size,Grö\xC5\x91"
                                             "e\r\n");
    const std::vector<std::string> check = {"check",  Path("strings.csv"),  "--encoding", "utf8",
                                            "--font", Path("Device12.bdf"), "--limits",   Path("limits.csv")};
    EXPECT_EQ(Run(check), kExitFailure);
    const std::string overflow = " error: too-wide: the text is 12 px wide in " + Path("Device12.bdf") +
                                 ", 2 px more than the 10 px it may take\n";
    EXPECT_EQ(
        out,
        Path("strings.csv") + ":B3:" + overflow + Path("strings.csv") + ":C3:" + overflow +
            Path("strings.csv") + ":C5: error: missing-glyph: '\xC5\x91' (U+0151) is not in " +
            Path("Device12.bdf") + "\n" + Path("limits.csv") +
            ":3: warning: limit-unknown-id: the table has no string with the id 'OLD_TEXT'\n"
            "language    strings  translated  untranslated  same      bytes  glyphs\n"
            "en                3           3             0     0         11       8\n"
            "de                3           3             0     1         16      10\n"
            "image size 113 bytes, 3 bytes saved by sharing identical strings, 0% of a 16-bit table's 64 KB\n"
            "3 errors, 1 warning\n");
    // The size the bitmap font is measured at, given none, beside the report.
    EXPECT_EQ(err, "lexicorn: note: " + Path("Device12.bdf") +
                       ": no size given, so the font is measured at 12 px\n");
    std::vector<std::string> json = check;
    json.push_back("--json");
    EXPECT_EQ(Run(json), kExitFailure);
    EXPECT_NE(
        out.find(R"({"severity":"warning","rule":"limit-unknown-id","file":)" +
                 JsonString(Path("limits.csv")) + R"(,"cell":null,"row":3,"column":1,"language":null,)"),
        std::string::npos)
        << out;
    // A project keeps the device; the build refuses what does not show, and writes nothing.
    test::WriteFile(dir / "device.lxn",
                    "LEXICORNPROJECTFILE\r\n2\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"
                    "FONT=Device12.bdf\r\nMAXWIDTH=100\r\n");
    EXPECT_EQ(Build({"-p", Path("device.lxn")}), kExitFailure);
    EXPECT_NE(err.find("The device's font lacks a character!\n\n'\xC5\x91' (U+0151) is not in " +
                       Path("Device12.bdf") + "\nCell: C5"),
              std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.bin"));
    // A font that cannot be read is named.
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--font", Path("none.ttf")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("none.ttf") + ": No such file or directory\n");
}

TEST_F(CommandLine, ExportWritesOneLanguageOrAFolderOfThem) {
    test::WriteFile(dir / "strings.csv",
                    "ID,English,Deutsch,Fran\xC3\xA7"
                    "ais\r\n,en,de,fr\r\n"
                    "OK_TEXT,OK,OK,\r\nVALUE,Value %d,Wert %d,Valeur %d\r\n");
    ASSERT_EQ(Run({"export", Path("strings.csv"), "--language", "fr", "-o", Path("fr.po")}), kExitSuccess)
        << err;
    EXPECT_EQ(out, Path("fr.po") + ": 2 strings, 1 translated\n");
    const std::string po = test::ReadFile(dir / "fr.po");
    EXPECT_NE(po.find("\"Language: fr\\n\""), std::string::npos) << po;
    EXPECT_NE(
        po.find(
            "#: strings.csv:D4\n#, c-format\nmsgctxt \"VALUE\"\nmsgid \"Value %d\"\nmsgstr \"Valeur %d\"\n"),
        std::string::npos)
        << po;
    // --format wins over the extension.
    ASSERT_EQ(
        Run({"export", Path("strings.csv"), "--language", "de", "-o", Path("de.txt"), "--format", "xliff"}),
        kExitSuccess)
        << err;
    EXPECT_TRUE(test::ReadFile(dir / "de.txt").starts_with("<?xml")) << test::ReadFile(dir / "de.txt");

    // Without a choice every language but the default one, each named after its code.
    ASSERT_EQ(Run({"export", Path("strings.csv"), "-o", Path("agency/new"), "--inline", "x"}), kExitSuccess)
        << err;
    EXPECT_EQ(out, Path("agency/new/de.xlf") + ": 2 strings, 2 translated\n" + Path("agency/new/fr.xlf") +
                       ": 2 strings, 1 translated\n");
    const std::string xliff = test::ReadFile(dir / "agency" / "new" / "fr.xlf");
    EXPECT_NE(xliff.find("target-language=\"fr\""), std::string::npos) << xliff;
    EXPECT_NE(xliff.find("<source>Value <x id=\"1\" equiv-text=\"%d\"/></source>"), std::string::npos)
        << xliff;
    EXPECT_FALSE(fs::exists(dir / "agency" / "new" / "en.xlf"));
    ASSERT_EQ(
        Run({"export", Path("strings.csv"), "--languages", "en,fr", "-o", Path("both"), "--format", "po"}),
        kExitSuccess)
        << err;
    EXPECT_TRUE(fs::exists(dir / "both" / "en.po"));
    EXPECT_TRUE(fs::exists(dir / "both" / "fr.po"));
    EXPECT_FALSE(fs::exists(dir / "both" / "de.po"));
}

// A "Notes" column without a code grew the image as a language with an empty code; the check now
// asks about it, and named as notes it is no language anywhere: not built, not checked, exported
// as the translators' notes.
TEST_F(CommandLine, ANotesColumnIsNoLanguageAndGoesToTheTranslators) {
    test::WriteFile(dir / "strings.csv",
                    "ID,English,Notes,Deutsch\r\n,en,,de\r\nOK_TEXT,OK,a button,OK\r\nNO_TEXT,No,,Nein\r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv")}), kExitSuccess);
    EXPECT_NE(
        out.find(Path("strings.csv") +
                 ":C2: warning: empty-code: the column has no language code in row 2; if it holds notes "
                 "for translators, name it with --notes-column or the project's NOTES line\n"),
        std::string::npos)
        << out;
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--notes-column", "Notes"}), kExitSuccess);
    EXPECT_EQ(
        out,
        "language    strings  translated  untranslated  same      bytes  glyphs\n"
        "en                2           2             0     0          6       4\n"
        "de                2           2             0     1          8       6\n"
        "image size 96 bytes, 3 bytes saved by sharing identical strings, 0% of a 16-bit table's 64 KB\n"
        "0 errors, 0 warnings\n");
    ASSERT_EQ(Build({"--notes-column", "Notes", "--unique-id", "1"}), kExitSuccess) << err;
    const std::string image = test::ReadFile(dir / "out" / "Lexicorn.bin");
    test::WriteFile(dir / "strings.csv", kTable);
    ASSERT_EQ(Build({"--unique-id", "1"}), kExitSuccess) << err;
    EXPECT_EQ(image, test::ReadFile(dir / "out" / "Lexicorn.bin"));

    // The project's line names it as the option does; the option wins.
    test::WriteFile(dir / "strings.csv",
                    "ID,English,Deutsch,Remarks\r\n,en,de,\r\nOK_TEXT,OK,OK,a button\r\n");
    test::WriteFile(dir / "notes.lxn",
                    "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n"
                    "NOTES=Remarks\r\n");
    ASSERT_EQ(Run({"export", Path("strings.csv"), "-p", Path("notes.lxn"), "-o", Path("x")}), kExitSuccess)
        << err;
    EXPECT_EQ(out, Path("x/de.xlf") + ": 1 strings, 1 translated\n");
    EXPECT_NE(test::ReadFile(dir / "x" / "de.xlf").find("</target>\n        <note>a button</note>\n"),
              std::string::npos);
    EXPECT_EQ(Run({"check", Path("strings.csv"), "-p", Path("notes.lxn"), "--notes-column", "Notes"}),
              kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("strings.csv") +
                       ": no column has 'Notes' in row 1 for the notes to translators\n");
}

TEST_F(CommandLine, ExportRefusesWhatItCannotWriteAndLeavesEveryFileAsItWas) {
    const auto refused = [&](std::vector<std::string> args, int code, const std::string& error) {
        args.insert(args.begin(), {"export", Path("strings.csv")});
        EXPECT_EQ(Run(args), code) << args.back();
        EXPECT_EQ(err, error);
        EXPECT_EQ(out, "");
    };
    refused({"--language", "de", "-o", Path("de.txt")}, kExitUsage,
            "lexicorn: --output " + Path("de.txt") +
                ": name an XLIFF file (.xlf, .xliff) or a PO file (.po), or give --format\n");
    refused({"--language", "xx", "-o", Path("xx.po")}, kExitUsage,
            "lexicorn: the table has no language with the code 'xx' (its codes: en, de)\n");
    refused({"--language", "de", "-o", Path("strings.csv"), "--format", "po"}, kExitFailure,
            "lexicorn: error: " + Path("strings.csv") + " is the string table " + Path("strings.csv") +
                ".\nA translation export does not write over its own input: please choose another output "
                "file.\n");
    EXPECT_EQ(test::ReadFile(dir / "strings.csv"), kTable);

    // A table with an id twice: every reason, and not even the folder is made.
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "OK_TEXT,Again,Wieder\r\n");
    refused({"-o", Path("new")}, kExitFailure,
            "lexicorn: error: " + Path("strings.csv") +
                ":A5: error: duplicate-id: the string id 'OK_TEXT' is already the id in A3\n");
    EXPECT_FALSE(fs::exists(dir / "new"));
    test::WriteFile(dir / "strings.csv", "ID,English\r\n,en\r\nOK_TEXT,OK\r\n");
    refused({"-o", Path("new")}, kExitUsage,
            "lexicorn: the table has no language to translate into: only its default one\n");
    // A file of the set that cannot be written leaves the others as they were.
    test::WriteFile(dir / "strings.csv", kTable);
    fs::create_directories(dir / "kept" / "de.po");
    test::WriteFile(dir / "kept" / "en.po", "earlier");
    EXPECT_EQ(
        Run({"export", Path("strings.csv"), "--languages", "en,de", "-o", Path("kept"), "--format", "po"}),
        kExitFailure);
    EXPECT_NE(err.find(Path("kept/de.po")), std::string::npos) << err;
    EXPECT_EQ(test::ReadFile(dir / "kept" / "en.po"), "earlier");
}

const char* const kImportTable =
    "ID,English,Deutsch\r\n"
    ",en,de\r\n"
    "VALUE,Value %d of %s,Wert %d von %s\r\n"
    "OK_TEXT,OK,\r\n"
    "\"TWO_LINES\",\"Say \"\"hi\"\"\nthen go\",\r\n";

TEST_F(CommandLine, ImportTakesTranslationsIntoTheirCellsAndNothingElse) {
    test::WriteFile(dir / "strings.csv", kImportTable);
    test::WriteFile(dir / "de.po",
                    "msgid \"\"\nmsgstr \"\"\n\"Language: de\\n\"\n\n"
                    "msgctxt \"VALUE\"\nmsgid \"Value %d of %s\"\nmsgstr \"Wert %d von %s\"\n\n"
                    "msgctxt \"OK_TEXT\"\nmsgid \"OK\"\nmsgstr \"\"\n\"Gut\"\n\n"
                    "#, fuzzy\nmsgctxt \"TWO_LINES\"\nmsgid \"\"\n\"Say \\\"hi\\\"\\n\"\n\"then go\"\nmsgstr "
                    "\"Sag\"\n");
    // A converter's numbered unit, without an id of the table: found by its source text.
    test::WriteFile(
        dir / "it.xlf",
        "<?xml version=\"1.0\"?>\n<xliff version=\"1.1\" xmlns=\"urn:oasis:names:tc:xliff:document:1.1\">"
        "<file original=\"x\" source-language=\"en\" target-language=\"it\" datatype=\"plaintext\">"
        "<body><trans-unit id=\"7\"><source>Value <ph id=\"1\">%d</ph> of <x id=\"2\" "
        "equiv-text=\"%s\"/></source><target>Valore <ph id=\"1\">%d</ph> di <x id=\"2\" "
        "equiv-text=\"%s\"/></target></trans-unit></body></file></xliff>\n");
    ASSERT_EQ(Run({"import", Path("strings.csv"), Path("de.po"), Path("it.xlf")}), kExitSuccess) << err;
    EXPECT_EQ(out, "warning: " + Path("de.po") + ":15: TWO_LINES (C5): the entry is marked fuzzy: skipped\n" +
                       Path("de.po") + ": de: 1 changed (C4), 1 unchanged, 1 skipped (C5)\n" +
                       Path("it.xlf") + ": it (a new column): 1 changed (D3), 0 unchanged, 0 skipped\n" +
                       Path("it.xlf") +
                       ": 1 unit named no id of the table and matched a string by its source text\n" +
                       "written: " + Path("strings.csv") + "\n");
    EXPECT_EQ(test::ReadFile(dir / "strings.csv"),
              "ID,English,Deutsch,it\r\n"
              ",en,de,it\r\n"
              "VALUE,Value %d of %s,Wert %d von %s,Valore %d di %s\r\n"
              "OK_TEXT,OK,Gut\r\n"
              "\"TWO_LINES\",\"Say \"\"hi\"\"\nthen go\",\r\n");
    // The same again changes nothing; into another file, the table stays as it is.
    const std::string imported = test::ReadFile(dir / "strings.csv");
    ASSERT_EQ(Run({"import", Path("strings.csv"), Path("de.po"), "-o", Path("copy.csv"), "--json"}),
              kExitSuccess)
        << err;
    EXPECT_EQ(
        out,
        R"({"problems":[],"warnings":[)" +
            JsonString(Path("de.po") + ":15: TWO_LINES (C5): the entry is marked fuzzy: skipped") +
            R"(],"languages":[{"file":)" + JsonString(Path("de.po")) +
            R"(,"code":"de","column":3,"added":false,"changed":[],"unchanged":["C3","C4"],"skipped":["C5"],"untranslated":0,"bySource":0}],"written":)" +
            JsonString(Path("copy.csv")) + "}\n");
    EXPECT_EQ(test::ReadFile(dir / "copy.csv"), imported);
    EXPECT_EQ(test::ReadFile(dir / "strings.csv"), imported);
}

TEST_F(CommandLine, ImportRefusesWithEveryReasonAndLeavesTheTableByteForByte) {
    test::WriteFile(dir / "strings.csv", kImportTable);
    test::WriteFile(dir / "slip.po",
                    "msgid \"\"\nmsgstr \"\"\n\"Language: de\\n\"\n\n"
                    "msgctxt \"VALUE\"\nmsgid \"Value %d of %s\"\nmsgstr \"Wert %s von %s\"\n\n"
                    "msgctxt \"GONE\"\nmsgid \"Gone\"\nmsgstr \"Weg\"\n\n"
                    "msgctxt \"OK_TEXT\"\nmsgid \"Okay\"\nmsgstr \"Gut\"\n");
    test::WriteFile(dir / "broken.xlf", "<xliff version=\"1.2\">\n<file target-language=\"fr\">\n</xliff>\n");
    test::WriteFile(dir / "none.po", "msgctxt \"OK_TEXT\"\nmsgid \"OK\"\nmsgstr \"Gut\n");
    EXPECT_EQ(Run({"import", Path("strings.csv"), Path("slip.po"), Path("broken.xlf"), Path("none.po")}),
              kExitFailure);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err,
              Path("broken.xlf") + ":3: malformed XML: mismatched tag\n" + Path("none.po") +
                  ":3: a PO string is written in double quotes\n" + Path("slip.po") +
                  ":5: VALUE (C3): placeholder-mismatch: the placeholder %s (argument 1) differs from the "
                  "default string's %d\n" +
                  Path("slip.po") + ":9: the table has no string with the id GONE\n" +
                  "warning: " + Path("slip.po") +
                  ":13: OK_TEXT (C4): its source is no longer the table's default string (B4); "
                  "--accept-changed-sources takes it: skipped\n" +
                  Path("slip.po") + ": de: 0 changed, 0 unchanged, 1 skipped (C4)\n" +
                  "nothing written: 4 problems\n");
    EXPECT_EQ(test::ReadFile(dir / "strings.csv"), kImportTable);
    // A changed source is taken when asked; a workbook of Excel 97 cannot be written.
    fs::remove(dir / "broken.xlf");
    test::WriteFile(dir / "ok.po",
                    "msgid \"\"\nmsgstr \"\"\n\"Language: de\\n\"\n\nmsgctxt \"OK_TEXT\"\nmsgid "
                    "\"Okay\"\nmsgstr \"Gut\"\n");
    ASSERT_EQ(Run({"import", Path("strings.csv"), Path("ok.po"), "--accept-changed-sources"}), kExitSuccess)
        << err;
    EXPECT_NE(test::ReadFile(dir / "strings.csv").find("OK_TEXT,OK,Gut\r\n"), std::string::npos);
    fs::copy_file(LEXICORN_FIXTURES_DIR "/table.xls", dir / "table.xls");
    const std::string xls = test::ReadFile(dir / "table.xls");
    EXPECT_EQ(Run({"import", Path("table.xls"), Path("ok.po")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: cannot write .xls files: save the workbook as .xlsx or .ods\n");
    EXPECT_EQ(test::ReadFile(dir / "table.xls"), xls);
}

struct GlyphsCase {
    const char* name;
    std::vector<std::string> options;
    std::string output;
};
void PrintTo(const GlyphsCase& c, std::ostream* os) { *os << c.name; }

class CommandLineGlyphs : public CommandLine, public testing::WithParamInterface<GlyphsCase> {};

// de's empty cell takes the default string; fr draws « and » beside ASCII; tab and line feed are no
// glyphs.
TEST_P(CommandLineGlyphs, PrintEachLanguagesCharactersAndAllOfThem) {
    test::WriteFile(dir / "strings.csv",
                    "ID,English,Deutsch,Fran\xC3\xA7"
                    "ais\r\n,en,de,fr\r\nA,ABC,\xC3\x84"
                    "B\tC,\xC2\xAB"
                    "AD\xC2\xBB\r\n"
                    "B,\"b\nd\",,\r\n");
    std::vector<std::string> args = {"glyphs", Path("strings.csv")};
    args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
    ASSERT_EQ(Run(args), kExitSuccess) << err;
    EXPECT_EQ(out, GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CommandLineGlyphs,
    testing::Values(
        GlyphsCase{
            "LvFontConv",
            {},
            "en: 0x41-0x43,0x62,0x64\nde: 0x42-0x43,0x62,0x64,0xC4\nfr: 0x41,0x44,0x62,0x64,0xAB,0xBB\n"
            "all: 0x41-0x44,0x62,0x64,0xAB,0xBB,0xC4\n"},
        GlyphsCase{
            "U8g2", {"--u8g2", "--languages", "de"}, "de: $42-$43,$62,$64,$C4\nall: $42-$43,$62,$64,$C4\n"},
        GlyphsCase{"OnlyAll", {"--only", "all"}, "0x41-0x44,0x62,0x64,0xAB,0xBB,0xC4\n"},
        GlyphsCase{"OnlySymbolsOfOne", {"--only", "fr", "--symbols"}, "ADbd\xC2\xAB\xC2\xBB\n"},
        GlyphsCase{"NoDefaultStrings", {"--no-default-strings", "--only", "de"}, "0x42-0x43,0xC4\n"},
        GlyphsCase{
            "Json",
            {"--json", "--languages", "en"},
            R"({"languages":[{"code":"en","glyphs":5,"ranges":"0x41-0x43,0x62,0x64","u8g2":"$41-$43,$62,$64",)"
            R"("symbols":"ABCbd"}],"all":{"glyphs":5,"ranges":"0x41-0x43,0x62,0x64","u8g2":"$41-$43,$62,$64",)"
            R"("symbols":"ABCbd"}})"
            "\n"}),
    [](const auto& testCase) { return testCase.param.name; });

// What a table holds reaches a terminal only quoted: control characters of ids and texts are spelled
// as `table` and `dump` spell them, in the check's findings and in the build's message alike, so that
// an id cannot retitle the terminal or clear the screen over the findings.
TEST_F(CommandLine, ControlCharactersOfTheTableAreQuotedInMessages) {
    const std::string id = "T\x1b]0;owned\x07\x1b[2J";
    const std::string quoted = "T\\u001b]0;owned\\u0007\\u001b[2J";
    test::WriteFile(dir / "hostile.csv", "ID,English\r\n,en\r\n" + id + ",a\r\n" + id + ",b\r\n");
    EXPECT_EQ(Run({"check", Path("hostile.csv"), "--target-language", "csharp"}), kExitFailure);
    EXPECT_NE(out.find(Path("hostile.csv") + ":A4: error: duplicate-id: the string id '" + quoted +
                       "' is already the id in A3"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find_first_of("\x1b\x07"), std::string::npos);
    EXPECT_EQ(Run({"build", Path("hostile.csv"), "-o", Path("out"), "--target-language", "csharp"}),
              kExitFailure);
    EXPECT_NE(err.find("'" + quoted + "' is no name in C#"), std::string::npos) << err;
    EXPECT_EQ(err.find_first_of("\x1b\x07"), std::string::npos);
}

// printf has no argument 0: check refuses it, and so does a build (strict or not).
TEST_F(CommandLine, ArgumentZeroOfPrintfIsRefused) {
    test::WriteFile(dir / "zero.csv", "ID,English,Deutsch\r\n,en,de\r\nVALUE,Value %d,Wert %0$d\r\n");
    EXPECT_EQ(Run({"check", Path("zero.csv")}), kExitFailure);
    EXPECT_NE(
        out.find(":C3: error: placeholder-mismatch: the placeholder %0$d takes argument 0, which no call "
                 "has: arguments count from 1\n"),
        std::string::npos)
        << out;
    EXPECT_EQ(Run({"build", Path("zero.csv"), "-o", Path("out"), "--strict"}), kExitFailure);
    EXPECT_NE(
        err.find("Placeholders differ from the default string!\n\nthe placeholder %0$d takes argument 0"),
        std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.bin"));
}

TEST_F(CommandLine, GlyphsRefuseAnUnknownSetAndTwoForms) {
    EXPECT_EQ(Run({"glyphs", Path("strings.csv"), "--only", "fr"}), kExitUsage);
    EXPECT_EQ(err, "lexicorn: --only fr: no chosen language has this code\n");
    EXPECT_EQ(Run({"glyphs", Path("strings.csv"), "--u8g2", "--symbols"}), kExitUsage);
}

TEST_F(CommandLine, PreviewWritesThePictureOrAPageWithIt) {
    test::WriteFile(dir / "Device12.bdf", test::BdfFont(test::DeviceGlyphs()));
    const std::vector<std::string> preview = {
        "preview", Path("strings.csv"), "--font", Path("Device12.bdf"), "--max-width", "10"};
    std::vector<std::string> png = preview;
    png.insert(png.end(), {"-o", Path("preview.png")});
    ASSERT_EQ(Run(png), kExitSuccess) << err;
    // The ids (OK_TEXT: 42 px), en ("OK": 12), de ("Nein": 21), each with 4 px either side and a
    // pixel of grid; a heading and two strings of 12 px.
    const test::PngImage picture = test::ReadPng(dir / "preview.png");
    EXPECT_EQ(picture.width, (42 + 9) + (12 + 9) + (21 + 9));
    EXPECT_EQ(picture.height, 3 * 21);
    std::vector<std::string> html = preview;
    html.insert(html.end(), {"-o", Path("preview.html")});
    ASSERT_EQ(Run(html), kExitSuccess) << err;
    const std::string page = test::ReadFile(dir / "preview.html");
    EXPECT_NE(page.find("<td>B3</td><td>en</td><td>too-wide</td>"), std::string::npos) << page;
    EXPECT_NE(page.find("<p>4 errors, 0 warnings</p>"), std::string::npos);

    std::vector<std::string> other = preview;
    other.insert(other.end(), {"-o", Path("preview.gif")});
    EXPECT_EQ(Run(other), kExitUsage);
    EXPECT_EQ(err, "lexicorn: --output " + Path("preview.gif") +
                       ": a preview is a .png picture or an .html page\n");
    EXPECT_EQ(Run({"preview", Path("strings.csv"), "-o", Path("p.png")}), kExitUsage);
    EXPECT_EQ(err, "lexicorn: the preview draws with the device's font: add --font\n");
}

TEST_F(CommandLine, CheckJsonIsValidUtf8WhateverTheTableHolds) {
    test::WriteFile(dir / "strings.csv", std::string(kTable) +
                                             "Gr\xC3\xB6\xC3\x9F"
                                             "e,Size,Gr\xC3\xB6\xC3\x9F"
                                             "e\r\n"
                                             "OFF,%d%\xC3\xA9 off,%s%\xC3\xA9 Rabatt\r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv"), "--json"}), kExitFailure);
    EXPECT_FALSE(FindInvalidUtf8(out)) << out;
    EXPECT_NE(out.find("it holds '\xC3\xB6', which a name cannot"), std::string::npos) << out;
    EXPECT_NE(out.find(R"("errors":2,"warnings":0)"), std::string::npos) << out;
}

// A table of one column has no language: check and build refuse it alike and say so.
TEST_F(CommandLine, CheckAndBuildAgreeThatAOneColumnTableHoldsNoLanguage) {
    test::WriteFile(dir / "strings.csv", "ID\r\n\r\nOK_TEXT\r\n");
    EXPECT_EQ(Run({"check", Path("strings.csv")}), kExitFailure);
    EXPECT_NE(out.find(Path("strings.csv") + ":B1: error: no-language: the table has no language column"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("1 error, 0 warnings\n"), std::string::npos) << out;
    EXPECT_EQ(Build(), kExitFailure);
    EXPECT_EQ(err,
              "lexicorn: error: The string table has no language column!\n\nColumn 2 and the columns after "
              "it hold one language each: its name in row 1, its code in row 2 and its strings from row 3 "
              "on.\n");
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.bin"));
}

TEST_F(CommandLine, BuildPrintsWarningsGoesOnAndRefusesThemWhenStrict) {
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "SPACE,Space,Leer \r\n");
    EXPECT_EQ(Build(), kExitSuccess);
    EXPECT_EQ(err, Path("strings.csv") +
                       ":C5: warning: whitespace-mismatch: trailing white space differs from the default "
                       "string\n");
    EXPECT_EQ(Build({"-q"}), kExitSuccess);
    EXPECT_EQ(err, "");
    fs::remove_all(dir / "out");
    EXPECT_EQ(Build({"--strict"}), kExitFailure);
    EXPECT_NE(err.find("lexicorn: error 2000302B: The string table check found 1 warning(s)"),
              std::string::npos)
        << err;
    EXPECT_FALSE(fs::exists(dir / "out"));  // the folder it made went with it
}

// A placeholder that differs would print its argument wrongly on the device: no build takes it, -q
// does not hide it, and the files of an earlier build stay as they were.
TEST_F(CommandLine, BuildRefusesAPlaceholderThatDiffersNamingItsCell) {
    ASSERT_EQ(Build(), kExitSuccess) << err;
    const std::string earlier = test::ReadFile(dir / "out" / "Lexicorn.bin");
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "VALUE,Value %d,Wert %s\r\n");
    const std::string finding = Path("strings.csv") +
                                ":C5: error: placeholder-mismatch: the placeholder %s (argument 1) differs "
                                "from the default string's %d\n";
    const std::string refusal =
        "lexicorn: error 2000302E: Placeholders differ from the default string!\n\nthe placeholder %s "
        "(argument 1) differs from the default string's %d\nCell: C5\n";
    for (const std::vector<std::string>& extra : {std::vector<std::string>{}, {"-q"}}) {
        EXPECT_EQ(Build(extra), kExitFailure);
        EXPECT_EQ(err, finding + refusal);
        EXPECT_EQ(test::ReadFile(dir / "out" / "Lexicorn.bin"), earlier);
    }
    fs::remove_all(dir / "out");
    EXPECT_EQ(Build(), kExitFailure);
    EXPECT_FALSE(fs::exists(dir / "out"));
}

// A warning that refuses the build is an error: -q, which keeps warnings back, shows it with its cell.
TEST_F(CommandLine, QuietNeverHidesAWarningThatRefusesTheBuild) {
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "VALUE,Value,Wert \r\n");
    EXPECT_EQ(Build({"-q"}), kExitSuccess);
    EXPECT_EQ(err, "");
    EXPECT_EQ(Build({"-q", "--strict"}), kExitFailure);
    EXPECT_TRUE(err.starts_with(Path("strings.csv") + ":C5: warning: whitespace-mismatch: ")) << err;
}

struct HelpCase {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> lines;  ///< options as the help must show them, with the values they take
};
void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class CommandLineHelp : public CommandLine, public testing::WithParamInterface<HelpCase> {};

// Values spelled out as words, and nothing that makes grep call the help binary.
TEST_P(CommandLineHelp, ShowsOptionValuesAsWords) {
    ASSERT_EQ(Run(GetParam().args), kExitSuccess) << err;
    for (char c : out) EXPECT_TRUE(c == '\n' || !std::iscntrl(static_cast<unsigned char>(c))) << int(c);
    for (const std::string& line : GetParam().lines) {
        // A long one is followed by its description on the next line.
        const std::size_t at = out.find("  " + line);
        ASSERT_NE(at, std::string::npos) << line << "\n" << out;
        EXPECT_TRUE(out[at + 2 + line.size()] == ' ' || out[at + 2 + line.size()] == '\n') << line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, CommandLineHelp,
    testing::Values(
        HelpCase{"Lexicorn", {"--help"}, {"build", "check", "dump", "scan", "merge", "table", "--version"}},
        HelpCase{"Build",
                 {"build", "--help"},
                 {"-o,--output DIR", "-p,--project PROJECT.lxn", "--languages CODES|all",
                  "--encoding ascii|wide|utf8", "--table 16|32", "--align 1|2|4", "--byte-order little|big",
                  "--target-language c|csharp|vb", "--target-platform api|dotnet", "--search-step 1|2|4|8|16",
                  "--code-page NAME", "--unique-id HEX"}},
        HelpCase{"Check",
                 {"check", "--help"},
                 {"-p,--project PROJECT.lxn", "--languages CODES|all", "--encoding ascii|wide|utf8",
                  "--table 16|32", "--align 1|2|4", "--target-language c|csharp|vb",
                  "--target-platform api|dotnet", "--code-page NAME", "--strict", "--json"}},
        HelpCase{"Dump", {"dump", "--help"}, {"--json", "--code-page NAME"}},
        HelpCase{"Table", {"table", "--help"}, {"--json", "--csv", "--code-page NAME"}},
        HelpCase{"Scan", {"scan", "--help"}, {"TARGET"}},
        HelpCase{"Merge",
                 {"merge", "--help"},
                 {"--mode append|overwrite", "--place end|begin|HEX", "--align 1|2|4|8|16",
                  "-p,--project PROJECT.lxn"}}),
    [](const auto& testCase) { return testCase.param.name; });

struct WordCase {
    const char* name;
    std::vector<std::string> args;
    const char* dumped;  ///< in the image's JSON dump
    const char* file;    ///< written beside the image
};
void PrintTo(const WordCase& c, std::ostream* os) { *os << c.name; }

class CommandLineWords : public CommandLine, public testing::WithParamInterface<WordCase> {};

TEST_P(CommandLineWords, GiveTheirSetting) {
    ASSERT_EQ(Build(GetParam().args), kExitSuccess) << err;
    EXPECT_NE(Dump().find(GetParam().dumped), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "out" / GetParam().file)) << GetParam().file;
}

INSTANTIATE_TEST_SUITE_P(
    EveryWord, CommandLineWords,
    testing::Values(WordCase{"Ascii", {"--encoding", "ascii"}, R"("encoding":0,)", "Lexicorn.c"},
                    WordCase{"Wide", {"--encoding", "wide"}, R"("encoding":1,)", "Lexicorn.c"},
                    WordCase{"Utf8", {"--encoding", "utf8"}, R"("encoding":2,)", "Lexicorn.c"},
                    WordCase{"Table16", {"--table", "16"}, R"("tableType":16,)", "Lexicorn.c"},
                    WordCase{"Table32", {"--table", "32"}, R"("tableType":32,)", "Lexicorn.c"},
                    WordCase{"Little", {"--byte-order", "little"}, R"("byteOrder":"little")", "Lexicorn.c"},
                    WordCase{"Big", {"--byte-order", "big"}, R"("byteOrder":"big")", "Lexicorn.c"},
                    WordCase{"C", {"--target-language", "c"}, R"("stringCount":2)", "StringList.h"},
                    WordCase{"CSharp",
                             {"--target-language", "csharp", "--target-platform", "dotnet"},
                             R"("encoding":1,"tableType":32)",
                             "StringList.cs"},
                    WordCase{"VisualBasic",
                             {"--target-language", "vb", "--target-platform", "dotnet"},
                             R"("stringCount":2)",
                             "StringList.vb"},
                    WordCase{"Api", {"--target-platform", "api"}, R"("encoding":0,)", "Lexicorn.c"}),
    [](const auto& testCase) { return testCase.param.name; });

struct UnknownCase {
    const char* name;
    std::vector<std::string> args;  ///< "TABLE" stands for the table
    const char* error;
};
void PrintTo(const UnknownCase& c, std::ostream* os) { *os << c.name; }

class CommandLineUnknown : public CommandLine, public testing::WithParamInterface<UnknownCase> {};

TEST_P(CommandLineUnknown, IsNamedWithTheNearestKnownName) {
    std::vector<std::string> args = GetParam().args;
    std::replace(args.begin(), args.end(), std::string("TABLE"), Path("strings.csv"));
    args.insert(args.end(), {"-o", Path("out")});
    EXPECT_EQ(Run(args), kExitUsage);
    EXPECT_EQ(err, std::string(GetParam().error) + "\nRun with --help for more information.\n");
    EXPECT_EQ(out, "");
    EXPECT_FALSE(fs::exists(dir / "out"));
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CommandLineUnknown,
    testing::Values(
        UnknownCase{
            "Command", {"biuld", "TABLE"}, "lexicorn: unknown command 'biuld'; did you mean 'build'?"},
        UnknownCase{"CommandWithOptions",
                    {"tabel", "TABLE", "--json"},
                    "lexicorn: unknown command 'tabel'; did you mean 'table'?"},
        UnknownCase{"CommandBeforeAKnownOne",
                    {"dumb", "build", "TABLE"},
                    "lexicorn: unknown command 'dumb'; did you mean 'dump'?"},
        UnknownCase{"OptionOfLexicorn",
                    {"--verison", "build", "TABLE"},
                    "lexicorn: unknown option '--verison'; did you mean '--version'?"},
        UnknownCase{"OptionOfBuild",
                    {"build", "TABLE", "--encodng", "wide"},
                    "lexicorn build: unknown option '--encodng'; did you mean '--encoding'?"},
        UnknownCase{"OptionWithItsValue",
                    {"build", "TABLE", "--byteorder=big"},
                    "lexicorn build: unknown option '--byteorder'; did you mean '--byte-order'?"},
        UnknownCase{"OptionBeforeAMissingArgument",
                    {"build", "--quite"},
                    "lexicorn build: unknown option '--quite'; did you mean '--quiet'?"},
        UnknownCase{"OptionBeforeABadValue",
                    {"build", "TABLE", "--align", "3", "--langauges", "en"},
                    "lexicorn build: unknown option '--langauges'; did you mean '--languages'?"},
        UnknownCase{"ShortOptionInAnotherCase",
                    {"merge", "a", "b", "c", "-Y"},
                    "lexicorn merge: unknown option '-Y'; did you mean '-y'?"},
        UnknownCase{"OptionOfTable",
                    {"table", "TABLE", "--jsno"},
                    "lexicorn table: unknown option '--jsno'; did you mean '--json'?"},
        UnknownCase{"SurplusWord",
                    {"build", "TABLE", "extra"},
                    "lexicorn: The following argument was not expected: extra"},
        UnknownCase{"FarFromEveryCommand", {"frobnicate", "TABLE"}, "lexicorn: unknown command 'frobnicate'"},
        UnknownCase{"OptionWrittenAsACommand",
                    {"version"},
                    "lexicorn: unknown command 'version'; did you mean '--version'?"},
        UnknownCase{"FarFromEveryOption",
                    {"build", "TABLE", "--colourful"},
                    "lexicorn build: unknown option '--colourful'"},
        UnknownCase{"ExcludedOptions",
                    {"build", "TABLE", "--file-system", "--no-file-system"},
                    "lexicorn: --no-file-system excludes --file-system"}),
    [](const auto& testCase) { return testCase.param.name; });

// The manual page names every option that the help of a command lists, in that command's section.
// `text` as a JSON string: the paths of the tests hold backslashes on Windows.
std::string JsonQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

class ManualPage : public CommandLine, public testing::WithParamInterface<std::string> {
  protected:
    // The section of the page (scdoc source) under `heading`, up to the next heading.
    static std::string Section(const std::string& heading) {
        const std::string page = test::ReadFile(LEXICORN_MANUAL_PAGE);
        const std::size_t start = page.find("\n" + heading + "\n");
        if (start == std::string::npos) return {};
        return page.substr(start, page.find("\n#", start + 1) - start);
    }
    // The first words of the lines of a help text that start with `lead`, such as "-o,--output".
    std::vector<std::string> Listed(const std::string& lead) const {
        std::vector<std::string> words;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            if (line.starts_with(lead)) words.push_back(line.substr(2, line.find(' ', 2) - 2));
        return words;
    }
};

TEST_P(ManualPage, NamesEveryOptionOfTheHelp) {
    const std::string& command = GetParam();
    const std::string section = Section(command.empty() ? "# OPTIONS" : "## " + command);
    ASSERT_FALSE(section.empty()) << "no section for '" << command << "'";
    std::vector<std::string> help = {command, "--help"};
    if (command.empty()) help.erase(help.begin());
    ASSERT_EQ(Run(help), kExitSuccess);
    const std::vector<std::string> options = Listed("  -");
    ASSERT_FALSE(options.empty()) << out;
    for (const std::string& names : options) {
        std::istringstream each(names);
        for (std::string name; std::getline(each, name, ',');)
            EXPECT_NE(section.find("*" + name + "*"), std::string::npos) << command << " " << name;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, ManualPage,
                         testing::Values("", "build", "check", "dump", "table", "glyphs", "preview", "scan",
                                         "merge", "export", "import", "help"),
                         [](const auto& testCase) {
                             return testCase.param.empty() ? "Lexicorn" : testCase.param;
                         });

// `lexicorn help [COMMAND]` is --help by another name.
TEST_F(CommandLine, HelpPrintsWhatHelpOptionsPrint) {
    for (const std::vector<std::string>& asked : {std::vector<std::string>{}, {"build"}, {"merge"}}) {
        std::vector<std::string> option = asked;
        option.push_back("--help");
        ASSERT_EQ(Run(option), kExitSuccess);
        const std::string expected = out;
        std::vector<std::string> command = {"help"};
        command.insert(command.end(), asked.begin(), asked.end());
        ASSERT_EQ(Run(command), kExitSuccess) << err;
        EXPECT_EQ(out, expected);
        EXPECT_EQ(err, "");
    }
    EXPECT_EQ(Run({"help", "biuld"}), kExitUsage);
    EXPECT_EQ(err,
              "lexicorn help: unknown command 'biuld'; did you mean 'build'?\nRun with --help for more "
              "information.\n");
}

TEST_F(ManualPage, HasASectionForEveryCommand) {
    ASSERT_EQ(Run({"--help"}), kExitSuccess);
    const std::string subcommands = out.substr(out.find("Subcommands:"));
    std::istringstream lines(subcommands);
    std::string line;
    std::getline(lines, line);
    int commands = 0;
    while (std::getline(lines, line) && !line.empty()) {
        const std::string command = line.substr(2, line.find(' ', 2) - 2);
        EXPECT_FALSE(Section("## " + command).empty()) << command;
        ++commands;
    }
    EXPECT_EQ(commands, 11);
}

TEST_F(CommandLine, MalformedSourceDateEpochIsAUsageError) {
    test::SetEnvironment("SOURCE_DATE_EPOCH", "yesterday");
    EXPECT_EQ(Build(), kExitUsage);
    EXPECT_EQ(err, "lexicorn: SOURCE_DATE_EPOCH is not a number of seconds: yesterday\n");
    // An explicit id does not make the environment right.
    EXPECT_EQ(Build({"--unique-id", "0x1"}), kExitUsage);
    EXPECT_EQ(err, "lexicorn: SOURCE_DATE_EPOCH is not a number of seconds: yesterday\n");
}

TEST_F(CommandLine, BuildErrorsGoToStandardErrorWithTheirCode) {
    test::WriteFile(dir / "strings.csv", std::string(kTable) + "OK_TEXT,Again,Wieder\r\n");
    EXPECT_EQ(Build(), kExitFailure);
    // Every finding of the check, then the build's own message for the first error it meets.
    EXPECT_EQ(err, Path("strings.csv") +
                       ":A5: error: duplicate-id: the string id 'OK_TEXT' is already the id in A3\n"
                       "lexicorn: error 2820D000: Duplicate string id !!!\n\nOK_TEXT\nRow: 5\n");
    EXPECT_EQ(out, "");
}

TEST_F(CommandLine, DotnetTargetForcesWideThirtyTwoBitAndCSharpList) {
    ASSERT_EQ(Build({"--target-platform", "dotnet", "--target-language", "csharp"}), kExitSuccess) << err;
    EXPECT_TRUE(fs::exists(dir / "out" / "StringList.cs"));
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.c"));
    EXPECT_NE(Dump().find(R"("encoding":1,"tableType":32)"), std::string::npos);
}

TEST_F(CommandLine, CancellationStopsTheBuildWithExitCode130) {
    RequestCancel();
    EXPECT_EQ(Build(), kExitCancelled);
    // Standard output holds results only; -q keeps back what went right, not this.
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "Cancelled by user!\n");
    EXPECT_FALSE(fs::exists(dir / "out" / "Lexicorn.bin"));
    RequestCancel();
    EXPECT_EQ(Build({"-q"}), kExitCancelled);
    EXPECT_EQ(err, "Cancelled by user!\n");
    EXPECT_EQ(Build({"-q"}), kExitSuccess);  // the request is used up
}

TEST_F(CommandLine, UnreadableInputsAreNamed) {
    EXPECT_EQ(Run({"build", Path("none.csv")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("none.csv") + ": no such file\n");
    test::WriteFile(dir / "bad.bin", "not an image at all, surely not one at all, not even close to one");
    EXPECT_EQ(Run({"dump", Path("bad.bin")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("bad.bin") +
                       ": not a valid Lexicorn image: no Lexicorn signature at the start\n");
    test::WriteFile(dir / "bad.csv", "a,\"open\n");
    EXPECT_EQ(Run({"table", Path("bad.csv")}), kExitFailure);
    EXPECT_EQ(err,
              "lexicorn: error: " + Path("bad.csv") + ": row 1, column 2: a quoted cell is never closed\n");
}

TEST_F(CommandLine, TableReadsStandardInputAndNamesItInItsErrors) {
    ASSERT_EQ(Run({"table", Path("strings.csv"), "--csv"}), kExitSuccess) << err;
    const std::string fromFile = out;
    input.str(kTable);
    ASSERT_EQ(Run({"table", "-", "--csv"}), kExitSuccess) << err;
    EXPECT_EQ(out, fromFile);
    input.str("a,\"open\n");
    input.clear();
    EXPECT_EQ(Run({"table", "-"}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: standard input: row 1, column 2: a quoted cell is never closed\n");
}

TEST_F(CommandLine, TablePrintsTheCellsAsJson) {
    test::WriteFile(dir / "t.csv", "a,\"b\nc\"\n\xC3\xA9\n");
    ASSERT_EQ(Run({"table", Path("t.csv"), "--json"}), kExitSuccess);
    EXPECT_EQ(out, "{\"rows\":2,\"columns\":2,\"cells\":[[\"a\",\"b\\nc\"],[\"\xC3\xA9\",\"\"]]}\n");
}

TEST_F(CommandLine, TableCsvQuotesOnlyWhatNeedsIt) {
    test::WriteFile(dir / "t.csv",
                    "id,plain,\"a,b\",\"say \"\"hi\"\"\"\nx,\"two\nlines\",\xC3\xA9 \xE2\x82\xAC,\n");
    ASSERT_EQ(Run({"table", Path("t.csv"), "--csv"}), kExitSuccess) << err;
    EXPECT_EQ(out, "id,plain,\"a,b\",\"say \"\"hi\"\"\"\r\nx,\"two\nlines\",\xC3\xA9 \xE2\x82\xAC,\r\n");
    EXPECT_EQ(Run({"table", Path("t.csv"), "--csv", "--json"}), kExitUsage);
    EXPECT_EQ(err, "lexicorn: --json and --csv: the table is printed in one form only\n");
}

// The same table as a workbook of each format and as CSV; .xls only where its reader program is built.
std::vector<std::string> FixtureTables() {
    std::vector<std::string> tables = {LEXICORN_FIXTURES_DIR "/table.xlsx",
                                       LEXICORN_FIXTURES_DIR "/table.ods"};
    if (LEXICORN_TEST_XLS) tables.push_back(LEXICORN_FIXTURES_DIR "/table.xls");
    tables.push_back(LEXICORN_FIXTURES_DIR "/table.csv");
    return tables;
}

// What git diff shows of a workbook is the workbook: its CSV reads back as the same cells.
TEST_F(CommandLine, TableCsvReadsBackAsTheSameCells) {
    test::WriteFile(dir / "tricky.csv",
                    "\"a,\"\"b\"\"\",\" lead\",\"cr\rlf\r\nend\"\r\n,\"\",\"only\rcr\"\r\n");
    std::vector<std::string> tables = FixtureTables();
    tables.push_back(Path("tricky.csv"));
    for (const std::string& table : tables) {
        ASSERT_EQ(Run({"table", table, "--json"}), kExitSuccess) << table << ": " << err;
        const std::string cells = out;
        ASSERT_EQ(Run({"table", table, "--csv"}), kExitSuccess) << table << ": " << err;
        test::WriteFile(dir / "again.csv", out);
        ASSERT_EQ(Run({"table", Path("again.csv"), "--json"}), kExitSuccess) << table << ": " << err;
        EXPECT_EQ(out, cells) << table;
    }
}

#ifndef _WIN32
// Ctrl-C goes to lexicorn alone, as the .xls reader runs in a process group of its own: lexicorn
// stops the reader and the command ends as a cancelled build ends, whichever command reads the
// table. The reader stands in for the terminal: it sends the Ctrl-C to lexicorn, its parent.
TEST_F(CommandLine, CtrlCWhileTheXlsReaderRunsCancelsTheCommand) {
    test::WriteFile(dir / "reader", "#!/bin/sh\nkill -INT $PPID\nexec sleep 30\n");
    fs::permissions(dir / "reader", fs::perms::owner_all);
    test::SetEnvironment("LEXICORN_XLS_READER", Path("reader").c_str());
    OnInterrupt([] { RequestCancel(); });
    const std::string table = LEXICORN_FIXTURES_DIR "/table.xls";
    const std::vector<std::vector<std::string>> commands = {
        {"table", table}, {"check", table}, {"build", table, "-o", Path("out")}, {"glyphs", table}};
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command.front());
        EXPECT_EQ(Run(command), kExitCancelled);
        EXPECT_EQ(err, "Cancelled by user!\n");
        EXPECT_EQ(out, "");
        EXPECT_FALSE(CancelRequested());  // taken: the next command runs
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
    std::signal(SIGINT, SIG_DFL);
    test::UnsetEnvironment("LEXICORN_XLS_READER");
}
#endif

TEST_F(CommandLine, WorkbooksBuildLikeTheirCsv) {
    for (const std::string& table : FixtureTables()) {
        ASSERT_EQ(Run({"build", table, "-o", Path("out"), "--encoding", "utf8", "--table", "32",
                       "--unique-id", "1", "-q"}),
                  kExitSuccess)
            << table << ": " << err;
        const std::string dump = Dump();
        EXPECT_NE(dump.find("\"\xCE\x93\xCE\xB5\xCE\xB9\xCE\xAC \xCF\x83\xCE\xBF\xCF\x85\""),
                  std::string::npos)
            << table;
        EXPECT_NE(dump.find("[\"OK\",\"Cancel\",\"Hello \xF0\x9F\x98\x80\",\"1\",\"Only English\""),
                  std::string::npos)
            << table;
    }
    EXPECT_EQ(Run({"build", std::string(LEXICORN_FIXTURES_DIR "/table.xlsx"), "-o", Path("out")}),
              kExitFailure);
    EXPECT_NE(err.find("row 1, column 5: the character U+0420 '\xD0\xA0' is not in code page CP1252"),
              std::string::npos)
        << err;
}

// Workbooks are opened by the name the table's other readers take, whatever characters it holds.
TEST_F(CommandLine, WorkbooksBuildFromAFolderWithAccents) {
    const std::string folder = Path("Ger\u00E4t");
    fs::create_directory(folder);
    for (const std::string format : {"xlsx", "ods"}) {
        const std::string table = folder + "/\u00DCbersicht." + format;
        test::WriteFile(table, test::ReadFile(LEXICORN_FIXTURES_DIR "/table." + format));
        EXPECT_EQ(Run({"build", table, "-o", Path("out"), "--encoding", "wide", "-q"}), kExitSuccess)
            << table << ": " << err;
    }
}

TEST_F(CommandLine, ExampleTableBuilds) {
    ASSERT_EQ(Run({"build", LEXICORN_EXAMPLES_DIR "/strings.csv", "-o", Path("out"), "-p",
                   LEXICORN_EXAMPLES_DIR "/example.lxn"}),
              kExitSuccess)
        << err;
    EXPECT_NE(Dump().find("\"Fehler: \xE2\x80\x9E%s\xE2\x80\x9C nicht gefunden\""), std::string::npos);
}

// The first old image of a target, at 0x100, 0x60 bytes, which every merge makes obsolete.
const std::string kOldImageMadeObsolete =
    "A Lexicorn at 0x00000100: size 0x00000060, made obsolete: firmware that read it with "
    "lxn_attach_embedded "
    "(the copy compiled in from Lexicorn.c) finds the new one with lxn_find.\n";

class MergeCommandLine : public CommandLine {
  protected:
    MergeCommandLine() {
        EXPECT_EQ(Build({"--unique-id", "0x622B634C"}), kExitSuccess);
        image = test::ReadFile(dir / "out" / "Lexicorn.bin");
        target = std::string(0x100, 'T') + image + std::string(0x1000, 'U');
        test::WriteFile(dir / "fw.bin", target);
    }
    std::string image;
    std::string target;
};

TEST_F(MergeCommandLine, ScanShowsTheOldImage) {
    ASSERT_EQ(Run({"scan", Path("fw.bin")}), kExitSuccess) << err;
    EXPECT_EQ(out,
              "Target already has a Lexicorn. New Lexicorn will make this old Lexicorn obsolete.\n"
              "Lexicorn Size: 0x00000060\nLexicorn Position: 0x00000100\n");
    EXPECT_EQ(Run({"scan", Path("none.bin")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("none.bin") + ": the file cannot be read (error 20001006)\n");
}

// Every old image is retired; a signature with no image behind it is left alone; both are said.
TEST_F(MergeCommandLine, EveryOldImageIsRetiredAndABareSignatureIsLeftAlone) {
    const std::string twice = std::string(0x100, 'T') + image + std::string(0x20, 'U') + image.substr(0, 8) +
                              std::string(0x18, 'V') + image + std::string(0x40, 'W');
    test::WriteFile(dir / "twice.bin", twice);
    const std::string notes =
        "Also a Lexicorn at 0x000001A0: size 0x00000060, made obsolete as well.\n"
        "A signature at 0x00000180 has no valid Lexicorn behind it: left as it is.\n";
    ASSERT_EQ(Run({"scan", Path("twice.bin")}), kExitSuccess) << err;
    EXPECT_EQ(out,
              "Target already has a Lexicorn. New Lexicorn will make this old Lexicorn obsolete.\n"
              "Lexicorn Size: 0x00000060\nLexicorn Position: 0x00000100\n" +
                  notes);
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("twice.bin"), Path("merged.bin")}), kExitSuccess)
        << err;
    EXPECT_EQ(out, "Merge operation done successfully.\nPlaced at 0x00000240, 96 bytes.\n" +
                       kOldImageMadeObsolete + notes);
    std::string expected = twice;
    expected.replace(0x100, 8, std::string(8, '\0'));
    expected.replace(0x1A0, 8, std::string(8, '\0'));
    EXPECT_EQ(test::ReadFile(dir / "merged.bin"), expected + image);
    EXPECT_EQ(test::ReadFile(dir / "twice.bin"), twice);
}

TEST_F(MergeCommandLine, MergeAppendsAtTheEndByDefault) {
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), Path("merged.bin")}), kExitSuccess)
        << err;
    EXPECT_EQ(
        out, "Merge operation done successfully.\nPlaced at 0x00001160, 96 bytes.\n" + kOldImageMadeObsolete);
    const std::string merged = test::ReadFile(dir / "merged.bin");
    ASSERT_EQ(merged.size(), target.size() + image.size());  // the target ends on a multiple of 16
    EXPECT_EQ(merged.substr(0x100, 8), std::string(8, '\0'));
    EXPECT_EQ(merged.substr(target.size()), image);
    EXPECT_EQ(test::ReadFile(dir / "fw.bin"), target);
}

TEST_F(MergeCommandLine, ScanJsonSumsTheTargetUpInOneObject) {
    ASSERT_EQ(Run({"scan", Path("fw.bin"), "--json"}), kExitSuccess) << err;
    EXPECT_EQ(out, R"({"target":)" + JsonQuoted(Path("fw.bin")) +
                       R"(,"lexicorn":true,"size":96,"position":256,"form":"binary","span":null})"
                       "\n");
    test::WriteFile(dir / "fw.hex", ":0400100001020304E2\n:00000001FF\n");
    ASSERT_EQ(Run({"scan", Path("fw.hex"), "--json"}), kExitSuccess) << err;
    EXPECT_EQ(out, R"({"target":)" + JsonQuoted(Path("fw.hex")) +
                       R"(,"lexicorn":false,"size":0,"position":0,"form":"ihex","span":{"low":16,"high":19}})"
                       "\n");
}

// Each registered form is taken by its word, writes a file of its own extension in its form, and a
// scan of a text form names that form by the same word.
TEST_F(MergeCommandLine, EachFormIsWrittenAndScannedByItsWord) {
    for (const FirmwareForm* form : kFirmwareForms) {
        SCOPED_TRACE(form->name);
        const std::string output = Path("m.") + std::string(form->extensions.front());
        ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), output, "--output-format",
                       std::string(form->word)}),
                  kExitSuccess)
            << err;
        const std::string written = test::ReadFile(output);
        EXPECT_EQ(DetectFirmwareFormat(written), form->format);
        ASSERT_EQ(Run({"scan", output, "--json"}), kExitSuccess) << err;
        const std::string shown =
            form->format == FirmwareFormat::kBinary ? "binary" : std::string(form->word);
        EXPECT_NE(out.find(R"("form":")" + shown + '"'), std::string::npos) << out;
    }
}

// The merged file whole on standard output, the messages on standard error; -q keeps them back.
TEST_F(MergeCommandLine, MergeWritesStandardOutputAndIsQuietWhenAsked) {
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), Path("merged.bin"), "-q"}),
              kExitSuccess)
        << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), "-"}), kExitSuccess) << err;
    EXPECT_EQ(out, test::ReadFile(dir / "merged.bin"));
    EXPECT_EQ(
        err, "Merge operation done successfully.\nPlaced at 0x00001160, 96 bytes.\n" + kOldImageMadeObsolete);
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), "-", "--quiet"}), kExitSuccess) << err;
    EXPECT_EQ(out, test::ReadFile(dir / "merged.bin"));
    EXPECT_EQ(err, "");
    // A failed merge writes nothing there.
    EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), "-", "--mode", "overwrite", "--place",
                   "FFFFFFF0"}),
              kExitFailure);
    EXPECT_EQ(out, "");
}

TEST_F(MergeCommandLine, DumpReadsTheImageFromStandardInput) {
    ASSERT_EQ(Run({"dump", Path("out/Lexicorn.bin"), "--json"}), kExitSuccess) << err;
    const std::string fromFile = out;
    input.str(image);
    ASSERT_EQ(Run({"dump", "-", "--json"}), kExitSuccess) << err;
    EXPECT_EQ(out, fromFile);
    input.str(target);
    EXPECT_EQ(Run({"dump", "-"}), kExitFailure);
    EXPECT_EQ(
        err,
        "lexicorn: error: standard input: not a valid Lexicorn image: no Lexicorn signature at the start\n");
}

TEST_F(MergeCommandLine, UnalignedAddressNeedsAnAnswer) {
    const std::vector<std::string> args = {
        "merge", Path("out/Lexicorn.bin"), Path("fw.bin"), Path("m.bin"), "--mode", "overwrite", "--place",
        "101"};
    EXPECT_EQ(Run(args), kExitFailure);  // no terminal to ask
    EXPECT_NE(err.find("give --yes"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "m.bin"));
    std::istringstream no("n\n");
    EXPECT_EQ(Run(args, &no), kExitFailure);
    EXPECT_EQ(err,
              "The adress you specified isn't multiple of the alignment. Are you sure you want to continue? "
              "[y/N] lexicorn: Aborting merge process.\n");
    std::istringstream yes("y\n");
    EXPECT_EQ(Run(args, &yes), kExitSuccess);
    EXPECT_EQ(test::ReadFile(dir / "m.bin").substr(0x101, image.size()), image);
    std::vector<std::string> forced = args;
    forced.push_back("--yes");
    EXPECT_EQ(Run(forced), kExitSuccess);
    forced.back() = "--align";
    forced.push_back("1");
    EXPECT_EQ(Run(forced), kExitSuccess);  // aligned to 1: nothing to ask
}

TEST_F(MergeCommandLine, ARefusedImageIsNamedBeforeAnyQuestion) {
    // Nobody is asked about an address for an image that is refused anyway.
    std::istringstream yes("y\n");
    EXPECT_EQ(
        Run({"merge", Path("fw.bin"), Path("fw.bin"), Path("m.bin"), "--mode", "overwrite", "--place", "101"},
            &yes),
        kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("fw.bin") + ": Invalid Lexicorn file.\n");
    EXPECT_FALSE(fs::exists(dir / "m.bin"));
}

struct MergeUsageCase {
    const char* name;
    std::vector<std::string> args;  ///< after "merge"; "IMAGE", "FW" and "OUT" stand for the files
    int exitCode;
    const char* errorText;
};
void PrintTo(const MergeUsageCase& c, std::ostream* os) { *os << c.name; }

class MergeRefusals : public MergeCommandLine, public testing::WithParamInterface<MergeUsageCase> {};

TEST_P(MergeRefusals, NameWhatIsWrong) {
    std::vector<std::string> args = {"merge"};
    for (const auto& arg : GetParam().args)
        args.push_back(arg == "IMAGE" ? Path("out/Lexicorn.bin")
                       : arg == "FW"  ? Path("fw.bin")
                       : arg == "OUT" ? Path("m.bin")
                                      : arg);
    EXPECT_EQ(Run(args), GetParam().exitCode);
    EXPECT_NE(err.find(GetParam().errorText), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir / "m.bin"));
    EXPECT_EQ(test::ReadFile(dir / "fw.bin"), target);
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, MergeRefusals,
    testing::Values(
        MergeUsageCase{"AddressInAppendMode",
                       {"IMAGE", "FW", "OUT", "--place", "1000"},
                       kExitUsage,
                       "--place ADDRESS needs --mode overwrite"},
        MergeUsageCase{"NotHex",
                       {"IMAGE", "FW", "OUT", "--mode", "overwrite", "--place", "1G"},
                       kExitUsage,
                       "Invalid Hex value!"},
        MergeUsageCase{"NineDigits",
                       {"IMAGE", "FW", "OUT", "--mode", "overwrite", "--place", "123456789"},
                       kExitUsage,
                       "Invalid Hex value!"},
        MergeUsageCase{"BeyondFourGigabytes",
                       {"IMAGE", "FW", "OUT", "--mode", "overwrite", "--place", "FFFFFFF0"},
                       kExitFailure,
                       "Can not start merge operation.2000D024"},
        MergeUsageCase{"NotAnImage", {"FW", "FW", "OUT"}, kExitFailure, "fw.bin: Invalid Lexicorn file."},
        MergeUsageCase{"EmptyPlace",
                       {"IMAGE", "FW", "OUT", "--mode", "overwrite", "--place", ""},
                       kExitUsage,
                       "--place takes end, begin or a hexadecimal address"},
        MergeUsageCase{"BadAlignment", {"IMAGE", "FW", "OUT", "--align", "3"}, kExitUsage, "--align"},
        MergeUsageCase{"FillBeyondAByte",
                       {"IMAGE", "FW", "OUT", "--fill", "256"},
                       kExitUsage,
                       "--fill 256: not a byte (0 to 255, or 0x00 to 0xFF)"},
        MergeUsageCase{"FillWithoutDigits", {"IMAGE", "FW", "OUT", "--fill", "0x"}, kExitUsage, "--fill 0x:"},
        MergeUsageCase{"FillNegative", {"IMAGE", "FW", "OUT", "--fill", "-1"}, kExitUsage, "--fill -1:"},
        MergeUsageCase{"OutputNamedForAnotherForm",
                       {"IMAGE", "FW", "OUT", "--output-format", "srec"},
                       kExitUsage,
                       "m.bin: the extension .bin means Binary, but the output form chosen is S-records"},
        MergeUsageCase{"UnknownMode",
                       {"IMAGE", "FW", "OUT", "--mode", "middle"},
                       kExitUsage,
                       "--mode: middle not in {append,overwrite}"}),
    [](const auto& testCase) { return testCase.param.name; });

// Erased flash reads 0xFF: gaps take the fill byte, from the option or else from the project.
TEST_F(MergeCommandLine, GapsTakeTheFillByte) {
    const std::string withGap = std::string(0x101, 'T');  // the image goes to the next multiple of 16
    test::WriteFile(dir / "odd.bin", withGap);
    for (const auto& [arguments, fill] :
         std::vector<std::pair<std::vector<std::string>, char>>{{{"--fill", "0xFF"}, '\xFF'},
                                                                {{"--fill", "165"}, '\xA5'},
                                                                {{}, '\0'},
                                                                {{"-p", Path("fill.lxn")}, '\x5A'}}) {
        ProjectSettings project;
        project.fillByte = 0x5A;
        ASSERT_TRUE(SaveProjectFile(dir / "fill.lxn", project));
        std::vector<std::string> command = {"merge", Path("out/Lexicorn.bin"), Path("odd.bin"),
                                            Path("m.bin")};
        command.insert(command.end(), arguments.begin(), arguments.end());
        ASSERT_EQ(Run(command), kExitSuccess) << err;
        EXPECT_EQ(test::ReadFile(dir / "m.bin"), withGap + std::string(15, fill) + image);
    }
}

// Firmware in Intel HEX: scan shows its span, merge keeps the form or converts it.
TEST_F(MergeCommandLine, HexTargetsAreScannedAndMergedInTheirForm) {
    // 0x20 bytes at 0x08000000 in two records, then the end-of-file record.
    test::WriteFile(dir / "fw.hex",
                    ":020000040800F2\n"
                    ":1000000000000000000000000000000000000000F0\n"
                    ":1000100000000000000000000000000000000000E0\n"
                    ":00000001FF\n");
    ASSERT_EQ(Run({"scan", Path("fw.hex")}), kExitSuccess) << err;
    EXPECT_EQ(out,
              "No Lexicorn found in the target software.\nLexicorn Size: 0x00000000\nLexicorn Position: "
              "0x00000000\nIntel HEX, data from 08000000 to 0800001F\n");
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("m.hex")}), kExitSuccess) << err;
    EXPECT_TRUE(test::ReadFile(dir / "m.hex").starts_with(":020000040800F2\n:10000000"))
        << test::ReadFile(dir / "m.hex");
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("m.bin"), "--output-format", "bin",
                   "--fill", "0xFF"}),
              kExitSuccess)
        << err;
    EXPECT_EQ(test::ReadFile(dir / "m.bin"), std::string(0x20, '\0') + image);  // 0x08000020 is 16-aligned
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("m.srec"), "--mode", "append",
                   "--place", "begin", "--output-format", "srec"}),
              kExitSuccess)
        << err;
    EXPECT_TRUE(test::ReadFile(dir / "m.srec").starts_with("S00600004844521B\nS3"))
        << test::ReadFile(dir / "m.srec");
    // Without --output-format the output's extension chooses the form, as in the window.
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("named.bin")}), kExitSuccess)
        << err;
    EXPECT_EQ(test::ReadFile(dir / "named.bin"), std::string(0x20, '\0') + image);
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("named.s19")}), kExitSuccess)
        << err;
    EXPECT_TRUE(test::ReadFile(dir / "named.s19").starts_with("S00600004844521B\nS3"))
        << test::ReadFile(dir / "named.s19");

    test::WriteFile(dir / "bad.hex", ":020000040800F3\n:00000001FF\n");
    EXPECT_EQ(Run({"scan", Path("bad.hex")}), kExitFailure);
    EXPECT_EQ(err,
              "lexicorn: error: " + Path("bad.hex") + ": line 1: the checksum is F3, the record needs F2\n");
    EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("bad.hex"), Path("m2.hex")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: Can not start merge operation.20201005\n\n" + Path("bad.hex") +
                       ": line 1: the checksum is F3, the record needs F2\n");
    EXPECT_FALSE(fs::exists(dir / "m2.hex"));
    EXPECT_EQ(
        Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("m3.hex"), "--output-format", "elf"}),
        kExitUsage);
}

// Firmware whose data reaches the top of the address space, FFFFFFFF: the end of its data may take
// the image, but nothing may be appended after it.
TEST_F(MergeCommandLine, AnImageMayEndOnTheTopAddressButNotBeyond) {
    FirmwareFile firmware;
    firmware.format = FirmwareFormat::kIntelHex;
    firmware.segments.push_back({0xFFFFFF00, std::vector<std::uint8_t>(0x100, 0x11)});
    test::WriteFile(dir / "top.hex", test::FirmwareText(firmware));
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("top.hex"), Path("m.hex"), "--mode", "overwrite"}),
              kExitSuccess)
        << err;
    const FirmwareFile merged =
        ReadFirmware(FirmwareFormat::kIntelHex, test::ReadFile(dir / "m.hex"), "m.hex");
    ASSERT_EQ(merged.segments.size(), 1u);
    EXPECT_EQ(merged.segments[0].End(), 0x100000000u);
    const std::vector<std::uint8_t>& bytes = merged.segments[0].bytes;
    EXPECT_EQ(std::string(bytes.end() - static_cast<long>(image.size()), bytes.end()), image);

    EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("top.hex"), Path("m2.hex")}), kExitFailure);
    EXPECT_EQ(err,
              "lexicorn: Can not start merge operation.2000D024\n\nAt this address the Lexicorn would end "
              "beyond 4 GB.\n");
    EXPECT_FALSE(fs::exists(dir / "m2.hex"));
}

// A HEX or S-record target is refused with the line of what is wrong with it: a record after the end
// (which was dropped) or a damaged first record (which made the target a binary, the records merged
// as its bytes). A byte-order mark and blank lines before the records are passed over.
TEST_F(MergeCommandLine, TextTargetsAreRefusedWithTheLineOfTheirFault) {
    const std::string records = ":020000040800F2\n:1000000000000000000000000000000000000000F0\n:00000001FF\n";
    const struct {
        const char* name;
        std::string text;
        std::string problem;
    } cases[] = {
        {"after.hex", records + ":1000100000000000000000000000000000000000E0\n",
         "line 4: the file goes on after its end-of-file record (line 3)"},
        {"first.hex", ":020000040800F3\n" + records.substr(16),
         "line 1: the checksum is F3, the record needs F2"},
        {"mark.hex", "\xEF\xBB\xBF" + std::string(2000, '\n') + ":02000004080G00F2\n" + records.substr(16),
         "line 2001: 'G' is not a hexadecimal digit (column 13)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::WriteFile(dir / c.name, c.text);
        EXPECT_EQ(Run({"scan", Path(c.name)}), kExitFailure);
        EXPECT_EQ(err, "lexicorn: error: " + Path(c.name) + ": " + c.problem + "\n");
        EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path(c.name), Path("m.hex")}), kExitFailure);
        EXPECT_EQ(err, "lexicorn: Can not start merge operation.20201005\n\n" + Path(c.name) + ": " +
                           c.problem + "\n");
        EXPECT_FALSE(fs::exists(dir / "m.hex"));
    }
    test::WriteFile(dir / "mark.hex", "\xEF\xBB\xBF" + std::string(2000, '\n') + records);
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("mark.hex"), Path("m.hex")}), kExitSuccess) << err;
    EXPECT_TRUE(test::ReadFile(dir / "m.hex").starts_with(":020000040800F2\n:10000000"))
        << test::ReadFile(dir / "m.hex");
}

// What the reading of a target lets pass with a warning goes to standard error, and the command
// succeeds.
TEST_F(MergeCommandLine, WarningsOfTheTargetsReadingGoToStandardError) {
    test::WriteFile(dir / "fw.hex",
                    ":0400000001020304F2\n:0400000508000131BD\n:0400000508000200ED\n:00000001FF\n");
    const std::string warning =
        "lexicorn: warning: " + Path("fw.hex") +
        ": line 3: a second start address record (type 05): the one of line 2 is kept\n";
    ASSERT_EQ(Run({"scan", Path("fw.hex")}), kExitSuccess) << err;
    EXPECT_EQ(err, warning);
    EXPECT_EQ(out,
              "No Lexicorn found in the target software.\nLexicorn Size: 0x00000000\nLexicorn Position: "
              "0x00000000\nIntel HEX, data from 00000000 to 00000003\n");
    ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.hex"), Path("m.hex")}), kExitSuccess) << err;
    EXPECT_EQ(err, warning);
    EXPECT_EQ(out, "Merge operation done successfully.\nPlaced at 0x00000010, 96 bytes.\n");
}

TEST_F(MergeCommandLine, ATargetEndingInsideAnOldHeaderIsRefused) {
    test::WriteFile(dir / "cut.bin",
                    std::string(100, 'x') + test::ReadFile(dir / "out" / "Lexicorn.bin").substr(0, 20));
    EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("cut.bin"), Path("m.bin")}), kExitFailure);
    EXPECT_EQ(err,
              "lexicorn: Can not start merge operation.2000C016\n\nThe target ends inside the header of the "
              "Lexicorn it holds.\n");
    EXPECT_FALSE(fs::exists(dir / "m.bin"));
}

TEST_F(MergeCommandLine, ADamagedImageIsRefusedSayingWhatIsWrong) {
    test::WriteFile(dir / "cut.bin", test::ReadFile(dir / "out" / "Lexicorn.bin").substr(0, 50));
    EXPECT_EQ(Run({"merge", Path("cut.bin"), Path("fw.bin"), Path("m.bin")}), kExitFailure);
    EXPECT_EQ(
        err,
        "lexicorn: error: " + Path("cut.bin") +
            ": Invalid Lexicorn file.\n\nthe header gives an image size of 96 bytes, but there are 50\n");
    EXPECT_FALSE(fs::exists(dir / "m.bin"));
}

// What the merge was told to do but may not be meant goes to standard error, and the merge goes on:
// an image over the target's code, an address outside a HEX target's data, or beyond a binary's end.
TEST_F(MergeCommandLine, RisksAreWarnedAboutAndTheMergeGoesOn) {
    test::WriteFile(dir / "fw.hex", ":020000040800F2\n:04000000FFFFFFFF00\n:00000001FF\n");
    const struct {
        std::vector<std::string> args;  // after the image
        std::string warning;            // after the target's name
    } cases[] = {
        {{Path("fw.bin"), Path("m.bin"), "--mode", "overwrite", "--place", "0"},
         "the Lexicorn overwrites 96 bytes of the target's data at 0x00000000-0x0000005F"},
        // Up to the old image, which is replaced: only what stands before it counts.
        {{Path("fw.bin"), Path("m.bin"), "--mode", "overwrite", "--place", "F0"},
         "the Lexicorn overwrites 16 bytes of the target's data at 0x000000F0-0x000000FF"},
        {{Path("fw.hex"), Path("m.hex"), "--mode", "overwrite", "--place", "F00"},
         "the address 00000F00 lies outside the target's data (08000000 to 08000003)"},
        {{Path("fw.bin"), Path("m.bin"), "--mode", "overwrite", "--place", "2000000"},
         "the address 02000000 lies outside the target's data (00000000 to 0000115F): the output grows from "
         "4448 bytes to 33554528 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.warning);
        std::vector<std::string> args = {"merge", Path("out/Lexicorn.bin")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_EQ(Run(args), kExitSuccess) << err;
        EXPECT_EQ(err, "lexicorn: warning: " + c.args[0] + ": " + c.warning + "\n");
        EXPECT_TRUE(out.starts_with("Merge operation done successfully.\nPlaced at ")) << out;
    }
    // Over the old image alone, and over erased flash, nothing is said.
    test::WriteFile(dir / "erased.bin", std::string(0x100, '\xFF'));
    for (const auto& [file, place] : {std::pair{"fw.bin", "100"}, std::pair{"erased.bin", "40"}}) {
        ASSERT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path(file), Path("m.bin"), "--mode", "overwrite",
                       "--place", place}),
                  kExitSuccess);
        EXPECT_EQ(err, "") << file;
    }
}

// A shell's `> fw.bin` empties the target before the merge starts; `>>` would append the merged file
// to an input. Both are refused by name, and the target stays as it was.
TEST_F(MergeCommandLine, AnEmptyTargetAndStandardOutputOverAnInputAreRefused) {
    test::WriteFile(dir / "empty.bin", "");
    EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("empty.bin"), Path("m.bin")}), kExitFailure);
    EXPECT_EQ(err, "lexicorn: error: " + Path("empty.bin") + ": the target is empty\n");
    EXPECT_FALSE(fs::exists(dir / "m.bin"));
#ifndef _WIN32
    test::WriteFile(dir / "image.bin", image);
    const struct {
        const char* file;
        int flags;  // as the shell opens standard output
        std::string error;
    } cases[] = {
        {"fw.bin", O_TRUNC,
         ": the target is empty, and standard output goes to it: a shell's > empties the file before the "
         "merge "
         "begins"},
        {"fw.bin", O_APPEND, ": standard output goes to the target"},
        {"image.bin", O_APPEND, ": standard output goes to the Lexicorn file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        const std::string before = test::ReadFile(dir / c.file);
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        const int redirected = open(Path(c.file).c_str(), O_WRONLY | c.flags);
        ASSERT_GE(redirected, 0);
        dup2(redirected, STDOUT_FILENO);
        close(redirected);
        const int code = Run({"merge", Path("image.bin"), Path("fw.bin"), "-"});
        dup2(saved, STDOUT_FILENO);
        close(saved);
        EXPECT_EQ(code, kExitFailure);
        EXPECT_EQ(err, "lexicorn: error: " + Path(c.file) + c.error + "\n");
        EXPECT_EQ(out, "");
        EXPECT_EQ(test::ReadFile(dir / c.file), c.flags == O_TRUNC ? "" : before);
        test::WriteFile(dir / "fw.bin", target);
    }
#endif
}

TEST_F(MergeCommandLine, OutputOverTheTargetIsRefused) {
    EXPECT_EQ(Run({"merge", Path("out/Lexicorn.bin"), Path("fw.bin"), Path("fw.bin")}), kExitFailure);
    EXPECT_NE(err.find("Can not start merge operation.20201004"), std::string::npos) << err;
    EXPECT_EQ(test::ReadFile(dir / "fw.bin"), target);
}

}  // namespace
}  // namespace lexicorn::cli
