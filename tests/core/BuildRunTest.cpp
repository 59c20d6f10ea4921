#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "compile/BuildRun.h"
#include "image/ImageReader.h"
#include "platform/CalendarTime.h"
#include "project/ProjectFile.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;
using Kind = BuildOutcome::Kind;

Rows FourLanguages() {
    return {{"ID", "English", "Deutsch",
             "Fran\xC3\xA7"
             "ais",
             "Espa\xC3\xB1ol"},
            {"", "en", "de", "fr", "es"},
            {"OK_TEXT", "OK", "OK", "OK", "Vale"},
            {"NO_TEXT", "No", "Nein", "Non", "No"},
            {"TITLE", "Title", "", "[USE_DEFAULT]", "T\xC3\xADtulo"}};
}

class BuildRun : public testing::Test {
  protected:
    BuildOutcome Build(Rows rows, std::vector<std::size_t> selected) {
        table = test::MakeLoadedTable(std::move(rows), std::move(selected));
        return BuildLexicorn(host, table, settings, options);
    }
    ImageContents Image() const {
        const std::string bytes = test::ReadFile(dir / "Lexicorn.bin");
        return ReadImage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    bool Exists(const char* name) const { return fs::exists(dir / name); }

    test::TempDir dir;
    LoadedTable table;
    test::RecordingHost host;
    ProjectSettings settings;
    BuildOptions options{dir.path(), 0x622B634C};
};

TEST_F(BuildRun, WritesEveryFileAndReportsTheSummary) {
    const BuildOutcome outcome = Build(FourLanguages(), {0, 1, 3});
    EXPECT_EQ(outcome.kind, Kind::kSucceeded);
    ASSERT_EQ(host.information.size(), 1u);
    EXPECT_EQ(host.information[0],
              "Lexicorn was created succesfully!\r\rNumber of languages: 3\rNumber of strings: 3\r"
              "Total size of Lexicorn: " +
                  std::to_string(Image().imageSize) + "\rOutput folder: " + dir.path().string() + "\r");
    EXPECT_EQ(outcome.files, (std::vector<fs::path>{dir / "Lexicorn.bin", dir / "Lexicorn.c",
                                                    dir / "StringList.h", dir / "LXNApiCfg.h"}));
    for (const fs::path& file : outcome.files) EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(outcome.imageSize, Image().imageSize);
    EXPECT_EQ(outcome.uniqueId, 0x622B634Cu);
    EXPECT_EQ(outcome.stringCount, 3u);

    const ImageContents image = Image();
    EXPECT_EQ(image.uniqueId, 0x622B634Cu);
    ASSERT_EQ(image.languages.size(), 3u);
    EXPECT_EQ(image.languages[2].codeText, "es");
    EXPECT_EQ(image.languages[2].name, "Espa\xC3\xB1ol");  // CP1252 in the image, read back as UTF-8
    EXPECT_EQ(image.Strings(1), (std::vector<std::string>{"OK", "Nein", "Title"}));  // empty cell: default
    EXPECT_EQ(image.Strings(2), (std::vector<std::string>{"Vale", "No", "T\xC3\xADtulo"}));
    EXPECT_NE(test::ReadFile(dir / "StringList.h").find("uniqueID 0x622b634c"), std::string::npos);
}

TEST_F(BuildRun, ProgressFollowsTheStagesInOrder) {
    const BuildOutcome outcome = Build(FourLanguages(), {1});
    const std::vector<std::string> expected = {
        "SetCaption Lexicorn creation in progress, Please wait...",
        "SetStatusText Now creating language table...",
        "SetRange 4",
        "Show",
        "Step",
        "Pause 1000",
        "SetStatusText Now adding strings...\r\rLanguage: 2\rString: 1\rSize(Bytes): 67",
        "Step",
        "SetStatusText Now adding strings...\r\rLanguage: 2\rString: 2\rSize(Bytes): 70",
        "Step",
        "SetStatusText Now adding strings...\r\rLanguage: 2\rString: 3\rSize(Bytes): 75",
        "Step",
        "Complete",
        "SetStatusText Creating Lexicorn.bin...",
        "Pause 1000",
        "SetStatusText Creating Lexicorn.c...\n",
        "Pause 1000",
        "SetRange 3",
        "SetStatusText Creating string list: StringList.h",
        "Step",
        "Step",
        "Step",
        "Information " + host.information.at(0),
        "Hide",
    };
    EXPECT_EQ(host.calls, expected);
    // Forgetting the table is the front end's step: the build leaves it loaded, and closed.
    EXPECT_TRUE(outcome.tableRead);
    EXPECT_EQ(table.tableLanguageCount, 4);
    EXPECT_EQ(table.spreadsheetPath, "memory.csv");
    EXPECT_FALSE(table.tableReader->IsOpen());
}

TEST_F(BuildRun, AFileThatCannotBeWrittenKeepsItsNameAndReasonInTheOutcome) {
    fs::create_directory(dir / "Lexicorn.bin");
    const BuildOutcome outcome = Build(FourLanguages(), {0});
    EXPECT_EQ(outcome.kind, Kind::kFailed);
    EXPECT_EQ(outcome.result, kCannotCreateFile);
    EXPECT_EQ(outcome.failedFile, (dir / "Lexicorn.bin").string() + ": not a regular file");
}

TEST_F(BuildRun, AMalformedSourceDateEpochEndsTheBuildWithItsReason) {
    ::setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
    EXPECT_THROW(Build(FourLanguages(), {0}), std::invalid_argument);
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(host.calls.back(), "Hide");
    EXPECT_FALSE(table.tableReader->IsOpen());
    EXPECT_FALSE(Exists("Lexicorn.bin"));
}

// A column of notes for translators is no language: wherever it stands, the image holds the same
// bytes as one of the table without it.
TEST_F(BuildRun, ANotesColumnLeavesTheImageAsItWas) {
    ASSERT_EQ(Build(FourLanguages(), {0, 1, 2, 3}).kind, Kind::kSucceeded);
    const std::string without = test::ReadFile(dir / "Lexicorn.bin");
    for (std::size_t at : {2u, 4u, 5u}) {
        Rows rows = FourLanguages();
        const std::vector<std::string> notes = {"Notes", "", "button", "", "window title"};
        for (std::size_t row = 0; row < rows.size(); ++row)
            rows[row].insert(rows[row].begin() + static_cast<std::ptrdiff_t>(at), notes[row]);
        table = test::MakeLoadedTable(std::move(rows), {0, 1, 2, 3}, at + 1);
        ASSERT_EQ(BuildLexicorn(host, table, settings, options).kind, Kind::kSucceeded) << at;
        EXPECT_EQ(test::ReadFile(dir / "Lexicorn.bin"), without) << "notes in column " << at + 1;
    }
}

// SOURCE_DATE_EPOCH is read in UTC, so that every machine gives one unique id (a leap day included).
TEST(CalendarTime, UtcFieldsOfAnEpoch) {
    struct Case {
        std::time_t time;
        int year, month, day, hour, minute, second;
    };
    for (const Case& c : {Case{0, 70, 0, 1, 0, 0, 0}, Case{1140559992, 106, 1, 21, 22, 13, 12},
                          Case{951782400, 100, 1, 29, 0, 0, 0}}) {
        const std::tm parts = UtcCalendarTime(c.time);
        EXPECT_EQ(std::vector({parts.tm_year, parts.tm_mon, parts.tm_mday, parts.tm_hour, parts.tm_min,
                               parts.tm_sec}),
                  std::vector({c.year, c.month, c.day, c.hour, c.minute, c.second}))
            << c.time;
    }
}

TEST_F(BuildRun, OtherTargetsWriteNoCSourceAndPauseOnceLess) {
    settings.targetLanguage = TargetLanguage::kVisualBasic;
    settings.targetPlatform = TargetPlatform::kDotNet;
    const BuildOutcome outcome = Build(FourLanguages(), {0});
    EXPECT_FALSE(Exists("Lexicorn.c"));
    EXPECT_TRUE(Exists("StringList.vb"));
    EXPECT_EQ(outcome.files,
              (std::vector<fs::path>{dir / "Lexicorn.bin", dir / "StringList.vb", dir / "LXNApiCfg.h"}));
    EXPECT_EQ(host.Count("Pause 1000"), 2);
}

// Offering the chooser is the window's step: the build only says what is missing.
TEST_F(BuildRun, NoTableLoadedSaysSoAndNothingElse) {
    table.tableLanguageCount = 0;
    const BuildOutcome outcome = BuildLexicorn(host, table, settings, options);
    EXPECT_EQ(outcome.kind, Kind::kRefused);
    EXPECT_FALSE(outcome.tableRead);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"Error No Excel file selected!"}));
}

// A table is loaded but holds nothing to choose: the build says what is missing, not that no file is.
TEST_F(BuildRun, ATableWithoutALanguageColumnSaysSoAndStaysLoaded) {
    EXPECT_EQ(Build({{"ID"}, {""}, {"OK_TEXT"}}, {}).kind, Kind::kRefused);
    EXPECT_EQ(host.calls, (std::vector<std::string>{
                              "Error The string table has no language column!\r\rColumn 2 and the columns "
                              "after it hold one language each: its name in row 1, its code in row 2 and its "
                              "strings from row 3 on."}));
    EXPECT_EQ(table.spreadsheetPath, "memory.csv");
}

TEST_F(BuildRun, NoLanguageSelectedKeepsTheTable) {
    const BuildOutcome outcome = Build(FourLanguages(), {});
    EXPECT_EQ(outcome.kind, Kind::kRefused);
    EXPECT_FALSE(outcome.tableRead);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"Error No languages selected!"}));
    EXPECT_EQ(table.tableLanguageCount, 4);
}

TEST_F(BuildRun, UnopenableTableIsReported) {
    table = test::MakeLoadedTable(FourLanguages(), {0});
    table.tableReader = std::make_unique<test::MemoryTable>(FourLanguages(), (dir / "gone.csv").string());
    BuildLexicorn(host, table, settings, options);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"Error Cannot open Excel file!"}));
}

struct DefaultCase {
    const char* name;
    std::string cell;
    std::string defaultCell;
    bool useDefaultString;
    std::string expected;
};
void PrintTo(const DefaultCase& c, std::ostream* os) { *os << c.name; }

class DefaultStrings : public BuildRun, public testing::WithParamInterface<DefaultCase> {};

TEST_P(DefaultStrings, ComeFromTheFirstLanguageColumn) {
    const DefaultCase& c = GetParam();
    settings.useDefaultString = c.useDefaultString;
    // Column 2 is not selected; its strings are defaults all the same.
    ASSERT_EQ(Build({{"ID", "First", "Second"}, {"", "aa", "bb"}, {"S", c.defaultCell, c.cell}}, {1}).kind,
              Kind::kSucceeded);
    EXPECT_EQ(Image().String(0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, DefaultStrings,
    testing::Values(DefaultCase{"MarkerAlwaysTakesTheDefault", "[USE_DEFAULT]", "Hello", false, "Hello"},
                    DefaultCase{"EmptyCellWithDefaultsOn", "", "Hello", true, "Hello"},
                    DefaultCase{"EmptyCellWithDefaultsOff", "", "Hello", false, ""},
                    DefaultCase{"BlanksAreNotEmpty", "  ", "Hello", true, "  "},
                    DefaultCase{"MarkerIsCaseSensitive", "[use_default]", "Hello", true, "[use_default]"},
                    DefaultCase{"DefaultTakenAsItStands", "[USE_DEFAULT]", "", true, ""}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(BuildRun, FirstColumnDefaultsToItself) {
    ASSERT_EQ(Build({{"ID", "First"}, {"", "aa"}, {"A", "[USE_DEFAULT]"}, {"B", ""}}, {0}).kind,
              Kind::kSucceeded);
    EXPECT_EQ(Image().Strings(0), (std::vector<std::string>{"[USE_DEFAULT]", ""}));
}

TEST_F(BuildRun, LanguageNumberCountsAllColumns) {
    Build(FourLanguages(), {3});
    EXPECT_EQ(host.statusTexts.at(2).substr(0, 37), "Now adding strings...\r\rLanguage: 4\rSt");
    EXPECT_NE(host.information.at(0).find("Number of languages: 1\r"), std::string::npos);
}

TEST_F(BuildRun, WideAndUtf8BuildsCarryTheTextWhole) {
    for (Encoding encoding : {Encoding::kUtf16, Encoding::kUtf8}) {
        settings.encoding = encoding;
        Rows rows = FourLanguages();
        rows[3][2] = "\xCE\x9D\xCE\xB5\xCE\xB9";  // Greek, outside CP1252
        ASSERT_EQ(Build(rows, {0, 1}).kind, Kind::kSucceeded) << host.errors.back();
        EXPECT_EQ(Image().String(1, 1), "\xCE\x9D\xCE\xB5\xCE\xB9");
        EXPECT_EQ(Image().encoding, static_cast<std::uint32_t>(Code(encoding)));
    }
}

TEST_F(BuildRun, SingleByteBuildsUseTheChosenCodePage) {
    settings.codePage = "ISO-8859-7";
    Rows rows = FourLanguages();
    rows[3][2] = "\xCE\x9D\xCE\xB5\xCE\xB9";  // Greek, outside CP1252
    rows[0][3] = rows[0][4] = "Other";        // names outside ISO-8859-7 would be refused
    ASSERT_EQ(Build(rows, {0, 1}).kind, Kind::kSucceeded) << host.errors.back();
    const std::string bytes = test::ReadFile(dir / "Lexicorn.bin");
    const ImageContents image =
        ReadImage(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), "ISO-8859-7");
    EXPECT_EQ(image.String(1, 1), "\xCE\x9D\xCE\xB5\xCE\xB9");
}

struct FailureCase {
    const char* name;
    std::function<void(Rows&, ProjectSettings&, const fs::path& dir)> arrange;
    ResultCode code;
    std::string message;          ///< "{dir}" stands for the output folder
    std::string failedFile = {};  ///< the file (in the output folder) and the reason
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class BuildFailures : public BuildRun, public testing::WithParamInterface<FailureCase> {};

// A failure at any stage leaves the folder as it was: an earlier good set stays byte for byte, and
// no temporary file is left behind.
TEST_P(BuildFailures, ReportTheirMessageAndKeepTheEarlierSet) {
    const FailureCase& c = GetParam();
    Rows rows = FourLanguages();
    for (int i = 3; i <= 9; ++i) rows.push_back({"ID_" + std::to_string(i), "x" + std::to_string(i)});
    c.arrange(rows, settings, dir.path());
    std::map<std::string, std::string> before;
    for (const char* name : {"Lexicorn.bin", "Lexicorn.c", "StringList.h", "LXNApiCfg.h"}) {
        if (!fs::exists(dir / name)) test::WriteFile(dir / name, std::string("earlier ") + name);
        if (fs::is_regular_file(dir / name)) before[name] = test::ReadFile(dir / name);
    }
    const BuildOutcome outcome = Build(rows, {0});
    EXPECT_EQ(outcome.kind, Kind::kFailed);
    EXPECT_EQ(outcome.result, c.code);
    const std::string folder = (dir / "").string();
    EXPECT_EQ(outcome.failedFile, c.failedFile.empty() ? "" : folder + c.failedFile);
    std::string message = c.message;
    if (const std::size_t at = message.find("{dir}"); at != std::string::npos) message.replace(at, 5, folder);
    EXPECT_EQ(host.errors, (std::vector<std::string>{message}));
    EXPECT_EQ(host.errorCodes, (std::vector<ResultCode>{c.code}));
    EXPECT_TRUE(host.information.empty());
    std::map<std::string, std::string> after;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.is_regular_file()) after[entry.path().filename().string()] = test::ReadFile(entry.path());
    EXPECT_EQ(after, before);
    EXPECT_EQ(host.calls.back(), "Hide");
    EXPECT_TRUE(outcome.tableRead);
}

const std::string kInternal =
    "Creation of Lexicrn file(s) failed due to an internal error!\rPlease restart the "
    "application\r\rError: 0x";

INSTANTIATE_TEST_SUITE_P(
    Messages, BuildFailures,
    testing::Values(
        FailureCase{"DuplicateId",
                    [](Rows& rows, auto&, auto&) { rows[8][0] = "ID_3"; },  // row 9 repeats row 6
                    kDuplicateStringId, "Duplicate string id !!!\r\rID_3\rRow: 9"},
        FailureCase{
            "EmptyId", [](Rows& rows, auto&, auto&) { rows[6][0] = ""; }, kEmptyStringId,
            "Found empty cells inside the string list!\r\rCheck first column of your string table\rRow: 7"},
        FailureCase{"IdTooLong", [](Rows& rows, auto&, auto&) { rows[3][0] = std::string(100, 'I'); },
                    kStringIdTooLong,
                    "String id too long!\r\r" + std::string(100, 'I') +
                        "\rA string id may hold at most 99 bytes\rRow: 4"},
        FailureCase{"CellTooLong", [](Rows& rows, auto&, auto&) { rows[5][1] = std::string(1000, 'c'); },
                    kCellTooLong,
                    "Text too long!\r\rA cell may hold at most 999 characters\rRow: 6\rColumn: 2"},
        FailureCase{
            "Over64K",
            [](Rows& rows, auto&, auto&) {
                for (int i = 0; i < 70; ++i)
                    rows.push_back(
                        {"BIG" + std::to_string(i), std::string(990, 'a' + i % 26) + std::to_string(i)});
            },
            kCapacityExceeded,
            "Size of Lexicorn exceeded 64 KB!\r\rPlease remove some languages,\ror try to use LXN32 instead "
            "of LXN16"},
        FailureCase{"NoStrings", [](Rows& rows, auto&, auto&) { rows.resize(2); }, kImageIncomplete,
                    "The string table holds no strings."},
        FailureCase{"ReadOnlyImage",
                    [](Rows&, auto&, const fs::path& dir) {
                        test::WriteFile(dir / "Lexicorn.bin", "old");
                        fs::permissions(dir / "Lexicorn.bin", fs::perms::owner_read);
                    },
                    kCannotCreateFile,
                    "{dir}Lexicorn.bin: the file is read-only\r\rCannot create file Lexicorn.bin\r"
                    "Error: 0x2000100B",
                    "Lexicorn.bin: the file is read-only"},
        FailureCase{"CSourceCannotBeWritten",
                    [](Rows&, auto&, const fs::path& dir) { fs::create_directory(dir / "Lexicorn.c"); },
                    kCannotCreateFile,
                    "{dir}Lexicorn.c: not a regular file\r\rCannot create file Lexicorn.c\rError: 0x2000100B",
                    "Lexicorn.c: not a regular file"},
        FailureCase{"ListCannotBeWritten",
                    [](Rows&, auto&, const fs::path& dir) { fs::create_directory(dir / "StringList.h"); },
                    kCannotCreateFile,
                    "{dir}StringList.h: not a regular file\r\rCannot create string list file StringList.h\r"
                    "Error: 0x2000100B",
                    "StringList.h: not a regular file"},
        FailureCase{
            "HeaderCannotBeWritten",
            [](Rows&, auto&, const fs::path& dir) { fs::create_directory(dir / "LXNApiCfg.h"); },
            kCannotCreateFile,
            "{dir}LXNApiCfg.h: not a regular file\r\rCannot create file LXNApiCfg.h\rError: 0x2000100B",
            "LXNApiCfg.h: not a regular file"},
        FailureCase{
            "UnknownTargetLanguage",
            [](Rows&, ProjectSettings& s, auto&) { s.targetLanguage = static_cast<TargetLanguage>(5); },
            kUnknownTargetLanguage, kInternal + "20003029"}),
    [](const auto& testCase) { return testCase.param.name; });

// The last step, putting the set in place, can still fail after some files are in place (a file
// made immutable, a folder put in a member's place meanwhile): the earlier set comes back whole,
// and the message names the file that failed.
TEST_F(BuildRun, ARenameThatFailsAfterAnotherPutsTheEarlierSetBack) {
    for (const char* name : {"Lexicorn.bin", "StringList.h", "LXNApiCfg.h"})
        test::WriteFile(dir / name, std::string("earlier ") + name);
    host.onStep = [&](int step) {
        // One language, two strings, then the first id: Lexicorn.c is written but not yet in place.
        if (step == 1 + 2 + 1) fs::create_directories(dir / "Lexicorn.c" / "inside");
    };
    const BuildOutcome outcome = Build({{"ID", "English"}, {"", "en"}, {"A", "a"}, {"B", "b"}}, {0});
    EXPECT_EQ(outcome.kind, Kind::kFailed);
    EXPECT_EQ(outcome.result, kCannotCreateFile);
    const std::string failed = (dir / "Lexicorn.c").string() + ": Is a directory";
    EXPECT_EQ(outcome.failedFile, failed);
    EXPECT_EQ(host.errors,
              std::vector<std::string>{failed + "\r\rCannot create file Lexicorn.c\rError: 0x2000100B"});
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"LXNApiCfg.h", "Lexicorn.bin", "Lexicorn.c", "StringList.h"}));
    for (const char* name : {"Lexicorn.bin", "StringList.h", "LXNApiCfg.h"})
        EXPECT_EQ(test::ReadFile(dir / name), std::string("earlier ") + name);
}

// Everything under a folder: each path with a file's content, a link's target or "(folder)".
std::map<std::string, std::string> Tree(const fs::path& dir) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        tree[entry.path().lexically_relative(dir).string()] =
            entry.is_symlink()     ? "-> " + fs::read_symlink(entry).string()
            : entry.is_directory() ? "(folder)"
                                   : test::ReadFile(entry.path());
    return tree;
}

struct InputAsOutput {
    const char* name;
    const char* table;           ///< where the table lies, in the test's folder
    const char* workbook = "";   ///< the fixture the table is a copy of; empty: a small CSV table
    const char* project = "";    ///< where the project lies; empty: the build has none
    const char* font = "";       ///< where the device's font lies; empty: the build has none
    const char* limits = "";     ///< where the limits table lies; empty: the build has none
    const char* output;          ///< the output, in the output folder "out", that is an input
    const char* role;            ///< which input it is
    const char* link = nullptr;  ///< the output is a symbolic link to this input
    bool hardLink = false;       ///< ... or a second name of it
};
void PrintTo(const InputAsOutput& c, std::ostream* os) { *os << c.name; }

class BuildInputs : public BuildRun, public testing::WithParamInterface<InputAsOutput> {};

// A build reads its table, project, fonts and limits and writes its outputs; an output that is one
// of those inputs, by its own name or through a link, would replace it. The build is refused before
// anything is opened or written, and the table stays loaded for another try.
TEST_P(BuildInputs, AnOutputThatIsAnInputRefusesTheBuild) {
    const InputAsOutput& c = GetParam();
    fs::create_directories(dir / "out");
    const fs::path tablePath = dir / c.table;
    if (*c.workbook)
        fs::copy_file(fs::path(LEXICORN_FIXTURES_DIR) / c.workbook, tablePath);
    else
        test::WriteFile(tablePath, "ID,English\r\n,en\r\nOK_TEXT,OK\r\n");
    if (*c.project) {
        options.projectFile = dir / c.project;
        ASSERT_TRUE(SaveProjectFile(options.projectFile, settings));
    }
    // Refused before they are read, the font and the limits need only be there.
    if (*c.font) {
        test::WriteFile(dir / c.font, "STARTFONT 2.1\n");
        settings.fonts = {DeviceFont{{}, (dir / c.font).string()}};
    }
    if (*c.limits) {
        test::WriteFile(dir / c.limits, "OK_TEXT,100\n");
        settings.limits = (dir / c.limits).string();
    }
    const fs::path output = dir / "out" / c.output;
    if (c.link && c.hardLink) fs::create_hard_link(dir / c.link, output);
    if (c.link && !c.hardLink) fs::create_symlink(fs::path("..") / c.link, output);
    options.outputFolder = dir / "out";
    table = LoadTable(tablePath.string());
    for (LanguageEntry& language : table.languages) language.selected = true;
    const std::map<std::string, std::string> before = Tree(dir.path());

    const BuildOutcome outcome = BuildLexicorn(host, table, settings, options);
    EXPECT_EQ(outcome.kind, Kind::kRefused);
    EXPECT_EQ(outcome.result, kOutputIsInput);
    const fs::path input = *c.font      ? dir / c.font
                           : *c.limits  ? dir / c.limits
                           : *c.project ? options.projectFile
                                        : tablePath;
    EXPECT_EQ(host.errors, std::vector<std::string>{output.string() + " is " + c.role + " " + input.string() +
                                                    ".\rA build does not write over its own input: please "
                                                    "choose another output folder."});
    EXPECT_EQ(host.errorCodes, std::vector<ResultCode>{kOutputIsInput});
    EXPECT_EQ(Tree(dir.path()), before);
    EXPECT_GT(table.tableLanguageCount, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, BuildInputs,
                         testing::Values(InputAsOutput{.name = "OutputLinkedToTable",
                                                       .table = "t.csv",
                                                       .output = "Lexicorn.c",
                                                       .role = "the string table",
                                                       .link = "t.csv"},
                                         InputAsOutput{.name = "OutputLinkedToWorkbook",
                                                       .table = "w.xlsx",
                                                       .workbook = "table.xlsx",
                                                       .output = "Lexicorn.bin",
                                                       .role = "the string table",
                                                       .link = "w.xlsx"},
                                         InputAsOutput{.name = "OutputHardLinkedToTable",
                                                       .table = "t.csv",
                                                       .output = "LXNApiCfg.h",
                                                       .role = "the string table",
                                                       .link = "t.csv",
                                                       .hardLink = true},
                                         InputAsOutput{.name = "OutputLinkedToProject",
                                                       .table = "t.csv",
                                                       .project = "p.lxn",
                                                       .output = "StringList.h",
                                                       .role = "the project file",
                                                       .link = "p.lxn"},
                                         InputAsOutput{.name = "XlsWorkbookNamedAsOutput",
                                                       .table = "out/Lexicorn.c",
                                                       .workbook = "table.xls",
                                                       .output = "Lexicorn.c",
                                                       .role = "the string table"},
                                         InputAsOutput{.name = "XlsxWorkbookNamedAsOutput",
                                                       .table = "out/Lexicorn.bin",
                                                       .workbook = "table.xlsx",
                                                       .output = "Lexicorn.bin",
                                                       .role = "the string table"},
                                         InputAsOutput{.name = "FontNamedAsOutput",
                                                       .table = "t.csv",
                                                       .font = "out/Lexicorn.bin",
                                                       .output = "Lexicorn.bin",
                                                       .role = "the device's font"},
                                         InputAsOutput{.name = "OutputLinkedToLimits",
                                                       .table = "t.csv",
                                                       .limits = "l.csv",
                                                       .output = "LXNApiCfg.h",
                                                       .role = "the limits table",
                                                       .link = "l.csv"},
                                         InputAsOutput{.name = "ProjectNamedAsOutput",
                                                       .table = "t.csv",
                                                       .project = "out/StringList.h",
                                                       .output = "StringList.h",
                                                       .role = "the project file"}),
                         [](const auto& testCase) { return testCase.param.name; });

// Only the files a build will write count: a C# build writes no Lexicorn.c, so a workbook of that
// name in the output folder is read as any other.
TEST_F(BuildRun, ATableNamedAsAFileTheBuildDoesNotWriteIsBuiltFrom) {
    fs::copy_file(LEXICORN_FIXTURES_DIR "/table.xlsx", dir / "Lexicorn.c");
    const std::string workbook = test::ReadFile(dir / "Lexicorn.c");
    table = LoadTable((dir / "Lexicorn.c").string());
    table.languages[0].selected = true;
    settings.targetLanguage = TargetLanguage::kCSharp;
    settings.encoding = Encoding::kUtf8;  // the workbook holds more than one code page does
    EXPECT_EQ(BuildLexicorn(host, table, settings, options).kind, Kind::kSucceeded);
    EXPECT_EQ(test::ReadFile(dir / "Lexicorn.c"), workbook);
    EXPECT_TRUE(Exists("StringList.cs"));
}

TEST_F(BuildRun, CancelDuringTheStringsWritesNothing) {
    test::WriteFile(dir / "StringList.h", "earlier build");
    host.cancelAtStep = 2;
    const BuildOutcome outcome = Build(FourLanguages(), {0, 1});
    EXPECT_EQ(outcome.kind, Kind::kCancelled);
    EXPECT_EQ(host.information, (std::vector<std::string>{"Cancelled by user!"}));
    EXPECT_FALSE(host.cancelRequested);
    EXPECT_FALSE(Exists("Lexicorn.bin"));
    EXPECT_EQ(test::ReadFile(dir / "StringList.h"), "earlier build");
    EXPECT_TRUE(outcome.tableRead);  // a cancelled build read the table too: the front end forgets it
    // The check before the next string stops the build: the third string is never added.
    EXPECT_EQ(host.Count("Step"), 2);
}

// Cancel is honoured at every point the build looks at it until the new set is in place; the look
// after that finds a cancel too late to keep the old files, and the summary says so.
TEST_F(BuildRun, CancelAtEveryCheckKeepsTheEarlierSetAndALaterOneSaysItCameTooLate) {
    const std::vector<std::string> names = {"Lexicorn.bin", "Lexicorn.c", "StringList.h", "LXNApiCfg.h"};
    const auto writeEarlierSet = [&] {
        for (const std::string& name : names) test::WriteFile(dir / name, "earlier " + name);
    };
    writeEarlierSet();
    ASSERT_EQ(Build(FourLanguages(), {0, 2}).kind, Kind::kSucceeded);
    const int checks = host.checks;  // the last one is the look after the set is in place
    ASSERT_GT(checks, 2);
    for (int check = 1; check <= checks; ++check) {
        SCOPED_TRACE(check);
        writeEarlierSet();
        host = {};
        host.cancelAtCheck = check;
        const BuildOutcome outcome = Build(FourLanguages(), {0, 2});
        ASSERT_EQ(host.information.size(), 1u);
        if (check < checks) {
            EXPECT_EQ(outcome.kind, Kind::kCancelled);
            EXPECT_EQ(host.information[0], "Cancelled by user!");
            for (const std::string& name : names) EXPECT_EQ(test::ReadFile(dir / name), "earlier " + name);
        } else {
            EXPECT_EQ(outcome.kind, Kind::kSucceeded);
            EXPECT_TRUE(host.information[0].ends_with(
                "\r\rCancel came too late: the new files were already in place."))
                << host.information[0];
            EXPECT_NE(test::ReadFile(dir / "Lexicorn.bin"), "earlier Lexicorn.bin");
        }
        EXPECT_FALSE(host.cancelRequested);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
    }
}

TEST_F(BuildRun, CancelAfterTheImageKeepsTheEarlierSet) {
    test::WriteFile(dir / "Lexicorn.bin", "earlier image");
    host.onStep = [&](int step) {
        if (step == 4) host.cancelRequested = true;  // the last string of the last column
    };
    EXPECT_EQ(Build(FourLanguages(), {3}).kind, Kind::kCancelled);
    EXPECT_EQ(test::ReadFile(dir / "Lexicorn.bin"), "earlier image");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(BuildRun, CancelAtTheLastCheckKeepsTheEarlierSet) {
    test::WriteFile(dir / "StringList.h", "earlier list");
    host.onStep = [&](int step) {
        if (step == 3 + 3) host.cancelRequested = true;  // the last id: the files are all written
    };
    EXPECT_EQ(Build(FourLanguages(), {3}).kind, Kind::kCancelled);
    EXPECT_EQ(test::ReadFile(dir / "StringList.h"), "earlier list");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(BuildRun, ReaderErrorsEndTheBuildButTheCleanUpRuns) {
    // A table that changes under the build: its reader fails half way.
    host.onStep = [this](int step) {
        if (step == 2) throw TableError(table.spreadsheetPath + ": row 4, column 2: cannot be read");
    };
    EXPECT_THROW(Build(FourLanguages(), {0}), TableError);
    EXPECT_EQ(host.Count("Hide"), 1);
    EXPECT_EQ(host.calls.back(), "Hide");
    EXPECT_TRUE(host.errors.empty());
    EXPECT_FALSE(table.tableReader->IsOpen());
}

// A table with errors is not built: no progress shows, nothing is written, and the one message names
// the problem that comes first in cell order in the words the build has for it.
TEST_F(BuildRun, ATableTheCheckRefusesIsNotBuiltAndTheFirstProblemIsNamed) {
    struct Refusal {
        const char* name;
        std::function<void(Rows&)> damage;
        ResultCode code;
        std::string message;
    };
    const std::vector<Refusal> refusals = {
        {"an invalid id before a duplicate",
         [](Rows& rows) {
             rows[2][0] = "1ABC";
             rows[4][0] = "NO_TEXT";
         },
         kInvalidStringId,
         "Invalid string id !!!\r\r'1ABC' is no name in C: it must begin with a letter or an "
         "underscore\rRow: 3"},
        {"a duplicate", [](Rows& rows) { rows[4][0] = "OK_TEXT"; }, kDuplicateStringId,
         "Duplicate string id !!!\r\rOK_TEXT\rRow: 5"},
        {"a character the code page lacks", [](Rows& rows) { rows[3][1] = "\xCE\xA9"; }, kInvalidStringId,
         "memory.csv: row 4, column 2: the character U+03A9 '\xCE\xA9' is not in code page CP1252; the "
         "encodings utf8 and wide hold every character"},
        {"a placeholder that differs",
         [](Rows& rows) {
             rows[3][1] = "No %d";
             rows[3][2] = "Nein %s";
         },
         kPlaceholderMismatch,
         "Placeholders differ from the default string!\r\rthe placeholder %s (argument 1) differs from the "
         "default string's %d\rCell: C4"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        host.calls.clear();
        host.errors.clear();
        Rows rows = FourLanguages();
        refusal.damage(rows);
        const BuildOutcome outcome = Build(rows, {0, 1});
        EXPECT_EQ(outcome.kind, Kind::kFailed);
        EXPECT_EQ(outcome.result, refusal.code);
        EXPECT_EQ(host.errors, std::vector<std::string>{refusal.message});
        EXPECT_EQ(host.Count("Show"), 0);
        EXPECT_EQ(host.Count("Pause 1000"), 0);
        EXPECT_FALSE(Exists("Lexicorn.bin"));
        EXPECT_EQ(host.calls.back(), "Hide");
        EXPECT_TRUE(outcome.tableRead);  // checked: a front end forgets it as after any build
    }
}

TEST_F(BuildRun, ShortTablesHaveNoStrings) {
    // A table of only its name row has no string rows; its row count must not wrap around.
    EXPECT_EQ(Build({{"ID", "English"}}, {0}).result, kImageIncomplete);
}

}  // namespace
}  // namespace lexicorn
