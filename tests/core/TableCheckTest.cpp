#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "base/Unicode.h"
#include "compile/BuildRun.h"
#include "compile/TableCheck.h"
#include "generate/CSource.h"
#include "generate/ListLanguages.h"
#include "generate/Placeholders.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

using Rows = std::vector<std::vector<std::string>>;
using RuleAt = std::pair<std::string, std::string>;

// One case of every rule that a small table can show, in the German column where it is a text.
Rows EveryProblem() {
    return {{"ID", "English", "Deutsch"},
            {"", "en", "de"},
            {"OK_TEXT", "OK", "OK"},
            {"", "x", "x"},                                  // A4 empty id
            {"OK_TEXT", "a", "b"},                           // A5 repeats A3
            {"1ABC", "a", "b"},                              // A6 no C name
            {std::string(100, 'I'), "a", "b"},               // A7 too long
            {"LONG", "short", std::string(1000, 'l')},       // C8 too long
            {"GREEK", "Omega", "\xCE\xA9"},                  // C9 not in CP1252
            {"VALUE", "Value %d", "Wert %s"},                // C10 %d became %s
            {"SPACE", "Hello ", "Hallo"},                    // C11 lost its trailing space
            {"CTRL", "Line", "Zeile\x01"},                   // C12 a control character
            {"NUMBER_OF_STRINGS", "n", "n"},                 // A13 the list's own count
            {"FINE", "All %1$s of %2$d", "%2$d von %1$s"}};  // reordered with positions: fine
}

CheckReport Check(Rows rows, const ProjectSettings& settings = {}, std::vector<std::size_t> selected = {}) {
    LoadedTable table = test::MakeLoadedTable(std::move(rows), std::move(selected));
    table.tableReader->Open();
    return CheckTable(table, settings);
}

std::set<RuleAt> RulesAndCells(const CheckReport& report) {
    std::set<RuleAt> found;
    for (const Finding& finding : report.findings) found.emplace(finding.rule, finding.Cell());
    return found;
}

TEST(TableCheck, FindsEveryProblemAtItsCell) {
    const CheckReport report = Check(EveryProblem());
    EXPECT_EQ(RulesAndCells(report), (std::set<RuleAt>{{"empty-id", "A4"},
                                                       {"duplicate-id", "A5"},
                                                       {"invalid-identifier", "A6"},
                                                       {"id-too-long", "A7"},
                                                       {"cell-too-long", "C8"},
                                                       {"unmappable-character", "C9"},
                                                       {"placeholder-mismatch", "C10"},
                                                       {"whitespace-mismatch", "C11"},
                                                       {"control-character", "C12"},
                                                       {"invalid-identifier", "A13"}}));
    EXPECT_EQ(report.Errors(), 8u);
    EXPECT_EQ(report.Warnings(), 2u);
    // Sorted by cell, each naming what is wrong.
    for (std::size_t i = 1; i < report.findings.size(); ++i)
        EXPECT_LE(report.findings[i - 1].row, report.findings[i].row);
    EXPECT_EQ(report.findings[1].message, "the string id 'OK_TEXT' is already the id in A3");
    EXPECT_EQ(
        FindingLine("t.csv", report.findings[5]),
        "t.csv:C9: error: unmappable-character: the character U+03A9 '\xCE\xA9' is not in code page CP1252; "
        "the encodings utf8 and wide hold every character");
    EXPECT_EQ(report.findings[5].language, "de");
}

TEST(TableCheck, FiguresCountTranslationsAndSharing) {
    const CheckReport report = Check({{"ID", "English", "Deutsch"},
                                      {"", "en", "de"},
                                      {"A", "Yes", "Ja"},
                                      {"B", "No", ""},
                                      {"C", "Yes", "[USE_DEFAULT]"}});
    ASSERT_EQ(report.languages.size(), 2u);
    EXPECT_EQ(report.languages[1].code, "de");
    EXPECT_EQ(report.languages[1].strings, 3u);
    EXPECT_EQ(report.languages[1].translated, 1u);
    EXPECT_EQ(report.languages[0].translated, 3u);
    // "Yes" thrice and "No" twice are stored once each: three strings shared, 4 + 4 + 3 bytes.
    EXPECT_EQ(report.sharedBytesSaved, 11u);
    ASSERT_TRUE(report.capacityUsed);
    EXPECT_TRUE(report.findings.empty());
}

// What a language still lacks: cells that take the default string, whether the build fills them in
// or keeps them empty, and cells that are the default string word for word. The default language
// lacks nothing.
TEST(TableCheck, FiguresCountAndListTheCellsWithoutATranslation) {
    const Rows rows = {{"ID", "English", "Deutsch",
                        "Fran\xC3\xA7"
                        "ais"},
                       {"", "en", "de", "fr"},
                       {"OK_TEXT", "OK", "OK", "D'accord"},
                       {"NO_TEXT", "No", "", "Non"},
                       {"YES_TEXT", "Yes", "[USE_DEFAULT]", "Yes"},
                       {"EMPTY", "", "", ""}};
    for (bool useDefaultString : {true, false}) {
        ProjectSettings settings;
        settings.useDefaultString = useDefaultString;
        const CheckReport report = Check(rows, settings);
        ASSERT_EQ(report.languages.size(), 3u);
        EXPECT_EQ(report.languages[0].untranslated + report.languages[0].sameAsDefault, 0u);
        EXPECT_EQ(report.languages[1].untranslated, 3u);
        EXPECT_EQ(report.languages[1].sameAsDefault, 1u);
        EXPECT_EQ(report.languages[2].untranslated, 1u);
        EXPECT_EQ(report.languages[2].sameAsDefault, 1u);
        std::vector<std::string> lines;
        for (const MissingTranslation& missing : report.missing)
            lines.push_back(MissingLine("t.csv", report, missing));
        EXPECT_EQ(lines,
                  (std::vector<std::string>{
                      "t.csv:C3: same-as-default: de: OK_TEXT", "t.csv:C4: untranslated: de: NO_TEXT",
                      "t.csv:C5: untranslated: de: YES_TEXT", "t.csv:C6: untranslated: de: EMPTY",
                      "t.csv:D5: same-as-default: fr: YES_TEXT", "t.csv:D6: untranslated: fr: EMPTY"}));
    }
}

// The check's figures are those of the image a build makes.
TEST(TableCheck, TheImageSizeIsTheBuildsForEveryForm) {
    for (Encoding encoding : {Encoding::kSingleByte, Encoding::kUtf16, Encoding::kUtf8})
        for (std::uint8_t alignment : {1, 2, 4})
            for (TableType type : {TableType::k16Bit, TableType::k32Bit}) {
                ProjectSettings settings;
                settings.encoding = encoding;
                settings.alignment = alignment;
                settings.tableType = type;
                const Rows rows = {{"ID", "English",
                                    "Fran\xC3\xA7"
                                    "ais"},
                                   {"", "en", "fr"},
                                   {"A", "Yes", "Oui"},
                                   {"B", "No", "Non"},
                                   {"C", "Yes", ""},
                                   {"D", "\xC3\xA9t\xC3\xA9", "No"}};
                test::TempDir dir;
                LoadedTable table = test::MakeLoadedTable(rows, {0, 1});
                test::RecordingHost host;
                ASSERT_EQ(BuildLexicorn(host, table, settings, {dir.path(), 1}).kind,
                          BuildOutcome::Kind::kSucceeded);
                EXPECT_EQ(Check(rows, settings).imageSize, std::filesystem::file_size(dir / "Lexicorn.bin"))
                    << int(Code(encoding)) << " " << int(alignment) << " " << int(Code(type));
            }
}

TEST(TableCheck, ASixteenBitImageOverSixtyFourKilobytesSaysByHowMuch) {
    Rows rows = {{"ID", "English"}, {"", "en"}};
    for (int i = 0; i < 140; ++i) {
        // Appended in steps: GCC 12 misreads a concatenation of a literal and a number here.
        std::string id = "S", text(480, 'a');
        id.append(std::to_string(i));
        text.append(std::to_string(i));
        rows.push_back({id, text});
    }
    const CheckReport report = Check(rows);
    ASSERT_EQ(RulesAndCells(report), (std::set<RuleAt>{{"capacity", "B138"}}));
    EXPECT_EQ(report.findings[0].message,
              "the string data needs 67659 bytes, 2123 more than the 64 KB of a 16-bit table; a 32-bit table "
              "holds it");
    ProjectSettings wide;
    wide.tableType = TableType::k32Bit;
    EXPECT_TRUE(Check(rows, wide).findings.empty());
}

const ListLanguage& ListOf(TargetLanguage language) { return *FindListLanguage(language); }

struct IdentifierCase {
    TargetLanguage language;
    const char* id;
    bool valid;
};

TEST(Identifiers, FollowTheRulesOfEachListLanguage) {
    const IdentifierCase cases[] = {
        {TargetLanguage::kC, "OK_TEXT", true},
        // The list declares its names at file scope, where C reserves every name that begins with an
        // underscore; Visual C++ reserves any two underscores in a row.
        {TargetLanguage::kC, "_x1", false},
        {TargetLanguage::kC, "_Text", false},
        {TargetLanguage::kC, "__FILE__", false},
        {TargetLanguage::kC, "OK__TEXT", false},
        {TargetLanguage::kC, "x_1", true},
        {TargetLanguage::kC, "class", false},
        {TargetLanguage::kC, "delete", false},
        // Names of the generated files and the runtime that they are compiled with.
        {TargetLanguage::kC, "STRING_ID", false},
        {TargetLanguage::kC, "LXN_OK", false},
        {TargetLanguage::kC, "lxn_image", false},
        {TargetLanguage::kC, "embeddedLexicorn", false},
        {TargetLanguage::kC, "IS_LEXICORN_EMBEDDED", false},
        {TargetLanguage::kC, "LXN_TITLE", true},
        // Names of stddef.h and stdint.h, which Lexicorn.h includes.
        {TargetLanguage::kC, "NULL", false},
        {TargetLanguage::kC, "size_t", false},
        {TargetLanguage::kC, "uint32_t", false},
        {TargetLanguage::kC, "int_least8_t", false},
        {TargetLanguage::kC, "SIZE_MAX", false},
        {TargetLanguage::kC, "UINT_FAST16_MAX", false},
        {TargetLanguage::kC, "INTRO_TEXT_MAX", true},
        {TargetLanguage::kC, "uint32", true},
        {TargetLanguage::kC, "OK TEXT", false},
        {TargetLanguage::kC, "1ABC", false},
        {TargetLanguage::kC, "int", false},
        {TargetLanguage::kC, "\xC3\xA9t\xC3\xA9", false},
        {TargetLanguage::kC, "NUMBER_OF_STRINGS", false},
        {TargetLanguage::kCSharp, "\xC3\xA9t\xC3\xA9", true},
        {TargetLanguage::kCSharp, "class", false},
        {TargetLanguage::kCSharp, "@class", true},
        {TargetLanguage::kCSharp, "a-b", false},
        {TargetLanguage::kCSharp, "STRING_ID", false},
        {TargetLanguage::kCSharp, "@STRING_ID", false},
        {TargetLanguage::kCSharp, "@NUMBER_OF_STRINGS", false},
        {TargetLanguage::kCSharp, "__arglist", false},
        {TargetLanguage::kCSharp, "LXN_OK", true},
        {TargetLanguage::kVisualBasic, "Value", true},
        {TargetLanguage::kVisualBasic, "END", false},
        {TargetLanguage::kVisualBasic, "_", false},
        {TargetLanguage::kVisualBasic, "number_of_strings", false},
        {TargetLanguage::kVisualBasic, "int", true},
        {TargetLanguage::kVisualBasic, "string_id", false},
        {TargetLanguage::kVisualBasic, "StringList", false},
        {TargetLanguage::kVisualBasic, "LXN_OK", true},
    };
    for (const IdentifierCase& c : cases)
        EXPECT_EQ(!ListOf(c.language).identifierProblem(c.id).has_value(), c.valid)
            << ListOf(c.language).name << " " << c.id;
}

TEST(Identifiers, VisualBasicNamesCollideWhateverTheirCase) {
    ProjectSettings vb;
    vb.targetLanguage = TargetLanguage::kVisualBasic;
    const Rows rows = {{"ID", "English"}, {"", "en"}, {"OK_TEXT", "a"}, {"ok_text", "b"}};
    EXPECT_EQ(RulesAndCells(Check(rows, vb)), (std::set<RuleAt>{{"invalid-identifier", "A4"}}));
    EXPECT_TRUE(Check(rows).findings.empty());  // C tells them apart
}

// C source without its comments, and with string and character literals emptied: neither declares
// anything.
std::string CodeOnly(const std::string& source) {
    std::string code;
    for (std::size_t at = 0; at < source.size();) {
        if (source.compare(at, 2, "/*") == 0) {
            at = std::min(source.size(), source.find("*/", at + 2) + 2);
            code += ' ';
        } else if (source.compare(at, 2, "//") == 0) {
            at = std::min(source.size(), source.find('\n', at));
        } else if (source[at] == '"' || source[at] == '\'') {
            const char quote = source[at++];
            while (at < source.size() && source[at] != quote) at += source[at] == '\\' ? 2 : 1;
            ++at;
            code += "0";
        } else {
            code += source[at++];
        }
    }
    return code;
}

// The names that C source (or the C# list, which is written alike) declares for the unit that
// includes or compiles it: macros and include guards, tags, typedef names, enumerators, and the
// functions and objects at file scope. Parameters and members are left out: an id of the same name
// does not clash with them.
std::set<std::string> DeclaredNames(const std::string& source) {
    std::set<std::string> names;
    std::istringstream lines(CodeOnly(source));
    std::string code;
    const std::regex directive(R"(^\s*#\s*(\w+)\s*(\w*))");
    bool forCplusplus = false;
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, directive)) {
            if (!forCplusplus) code += line + '\n';
            continue;
        }
        // The extern "C" braces for C++ are no scope of their own.
        if (match[1] == "ifdef" && match[2] == "__cplusplus") forCplusplus = true;
        if (match[1] == "endif") forCplusplus = false;
        if (match[1] == "define" || match[1] == "ifndef") names.insert(match[2]);
    }
    const auto collect = [&](const std::string& text, const std::regex& pattern) {
        for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it)
            names.insert((*it)[1]);
    };
    collect(code, std::regex(R"(\b(?:struct|union|enum)\s+(\w+))"));
    const std::regex enumeration(R"(\benum\b[^{;]*\{([^}]*)\})");
    for (std::sregex_iterator it(code.begin(), code.end(), enumeration), end; it != end; ++it) {
        std::istringstream members((*it)[1].str());
        for (std::string member; std::getline(members, member, ',');)
            collect(member, std::regex(R"(^\s*(\w+))"));
    }
    // What stands at file scope, bodies and initialisers left out: a declaration names what stands
    // before its first parenthesis, bracket or equals sign, or else its last word.
    std::string fileScope;
    int depth = 0;
    for (char c : code) {
        if (c == '{' && depth++ == 0) fileScope += ';';
        if (depth == 0) fileScope += c;
        if (c == '}') --depth;
    }
    std::istringstream declarations(fileScope);
    for (std::string declaration; std::getline(declarations, declaration, ';');) {
        std::smatch match;
        const std::string head = declaration.substr(0, declaration.find_first_of("([="));
        if (std::regex_search(head, match, std::regex(R"((\w+)\s*$)"))) names.insert(match[1]);
    }
    names.erase("");
    return names;
}

// The names of the Visual Basic list: its module, its enumeration and their members.
std::set<std::string> DeclaredVisualBasicNames(const std::string& source) {
    std::set<std::string> names;
    std::istringstream lines(source);
    bool inEnum = false;
    const std::regex word(R"(^\s*(\w+)(?:\s+(\w+))?)");
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find('\''));
        std::smatch match;
        if (!std::regex_search(line, match, word)) continue;
        if (match[1] == "Module" || match[1] == "Enum") names.insert(match[2]);
        if (match[1] == "End")
            inEnum = false;
        else if (inEnum)
            names.insert(match[1]);
        if (match[1] == "Enum") inEnum = true;
    }
    return names;
}

// A name added to the runtime or to a generated file later is refused as an id without more ado.
TEST(Identifiers, EveryNameTheGeneratedFilesAndTheRuntimeDeclareIsRefused) {
    std::set<std::string> c;
    const auto add = [&c](const std::set<std::string>& names) { c.insert(names.begin(), names.end()); };
    for (const auto& entry : std::filesystem::recursive_directory_iterator(LEXICORN_RUNTIME_DIR))
        if (entry.path().extension() == ".h" || entry.path().extension() == ".c")
            add(DeclaredNames(test::ReadFile(entry.path())));
    add(DeclaredNames(CreateStringListEngine(TargetLanguage::kC, 0, std::nullopt, 0)->FormatFile()));
    add(DeclaredNames(FormatCSource("LXN16 Engine v.1.0", 0, std::vector<std::uint8_t>{0x4F})));
    add(DeclaredNames(FormatApiConfigHeader({})));
    // The walk sees what it should: macros, guards, enumerators, typedef names, functions, objects.
    for (const char* name : {"IS_LEXICORN_EMBEDDED", "LEXICORN_H", "STRINGLIST_H", "LXNCFG_SEARCH_STEP",
                             "LXN_OK", "LXN_ERR_FILE", "lxn_result", "lxn_image", "STRING_ID",
                             "NUMBER_OF_STRINGS", "lxn_get_string16", "read_word", "embeddedLexicorn"})
        EXPECT_TRUE(c.contains(name)) << name;
    for (const char* parameter : {"image", "capacity", "data"}) EXPECT_FALSE(c.contains(parameter));
    for (const std::string& name : c) EXPECT_TRUE(kCList.identifierProblem(name)) << name;

    const std::set<std::string> cSharp =
        DeclaredNames(CreateStringListEngine(TargetLanguage::kCSharp, 0, std::nullopt, 0)->FormatFile());
    EXPECT_EQ(cSharp, (std::set<std::string>{"STRING_ID", "NUMBER_OF_STRINGS"}));
    for (const std::string& name : cSharp) EXPECT_TRUE(kCSharpList.identifierProblem(name)) << name;

    const std::set<std::string> visualBasic = DeclaredVisualBasicNames(
        CreateStringListEngine(TargetLanguage::kVisualBasic, 0, std::nullopt, 0)->FormatFile());
    EXPECT_EQ(visualBasic, (std::set<std::string>{"StringList", "STRING_ID", "NUMBER_OF_STRINGS"}));
    for (const std::string& name : visualBasic) EXPECT_TRUE(kVisualBasicList.identifierProblem(name)) << name;
}

struct PlaceholderCase {
    TargetLanguage language;
    const char* standard;
    const char* translated;
    bool same;
};

TEST(Placeholders, CompareWhatTheArgumentsAre) {
    const PlaceholderCase cases[] = {
        {TargetLanguage::kC, "Value %d", "Wert %d", true},
        {TargetLanguage::kC, "%s has %d", "%2$d hat %1$s", true},
        {TargetLanguage::kC, "%s has %d", "%d hat %s", false},
        {TargetLanguage::kC, "Value %d", "Wert %s", false},
        {TargetLanguage::kC, "Value %d", "Wert", false},
        {TargetLanguage::kC, "100%%", "100 %%", true},
        {TargetLanguage::kC, "100%%", "100%s", false},
        {TargetLanguage::kC, "%5.2f", "%.3f", true},
        {TargetLanguage::kC, "%ld", "%d", false},
        {TargetLanguage::kC, "%*d", "%d", false},
        {TargetLanguage::kCSharp, "{0} of {1}", "{1} von {0}", true},
        {TargetLanguage::kCSharp, "{0}", "{1}", false},
        {TargetLanguage::kCSharp, "{1:N2}", "{1:N2}!", true},
        {TargetLanguage::kCSharp, "{1:N2}", "{1}", false},
        {TargetLanguage::kVisualBasic, "{{0}} {0}", "{0} {{1}}", true},
        // A % before a character that is no conversion is text: printf has no %) nor %é.
        {TargetLanguage::kC, "(50%)", "", true},
        {TargetLanguage::kC, "10%\xC3\xA9", "10%!", true},
        {TargetLanguage::kC, "%C", "%lc", true},
        {TargetLanguage::kC, "%S", "%s", false},
    };
    for (const PlaceholderCase& c : cases)
        EXPECT_EQ(
            !PlaceholderDifference(ListOf(c.language).placeholders, c.translated, c.standard).has_value(),
            c.same)
            << c.standard << " / " << c.translated;
}

struct DifferenceCase {
    TargetLanguage language;
    std::string standard;
    std::string translated;
    const char* message;
};

TEST(Placeholders, NameTheFirstDifference) {
    std::string many, manyChanged;
    for (int i = 0; i < 999; ++i) many += "%d ";
    manyChanged = many + "%s";
    many += "%d";
    const DifferenceCase cases[] = {
        {TargetLanguage::kC, "Value %d", "Wert %s",
         "the placeholder %s (argument 1) differs from the default string's %d"},
        {TargetLanguage::kC, "%s has %d", "%s hat",
         "the default string's placeholder %d (argument 2) is missing"},
        {TargetLanguage::kC, "%s", "%s %d", "the placeholder %d (argument 2) is not in the default string"},
        {TargetLanguage::kC, "%d", "%*d", "the placeholder %*d (argument 2) is not in the default string"},
        {TargetLanguage::kC, many, manyChanged,
         "the placeholder %s (argument 1000) differs from the default string's %d"},
        // printf has no argument 0 (gcc: "operand number out of range"), in either string.
        {TargetLanguage::kC, "%d", "%0$d",
         "the placeholder %0$d takes argument 0, which no call has: arguments count from 1"},
        {TargetLanguage::kC, "%0$s", "%s",
         "the default string's placeholder %0$s takes argument 0, which no call has: arguments count from 1"},
        {TargetLanguage::kC, "%d", "%*0$d",
         "the placeholder %*0$d takes argument 0, which no call has: arguments count from 1"},
        // An argument taken again is named as such: it is in the default string.
        {TargetLanguage::kC, "%s", "%1$s %1$s",
         "the placeholder %1$s takes argument 1 again: this string takes it twice, the default string once"},
        {TargetLanguage::kC, "%1$s, %1$s, %1$s", "%1$s %1$s",
         "the default string's placeholder %1$s takes argument 1 again: the default string takes it 3 times, "
         "this string twice"},
        {TargetLanguage::kCSharp, "{0} of {1}", "{0} von {2}",
         "the default string's placeholder {1} is missing"},
        {TargetLanguage::kCSharp, "{1:N2}", "{1}",
         "the placeholder {1} differs from the default string's {1:N2}"},
    };
    for (const DifferenceCase& c : cases)
        EXPECT_EQ(PlaceholderDifference(ListOf(c.language).placeholders, c.translated, c.standard), c.message)
            << c.standard.substr(0, 40) << " / " << c.translated.substr(0, 40);
}

// Messages quote what the table holds; a character is quoted whole, never cut after its first byte.
TEST(TableCheck, MessagesNeverCutACharacter) {
    const CheckReport report = Check({{"ID", "English", "Deutsch"},
                                      {"", "en", "de"},
                                      {"Gr\xC3\xB6\xC3\x9F"
                                       "e",
                                       "Size",
                                       "Gr\xC3\xB6\xC3\x9F"
                                       "e"},
                                      {"OFF", "%d%\xC3\xA9 off", "%s%\xC3\xA9 Rabatt"}});
    ASSERT_EQ(RulesAndCells(report),
              (std::set<RuleAt>{{"invalid-identifier", "A3"}, {"placeholder-mismatch", "C4"}}));
    EXPECT_EQ(report.findings[0].message,
              "'Gr\xC3\xB6\xC3\x9F"
              "e' is no name in C: it holds '\xC3\xB6', which a name cannot");
    EXPECT_EQ(report.findings[1].message,
              "the placeholder %s (argument 1) differs from the default string's %d");
    for (const Finding& finding : report.findings)
        EXPECT_FALSE(FindInvalidUtf8(finding.message)) << finding.message;
}

struct CodeCase {
    const char* code;
    const char* problem;  ///< what the warning says is wrong with it; none for a plausible code
};

// A table without its row of codes takes its first strings for codes.
TEST(TableCheck, ARowTwoCellThatIsNoLanguageCodeIsNamed) {
    const CodeCase cases[] = {
        {"en", nullptr},
        {"en-US", nullptr},
        {"zh_Hans", nullptr},
        {"abcdefghi", nullptr},
        {"\xC3\xA9t\xC3\xA9", nullptr},
        {"Hello world", "it holds white space"},
        {"de\t", "it holds white space"},
        {"abcdefghij", "it has 10 characters; a code has at most 9"},
        {"\xC3\xA9t\xC3\xA9 \xC3\xA9t\xC3\xA9", "it holds white space"},
    };
    for (const CodeCase& c : cases) {
        const CheckReport report = Check({{"keys", "en"}, {"hello", c.code}, {"bye", "Bye"}});
        if (!c.problem) {
            EXPECT_TRUE(report.findings.empty()) << c.code;
            continue;
        }
        ASSERT_EQ(RulesAndCells(report), (std::set<RuleAt>{{"language-code", "B2"}})) << c.code;
        EXPECT_EQ(report.findings[0].severity, Finding::Severity::kWarning);
        EXPECT_EQ(report.findings[0].message,
                  std::string("this is no language code (") + c.problem +
                      "): row 2 holds each language's code, such as en; is that row missing?");
    }
}

// A column without a code is most often notes for translators that grow the image as a language;
// named as notes, it is no language and the check passes it by.
TEST(TableCheck, AColumnWithoutACodeIsAskedAboutUnlessItHoldsNotes) {
    const Rows rows = {{"ID", "English", "Notes", "Deutsch"},
                       {"", "en", "", "de"},
                       {"OK_TEXT", "OK", "a button\x01", "Gut"}};
    const CheckReport asLanguage = Check(rows);
    EXPECT_EQ(RulesAndCells(asLanguage),
              (std::set<RuleAt>{{"empty-code", "C2"}, {"control-character", "C3"}}));
    EXPECT_EQ(
        FindingLine("t.csv", asLanguage.findings[0]),
        "t.csv:C2: warning: empty-code: the column has no language code in row 2; if it holds notes for "
        "translators, name it with --notes-column or the project's NOTES line");
    ASSERT_EQ(asLanguage.languages.size(), 3u);

    LoadedTable table = test::MakeLoadedTable(rows, {}, 3);
    table.tableReader->Open();
    const CheckReport withNotes = CheckTable(table, {});
    EXPECT_TRUE(withNotes.findings.empty());
    ASSERT_EQ(withNotes.languages.size(), 2u);
    EXPECT_EQ(withNotes.languages[1].code, "de");
    EXPECT_EQ(withNotes.languages[1].translated, 1u);
    EXPECT_LT(withNotes.imageSize, asLanguage.imageSize);
}

TEST(TableCheck, ATableWithoutALanguageColumnIsAnError) {
    const CheckReport report = Check({{"ID"}, {""}, {"OK_TEXT"}});
    EXPECT_EQ(RulesAndCells(report), (std::set<RuleAt>{{"no-language", "B1"}}));
    EXPECT_EQ(report.Errors(), 1u);
    EXPECT_EQ(report.findings[0].message,
              "the table has no language column: column 2 and the columns after it hold one language "
              "each, its name in row 1, its code in row 2 and its strings from row 3 on");
}

struct CountsCase {
    std::size_t errors;
    std::size_t warnings;
    const char* text;
};

TEST(TableCheck, CountsSayOneInTheSingular) {
    const CountsCase cases[] = {{0, 0, "0 errors, 0 warnings"},
                                {1, 1, "1 error, 1 warning"},
                                {2, 1, "2 errors, 1 warning"},
                                {1, 2, "1 error, 2 warnings"}};
    for (const CountsCase& c : cases) {
        CheckReport report;
        report.findings.resize(c.errors + c.warnings);
        for (std::size_t i = c.errors; i < report.findings.size(); ++i)
            report.findings[i].severity = Finding::Severity::kWarning;
        EXPECT_EQ(CountsText(report), c.text);
    }
}

TEST(TableCheck, ABuildWithErrorsListsThemAllWritesNothingAndReportsTheFirstAsBefore) {
    test::TempDir dir;
    test::WriteFile(dir / "Lexicorn.bin", "earlier");
    Rows rows = EveryProblem();
    rows.erase(rows.begin() + 7, rows.begin() + 9);  // the long cell and the Greek one stop the build earlier
    LoadedTable table = test::MakeLoadedTable(rows, {0, 1});
    test::RecordingHost host;
    const BuildOutcome outcome = BuildLexicorn(host, table, {}, {dir.path(), 1});
    EXPECT_EQ(outcome.result, kEmptyStringId);
    EXPECT_EQ(host.errors,
              std::vector<std::string>{"Found empty cells inside the string list!\r\rCheck first column of "
                                       "your string table\rRow: 4"});
    EXPECT_EQ(host.report.Errors(), 6u);
    EXPECT_EQ(test::ReadFile(dir / "Lexicorn.bin"), "earlier");
}

TEST(TableCheck, IdsTheListCannotTakeRefuseTheBuild) {
    test::TempDir dir;
    LoadedTable table = test::MakeLoadedTable({{"ID", "English"}, {"", "en"}, {"OK TEXT", "OK"}}, {0});
    test::RecordingHost host;
    const BuildOutcome outcome = BuildLexicorn(host, table, {}, {dir.path(), 1});
    EXPECT_EQ(outcome.result, kInvalidStringId);
    EXPECT_EQ(host.errors,
              std::vector<std::string>{"Invalid string id !!!\r\r'OK TEXT' is no name in C: it holds ' ', "
                                       "which a name cannot\rRow: 3"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(TableCheck, WarningsLetTheBuildGoOnUnlessItIsStrict) {
    const Rows rows = {{"ID", "English", "Deutsch"}, {"", "en", "de"}, {"VALUE", "Value", "Wert "}};
    test::TempDir dir;
    LoadedTable table = test::MakeLoadedTable(rows, {0, 1});
    test::RecordingHost host;
    EXPECT_EQ(BuildLexicorn(host, table, {}, {dir.path(), 1}).kind, BuildOutcome::Kind::kSucceeded);
    EXPECT_EQ(host.report.Warnings(), 1u);

    test::TempDir strictDir;
    LoadedTable again = test::MakeLoadedTable(rows, {0, 1});
    test::RecordingHost strictHost;
    BuildOptions strict{strictDir.path(), 1};
    strict.strict = true;
    const BuildOutcome outcome = BuildLexicorn(strictHost, again, {}, strict);
    EXPECT_EQ(outcome.result, kCheckWarnings);
    EXPECT_TRUE(std::filesystem::is_empty(strictDir.path()));
}

}  // namespace
}  // namespace lexicorn
