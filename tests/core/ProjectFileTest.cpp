#include <gtest/gtest.h>

#include "project/ProjectFile.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

using namespace std::string_literals;

using Status = ProjectFileResult::Status;

TEST(ProjectFile, DefaultsAreSavedAsTwelveLines) {
    test::TempDir dir;
    ASSERT_TRUE(SaveProjectFile(dir / "p.lxn", ProjectSettings{}));
    EXPECT_EQ(test::ReadFile(dir / "p.lxn"),
              "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n");
}

TEST(ProjectFile, EveryFieldSurvivesARoundTrip) {
    ProjectSettings saved;
    saved.encoding = Encoding::kUtf8;
    saved.tableType = TableType::k32Bit;
    saved.alignment = 4;
    saved.byteOrder = ByteOrder::kBig;
    saved.searchStep = 8;
    saved.mergeMode = MergeMode::kAppend;
    saved.mergePlacement = MergePlacement::kEnd;
    saved.mergeAddress = 0x80000010;
    saved.useDefaultString = false;
    saved.targetLanguage = TargetLanguage::kCSharp;
    saved.targetPlatform = TargetPlatform::kDotNet;
    test::TempDir dir;
    ASSERT_TRUE(SaveProjectFile(dir / "p.lxn", saved));
    EXPECT_NE(test::ReadFile(dir / "p.lxn").find("\r\n2147483664\r\n"), std::string::npos);
    ProjectSettings loaded;
    ASSERT_TRUE(LoadProjectFile(dir / "p.lxn", loaded));
    EXPECT_EQ(loaded, saved);
}

struct LoadCase {
    const char* name;
    std::string content;
    Status status;
    std::string message;  ///< how the message begins; "{file}" stands for the project file's path
};
void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.name; }

class ProjectFileLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(ProjectFileLoad, ReportsAndChangesNothingOnFailure) {
    const LoadCase& c = GetParam();
    test::TempDir dir;
    test::WriteFile(dir / "p.lxn", c.content);
    ProjectSettings settings;
    settings.alignment = 2;  // a value that no case's file holds
    const ProjectSettings before = settings;
    const ProjectFileResult result = LoadProjectFile(dir / "p.lxn", settings);
    EXPECT_EQ(result.status, c.status);
    std::string expected = c.message;
    if (const std::size_t file = expected.find("{file}"); file != std::string::npos)
        expected.replace(file, 6, (dir / "p.lxn").string());
    EXPECT_EQ(result.message.substr(0, expected.size()), expected);
    if (c.status != Status::kOk) {
        EXPECT_EQ(settings, before);
    }
}

const std::string kHeader = "LEXICORNPROJECTFILE\r\n";
const std::string kTwelveLines = kHeader + "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, ProjectFileLoad,
    testing::Values(
        LoadCase{"Empty", "", Status::kError,
                 "{file}: line 1 is missing: the file is empty\r\rList index out of bounds (0)"},
        LoadCase{"LowerCaseHeader", "lexicornprojectfile\r\n0\r\n", Status::kNotAProject, ""},
        LoadCase{"HeaderWithBlank", "LEXICORNPROJECTFILE \r\n", Status::kNotAProject, ""},
        LoadCase{"TooFewLines", kHeader + "0\r\n0\r\n", Status::kError,
                 "{file}: line 4 is missing: the file ends after 3 lines\r\rList index out of bounds (3)"},
        LoadCase{"OnlyTheHeader", kHeader, Status::kError,
                 "{file}: line 2 is missing: the file ends after 1 line\r\rList index out of bounds (1)"},
        LoadCase{"LastLineMissing", kHeader + "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n",
                 Status::kError,
                 "{file}: line 12 is missing: the file ends after 11 lines\r\rList index out of bounds (11)"},
        LoadCase{"BadNumberHalfWay", kHeader + "1\r\n1\r\n4\r\n1\r\n1\r\nabc\r\n8\r\n0\r\n0\r\n0\r\n1\r\n",
                 Status::kError, "'abc' is not a valid integer value"},
        LoadCase{"NumberBeyondInt32",
                 kHeader + "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n4294967296\r\n",
                 Status::kError, "'4294967296' is not a valid integer value"},
        LoadCase{"NegativeAddress", kHeader + "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n-1\r\n0\r\n0\r\n1\r\n",
                 Status::kError, "'-1' is not a valid integer value"},
        LoadCase{"ThirteenthLineIgnored",
                 kHeader + "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\nextra\r\n", Status::kOk,
                 ""},
        LoadCase{"UnknownCodePage",
                 kHeader + "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\nCODEPAGE=CP9999\r\n",
                 Status::kError, "Unknown code page 'CP9999' on line 13 of "},
        LoadCase{"WideCodePage",
                 kHeader + "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\nCODEPAGE=UCS-4\r\n",
                 Status::kError, "Unknown code page 'UCS-4' on line 13 of "},
        LoadCase{"EmptyCodePage",
                 kHeader + "0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\nCODEPAGE=\r\n",
                 Status::kError, "Unknown code page '' on line 13 of "},
        // Saved by an editor that marks UTF-8.
        LoadCase{"ByteOrderMark", "\xEF\xBB\xBF" + kTwelveLines + "TABLE=t.csv\r\n", Status::kOk, ""},
        // A NUL would end the name where the system reads it.
        LoadCase{
            "NulInAPath", kTwelveLines + "TABLE=t.csv" + '\0' + "x\r\n", Status::kError,
            "Corrupted project file.\r\r{file}, line 13: 'TABLE=t.csv?x' holds a NUL character, which no "
            "file name can"},
        LoadCase{"NulInAFont", kTwelveLines + "FONT=ja=" + '\0' + ".otf\r\n", Status::kError,
                 "Corrupted project file.\r\r{file}, line 13: 'FONT=ja=?.otf' holds a NUL character"},
        // The bounds the command line has.
        LoadCase{"FontSizeBeyondTheCommandLines", kTwelveLines + "FONTSIZE=1001\r\n", Status::kError,
                 "Corrupted project file.\r\rLine 13: '1001' is no font size in pixels (1 to 1000)"},
        LoadCase{
            "WidthBeyondAnyScreen", kTwelveLines + "MAXWIDTH=4294967295\r\n", Status::kError,
            "Corrupted project file.\r\rLine 13: 4294967295 px is wider than any screen: a limit takes at "
            "most 100000 px"},
        LoadCase{"LineFeedsOnly", "LEXICORNPROJECTFILE\n0\n0\n1\n0\n0\n0\n16\n0\n0\n0\n1\n", Status::kOk, ""},
        LoadCase{"CarriageReturnsOnly", "LEXICORNPROJECTFILE\r0\r0\r1\r0\r0\r0\r16\r0\r0\r0\r1", Status::kOk,
                 ""}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(ProjectFile, ACodePageIsAThirteenthLineAndItsAbsenceMeansTheDefault) {
    test::TempDir dir;
    ProjectSettings saved;
    saved.codePage = "CP1250";
    ASSERT_TRUE(SaveProjectFile(dir / "p.lxn", saved));
    EXPECT_EQ(
        test::ReadFile(dir / "p.lxn"),
        "LEXICORNPROJECTFILE\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n16\r\n0\r\n0\r\n0\r\n1\r\nCODEPAGE=CP1250\r\n");
    ProjectSettings loaded;
    ASSERT_TRUE(LoadProjectFile(dir / "p.lxn", loaded));
    EXPECT_EQ(loaded.codePage, "CP1250");

    ASSERT_TRUE(SaveProjectFile(dir / "p.lxn", ProjectSettings{}));
    ASSERT_TRUE(LoadProjectFile(dir / "p.lxn", loaded));
    EXPECT_EQ(loaded.codePage, kDefaultCodePage);
}

TEST(ProjectFile, TheWholeAddressRangeAndAnyNonZeroFlagAreTaken) {
    test::TempDir dir;
    test::WriteFile(dir / "p.lxn",
                    kHeader + "2\r\n1\r\n4\r\n1\r\n2\r\n2\r\n16\r\n4294967295\r\n1\r\n2\r\n-7\r\n");
    ProjectSettings settings;
    ASSERT_TRUE(LoadProjectFile(dir / "p.lxn", settings));
    EXPECT_EQ(settings.mergeAddress, 0xFFFFFFFFu);
    EXPECT_TRUE(settings.useDefaultString);
}

// A value that no setting has is a damaged file: refused whole, saying which line, never cut to
// its low bits; a line shown in a message is printable and short whatever the file holds.
TEST(ProjectFile, ValuesOutsideTheirRangesAreRefusedByLine) {
    test::TempDir dir;
    const std::string lines[] = {"0", "0", "1", "0", "0", "0", "16", "0", "0", "0", "1"};
    const struct {
        std::size_t line;
        const char* value;
    } cases[] = {{1, "300"}, {1, "-1"}, {2, "2"},  {3, "3"}, {4, "5"},   {5, "3"},
                 {6, "9"},   {7, "0"},  {7, "32"}, {9, "2"}, {10, "-1"}, {10, "9"}};
    for (const auto& c : cases) {
        std::string text = kHeader;
        for (std::size_t i = 0; i < std::size(lines); ++i)
            text += (i + 1 == c.line ? c.value : lines[i]) + "\r\n"s;
        test::WriteFile(dir / "p.lxn", text);
        ProjectSettings settings;
        settings.searchStep = 4;
        const ProjectFileResult result = LoadProjectFile(dir / "p.lxn", settings);
        EXPECT_EQ(result.message, "Corrupted project file.\r\rLine " + std::to_string(c.line + 1) + ": " +
                                      c.value + " is no value of this line");
        EXPECT_EQ(settings.searchStep, 4);  // nothing of it applied
    }
    test::WriteFile(dir / "p.lxn", kHeader + std::string(200, 'x') + "\x01\r\n");
    ProjectSettings settings;
    EXPECT_EQ(LoadProjectFile(dir / "p.lxn", settings).message,
              "'" + std::string(80, 'x') + "...' is not a valid integer value");
}

TEST(ProjectFile, MissingAndUnwritableFilesAreNamed) {
    test::TempDir dir;
    ProjectSettings settings;
    const auto missing = dir / "none.lxn";
    EXPECT_EQ(
        LoadProjectFile(missing, settings).message,
        "Cannot open file " + missing.string() + "\r\r" + missing.string() + ": No such file or directory");
    const auto unwritable = dir / "no-folder" / "p.lxn";
    EXPECT_EQ(SaveProjectFile(unwritable, settings).message, "Cannot create file " + unwritable.string() +
                                                                 "\r\r" + unwritable.string() +
                                                                 ": No such file or directory");
}

TEST(ProjectFile, AJobTravelsWithTheProject) {
    test::TempDir dir;
    ProjectSettings saved;
    saved.noFileSystem = true;
    saved.table = (dir / "tables" / "strings.csv").string();
    saved.notesColumn = "Notes";
    saved.languages = {"en", "de"};
    saved.outputFolder = "/elsewhere/out";
    ASSERT_TRUE(SaveProjectFile(dir / "job.lxn", saved));
    const std::string text = test::ReadFile(dir / "job.lxn");
    EXPECT_TRUE(text.ends_with(
        "\r\n1\r\nNOFILESYSTEM=1\r\nTABLE=tables/strings.csv\r\nNOTES=Notes\r\nLANGUAGES=en,de\r\n"
        "OUTPUT=/elsewhere/out\r\n"))
        << text;
    // Moved with its table, the project still finds it.
    std::filesystem::create_directory(dir / "moved");
    test::WriteFile(dir / "moved" / "job.lxn", text);
    ProjectSettings loaded;
    ASSERT_TRUE(LoadProjectFile(dir / "moved" / "job.lxn", loaded));
    EXPECT_EQ(loaded.table, (dir / "moved" / "tables" / "strings.csv").string());
    EXPECT_EQ(loaded.languages, (std::vector<std::string>{"en", "de"}));
    EXPECT_EQ(loaded.outputFolder, "/elsewhere/out");
    EXPECT_EQ(loaded.notesColumn, "Notes");
    EXPECT_TRUE(loaded.noFileSystem);
    // A project without the lines clears what an earlier one set.
    ASSERT_TRUE(LoadProjectFile(dir / "moved" / "job.lxn", loaded));
    test::WriteFile(dir / "plain.lxn", FormatProjectFile(ProjectSettings{}));
    ASSERT_TRUE(LoadProjectFile(dir / "plain.lxn", loaded));
    EXPECT_EQ(loaded, ProjectSettings{});
}

// A target has a file system unless its project says otherwise; a .NET target always has one, so
// its project says nothing about it.
struct FileSystemCase {
    const char* name;
    TargetPlatform platform;
    bool noFileSystem;
    const char* line;  ///< the project's optional line, empty for none
};
void PrintTo(const FileSystemCase& c, std::ostream* os) { *os << c.name; }

class ProjectFileSystem : public testing::TestWithParam<FileSystemCase> {};

TEST_P(ProjectFileSystem, IsSavedOnlyWhereItDiffersFromTheDefault) {
    const FileSystemCase& c = GetParam();
    test::TempDir dir;
    ProjectSettings saved;
    ChooseTargetPlatform(saved, c.platform);
    saved.noFileSystem = c.noFileSystem;
    ASSERT_TRUE(SaveProjectFile(dir / "p.lxn", saved));
    const std::string text = test::ReadFile(dir / "p.lxn");
    std::size_t optionalLines = 0;
    for (int line = 0; line < 12; ++line) optionalLines = text.find("\r\n", optionalLines) + 2;
    EXPECT_EQ(text.substr(optionalLines), c.line);
    ProjectSettings loaded;
    ASSERT_TRUE(LoadProjectFile(dir / "p.lxn", loaded));
    EXPECT_EQ(loaded.noFileSystem, c.noFileSystem && c.platform != TargetPlatform::kDotNet);
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, ProjectFileSystem,
    testing::Values(FileSystemCase{"FirmwareWithOneIsTheDefault", TargetPlatform::kApi, false, ""},
                    FileSystemCase{"FirmwareWithout", TargetPlatform::kApi, true, "NOFILESYSTEM=1\r\n"},
                    FileSystemCase{"DotNetAlwaysHasOne", TargetPlatform::kDotNet, true, ""}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// The line is read whichever version wrote it: NOFILESYSTEM=0 comes from versions that took a
// target without a file system for the default.
TEST(ProjectFile, TheFileSystemLineIsReadWhicheverValueItHolds) {
    test::TempDir dir;
    const std::string twelveLines = FormatProjectFile(ProjectSettings{});
    for (const auto& [line, noFileSystem] : {std::pair{"", false}, std::pair{"NOFILESYSTEM=1\r\n", true},
                                             std::pair{"NOFILESYSTEM=0\r\n", false}}) {
        test::WriteFile(dir / "p.lxn", twelveLines + line);
        ProjectSettings loaded;
        loaded.noFileSystem = !noFileSystem;
        ASSERT_TRUE(LoadProjectFile(dir / "p.lxn", loaded));
        EXPECT_EQ(loaded.noFileSystem, noFileSystem) << line;
    }
}

TEST(ProjectFile, TheFillByteIsAnOptionalLine) {
    test::TempDir dir;
    ProjectSettings saved;
    saved.fillByte = 0xFF;
    ASSERT_TRUE(SaveProjectFile(dir / "fill.lxn", saved));
    EXPECT_TRUE(test::ReadFile(dir / "fill.lxn").ends_with("\r\nFILL=255\r\n"));
    ProjectSettings loaded;
    ASSERT_TRUE(LoadProjectFile(dir / "fill.lxn", loaded));
    EXPECT_EQ(loaded, saved);
    // Written only when it says something.
    EXPECT_EQ(FormatProjectFile(ProjectSettings{}).find("FILL="), std::string::npos);
    for (const char* bad : {"256", "-1", "0xFF", "", "12a"}) {
        test::WriteFile(dir / "bad.lxn", FormatProjectFile(ProjectSettings{}) + "FILL=" + bad + "\r\n");
        ProjectSettings kept;
        kept.fillByte = 7;
        const ProjectFileResult result = LoadProjectFile(dir / "bad.lxn", kept);
        EXPECT_FALSE(result) << bad;
        EXPECT_EQ(result.message, std::string("Corrupted project file.\r\rLine 13: '") + bad +
                                      "' is no fill byte (0 to 255)");
        EXPECT_EQ(kept.fillByte, 7) << "all or nothing";
    }
}

TEST(ProjectFile, TheDeviceTravelsWithTheProject) {
    test::TempDir dir;
    ProjectSettings saved;
    saved.fonts = {{{}, (dir / "fonts" / "Device12.bdf").string()},
                   {{"ja", "zh"}, "/usr/share/Noto=CJK.otf"}};
    saved.fontSize = 16;
    saved.antiAliased = true;
    saved.limits = (dir / "limits.csv").string();
    saved.maxWidth = 120;
    ASSERT_TRUE(SaveProjectFile(dir / "device.lxn", saved));
    const std::string text = test::ReadFile(dir / "device.lxn");
    EXPECT_TRUE(
        text.ends_with("\r\n1\r\nFONT=fonts/Device12.bdf\r\nFONT=ja,zh=/usr/share/Noto=CJK.otf\r\n"
                       "FONTSIZE=16\r\nANTIALIAS=1\r\nLIMITS=limits.csv\r\nMAXWIDTH=120\r\n"))
        << text;
    ProjectSettings loaded;
    ASSERT_TRUE(LoadProjectFile(dir / "device.lxn", loaded));
    EXPECT_EQ(loaded, saved);
    // Older files, and files without a device, load as before: no font, nothing checked.
    EXPECT_EQ(FormatProjectFile(ProjectSettings{}).find("FONT"), std::string::npos);
    test::WriteFile(dir / "plain.lxn", FormatProjectFile(ProjectSettings{}));
    ASSERT_TRUE(LoadProjectFile(dir / "plain.lxn", loaded));
    EXPECT_EQ(loaded, ProjectSettings{});
    for (const char* bad : {"FONTSIZE=0", "FONTSIZE=big", "FONTSIZE=70000", "MAXWIDTH=-3"}) {
        test::WriteFile(dir / "bad.lxn", FormatProjectFile(ProjectSettings{}) + bad + "\r\n");
        ProjectSettings kept = saved;
        const ProjectFileResult result = LoadProjectFile(dir / "bad.lxn", kept);
        EXPECT_EQ(result.message.substr(0, 32), "Corrupted project file.\r\rLine 13") << bad;
        EXPECT_EQ(kept, saved) << "all or nothing";
    }
}

TEST(DeviceFonts, AreWrittenAsTheCommandLineTakesThem) {
    const struct {
        const char* text;
        DeviceFont font;
    } cases[] = {{"Device12.bdf", {{}, "Device12.bdf"}},
                 {"ja,zh=NotoSansCJK.otf", {{"ja", "zh"}, "NotoSansCJK.otf"}},
                 {"zh-Hant=fonts/a.ttf", {{"zh-Hant"}, "fonts/a.ttf"}},
                 {"fonts/a=b.ttf", {{}, "fonts/a=b.ttf"}},  // a path before '=': no codes
                 {"=b.ttf", {{}, "=b.ttf"}}};
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDeviceFont(c.text), c.font) << c.text;
        EXPECT_EQ(DeviceFontText(c.font), c.text);
    }
}

}  // namespace
}  // namespace lexicorn
