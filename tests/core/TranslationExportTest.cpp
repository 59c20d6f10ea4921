#include <gtest/gtest.h>

#include "compile/TranslationExport.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

using Rows = std::vector<std::vector<std::string>>;

// Placeholders swapped round in German, a limit with lines and one without, characters that XML
// and PO escape, a text of two lines, a cell left empty and one that asks for the default string.
Rows SmallTable() {
    return {{"ID", "English", "Deutsch"},
            {"", "en", "de"},
            {"VALUE", "Value %d of %s", "%2$s: %1$d & <mehr>"},
            {"OK_TEXT", "OK", "OK"},
            {"TWO_LINES", "Say \"hi\"\nthen go", ""},
            {"SAME", "Back", "[USE_DEFAULT]"}};
}

class TranslationExport : public testing::Test {
  protected:
    TranslationExport() {
        test::WriteFile(dir / "limits.csv", "VALUE,120,2\nOK_TEXT,40\n");
        settings.limits = (dir / "limits.csv").string();
    }

    std::string Export(ExportOptions options, Rows rows = SmallTable()) {
        LoadedTable table = test::MakeLoadedTable(std::move(rows), {});
        table.tableReader->Open();
        const std::vector<TranslationFile> files = ExportTranslations(table, settings, {1}, options);
        EXPECT_EQ(files.size(), 1u);
        EXPECT_EQ(files[0].code, "de");
        translated = files[0].translated;
        return files[0].bytes;
    }

    test::TempDir dir;
    ProjectSettings settings;
    std::size_t translated = 0;
};

const char* const kXliffHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
    "  <file original=\"memory.csv\" source-language=\"en\" target-language=\"de\" datatype=\"plaintext\">\n"
    "    <body>\n";
const char* const kXliffTail = "    </body>\n  </file>\n</xliff>\n";

// The units after VALUE, the same in every inline form.
const char* const kXliffRest =
    "      <trans-unit id=\"OK_TEXT\" resname=\"OK_TEXT\" approved=\"yes\" maxwidth=\"40\" "
    "size-unit=\"pixel\" "
    "xml:space=\"preserve\">\n"
    "        <source>OK</source>\n"
    "        <target state=\"translated\">OK</target>\n"
    "      </trans-unit>\n"
    "      <trans-unit id=\"TWO_LINES\" resname=\"TWO_LINES\" xml:space=\"preserve\">\n"
    "        <source>Say \"hi\"\nthen go</source>\n"
    "      </trans-unit>\n"
    "      <trans-unit id=\"SAME\" resname=\"SAME\" xml:space=\"preserve\">\n"
    "        <source>Back</source>\n"
    "      </trans-unit>\n";

struct InlineCase {
    const char* name;
    InlineCodes codes;
    const char* source;
    const char* target;
};

class XliffInline : public TranslationExport, public testing::WithParamInterface<InlineCase> {};

TEST_P(XliffInline, CarriesEveryUnitWithItsLimitAndPlaceholders) {
    const InlineCase& c = GetParam();
    EXPECT_EQ(Export({ExchangeFormat::kXliff, c.codes}),
              std::string(kXliffHead) +
                  "      <trans-unit id=\"VALUE\" resname=\"VALUE\" approved=\"yes\" maxwidth=\"120\" "
                  "size-unit=\"pixel\" xml:space=\"preserve\">\n"
                  "        <source>" +
                  c.source + "</source>\n        <target state=\"translated\">" + c.target +
                  "</target>\n"
                  "        <note>at most 2 lines</note>\n"
                  "      </trans-unit>\n" +
                  kXliffRest + kXliffTail);
}

// A target's placeholder has the number of the source's that is written alike; %2$s is written
// otherwise than %s, so it is a code of its own.
INSTANTIATE_TEST_SUITE_P(
    EveryForm, XliffInline,
    testing::Values(InlineCase{"Ph", InlineCodes::kPh,
                               "Value <ph id=\"1\" ctype=\"x-printf\">%d</ph> of <ph id=\"2\" "
                               "ctype=\"x-printf\">%s</ph>",
                               "<ph id=\"3\" ctype=\"x-printf\">%2$s</ph>: <ph id=\"4\" "
                               "ctype=\"x-printf\">%1$d</ph> &amp; &lt;mehr&gt;"},
                    InlineCase{"X", InlineCodes::kX,
                               "Value <x id=\"1\" equiv-text=\"%d\"/> of <x id=\"2\" equiv-text=\"%s\"/>",
                               "<x id=\"3\" equiv-text=\"%2$s\"/>: <x id=\"4\" equiv-text=\"%1$d\"/> &amp; "
                               "&lt;mehr&gt;"},
                    InlineCase{"None", InlineCodes::kNone, "Value %d of %s",
                               "%2$s: %1$d &amp; &lt;mehr&gt;"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(TranslationExport, PairsATargetsPlaceholderWithTheSourcesWrittenAlike) {
    const std::string xliff = Export(
        {},
        {{"ID", "English", "Deutsch"}, {"", "en", "de"}, {"A", "%d of %d", "%d von %d"}, {"B", "%s", "%s"}});
    EXPECT_NE(
        xliff.find("<target state=\"translated\"><ph id=\"1\" ctype=\"x-printf\">%d</ph> von <ph id=\"2\" "
                   "ctype=\"x-printf\">%d</ph></target>"),
        std::string::npos)
        << xliff;
    // Numbers start again in each unit.
    EXPECT_NE(xliff.find("<source><ph id=\"1\" ctype=\"x-printf\">%s</ph></source>"), std::string::npos)
        << xliff;
}

TEST_F(TranslationExport, PoHasTheHeaderTheCellTheLimitAndTheFormatFlag) {
    EXPECT_EQ(Export({ExchangeFormat::kPo, InlineCodes::kPh}),
              "msgid \"\"\nmsgstr \"\"\n"
              "\"Project-Id-Version: memory.csv\\n\"\n"
              "\"PO-Revision-Date: \\n\"\n"
              "\"Last-Translator: \\n\"\n"
              "\"Language-Team: \\n\"\n"
              "\"Language: de\\n\"\n"
              "\"MIME-Version: 1.0\\n\"\n"
              "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
              "\"Content-Transfer-Encoding: 8bit\\n\"\n"
              "\"Plural-Forms: nplurals=1; plural=0;\\n\"\n"
              "\n"
              "#. max width 120 px, 2 lines\n"
              "#: memory.csv:C3\n"
              "#, c-format\n"
              "msgctxt \"VALUE\"\n"
              "msgid \"Value %d of %s\"\n"
              "msgstr \"%2$s: %1$d & <mehr>\"\n"
              "\n"
              "#. max width 40 px\n"
              "#: memory.csv:C4\n"
              "msgctxt \"OK_TEXT\"\n"
              "msgid \"OK\"\n"
              "msgstr \"OK\"\n"
              "\n"
              "#: memory.csv:C5\n"
              "msgctxt \"TWO_LINES\"\n"
              "msgid \"\"\n"
              "\"Say \\\"hi\\\"\\n\"\n"
              "\"then go\"\n"
              "msgstr \"\"\n"
              "\n"
              "#: memory.csv:C6\n"
              "msgctxt \"SAME\"\n"
              "msgid \"Back\"\n"
              "msgstr \"\"\n");
    EXPECT_EQ(translated, 2u);  // neither the empty cell nor [USE_DEFAULT]
}

TEST_F(TranslationExport, DotNetItemsAreTheirPlaceholders) {
    settings.targetLanguage = TargetLanguage::kCSharp;
    const Rows rows = {{"ID", "English", "Deutsch"},
                       {"", "en", "de"},
                       {"VALUE", "{0} of {1:N2} (100%)", "{1:N2} von {0}"},
                       {"OK_TEXT", "OK", "OK"}};
    const std::string po = Export({ExchangeFormat::kPo, InlineCodes::kPh}, rows);
    EXPECT_NE(po.find("#, csharp-format\nmsgctxt \"VALUE\""), std::string::npos) << po;
    EXPECT_EQ(po.find("#, c-format"), std::string::npos) << po;
    const std::string xliff = Export({}, rows);
    EXPECT_NE(xliff.find("<source><ph id=\"1\" ctype=\"x-dotnet-format\">{0}</ph> of <ph id=\"2\" "
                         "ctype=\"x-dotnet-format\">{1:N2}</ph> (100%)</source>"),
              std::string::npos)
        << xliff;
}

// XML has no control characters but tab, line feed and carriage return: XLIFF refuses a text with
// one, naming each cell; PO writes C escapes. A carriage return survives in XLIFF as a reference.
TEST_F(TranslationExport, ControlCharactersAreRefusedInXliffAndEscapedInPo) {
    const Rows rows = {{"ID", "English", "Deutsch"},
                       {"", "en", "de"},
                       {"BELL", "Ring\a", "Klingel\x01"},
                       {"RETURN", "a\rb", "a\rb"},
                       {"TAB", "a\tb", "c"}};
    LoadedTable table = test::MakeLoadedTable(rows, {});
    table.tableReader->Open();
    try {
        ExportTranslations(table, settings, {1}, {});
        ADD_FAILURE() << "not refused";
    } catch (const ExportRefused& refused) {
        EXPECT_STREQ(
            refused.what(),
            "memory.csv:B3: XLIFF cannot hold the control character U+0007: XML has no such character\n"
            "memory.csv:C3: XLIFF cannot hold the control character U+0001: XML has no such character");
    }
    const std::string po = ExportTranslations(table, settings, {1}, {ExchangeFormat::kPo}).front().bytes;
    EXPECT_NE(po.find("msgid \"Ring\\007\"\nmsgstr \"Klingel\\001\"\n"), std::string::npos) << po;
    EXPECT_NE(po.find("msgid \"a\\rb\"\nmsgstr \"a\\rb\"\n"), std::string::npos) << po;
    EXPECT_NE(po.find("msgid \"a\\tb\"\n"), std::string::npos) << po;

    const Rows printable = {{"ID", "English", "Deutsch"}, {"", "en", "de"}, {"RETURN", "a\rb\t", "x"}};
    EXPECT_NE(Export({}, printable).find("<source>a&#13;b\t</source>"), std::string::npos);
}

// The notes for translators travel as <note> and as extracted comments, a line each, before the
// limit; the notes column may stand before the language, which keeps its own column.
TEST_F(TranslationExport, NotesGoWithTheirUnits) {
    const Rows rows = {{"ID", "English", "Notes", "Deutsch"},
                       {"", "en", "", "de"},
                       {"VALUE", "Value %d of %s", "a counter\r\nkeep it <short>", "%2$s: %1$d"},
                       {"OK_TEXT", "OK", "", "OK"}};
    LoadedTable table = test::MakeLoadedTable(rows, {}, 3);
    table.tableReader->Open();
    const std::string xliff = ExportTranslations(table, settings, {1}, {}).front().bytes;
    EXPECT_NE(xliff.find("</target>\n        <note>a counter&#13;\nkeep it &lt;short&gt;</note>\n"
                         "        <note>at most 2 lines</note>\n      </trans-unit>\n"),
              std::string::npos)
        << xliff;
    EXPECT_EQ(xliff.find("<note>", xliff.find("OK_TEXT")), std::string::npos)
        << xliff;  // an empty note: none
    const std::string po = ExportTranslations(table, settings, {1}, {ExchangeFormat::kPo}).front().bytes;
    EXPECT_NE(po.find("\n#. a counter\n#. keep it <short>\n#. max width 120 px, 2 lines\n#: memory.csv:D3\n"),
              std::string::npos)
        << po;
    EXPECT_NE(po.find("\n\n#. max width 40 px\n#: memory.csv:D4\nmsgctxt \"OK_TEXT\""), std::string::npos)
        << po;

    LoadedTable bell = test::MakeLoadedTable(
        {{"ID", "English", "Deutsch", "Notes"}, {"", "en", "de", ""}, {"A", "a", "b", "ring\a"}}, {}, 4);
    bell.tableReader->Open();
    try {
        ExportTranslations(bell, settings, {1}, {});
        ADD_FAILURE() << "not refused";
    } catch (const ExportRefused& refused) {
        EXPECT_STREQ(
            refused.what(),
            "memory.csv:D3: XLIFF cannot hold the control character U+0007: XML has no such character");
    }
}

// A unit is known by its id: a table with an empty id or one twice is refused with the check's words.
TEST_F(TranslationExport, IdsTheCheckRefusesRefuseTheExport) {
    LoadedTable table = test::MakeLoadedTable(
        {{"ID", "English", "Deutsch"}, {"", "en", "de"}, {"A", "a", "a"}, {"", "b", "b"}, {"A", "c", "c"}},
        {});
    table.tableReader->Open();
    for (ExchangeFormat format : {ExchangeFormat::kXliff, ExchangeFormat::kPo}) try {
            ExportTranslations(table, settings, {1}, {format});
            ADD_FAILURE() << "not refused";
        } catch (const ExportRefused& refused) {
            EXPECT_STREQ(refused.what(),
                         "memory.csv:A4: error: empty-id: the string id is empty\n"
                         "memory.csv:A5: error: duplicate-id: the string id 'A' is already the id in A3");
        }
}

TEST(ExchangeFormats, AreKnownByTheirExtensionsInAnyCase) {
    EXPECT_EQ(ExchangeFormatOf("de.xlf"), ExchangeFormat::kXliff);
    EXPECT_EQ(ExchangeFormatOf("out/de.XLIFF"), ExchangeFormat::kXliff);
    EXPECT_EQ(ExchangeFormatOf("de.Po"), ExchangeFormat::kPo);
    EXPECT_EQ(ExchangeFormatOf("de.pot"), std::nullopt);
    EXPECT_EQ(ExchangeFormatOf("de"), std::nullopt);
    EXPECT_EQ(TranslationFileName("pt-BR", ExchangeFormat::kPo), "pt-BR.po");
    EXPECT_EQ(TranslationFileName("de", ExchangeFormat::kXliff), "de.xlf");
}

}  // namespace
}  // namespace lexicorn
