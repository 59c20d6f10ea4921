#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "compile/BuildRun.h"
#include "image/ImageReader.h"
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
    test::RecordingHost host{table};
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
    Build(FourLanguages(), {1});
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
        "ResetStringTable",
    };
    EXPECT_EQ(host.calls, expected);
    EXPECT_EQ(table.tableLanguageCount, 0);
    EXPECT_TRUE(table.spreadsheetPath.empty());
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
    EXPECT_EQ(host.calls.back(), "ResetStringTable");
    EXPECT_FALSE(Exists("Lexicorn.bin"));
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

TEST_F(BuildRun, NoTableLoadedOpensTheChooserAndNothingElse) {
    table.tableLanguageCount = 0;
    EXPECT_EQ(BuildLexicorn(host, table, settings, options).kind, Kind::kRefused);
    EXPECT_EQ(host.calls,
              (std::vector<std::string>{"Error No Excel file selected!", "OpenSpreadsheetChooser"}));
}

TEST_F(BuildRun, NoLanguageSelectedKeepsTheTable) {
    EXPECT_EQ(Build(FourLanguages(), {}).kind, Kind::kRefused);
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
    [](const auto& info) { return info.param.name; });

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
    std::string message;
    std::string failedFile = {};  ///< the file (in the output folder) and the reason after the message
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
    const std::string failedFile = c.failedFile.empty() ? "" : (dir / "").string() + c.failedFile;
    EXPECT_EQ(outcome.failedFile, failedFile);
    EXPECT_EQ(host.errors,
              (std::vector<std::string>{c.message + (failedFile.empty() ? "" : "\r\r" + failedFile)}));
    EXPECT_EQ(host.errorCodes, (std::vector<ResultCode>{c.code}));
    EXPECT_TRUE(host.information.empty());
    std::map<std::string, std::string> after;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.is_regular_file()) after[entry.path().filename().string()] = test::ReadFile(entry.path());
    EXPECT_EQ(after, before);
    EXPECT_EQ(host.calls.back(), "ResetStringTable");
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
                    kCannotCreateFile, kInternal + "2000100B", "Lexicorn.bin: the file is read-only"},
        FailureCase{"ListCannotBeWritten",
                    [](Rows&, auto&, const fs::path& dir) { fs::create_directory(dir / "StringList.h"); },
                    kCannotCreateFile, "Cannot create string list file StringList.h",
                    "StringList.h: not a regular file"},
        FailureCase{"HeaderCannotBeWritten",
                    [](Rows&, auto&, const fs::path& dir) { fs::create_directory(dir / "LXNApiCfg.h"); },
                    kCannotCreateFile, "Cannot create string list file LXNApiCfg.h",
                    "LXNApiCfg.h: not a regular file"},
        FailureCase{
            "UnknownTargetLanguage",
            [](Rows&, ProjectSettings& s, auto&) { s.targetLanguage = static_cast<TargetLanguage>(5); },
            kUnknownTargetLanguage, kInternal + "20003029"}),
    [](const auto& info) { return info.param.name; });

TEST_F(BuildRun, CancelDuringTheStringsWritesNothing) {
    test::WriteFile(dir / "StringList.h", "earlier build");
    host.cancelAtStep = 2;
    const BuildOutcome outcome = Build(FourLanguages(), {0, 1});
    EXPECT_EQ(outcome.kind, Kind::kCancelled);
    EXPECT_EQ(host.information, (std::vector<std::string>{"Cancelled by user!"}));
    EXPECT_FALSE(host.cancelRequested);
    EXPECT_FALSE(Exists("Lexicorn.bin"));
    EXPECT_EQ(test::ReadFile(dir / "StringList.h"), "earlier build");
    EXPECT_EQ(table.tableLanguageCount, 0);
    // The check before the next string stops the build: the third string is never added.
    EXPECT_EQ(host.Count("Step"), 2);
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
    EXPECT_EQ(host.calls.back(), "ResetStringTable");
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
         "memory.csv: row 4, column 2: the character U+03A9 '\xCE\xA9' is not in code page CP1252"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        host.calls.clear();
        host.errors.clear();
        Rows rows = FourLanguages();
        refusal.damage(rows);
        const BuildOutcome outcome = Build(rows, {0});
        EXPECT_EQ(outcome.kind, Kind::kFailed);
        EXPECT_EQ(outcome.result, refusal.code);
        EXPECT_EQ(host.errors, std::vector<std::string>{refusal.message});
        EXPECT_EQ(host.Count("Show"), 0);
        EXPECT_EQ(host.Count("Pause 1000"), 0);
        EXPECT_FALSE(Exists("Lexicorn.bin"));
        EXPECT_EQ(host.calls.back(), "ResetStringTable");
    }
}

TEST_F(BuildRun, ShortTablesHaveNoStrings) {
    // A table of only its name row has no string rows; its row count must not wrap around.
    EXPECT_EQ(Build({{"ID", "English"}}, {0}).result, kImageIncomplete);
}

}  // namespace
}  // namespace lexicorn
