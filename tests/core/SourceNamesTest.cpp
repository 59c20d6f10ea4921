#include <gtest/gtest.h>

#include <set>

#include "compile/SourceNames.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

struct ScanCase {
    const char* name;
    SourceLanguage language;
    std::string text;
    std::set<std::string> named;    ///< ids the text names
    std::set<std::string> unnamed;  ///< ids only its comments and literals hold
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class SourceScan : public testing::TestWithParam<ScanCase> {};

TEST_P(SourceScan, NamesOnlyWhatTheCodeNames) {
    const ScanCase& c = GetParam();
    SourceNames names;
    CollectNames(c.text, c.language, names);
    for (const std::string& id : c.named) EXPECT_TRUE(names.Names(id)) << id;
    for (const std::string& id : c.unnamed) EXPECT_FALSE(names.Names(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFamily, SourceScan,
    testing::Values(
        ScanCase{"CComments",
                 SourceLanguage::kCLike,
                 "// OLD_A\nshow(NEW_A); /* OLD_B\n NEW_X */ show(NEW_B);\n// OLD_C \\\n OLD_D\nNEW_C",
                 {"NEW_A", "NEW_B", "NEW_C"},
                 {"OLD_A", "OLD_B", "NEW_X", "OLD_C", "OLD_D"}},
        ScanCase{"CLiterals",
                 SourceLanguage::kCLike,
                 "puts(\"OLD_A \\\" OLD_B\"); c = '\\''; NEW_A; c = '\"'; NEW_B; L\"OLD_C\" u8\"OLD_D\"",
                 {"NEW_A", "NEW_B"},
                 {"OLD_A", "OLD_B", "OLD_C", "OLD_D", "L", "u8"}},
        ScanCase{"CRawStringsAndNumbers",
                 SourceLanguage::kCLike,
                 "auto s = R\"x(OLD_A )\" OLD_B)x\"; n = 1'000'000; NEW_A(0x1F, 2.5e3); LR\"(OLD_C)\" NEW_B",
                 {"NEW_A", "NEW_B"},
                 {"OLD_A", "OLD_B", "OLD_C", "R", "LR"}},
        ScanCase{"WholeNamesOnly",
                 SourceLanguage::kCLike,
                 "OK_TEXT_2 + MY_OK_TEXT + ok_text",
                 {"OK_TEXT_2"},
                 {"OK_TEXT"}},
        ScanCase{"CSharpVerbatimAndInterpolated",
                 SourceLanguage::kCSharp,
                 "var a = @\"OLD_A \\ OLD_B\"\" OLD_C\"; NEW_A(); var b = $\"{{OLD_D}} {Strings.NEW_B} "
                 "{(x ? NEW_C : \"OLD_E\")}\"; var c = $@\"{NEW_D}\"\" OLD_F\"; var @NEW_E = 1;",
                 {"NEW_A", "NEW_B", "NEW_C", "NEW_D", "NEW_E"},
                 {"OLD_A", "OLD_B", "OLD_C", "OLD_D", "OLD_E", "OLD_F"}},
        ScanCase{
            "CSharpRawStrings",
            SourceLanguage::kCSharp,
            "var a = \"\"\"\nOLD_A \"\" OLD_B\n\"\"\"; NEW_A; var b = $$\"\"\"OLD_C\"\"\"; // OLD_D\nNEW_B",
            {"NEW_A", "NEW_B"},
            {"OLD_A", "OLD_B", "OLD_C", "OLD_D"}},
        ScanCase{"VisualBasic",
                 SourceLanguage::kVisualBasic,
                 "Dim s = \"OLD_A \"\" OLD_B\" ' OLD_C\nShow(New_A) REM OLD_D\nrem OLD_E\nREMARK_TEXT = "
                 "$\"{{OLD_F}} {NEW_B}\"\n",
                 {"NEW_A", "new_b", "remark_text"},
                 {"OLD_A", "OLD_B", "OLD_C", "OLD_D", "OLD_E", "OLD_F"}},
        ScanCase{"UnterminatedLiteralsEndTheScanQuietly",
                 SourceLanguage::kCSharp,
                 "NEW_A $\"{NEW_B",
                 {"NEW_A", "NEW_B"},
                 {}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(SourceNames, CaseCountsOutsideVisualBasic) {
    SourceNames names;
    CollectNames("ok_text", SourceLanguage::kCLike, names);
    EXPECT_FALSE(names.Names("OK_TEXT"));
    CollectNames("Ok_Text", SourceLanguage::kVisualBasic, names);
    EXPECT_TRUE(names.Names("OK_TEXT"));
}

TEST(SourceNames, AreReadFromEverySourceUnderTheFoldersButTheStringLists) {
    test::TempDir dir;
    fs::create_directories(dir / "fw" / "ui" / "deep");
    fs::create_directories(dir / "tools");
    test::WriteFile(dir / "fw" / "main.C", "show(A_TEXT);");
    test::WriteFile(dir / "fw" / "ui" / "deep" / "menu.hpp", "show(B_TEXT);");
    test::WriteFile(dir / "fw" / "ui" / "StringList.h", "#define C_TEXT 3\n");  // a build's own list
    test::WriteFile(dir / "fw" / "notes.txt", "D_TEXT");
    test::WriteFile(dir / "tools" / "Form.vb", "Show(e_text)");
    test::WriteFile(dir / "tools" / "App.cs", "Show(F_TEXT);");
    fs::create_symlink(dir / "gone.c", dir / "fw" / "dangling.c");
    const SourceNames names = ReadSourceNames({dir / "fw", dir / "tools"});
    EXPECT_EQ(names.files, 4u);
    for (const char* id : {"A_TEXT", "B_TEXT", "E_TEXT", "F_TEXT"}) EXPECT_TRUE(names.Names(id)) << id;
    for (const char* id : {"C_TEXT", "D_TEXT"}) EXPECT_FALSE(names.Names(id)) << id;

    try {
        ReadSourceNames({dir / "fw", dir / "src"});
        ADD_FAILURE() << "a folder that does not exist";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), (dir / "src").string() + ": no such folder");
    }
}

// An unused id is named at its cell with what its strings take: the offset of each language (2 bytes
// in a 16-bit table) and its text with the terminator, aligned as the build aligns it.
TEST(SourceNames, AnIdNoSourceNamesIsAWarningWithItsBytes) {
    LoadedTable table = test::MakeLoadedTable({{"ID", "English", "Deutsch"},
                                               {"", "en", "de"},
                                               {"OK_TEXT", "OK", "OK"},
                                               {"OLD_TEXT", "Old", "Alt"},
                                               {"GONE", "Gone", ""}},
                                              {});
    table.tableReader->Open();
    ProjectSettings settings;
    settings.alignment = 2;
    const CheckReport report = CheckTable(table, settings);
    SourceNames names;
    CollectNames("show(OK_TEXT); // OLD_TEXT", SourceLanguage::kCLike, names);
    const std::vector<Finding> findings = UnusedIdFindings(table, report, names);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(
        FindingLine("t.csv", findings[0]),
        "t.csv:A4: warning: unused-id: no source file names 'OLD_TEXT'; its strings take 12 bytes of the "
        "image, before identical strings are shared");
    // "Gone" twice, the German cell taking the default string: 2 + 6, twice.
    EXPECT_EQ(findings[1].Cell(), "A5");
    EXPECT_NE(findings[1].message.find("take 16 bytes"), std::string::npos) << findings[1].message;
}

}  // namespace
}  // namespace lexicorn
