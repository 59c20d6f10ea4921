#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "table/CsvReader.h"
#include "table/LoadedTable.h"
#include "table/TableLayout.h"
#include "table/TableReaderFactory.h"

namespace lexicorn {
namespace {

using Rows = std::vector<std::vector<std::string>>;

struct ParseCase {
    const char* name;
    std::string text;
    char separator;
    Rows rows;
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class CsvParse : public testing::TestWithParam<ParseCase> {};

TEST_P(CsvParse, GivesTheCellsAsTyped) {
    const ParseCase& c = GetParam();
    EXPECT_EQ(CsvReader::Parse(c.text, c.separator, "t.csv"), c.rows);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc4180, CsvParse,
    testing::Values(
        ParseCase{"Plain", "a,b\nc,d\n", ',', {{"a", "b"}, {"c", "d"}}},
        ParseCase{"CrLfAndNoFinalLineEnd", "a,b\r\nc,d", ',', {{"a", "b"}, {"c", "d"}}},
        ParseCase{"CarriageReturnsOnly", "a\rb\r", ',', {{"a"}, {"b"}}},
        ParseCase{"QuotedSeparatorQuoteAndLineBreak",
                  "\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\"\n",
                  ',',
                  {{"a,b", "say \"hi\"", "two\r\nlines"}}},
        ParseCase{"EmptyQuotedCellIsEmpty", "\"\",x\n", ',', {{"", "x"}}},
        ParseCase{"QuoteInsideUnquotedCellIsText", "5\" disk,x\n", ',', {{"5\" disk", "x"}}},
        ParseCase{"BlanksAreContent", " a , b \n", ',', {{" a ", " b "}}},
        ParseCase{"EmptyRowInsideCounts", "a\n\nb\n", ',', {{"a"}, {}, {"b"}}},
        ParseCase{"TrailingEmptyRowsAndCellsDoNotCount", "a,b,,\n,,\n\n", ',', {{"a", "b"}}},
        ParseCase{"Tabs", "a\tb,c\n", '\t', {{"a", "b,c"}}},
        ParseCase{"Utf8", "\xC3\xA9t\xC3\xA9,\xE2\x82\xAC\n", ',', {{"\xC3\xA9t\xC3\xA9", "\xE2\x82\xAC"}}}),
    [](const auto& testCase) { return testCase.param.name; });

struct ErrorCase {
    const char* name;
    std::string text;
    std::string message;
};
void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.name; }

class CsvErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(CsvErrors, NameTheRowAndColumn) {
    const ErrorCase& c = GetParam();
    try {
        CsvReader::Parse(c.text, ',', "t.csv");
        FAIL() << "no error";
    } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, CsvErrors,
    testing::Values(ErrorCase{"UnclosedQuote", "a,b\nc,\"open\n",
                              "t.csv: row 2, column 2: a quoted cell is never closed"},
                    ErrorCase{"TextAfterQuote", "\"a\"b,c\n",
                              "t.csv: row 1, column 1: text follows the closing quote of a cell"},
                    ErrorCase{"Latin1Bytes", "id,en\nx,caf\xE9\n",
                              "t.csv: row 2, column 2: invalid UTF-8 (byte 0xE9); save the file as UTF-8"},
                    ErrorCase{"Nul", std::string("a,b\0c\n", 6),
                              "t.csv: row 1, column 2: the cell holds a NUL character"}),
    [](const auto& testCase) { return testCase.param.name; });

class CsvFile : public testing::Test {
  protected:
    std::unique_ptr<TableReader> Reader(const std::string& name, const std::string& content) {
        test::WriteFile(dir / name, content);
        return CreateTableReader((dir / name).string());
    }
    test::TempDir dir;
};

TEST_F(CsvFile, CellsAreAddressedColumnFirstFromOne) {
    auto reader = Reader("t.csv", "\xEF\xBB\xBFid,English\nx,en\n");
    EXPECT_TRUE(reader->IsOpen());
    EXPECT_EQ(reader->GetColumnCount(), 2);
    EXPECT_EQ(reader->GetRowCount(), 2);
    EXPECT_EQ(reader->GetCell(2, 1), "English");
    EXPECT_EQ(reader->GetCell(1, 1), "id");  // the byte-order mark is not part of the first cell
    EXPECT_EQ(reader->GetCell(3, 1), "");
    EXPECT_EQ(reader->GetCell(1, 3), "");
    EXPECT_EQ(reader->GetCell(0, 0), "");
    EXPECT_EQ(reader->GetCellW(2, 1), u"English");
}

// The layout's strings and language columns are the cells a reader gives: every front end and the
// build count and address them through it.
TEST_F(CsvFile, TheLayoutNamesTheStringsAndLanguageColumnsOfATable) {
    using namespace table_layout;
    auto reader = Reader("t.csv", "ID,English,Deutsch\nID,en,de\nOK_TEXT,OK,Gut\nNO_TEXT,No,Nein\n");
    ASSERT_EQ(StringCount(reader->GetRowCount()), 2u);
    const char* const expected[2][2] = {{"OK", "No"}, {"Gut", "Nein"}};
    for (std::size_t entry = 0; entry < 2; ++entry) {
        const auto column = static_cast<std::uint16_t>(LanguageColumn(entry));
        EXPECT_EQ(reader->GetCell(column, kCodeRow), entry == 0 ? "en" : "de");
        for (std::size_t s = 1; s <= 2; ++s)
            EXPECT_EQ(reader->GetCell(column, static_cast<std::uint16_t>(StringRow(s))),
                      expected[entry][s - 1])
                << entry << ", " << s;
    }
    EXPECT_EQ(LanguageColumn(0), kDefaultColumn);
    for (std::size_t rows : {0u, 1u, 2u}) EXPECT_EQ(StringCount(rows), 0u) << rows;  // headers only
}

// The column of notes for translators, named by its row 1, is no language; the columns keep
// their numbers, whichever the notes sit between.
TEST_F(CsvFile, ANotesColumnIsNoLanguage) {
    test::WriteFile(dir / "t.csv", "ID,English,Notes,Deutsch\n,en,,de\nOK_TEXT,OK,a button,Gut\n");
    const std::string path = (dir / "t.csv").string();
    const LoadedTable table = LoadTable(path, kDefaultCodePage, "Notes");
    EXPECT_EQ(table.notesColumn, 3u);
    ASSERT_EQ(table.languages.size(), 2u);
    EXPECT_EQ(table.tableLanguageCount, 2);
    EXPECT_EQ(table.languages[1].code, u"de");
    EXPECT_EQ(table.LanguageColumn(0), 2u);
    EXPECT_EQ(table.LanguageColumn(1), 4u);
    // Without the name, the notes are a language as before: one without a code.
    const LoadedTable plain = LoadTable(path);
    EXPECT_EQ(plain.notesColumn, 0u);
    ASSERT_EQ(plain.languages.size(), 3u);
    EXPECT_EQ(plain.LanguageColumn(1), 3u);

    try {
        LoadTable(path, kDefaultCodePage, "Remarks");
        ADD_FAILURE() << "a header that no column has";
    } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()),
                  path + ": no column has 'Remarks' in row 1 for the notes to translators");
    }
    try {
        LoadTable(path, kDefaultCodePage, "English");
        ADD_FAILURE() << "the default language's column";
    } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()),
                  path +
                      ": row 1, column 2: 'English' heads the default language's column; notes need a "
                      "column of their own");
    }
}

TEST_F(CsvFile, ClosedReaderReadsEmptyAndKeepsItsCounts) {
    auto reader = Reader("t.tsv", "a\tb\n");
    EXPECT_EQ(reader->Close(), kSuccess);
    EXPECT_EQ(reader->Close(), kSuccess);
    EXPECT_EQ(reader->GetCell(1, 1), "");
    EXPECT_EQ(reader->GetCellW(2, 1), u"");
    EXPECT_EQ(reader->GetColumnCount(), 2);
    EXPECT_EQ(reader->Open(), kSuccess);
    EXPECT_EQ(reader->Open(), kSuccess);
    EXPECT_EQ(reader->GetCell(2, 1), "b");
    EXPECT_EQ(reader->GetRowCount(), 1);
}

TEST_F(CsvFile, MissingFileGivesAClosedReaderWithoutRows) {
    auto reader = CreateTableReader((dir / "none.csv").string());
    EXPECT_FALSE(reader->IsOpen());
    EXPECT_EQ(reader->GetRowCount(), 0);
    EXPECT_EQ(reader->Open(), kTableFileMissing);
    EXPECT_EQ(reader->CheckFile(), kTableFileMissing);
}

TEST_F(CsvFile, Utf16WithByteOrderMarkIsRead) {
    const std::string le(
        "\xFF\xFE"
        "a\0\t\0\xE9\0\n\0",
        10);
    EXPECT_EQ(Reader("le.tsv", le)->GetCellW(2, 1), u"\u00E9");
    const std::string be("\xFE\xFF\0a\0,\0b", 8);
    EXPECT_EQ(Reader("be.csv", be)->GetCell(2, 1), "b");
}

// Half of a UTF-16 pair is no character: refused at its cell, whether a UTF-16 file holds it alone
// or UTF-8 carries its three bytes, and never turned into U+FFFD unseen.
struct SurrogateCase {
    const char* name;
    std::string content;
    const char* message;  ///< after the file's name
};
void PrintTo(const SurrogateCase& c, std::ostream* os) { *os << c.name; }

class CsvSurrogates : public CsvFile, public testing::WithParamInterface<SurrogateCase> {};

TEST_P(CsvSurrogates, AreRefusedWithTheirCell) {
    const SurrogateCase& c = GetParam();
    try {
        Reader("t.csv", c.content);
        FAIL() << "read";
    } catch (const TableError& error) {
        EXPECT_EQ(error.what(), (dir / "t.csv").string() + c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, CsvSurrogates,
    testing::Values(SurrogateCase{"LittleEndianHighAlone",
                                  std::string("\xFF\xFEi\0d\0\n\0x\0,\0\x3D\xD8\n\0", 16),
                                  ": row 2, column 2: a UTF-16 surrogate (U+D83D) without its pair; save the "
                                  "file as UTF-8"},
                    SurrogateCase{"BigEndianLowAlone", std::string("\xFE\xFF\0a\0,\xDC\x00\0b", 10),
                                  ": row 1, column 2: a UTF-16 surrogate (U+DC00) without its pair; save the "
                                  "file as UTF-8"},
                    SurrogateCase{"HighBeforeAnotherHigh", std::string("\xFF\xFE\x3D\xD8\x3D\xD8\x00\xDE", 8),
                                  ": row 1, column 1: a UTF-16 surrogate (U+D83D) without its pair; save the "
                                  "file as UTF-8"},
                    SurrogateCase{"Utf8OfASurrogate", "id,en\nx,a\xED\xA0\xBDz\n",
                                  ": row 2, column 2: a UTF-16 surrogate (U+D83D) without its pair; save the "
                                  "file as UTF-8"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(CsvFile, NarrowTextComesInTheCodePageOrInUtf8) {
    auto reader = Reader("t.csv", "caf\xC3\xA9,\xCE\xA9\n");
    EXPECT_EQ(reader->GetCell(1, 1), "caf\xE9");
    reader->SetUtf8Mode(true);
    EXPECT_EQ(reader->GetCell(1, 1), "caf\xC3\xA9");
    EXPECT_EQ(reader->GetCell(2, 1), "\xCE\xA9");
    reader->SetUtf8Mode(false);
    try {
        reader->GetCell(2, 1);
        FAIL() << "no error";
    } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()),
                  (dir / "t.csv").string() +
                      ": row 1, column 2: the character U+03A9 '\xCE\xA9' is not in code page CP1252; "
                      "the encodings utf8 and wide hold every character");
    }
    reader->SetCodePage("ISO-8859-7");
    EXPECT_EQ(reader->GetCell(2, 1), "\xD9");
    EXPECT_THROW(reader->SetCodePage("NO-SUCH-PAGE"), TableError);
}

TEST_F(CsvFile, TablesBeyondSixteenBitCountsAreRefused) {
    std::string rows;
    for (int i = 0; i < 65536; ++i) rows += "x\n";
    EXPECT_THROW(Reader("big.csv", rows), TableError);
    EXPECT_EQ(Reader("ok.csv", rows.substr(2))->GetRowCount(), 65535);
}

TEST_F(CsvFile, WorkbooksAreRecognisedByContent) {
    EXPECT_THROW(Reader("book.csv", std::string("PK\x03\x04rest", 8)), TableError);
    EXPECT_THROW(Reader("old.xls", "\xD0\xCF\x11\xE0rest"), TableError);
}

}  // namespace
}  // namespace lexicorn
