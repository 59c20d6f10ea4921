#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "support/TestSupport.h"
#include "table/CsvReader.h"
#include "table/ExcelReader.h"
#include "table/TableFormats.h"
#include "table/TableReaderFactory.h"
#include "table/WorkbookFormats.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

const fs::path kFixtures = LEXICORN_FIXTURES_DIR;

Rows Cells(TableReader& reader) {
    reader.SetUtf8Mode(true);
    Rows rows;
    for (std::uint16_t row = 1; row <= reader.GetRowCount(); ++row) {
        rows.emplace_back();
        for (std::uint16_t column = 1; column <= reader.GetColumnCount(); ++column)
            rows.back().push_back(reader.GetCell(column, row));
    }
    return rows;
}

Rows CsvFixture() {
    CsvReader csv((kFixtures / "table.csv").string(), ',');
    return Cells(csv);
}

// The fixture table written by libxlsxwriter: numbers as numbers, text as shared strings (or inline
// strings in constant-memory mode).
void WriteXlsx(const fs::path& path, const Rows& rows, bool constantMemory) {
    lxw_workbook_options options{};
    options.constant_memory = constantMemory;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const std::string& text = rows[r][c];
            char* end = nullptr;
            const double number = std::strtod(text.c_str(), &end);
            if (!text.empty() && *end == '\0')
                worksheet_write_number(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), number,
                                       nullptr);
            else if (!text.empty())
                worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c),
                                       text.c_str(), nullptr);
        }
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

class SameTable : public testing::TestWithParam<const char*> {};

TEST_P(SameTable, ReadsTheSameCellsFromEveryFormat) {
    test::TempDir dir;
    fs::path path = kFixtures / GetParam();
    if (std::string(GetParam()).starts_with("libxlsxwriter")) {
        path = dir / "table.xlsx";
        WriteXlsx(path, CsvFixture(), std::string(GetParam()).ends_with("inline"));
    }
    auto reader = CreateTableReader(path.string());
    EXPECT_EQ(Cells(*reader), CsvFixture());
}

INSTANTIATE_TEST_SUITE_P(Formats, SameTable,
                         testing::Values("table.xls", "table.ods", "table.xlsx", "libxlsxwriter-shared",
                                         "libxlsxwriter-inline"),
                         [](const auto& testCase) {
                             std::string name = testCase.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(Workbook, NonAsciiTextInEveryForm) {
    for (const char* file : {"table.xls", "table.ods", "table.xlsx"}) {
        SCOPED_TRACE(file);
        auto reader = CreateTableReader((kFixtures / file).string());
        EXPECT_EQ(reader->GetCellW(5, 4), u"\u041E\u0442\u043C\u0435\u043D\u0430");  // Отмена
        EXPECT_EQ(reader->GetCellW(2, 5), u"Hello \U0001F600");
        reader->SetCodePage("CP1250");
        EXPECT_EQ(reader->GetCell(4, 5), "Za\xBF\xF3\xB3\xE6 g\xEA\x9C\x6C\xB9 ja\x9F\xF1");
        reader->SetCodePage("CP1251");
        EXPECT_EQ(reader->GetCell(5, 4), "\xCE\xF2\xEC\xE5\xED\xE0");
        reader->SetCodePage("CP1253");
        EXPECT_EQ(reader->GetCell(6, 1), "\xC5\xEB\xEB\xE7\xED\xE9\xEA\xDC");
        reader->SetCodePage("CP1252");
        EXPECT_EQ(reader->GetCell(3, 5), "Gr\xFC\xDF Gott");
        EXPECT_THROW(reader->GetCell(7, 4), TableError);  // Japanese has no CP1252 form
    }
}

TEST(Workbook, CountsAreKeptAcrossCloseAndOpen) {
    test::TempDir dir;
    const fs::path path = dir / "t.xlsx";
    WriteXlsx(path, {{"a", "b"}, {"c"}}, false);
    ExcelReader reader(path.string());
    EXPECT_EQ(reader.GetRowCount(), 2);
    EXPECT_EQ(reader.Close(), kSuccess);
    EXPECT_EQ(reader.GetCell(1, 1), "");
    WriteXlsx(path, {{"a", "b", "x"}, {"c"}, {"d"}}, false);  // the file grows in between
    EXPECT_EQ(reader.Open(), kSuccess);
    EXPECT_EQ(reader.GetRowCount(), 2);
    EXPECT_EQ(reader.GetColumnCount(), 2);
    EXPECT_EQ(reader.GetCell(1, 2), "c");
    ExcelReader missing((dir / "none.xlsx").string());
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.GetRowCount(), 0);
    EXPECT_EQ(missing.Open(), kTableFileMissing);
}

TEST(Workbook, ValuesReadAsTheSpreadsheetShowsThem) {
    test::TempDir dir;
    const fs::path path = dir / "values.xlsx";
    lxw_workbook* workbook = workbook_new(path.c_str());
    lxw_worksheet* hidden = workbook_add_worksheet(workbook, "Hidden first");
    lxw_worksheet* second = workbook_add_worksheet(workbook, "Second");
    worksheet_hide(hidden);
    worksheet_activate(second);
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "dd.mm.yyyy");
    lxw_format* dateTimeFormat = workbook_add_format(workbook);
    format_set_num_format(dateTimeFormat, "yyyy-mm-dd hh:mm:ss");
    lxw_format* timeFormat = workbook_add_format(workbook);
    format_set_num_format_index(timeFormat, 21);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    worksheet_write_number(hidden, 0, 0, 1, nullptr);
    worksheet_write_number(hidden, 0, 1, 0.1, nullptr);
    worksheet_write_number(hidden, 0, 2, 1e20, nullptr);
    worksheet_write_number(hidden, 0, 3, -2.5, nullptr);
    worksheet_write_boolean(hidden, 1, 0, 1, nullptr);
    worksheet_write_boolean(hidden, 1, 1, 0, nullptr);
    worksheet_write_formula_num(hidden, 1, 2, "=1+1", nullptr, 2);
    worksheet_write_formula_str(hidden, 1, 3, "=\"a\"&\"b\"", nullptr, "ab");
    lxw_datetime date = {2024, 1, 15, 0, 0, 0};
    lxw_datetime dateTime = {2024, 1, 15, 10, 30, 5};
    lxw_datetime time = {0, 0, 0, 23, 59, 59};
    worksheet_write_datetime(hidden, 2, 0, &date, dateFormat);
    worksheet_write_datetime(hidden, 2, 1, &dateTime, dateTimeFormat);
    worksheet_write_datetime(hidden, 2, 2, &time, timeFormat);
    lxw_rich_string_tuple first = {bold, const_cast<char*>("Rich ")},
                          rest = {nullptr, const_cast<char*>("text")};
    lxw_rich_string_tuple* runs[] = {&first, &rest, nullptr};
    worksheet_write_rich_string(hidden, 3, 0, runs, nullptr);
    worksheet_write_blank(hidden, 900, 40, bold);  // formatting only: no rows or columns for it
    worksheet_write_string(second, 0, 0, "not the first sheet", nullptr);
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);

    auto reader = CreateTableReader(path.string());
    EXPECT_EQ(Cells(*reader), (Rows{{"1", "0.1", "1e+20", "-2.5"},
                                    {"TRUE", "FALSE", "2", "ab"},
                                    {"2024-01-15", "2024-01-15T10:30:05", "23:59:59", ""},
                                    {"Rich text", "", "", ""}}));
}

// Builds an .xlsx package by hand, for what no writer library produces on purpose.
void WritePackage(const fs::path& path, std::map<std::string, std::string> parts) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(archive, nullptr);
    for (auto& [name, content] : parts) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0);
}

const char* const kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* const kDocRels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::map<std::string, std::string> Package(const std::string& sheetData,
                                           const std::string& sharedStrings = "",
                                           const std::string& workbookPr = "") {
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    std::map<std::string, std::string> parts = {
        {"_rels/.rels", std::string("<Relationships xmlns=\"") + kRelsNs +
                            "\"><Relationship Id=\"r1\" Type=\"" + kDocRels +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml", "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + kDocRels + "\">" + workbookPr +
                                "<sheets><sheet name=\"Second file\" sheetId=\"2\" r:id=\"rB\"/>"
                                "<sheet name=\"First file\" sheetId=\"1\" r:id=\"rA\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         std::string("<Relationships xmlns=\"") + kRelsNs + "\">" + "<Relationship Id=\"rA\" Type=\"" +
             kDocRels + "/worksheet\" Target=\"worksheets/sheet1.xml\"/>" +
             "<Relationship Id=\"rB\" Type=\"" + kDocRels +
             "/worksheet\" Target=\"/xl/worksheets/sheet2.xml\"/>" + "<Relationship Id=\"rS\" Type=\"" +
             kDocRels + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + main +
                                         "\"><sheetData><row><c t=\"inlineStr\"><is><t>"
                                         "sheet1.xml</t></is></c></row></sheetData></worksheet>"},
        {"xl/worksheets/sheet2.xml",
         "<worksheet xmlns=\"" + main + "\"><sheetData>" + sheetData + "</sheetData></worksheet>"},
        {"xl/sharedStrings.xml", "<sst xmlns=\"" + main + "\">" + sharedStrings + "</sst>"},
    };
    return parts;
}

TEST(Workbook, HandMadePackagesFollowTheWorkbookOrderAndItsEscapes) {
    test::TempDir dir;
    const fs::path path = dir / "hand.xlsx";
    auto parts = Package(
        "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c r=\"E1\" t=\"s\"><v>2</v></c></row>"
        "<row r=\"3\"><c><v>42</v></c><c t=\"inlineStr\"><is><t></t></is></c>"
        "<c t=\"e\"><v>#N/A</v></c><c s=\"1\"><v>45306</v></c></row>",
        "<si><t>line_x000D_break _x005F_x000D_</t></si>"
        "<si><r><t>ru</t></r><r><t xml:space=\"preserve\"> ns</t></r><rPh><t>PHONETIC</t></rPh></si>"
        "<si/>",
        "<workbookPr date1904=\"1\"/>");
    parts["xl/styles.xml"] =
        "<styleSheet><cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
        "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>";
    parts["xl/_rels/workbook.xml.rels"].insert(
        parts["xl/_rels/workbook.xml.rels"].find("</Relationships>"),
        std::string("<Relationship Id=\"rY\" Type=\"") + kDocRels + "/styles\" Target=\"styles.xml\"/>");
    WritePackage(path, parts);
    auto reader = CreateTableReader(path.string());
    // An empty shared string is no value: the table ends at column 4. 45306 counts from 1904.
    EXPECT_EQ(
        Cells(*reader),
        (Rows{{"line\rbreak _x000D_", "ru ns", "", ""}, {"", "", "", ""}, {"42", "", "#N/A", "2028-01-16"}}));
}

// The shared strings stand end to end in one buffer and the cells in another: each string keeps its
// own bytes whatever stands around it (text outside any string, an escape just before), and a cell
// set twice or out of order keeps the text it was given last.
TEST(Workbook, EachCellKeepsItsOwnTextWhereverItsStringStands) {
    test::TempDir dir;
    const fs::path path = dir / "order.xlsx";
    WritePackage(
        path, Package("<row><c r=\"B1\" t=\"s\"><v>2</v></c><c r=\"A1\" t=\"s\"><v>0</v></c>"
                      "<c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\"><v>7</v></c><c r=\"C1\"><v>8</v></c></row>"
                      "<row><c t=\"s\"><v>2</v></c><c t=\"inlineStr\"><is><t>in_x0041_line</t></is></c>"
                      "<c t=\"s\"><v>0</v></c></row>",
                      "<t>stray</t><si><t>first_x0042_</t></si><t>between</t>"
                      "<si><t>second</t></si><si><t>third</t></si>"));
    auto reader = CreateTableReader(path.string());
    EXPECT_EQ(Cells(*reader), (Rows{{"firstB", "second", "8"}, {"third", "inAline", "firstB"}}));
}

struct BrokenCase {
    const char* name;
    std::function<void(std::map<std::string, std::string>&)> breakIt;
    const char* message;  // after "<file>: "
};
void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class BrokenWorkbook : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenWorkbook, IsRefusedWithAClearError) {
    test::TempDir dir;
    const fs::path path = dir / "broken.xlsx";
    auto parts = Package("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", "<si><t>x</t></si>");
    GetParam().breakIt(parts);
    WritePackage(path, parts);
    try {
        CreateTableReader(path.string());
        FAIL() << "accepted";
    } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()), path.string() + ": " + GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenWorkbook,
    testing::Values(
        BrokenCase{"MalformedXml", [](auto& p) { p["xl/worksheets/sheet2.xml"] = "<worksheet><sheetData>"; },
                   "xl/worksheets/sheet2.xml: malformed XML at line 1: no element found"},
        BrokenCase{
            "SharedStringOutOfRange",
            [](auto& p) {
                p["xl/worksheets/sheet2.xml"] =
                    "<worksheet><sheetData><row><c t=\"s\"><v>99999999</v></c></row></sheetData></worksheet>";
            },
            "sheet 'Second file': row 1, column 1: shared string '99999999' does not exist (1 strings)"},
        BrokenCase{"CellFarOutOfRange",
                   [](auto& p) {
                       p["xl/worksheets/sheet2.xml"] =
                           "<worksheet><sheetData><row r=\"1048576\"><c "
                           "r=\"A1048576\"><v>1</v></c></row></sheetData></worksheet>";
                   },
                   "row 1048576, column 1: the cell lies beyond the 65535 rows and columns a table may have"},
        BrokenCase{"SheetPointsNowhere", [](auto& p) { p.erase("xl/worksheets/sheet2.xml"); },
                   "sheet 'Second file' points to the missing part xl/worksheets/sheet2.xml"},
        BrokenCase{"SheetWithoutRelationship",
                   [](auto& p) {
                       p["xl/_rels/workbook.xml.rels"] =
                           std::string("<Relationships xmlns=\"") + kRelsNs + "\"/>";
                   },
                   "sheet 'Second file' points nowhere"},
        BrokenCase{"NotANumber",
                   [](auto& p) {
                       p["xl/worksheets/sheet2.xml"] =
                           "<worksheet><sheetData><row><c><v>1x</v></c></row></sheetData></worksheet>";
                   },
                   "sheet 'Second file': row 1, column 1: '1x' is not a number"}),
    [](const auto& testCase) { return testCase.param.name; });

std::string OdsContent(const std::string& tables) {
    return "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>" +
           tables + "</office:spreadsheet></office:body></office:document-content>";
}

TEST(Workbook, OpenDocumentCellsRepeatAndKeepTheirSpacing) {
    test::TempDir dir;
    const fs::path path = dir / "hand.ods";
    WritePackage(
        path,
        {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
         {"content.xml",
          OdsContent(
              "<table:table table:name=\"Strings\">"
              "<table:table-row table:number-rows-repeated=\"2\">"
              "<table:table-cell table:number-columns-repeated=\"2\"><text:p>ab</text:p></table:table-cell>"
              "<table:table-cell/><table:table-cell office:value-type=\"float\" office:value=\"2.50\"/>"
              "</table:table-row>"
              "<table:table-row><table:table-cell><text:p>a<text:s text:c=\"3\"/>b<text:tab/>c"
              "<text:line-break/>d</text:p><text:p><text:span>second</text:span></text:p>"
              "<office:annotation><text:p>a comment</text:p></office:annotation></table:table-cell>"
              "<table:covered-table-cell/>"
              "<table:table-cell office:value-type=\"boolean\" office:boolean-value=\"true\"/>"
              "<table:table-cell office:value-type=\"time\" office:time-value=\"PT10H30M05S\"/>"
              "<table:table-cell office:value-type=\"date\" office:date-value=\"2024-01-15\"/>"
              "</table:table-row>"
              "<table:table-row table:number-rows-repeated=\"1048570\">"
              "<table:table-cell table:number-columns-repeated=\"16384\"/></table:table-row>"
              "</table:table><table:table table:name=\"Other\"><table:table-row><table:table-cell>"
              "<text:p>other table</text:p></table:table-cell></table:table-row></table:table>")}});
    auto reader = CreateTableReader(path.string());
    EXPECT_EQ(Cells(*reader), (Rows{{"ab", "ab", "", "2.5", ""},
                                    {"ab", "ab", "", "2.5", ""},
                                    {"a   b\tc\nd\nsecond", "", "TRUE", "10:30:05", "2024-01-15"}}));

    WritePackage(path, {{"content.xml",
                         OdsContent("<table:table><table:table-row table:number-rows-repeated=\"70000\">"
                                    "<table:table-cell><text:p>x</text:p></table:table-cell>"
                                    "</table:table-row></table:table>")}});
    EXPECT_THROW(CreateTableReader(path.string()), TableError);

    // A repeat count at the edge of 64 bits on an empty row: the next row is beyond the table, not
    // back at its start.
    for (const char* count : {"18446744073709551615", "18446744073709551616"}) {
        WritePackage(
            path,
            {{"content.xml",
              OdsContent(std::string("<table:table><table:table-row table:number-rows-repeated=\"") + count +
                         "\"><table:table-cell/></table:table-row><table:table-row>"
                         "<table:table-cell><text:p>x</text:p></table:table-cell>"
                         "</table:table-row></table:table>")}});
        EXPECT_THROW(CreateTableReader(path.string()), TableError) << count;
    }
}

// A file of a few hundred bytes may describe gigabytes: what a table unpacks to has a cap, counted as
// it unpacks, so the machine is never exhausted first.
TEST(Workbook, TextBeyondTheCapIsRefusedBeforeItFillsTheMemory) {
    // 100 KB cells repeated 16384 times: written out, and made of runs of spaces.
    const std::string written(100'000, 'x');
    std::string spaces;
    for (int i = 0; i < 100; ++i) spaces += "<text:s text:c=\"1000\"/>";
    for (const std::string& cell : {written, spaces}) {
        test::TempDir dir;
        const fs::path path = dir / "repeats.ods";
        WritePackage(path,
                     {{"content.xml",
                       OdsContent("<table:table><table:table-row><table:table-cell "
                                  "table:number-columns-repeated=\"16384\"><text:p>" +
                                  cell + "</text:p></table:table-cell></table:table-row></table:table>")}});
        try {
            CreateTableReader(path.string());
            ADD_FAILURE() << "1.6 GB of repeated text was taken";
        } catch (const TableError& error) {
            EXPECT_EQ(std::string(error.what()),
                      path.string() + ": the table unpacks to more than 512 MB of text; refused");
        }
    }
}

// The text cap counts what the table holds, each byte once, and a cell's text as it arrives: met
// here with a cap of 1 MiB instead of 512 MB.
constexpr std::size_t kSmallCap = 1 << 20;

std::string OdsCell(const std::string& text, std::size_t repeat = 1) {
    return "<table:table-cell table:number-columns-repeated=\"" + std::to_string(repeat) + "\"><text:p>" +
           text + "</text:p></table:table-cell>";
}
std::string OdsRow(const std::string& cells, std::size_t repeat = 1) {
    return "<table:table-row table:number-rows-repeated=\"" + std::to_string(repeat) + "\">" + cells +
           "</table:table-row>";
}
std::string OdsSpaces(std::size_t count) {
    std::string spaces;
    for (; count >= 1000; count -= 1000) spaces += "<text:s text:c=\"1000\"/>";
    return spaces + "<text:s text:c=\"" + std::to_string(count) + "\"/>";
}

struct TextCapCase {
    const char* name;
    std::string content;  // of content.xml
    bool taken;
};
void PrintTo(const TextCapCase& c, std::ostream* os) { *os << c.name; }

class OdsTextCap : public testing::TestWithParam<TextCapCase> {};

TEST_P(OdsTextCap, HoldsTheTableToItsTextCap) {
    test::TempDir dir;
    const fs::path path = dir / "cap.ods";
    WritePackage(path, {{"content.xml", GetParam().content}});
    try {
        const SheetCells cells = ReadOdsSheet(path.string(), kSmallCap);
        EXPECT_TRUE(GetParam().taken) << "taken with " << cells.ColumnCount() << " columns";
    } catch (const TableError& error) {
        EXPECT_FALSE(GetParam().taken) << error.what();
        EXPECT_EQ(std::string(error.what()),
                  path.string() + ": the table unpacks to more than 1 MB of text; refused");
    }
}

const std::string kQuarter(kSmallCap / 4, 'q');

INSTANTIATE_TEST_SUITE_P(
    Cases, OdsTextCap,
    testing::Values(
        TextCapCase{
            "OneCellOfTheCap",
            OdsContent("<table:table>" + OdsRow(OdsCell(std::string(kSmallCap, 'x'))) + "</table:table>"),
            true},
        TextCapCase{"OneByteMore",
                    OdsContent("<table:table>" + OdsRow(OdsCell(std::string(kSmallCap, 'x'))) +
                               OdsRow(OdsCell("y")) + "</table:table>"),
                    false},
        TextCapCase{"CellRepeatedToTheCap",
                    OdsContent("<table:table>" + OdsRow(OdsCell(kQuarter, 4)) + "</table:table>"), true},
        TextCapCase{"CellRepeatedPastTheCap",
                    OdsContent("<table:table>" + OdsRow(OdsCell(kQuarter, 5)) + "</table:table>"), false},
        TextCapCase{"RowRepeatedToTheCap",
                    OdsContent("<table:table>" + OdsRow(OdsCell(kQuarter, 2), 2) + "</table:table>"), true},
        TextCapCase{"RowRepeatedPastTheCap",
                    OdsContent("<table:table>" + OdsRow(OdsCell(kQuarter, 2), 3) + "</table:table>"), false},
        TextCapCase{"SpacesAndLinesToTheCap",
                    OdsContent("<table:table>" +
                               OdsRow(OdsCell(OdsSpaces(kSmallCap / 2) + "</text:p><text:p>" +
                                              OdsSpaces(kSmallCap / 2 - 1))) +
                               "</table:table>"),
                    true},
        TextCapCase{"SpacesPastTheCap",
                    OdsContent("<table:table>" + OdsRow(OdsCell(OdsSpaces(kSmallCap) + "<text:tab/>")) +
                               "</table:table>"),
                    false},
        // The file breaks off inside a cell whose text is already past the cap: refused for its text,
        // before the cell's end is looked for.
        TextCapCase{"TextRefusedAsItArrives",
                    [] {
                        const std::string whole =
                            OdsContent("<table:table><table:table-row><table:table-cell><text:p>" +
                                       std::string(kSmallCap + 1, 'x') + "</text:p>");
                        return whole.substr(0, whole.rfind('x') + 1);
                    }(),
                    false}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

// AddressSanitizer reserves terabytes of address space for its shadow: under a limit on it, the
// sanitizer fails before the reader does.
#if defined(__SANITIZE_ADDRESS__)
#define LEXICORN_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEXICORN_ADDRESS_SANITIZER
#endif
#endif

// A machine that does not overcommit refuses memory where this one would give it: met here with a
// limit on the address space of a process of the test's own.
TEST(WorkbookDeathTest, RunningOutOfMemoryNamesTheFile) {
#ifdef LEXICORN_ADDRESS_SANITIZER
    GTEST_SKIP() << "an address-space limit stops AddressSanitizer first";
#endif
    test::TempDir dir;
    const fs::path path = dir / "big.ods";
    // 256 MB of text, far below the cap, from a file of a few kilobytes.
    WritePackage(
        path, {{"content.xml", OdsContent("<table:table>" + OdsRow(OdsCell(std::string(1 << 20, 'x'), 256)) +
                                          "</table:table>")}});
    const auto readWithLittleMemory = [&] {
        std::ifstream statm("/proc/self/statm");
        std::size_t pages = 0;
        statm >> pages;
        const rlim_t bytes = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64 << 20);
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_AS, &limit);
        try {
            CreateTableReader(path.string());
        } catch (const TableError& error) {
            std::fputs(error.what(), stderr);
            std::exit(0);
        } catch (const std::exception& error) {
            std::fputs(error.what(), stderr);
            std::exit(1);
        }
        std::exit(2);
    };
    EXPECT_EXIT(readWithLittleMemory(), testing::ExitedWithCode(0),
                "big.ods: out of memory while reading the workbook");
}

TEST(Workbook, HostileAndForeignFilesAreRefused) {
    EXPECT_THROW(CreateTableReader((kFixtures / "bomb.xlsx").string()), TableError);
    test::TempDir dir;
    test::WriteFile(dir / "truncated.xlsx", test::ReadFile(kFixtures / "table.xlsx").substr(0, 2000));
    EXPECT_THROW(CreateTableReader((dir / "truncated.xlsx").string()), TableError);
    test::WriteFile(dir / "text.xlsx", "just text");
    EXPECT_THROW(CreateTableReader((dir / "text.xlsx").string()), TableError);
    test::WriteFile(dir / "data.bin", "just text");
    EXPECT_THROW(CreateTableReader((dir / "data.bin").string()), TableError);
    test::WriteFile(dir / "ole.xls",
                    std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
    EXPECT_THROW(CreateTableReader((dir / "ole.xls").string()), TableError);
}

// Every extension in the table of formats, named in upper case as some systems save them, opens
// with the reader the table names for it; a missing file of that name is given the same reader.
class TableFormatReading : public testing::TestWithParam<TableFormat> {};

TEST_P(TableFormatReading, OpensWithTheReaderTheTableNames) {
    const TableFormat& format = GetParam();
    std::string extension(format.extension);
    for (char& c : extension) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    test::TempDir dir;
    const fs::path path = dir / ("TABLE" + extension);
    const bool workbook = format.reading == TableReading::kWorkbook;
    if (workbook)
        fs::copy_file(kFixtures / ("table" + std::string(format.extension)), path);
    else
        test::WriteFile(path, "a,b\tc\r\n");
    auto reader = CreateTableReader(path.string());
    EXPECT_EQ(dynamic_cast<ExcelReader*>(reader.get()) != nullptr, workbook);
    EXPECT_EQ(dynamic_cast<CsvReader*>(reader.get()) != nullptr, !workbook);
    const Rows expected = workbook                                          ? CsvFixture()
                          : format.reading == TableReading::kCommaSeparated ? Rows{{"a", "b\tc"}}
                                                                            : Rows{{"a,b", "c"}};
    EXPECT_EQ(Cells(*reader), expected);

    auto missing = CreateTableReader((dir / ("missing" + extension)).string());
    EXPECT_EQ(dynamic_cast<ExcelReader*>(missing.get()) != nullptr, workbook);
}

INSTANTIATE_TEST_SUITE_P(EveryExtension, TableFormatReading, testing::ValuesIn(kTableFormats),
                         [](const auto& testCase) {
                             return std::string(testCase.param.extension.substr(1));
                         });

// The refusals list the extensions the table offers by name, and no others.
TEST(TableFormatReading, RefusalsNameTheListedExtensions) {
    test::TempDir dir;
    const struct {
        const char* name;
        const char* refusal;
    } cases[] = {
        {"notes.doc", ": not a table this program can read (.xls, .xlsx, .ods, .csv, .tsv)"},
        {"text.xlsx", ": not a workbook (.xls, .xlsx, .ods) nor a table this program can read"},
    };
    for (const auto& [name, refusal] : cases) {
        const std::string path = (dir / name).string();
        test::WriteFile(path, "just text");
        try {
            CreateTableReader(path);
            ADD_FAILURE() << name << " was read";
        } catch (const TableError& error) {
            EXPECT_EQ(error.what(), path + refusal);
        }
    }
}

}  // namespace
}  // namespace lexicorn

namespace lexicorn {
namespace {

// Inputs on which the fuzzers once found a fault: each must now be read or refused cleanly.
TEST(FuzzRegressions, AreReadOrRefused) {
    const std::map<std::string, std::function<void(const std::string&)>> readers = {
        {"Csv", [](const std::string& path) { CsvReader::Parse(test::ReadFile(path), ',', path); }},
        {"Xlsx", [](const std::string& path) { ReadXlsxSheet(path); }},
        {"Ods", [](const std::string& path) { ReadOdsSheet(path); }},
        {"Xls", [](const std::string& path) { ReadXlsSheet(path); }},
    };
    int replayed = 0;
    for (const auto& [reader, read] : readers) {
        const fs::path folder = fs::path(LEXICORN_FUZZ_REGRESSIONS_DIR) / reader;
        if (!fs::exists(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            try {
                read(entry.path().string());
            } catch (const TableError&) {
            }
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
}  // namespace lexicorn
