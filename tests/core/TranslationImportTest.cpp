#include <gtest/gtest.h>

#include "compile/TranslationImport.h"
#include "support/TestSupport.h"
#include "table/TableEdit.h"
#include "table/TableReaderFactory.h"
#include "table/ZipXml.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

std::string Xliff(const std::string& units, const std::string& version = "1.2") {
    return "<?xml version=\"1.0\"?>\n<xliff version=\"" + version +
           "\" xmlns=\"urn:oasis:names:tc:xliff:document:" + version +
           "\">\n<file original=\"s.csv\" source-language=\"en\" target-language=\"de\" "
           "datatype=\"plaintext\"><body>\n" +
           units + "</body></file></xliff>\n";
}

struct InlineCase {
    const char* name;
    const char* target;  ///< the content of <target>
    const char* text;    ///< what it reads as
};
void PrintTo(const InlineCase& c, std::ostream* os) { *os << c.name; }

class InlineCodes : public testing::TestWithParam<InlineCase> {};

// Every form of inline code that export writes, and those that tools make of them, reads as its text.
TEST_P(InlineCodes, ReadAsTheTextTheyStandFor) {
    const TranslationDocument document = ReadTranslationDocument(
        "de.xlf", Xliff(std::string("<trans-unit id=\"V\" resname=\"VALUE\"><source>s</source><target>") +
                        GetParam().target + "</target></trans-unit>\n"));
    ASSERT_EQ(document.units.size(), 1u);
    EXPECT_EQ(document.units[0].target, GetParam().text);
    EXPECT_EQ(document.units[0].id, "VALUE");
    EXPECT_TRUE(document.units[0].idNamed);
    EXPECT_EQ(document.language, "de");
}

INSTANTIATE_TEST_SUITE_P(
    EveryForm, InlineCodes,
    testing::Values(InlineCase{"Ph", R"(Wert <ph id="1" ctype="x-printf">%d</ph>)", "Wert %d"},
                    InlineCase{"X", R"(Wert <x id="1" equiv-text="%d"/> von <x id="2" equiv-text="%s"/>)",
                               "Wert %d von %s"},
                    InlineCase{"G", R"(<g id="1">fett</g> %d)", "fett %d"},
                    InlineCase{"BxEx", R"(<bx id="1" equiv-text="{"/>0<ex id="1" equiv-text="}"/>)", "{0}"},
                    InlineCase{"BptEpt", R"(<bpt id="1">&lt;b&gt;</bpt>fett<ept id="1">&lt;/b&gt;</ept>)",
                               "<b>fett</b>"},
                    InlineCase{"It", R"(<it id="1" pos="open">%1$s</it> bis)", "%1$s bis"},
                    InlineCase{"Mrk", R"(<mrk mtype="protected">%d</mrk> Mal)", "%d Mal"},
                    InlineCase{"Escaped", "a &amp; b&#13;\nc", "a & b\r\nc"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(TranslationImport, ReadsXliffUnitsButNotSuggestionsNorTheGettextHeader) {
    // What po2xliff writes: numbered units, the gettext header as one, no target-language.
    const TranslationDocument document = ReadTranslationDocument(
        "de.xlf",
        "<xliff version=\"1.1\"><file original=\"a.po\" source-language=\"en-US\" "
        "datatype=\"plaintext\"><body>\n"
        "<trans-unit id=\"2\" restype=\"x-gettext-domain-header\"><source>Language: de\n</source>"
        "<target>Language: fr\n</target></trans-unit>\n"
        "<trans-unit id=\"3\"><source>OK</source><target>Gut</target>\n"
        "<alt-trans><source>OK</source><target>Okay</target></alt-trans></trans-unit>\n"
        "<trans-unit id=\"4\"><source>Back</source></trans-unit>\n"
        "</body></file></xliff>\n");
    EXPECT_EQ(document.language, "fr");
    ASSERT_EQ(document.units.size(), 2u);
    EXPECT_EQ(document.units[0].id, "3");
    EXPECT_FALSE(document.units[0].idNamed);
    EXPECT_EQ(document.units[0].source, "OK");
    EXPECT_EQ(document.units[0].target, "Gut");
    EXPECT_EQ(document.units[0].line, 5u);
    EXPECT_EQ(document.units[1].target, "");
}

TEST(TranslationImport, ReadsPoEntriesAsGettextWritesThem) {
    const TranslationDocument document = ReadTranslationDocument(
        "fr.po",
        "# a comment\nmsgid \"\"\nmsgstr \"\"\n\"Project-Id-Version: x\\n\"\n\"Language: fr\\n\"\n\n"
        "#. max width 120 px\n#: s.csv:C3\n#, c-format\nmsgctxt \"VALUE\"\nmsgid \"Value %d\"\nmsgstr "
        "\"Valeur \"\n"
        "  \"%d\"\n\n"
        "msgctxt \"ESC\"\nmsgid \"\"\n\"a\\tb\\n\"\n\"c\"\nmsgstr \"\\\"q\\\" \\\\ \\101\\r\"\n\n"
        "#, fuzzy, c-format\nmsgid \"Bare\"\nmsgstr \"Nu\"\n\n"
        "#~ msgctxt \"OLD\"\n#~ msgid \"Old\"\n#~ msgstr \"Vieux\"\n\n"
        "msgctxt \"PLURAL\"\nmsgid \"One\"\nmsgid_plural \"Many\"\nmsgstr[0] \"Un\"\nmsgstr[1] "
        "\"Plusieurs\"\n");
    EXPECT_EQ(document.language, "fr");
    ASSERT_EQ(document.units.size(), 4u);
    EXPECT_EQ(document.units[0].id, "VALUE");
    EXPECT_EQ(document.units[0].target, "Valeur %d");
    EXPECT_EQ(document.units[0].line, 10u);
    EXPECT_FALSE(document.units[0].fuzzy);
    EXPECT_EQ(document.units[1].source, "a\tb\nc");
    EXPECT_EQ(document.units[1].target, "\"q\" \\ A\r");
    EXPECT_TRUE(document.units[2].fuzzy);
    EXPECT_FALSE(document.units[2].idNamed);
    EXPECT_EQ(document.units[2].source, "Bare");
    EXPECT_EQ(document.units[3].target, "Un");
}

struct UnreadableCase {
    const char* name;
    const char* file;
    const char* bytes;
    const char* message;
};
void PrintTo(const UnreadableCase& c, std::ostream* os) { *os << c.name; }

class UnreadableFile : public testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadableFile, IsRefusedWithItsLine) {
    try {
        ReadTranslationDocument(GetParam().file, GetParam().bytes);
        ADD_FAILURE() << "read";
    } catch (const TranslationFileError& error) {
        EXPECT_STREQ(error.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Each, UnreadableFile,
    testing::Values(UnreadableCase{"Malformed", "de.xlf", "<xliff version=\"1.2\">\n<file>\n</xliff>",
                                   "de.xlf:3: malformed XML: mismatched tag"},
                    UnreadableCase{"Xliff2", "de.xlf", "<xliff version=\"2.0\"/>",
                                   "de.xlf:1: XLIFF 2.0 is not read: export XLIFF 1.2"},
                    UnreadableCase{"NoXliff", "de.xlf", "<html/>",
                                   "de.xlf:1: not an XLIFF file: its root element is <html>"},
                    UnreadableCase{"Unclosed", "de.po", "msgid \"a\"\nmsgstr \"b\n",
                                   "de.po:2: a PO string is written in double quotes"},
                    UnreadableCase{"Keyword", "de.po", "msgid \"a\"\nmsgtxt \"b\"\n",
                                   "de.po:2: 'msgtxt' is no keyword of a PO file"},
                    UnreadableCase{"Escape", "de.po", "msgid \"a\"\nmsgstr \"\\q\"\n",
                                   "de.po:2: \\q is no escape of a PO string"},
                    UnreadableCase{"Stray", "de.po", "\"a\"\n", "de.po:1: a string that follows no keyword"},
                    UnreadableCase{"NotUtf8", "de.po", "msgctxt \"A\"\nmsgid \"a\"\nmsgstr \"\xE9\"\n",
                                   "de.po:1: the entry is no UTF-8 text"}),
    [](const auto& testCase) { return testCase.param.name; });

class PlannedImport : public testing::Test {
  protected:
    ImportPlan Plan(const std::vector<TranslationDocument>& documents, ImportOptions options = {}) {
        LoadedTable table = test::MakeLoadedTable({{"ID", "English", "Deutsch"},
                                                   {"", "en", "de"},
                                                   {"A", "Same", "Gleich"},
                                                   {"B", "Same", ""},
                                                   {"C", "Only %d", "Nur %d"}},
                                                  {});
        table.tableReader->Open();
        return PlanImport(table, {}, documents, options);
    }
};

TEST_F(PlannedImport, FindsUnitsByIdOrByAnUnambiguousSource) {
    const ImportPlan plan = Plan({{"de.po",
                                   "de",
                                   {{"C", true, "Only %d", "Bloß %d", false, 3},
                                    {"", false, "Only %d", "Nur %d", false, 7},
                                    {"", false, "Same", "Gleich", false, 9},
                                    {"9", false, "Gone", "Weg", false, 11}}}});
    EXPECT_EQ(
        plan.problems,
        (std::vector<std::string>{
            "de.po:9: the unit names no id of the table, and 2 strings have its source text \"Same\"",
            "de.po:11: the unit names no id of the table, and no string has its source text \"Gone\""}));
    ASSERT_EQ(plan.languages.size(), 1u);
    EXPECT_EQ(plan.languages[0].changed, std::vector<std::string>{"C5"});
    EXPECT_EQ(plan.languages[0].unchanged, std::vector<std::string>{"C5"});
    EXPECT_EQ(plan.languages[0].bySource, 1u);
}

TEST(TranslationImport, RefusesAnIdTheTableHasTwice) {
    LoadedTable table = test::MakeLoadedTable(
        {{"ID", "English", "Deutsch"}, {"", "en", "de"}, {"A", "One", ""}, {"A", "Two", ""}}, {});
    table.tableReader->Open();
    const ImportPlan plan =
        PlanImport(table, {}, {{"de.po", "de", {{"A", true, "Two", "Zwei", false, 4}}}}, {});
    EXPECT_EQ(plan.problems,
              std::vector<std::string>{"de.po:4: the table has more than one string with the id A"});
    EXPECT_TRUE(plan.changes.empty());
}

TEST_F(PlannedImport, RefusesTheDefaultLanguageAndALanguageTwice) {
    const ImportPlan plan =
        Plan({{"en.po", "en", {}}, {"de.po", "de", {}}, {"de2.xlf", "DE", {}}, {"none.po", "", {}}});
    EXPECT_EQ(plan.problems, (std::vector<std::string>{
                                 "en.po: en is the table's default language, the source of every translation",
                                 "de2.xlf: de2.xlf is a second file for the language DE: de.po is the first",
                                 "none.po: the file names no target language (target-language, Language:)"}));
}

TEST_F(PlannedImport, PutsANewLanguageInAColumnAfterTheLast) {
    const ImportPlan plan = Plan({{"fr.xlf", "fr", {{"A", true, "Same", "Pareil", false, 2}}}});
    EXPECT_TRUE(plan.problems.empty());
    ASSERT_EQ(plan.changes.size(), 3u);
    EXPECT_EQ(plan.changes[0].column, 4u);
    EXPECT_EQ(plan.changes[0].text, "fr");
    EXPECT_EQ(plan.changes[1].row, 2u);
    EXPECT_EQ(plan.changes[2].row, 3u);
    EXPECT_EQ(plan.changes[2].text, "Pareil");
    EXPECT_TRUE(plan.languages[0].added);
}

struct TextEditCase {
    const char* name;
    const char* file;
    std::string before;
    std::vector<CellEdit> edits;
    std::string after;
};
void PrintTo(const TextEditCase& c, std::ostream* os) { *os << c.name; }

class TextTableEdit : public testing::TestWithParam<TextEditCase> {};

// Only the edited fields change: the file's encoding, separator, quoting and line ends stay.
TEST_P(TextTableEdit, ChangesOnlyTheEditedFields) {
    test::TempDir dir;
    test::WriteFile(dir / GetParam().file, GetParam().before);
    EXPECT_EQ(EditTable((dir / GetParam().file).string(), GetParam().edits), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Each, TextTableEdit,
    testing::Values(
        TextEditCase{"CrLf", "t.csv", "A,B,C\r\nx,y,z\r\n", {{2, 2, "new"}}, "A,B,C\r\nx,new,z\r\n"},
        TextEditCase{"QuotesKept", "t.csv", "A,\"B\"\nx,\"y\"\n", {{2, 2, "n"}}, "A,\"B\"\nx,\"n\"\n"},
        TextEditCase{"QuotesWhereNeeded",
                     "t.csv",
                     "A,B\nx,y\n",
                     {{2, 2, "a, \"b\"\nc"}},
                     "A,B\nx,\"a, \"\"b\"\"\nc\"\n"},
        TextEditCase{"AllQuoted",
                     "t.csv",
                     "\"A\",\"B\"\n\"x\",\"y\"\n",
                     {{2, 3, "n"}},
                     "\"A\",\"B\"\n\"x\",\"y\",\"n\"\n"},
        TextEditCase{"ShortRowsGrow", "t.csv", "A,B\nx\n", {{1, 4, "D"}, {2, 3, "c"}}, "A,B,,D\nx,,c\n"},
        TextEditCase{"Tabs", "t.tsv", "A\tB\nx\ty\n", {{2, 1, "a,b"}}, "A\tB\na,b\ty\n"},
        TextEditCase{"NoLastLineEnd", "t.csv", "A,B\nx,y", {{2, 2, "n"}}, "A,B\nx,n"},
        TextEditCase{"ByteOrderMark",
                     "t.csv",
                     "\xEF\xBB\xBF"
                     "A,B\n",
                     {{1, 1, "\xC3\xA9"}},
                     "\xEF\xBB\xBF\xC3\xA9,B\n"},
        TextEditCase{"Utf16",
                     "t.txt",
                     std::string("\xFF\xFE"
                                 "A\0\t\0B\0\n\0",
                                 10),
                     {{1, 2, "\xE2\x82\xAC"}},
                     std::string("\xFF\xFE"
                                 "A\0\t\0\xAC\x20\n\0",
                                 10)},
        TextEditCase{"RowsAdded", "t.csv", "A,B\n", {{3, 2, "n"}}, "A,B\n\n,n\n"}),
    [](const auto& testCase) { return testCase.param.name; });

// An .xlsx keeps every part but its worksheet's byte for byte; the edited cells read back.
TEST(WorkbookEdit, XlsxChangesTheWorksheetPartAlone) {
    test::TempDir dir;
    const fs::path path = dir / "t.xlsx";
    fs::copy_file(LEXICORN_FIXTURES_DIR "/table.xlsx", path);
    auto before = CreateTableReader(path.string());
    const std::uint16_t columns = before->GetColumnCount();
    const std::string first = std::string(before->CellUtf8(2, 3));
    before.reset();
    const std::string edited =
        EditTable(path.string(), {{1, columns + 1u, "fr"}, {3, 2, "<&>\r\n_x0041_"}, {40, 1, "far"}});
    test::WriteFile(dir / "new.xlsx", edited);
    auto reader = CreateTableReader((dir / "new.xlsx").string());
    EXPECT_EQ(reader->CellUtf8(static_cast<std::uint16_t>(columns + 1), 1), "fr");
    EXPECT_EQ(reader->CellUtf8(2, 3), "<&>\r\n_x0041_");
    EXPECT_NE(first, "<&>\r\n_x0041_");
    EXPECT_EQ(reader->CellUtf8(1, 40), "far");
    EXPECT_EQ(reader->GetRowCount(), 40);
    const ZipArchive old(path.string()), now((dir / "new.xlsx").string());
    for (const char* part :
         {"xl/sharedStrings.xml", "xl/styles.xml", "xl/workbook.xml", "[Content_Types].xml"})
        if (old.Has(part)) {
            EXPECT_EQ(old.Read(part), now.Read(part)) << part;
        }
}

TEST(WorkbookEdit, OdsSplitsRepeatedRunsAroundTheEditedCell) {
    test::TempDir dir;
    const fs::path path = dir / "t.ods";
    fs::copy_file(LEXICORN_FIXTURES_DIR "/table.ods", path);
    auto before = CreateTableReader(path.string());
    const std::uint16_t rows = before->GetRowCount(), columns = before->GetColumnCount();
    std::vector<std::string> kept;
    for (std::uint16_t r = 1; r <= rows; ++r)
        for (std::uint16_t c = 1; c <= columns; ++c) kept.emplace_back(before->CellUtf8(c, r));
    before.reset();
    const std::string edited =
        EditTable(path.string(), {{2, columns + 2u, "  a\tb  c\nd"}, {rows + 3u, 1, "x"}});
    test::WriteFile(dir / "new.ods", edited);
    auto reader = CreateTableReader((dir / "new.ods").string());
    EXPECT_EQ(reader->CellUtf8(static_cast<std::uint16_t>(columns + 2), 2), "  a\tb  c\nd");
    EXPECT_EQ(reader->CellUtf8(1, static_cast<std::uint16_t>(rows + 3)), "x");
    std::size_t at = 0;
    for (std::uint16_t r = 1; r <= rows; ++r)
        for (std::uint16_t c = 1; c <= columns; ++c)
            EXPECT_EQ(reader->CellUtf8(c, r), kept[at++]) << r << "," << c;
    EXPECT_EQ(ZipArchive(path.string()).Read("styles.xml"),
              ZipArchive((dir / "new.ods").string()).Read("styles.xml"));
}

}  // namespace
}  // namespace lexicorn
