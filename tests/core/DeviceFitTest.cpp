#include <fmt/format.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "compile/BuildRun.h"
#include "compile/DeviceFit.h"
#include "compile/Preview.h"
#include "compile/TableCheck.h"
#include "font/Font.h"
#include "font/GlyphSet.h"
#include "support/FontFixtures.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

// Fonts written by the tests: Device12 (BDF) lacks ő; Greek12 has Greek letters and the space only;
// Kerned10 (TrueType) kerns A and V by one pixel.
class DeviceFitTest : public testing::Test {
  protected:
    DeviceFitTest() {
        test::WriteFile(device, test::BdfFont(test::DeviceGlyphs()));
        std::vector<test::TestGlyph> greek = {{U' ', 3}};
        for (char32_t c = U'Α'; c <= U'ω'; ++c) greek.push_back({c, 7});
        for (char32_t c : std::u32string(U"άέήίόύώ")) greek.push_back({c, 7});
        test::WriteFile(greekFont, test::BdfFont(greek));
        test::WriteFile(kerned,
                        test::TrueTypeFont({{U'A', 600}, {U'V', 600}, {U'i', 300}}, {{U'A', U'V', -100}}));
    }

    CheckReport Check(Rows rows, ProjectSettings settings) {
        LoadedTable table = test::MakeLoadedTable(std::move(rows), {});
        table.tableReader->Open();
        return CheckTable(table, settings);
    }

    ProjectSettings WithFont(std::vector<DeviceFont> fonts) const {
        ProjectSettings settings;
        settings.fonts = std::move(fonts);
        settings.encoding = Encoding::kUtf8;  // every character fits the image: only the font may lack one
        return settings;
    }

    std::vector<std::string> Lines(const CheckReport& report) const {
        std::vector<std::string> lines;
        for (const Finding& finding : report.findings) lines.push_back(FindingLine("t.csv", finding));
        return lines;
    }

    test::TempDir dir;
    const std::string device = (dir / "Device12.bdf").string();
    const std::string greekFont = (dir / "Greek12.bdf").string();
    const std::string kerned = (dir / "Kerned10.ttf").string();
};

// ---- The fonts themselves

TEST_F(DeviceFitTest, ABdfFontGivesItsAdvancesAndKnowsWhatItLacks) {
    Font font(device, 0, Rendering::kMonochrome);
    EXPECT_EQ(font.LineHeight(), 12);
    EXPECT_EQ(font.Ascent(), 10);
    // The size of scalable fonts beside it does not change a bitmap font.
    EXPECT_EQ(Font(device, 16, Rendering::kMonochrome).LineHeight(), 12);
    EXPECT_TRUE(font.Has(U'Ä'));
    EXPECT_FALSE(font.Has(U'ő'));
    EXPECT_EQ(font.GlyphOf(U'W').advance, 8);
    EXPECT_EQ(font.GlyphOf(U'i').advance, 3);
    // H6 a6 l3 l3 o6, space 3, W8 e6 l3 t6: no kerning in a BDF font.
    EXPECT_EQ(LineWidth(font, "Hallo Welt"), 50);
    // Control characters take no room and need no glyph.
    EXPECT_EQ(LineWidth(font, "Hal\tlo\r"), 24);
    const GlyphImage block = font.Render(U'H');
    EXPECT_EQ(block.width, 5);
    EXPECT_EQ(block.rows, test::kBlockHeight);
    EXPECT_EQ(block.top, test::kBlockHeight);
    EXPECT_TRUE(std::all_of(block.coverage.begin(), block.coverage.end(), [](auto c) { return c == 255; }));
}

TEST_F(DeviceFitTest, TheKerningOfAPairIsAddedBetweenItsCharacters) {
    Font font(kerned, 10, Rendering::kMonochrome);
    EXPECT_EQ(font.GlyphOf(U'A').advance, 6);
    EXPECT_EQ(font.GlyphOf(U'i').advance, 3);
    EXPECT_EQ(font.Kerning(font.GlyphOf(U'A').index, font.GlyphOf(U'V').index), -1);
    EXPECT_EQ(LineWidth(font, "AV"), 11);
    EXPECT_EQ(LineWidth(font, "VA"), 12);  // only the pair in this order
    EXPECT_EQ(LineWidth(font, "AVAiV"), 6 + 6 + 6 + 3 + 6 - 1);
    // At twice the size, twice the kerning.
    Font larger(kerned, 20, Rendering::kAntiAliased);
    EXPECT_EQ(LineWidth(larger, "AV"), 22);
}

// DejaVu Sans, as Debian installs it: its real 'kern' table and coverage.
TEST_F(DeviceFitTest, ARealTrueTypeFontKernsAndLacksWhatItLacks) {
    Font font(test::kDejaVuSans, 16, Rendering::kMonochrome);
    EXPECT_TRUE(font.Has(U'ő'));
    EXPECT_TRUE(font.Has(U'Ж'));
    EXPECT_FALSE(font.Has(U'日'));
    EXPECT_LT(LineWidth(font, "AV"), LineWidth(font, "A") + LineWidth(font, "V"));
    EXPECT_LT(LineWidth(font, "To"), LineWidth(font, "T") + LineWidth(font, "o"));
    EXPECT_EQ(LineWidth(font, "AA"), 2 * LineWidth(font, "A"));
    TextFit fit;
    MeasureText(font, "Tor\n日本 AV", fit);
    EXPECT_EQ(fit.lineWidths.size(), 2u);
    EXPECT_EQ(fit.missing, (std::vector<char32_t>{U'日', U'本'}));
}

// ---- LVGL's fonts, as lv_font_conv writes them

// An LVGL C font in lv_font_conv's form, 16 px, line height 18: the space, A, V, i and '}' in a
// full range from A (whose other characters are left out: B is not in it), € and → in a sparse
// one. A and V kern by pairs or by classes, A then V by -1/4 px, V then A by -5/4 px.
std::string LvglCFont(bool kernByClasses) {
    std::string offsets = "0";
    for (int i = 1; i < 61; ++i)
        offsets += i == 'V' - 'A' ? ", 1" : i == 'i' - 'A' ? ", 2" : i == '}' - 'A' ? ", 3" : ", 0";
    const std::string kerning = kernByClasses ? R"(
static const uint8_t kern_left_class_mapping[] = { 0, 0, 1, 2, 0, 0, 0, 0 };
static const uint8_t kern_right_class_mapping[] = { 0, 0, 1, 2, 0, 0, 0, 0 };
/* Halved, at twice the scale */
static const int8_t kern_class_values[] = { 0, -2, -10, 0 };
static const lv_font_fmt_txt_kern_classes_t kern_classes = {
    .class_pair_values   = kern_class_values,
    .left_class_mapping  = kern_left_class_mapping,
    .right_class_mapping = kern_right_class_mapping,
    .left_class_cnt      = 2,
    .right_class_cnt     = 2,
};
)"
                                              : R"(
static const uint8_t kern_pair_glyph_ids[] = { 2, 3, 3, 2 };
static const int8_t kern_pair_values[] = { -4, -20 };
static const lv_font_fmt_txt_kern_pair_t kern_pairs = {
    .glyph_ids = kern_pair_glyph_ids, .values = kern_pair_values, .pair_cnt = 2, .glyph_ids_size = 0
};
)";
    return fmt::format(R"(/*******************************************************************************
 * Size: 16 px
 * Bpp: 1
 ******************************************************************************/
#ifdef LV_LVGL_H_INCLUDE_SIMPLE
#include "lvgl.h"
#else
#include "lvgl/lvgl.h"
#endif
static LV_ATTRIBUTE_LARGE_CONST const uint8_t glyph_bitmap[] = {{
    /* U+0020 " " */
    0x0,
    /* U+0041 "A" */
    0xff, 0x80,
    /* U+0056 "V" */
    0x90,
    /* U+007D "}}" */
    0xff
}};
static const lv_font_fmt_txt_glyph_dsc_t glyph_dsc[] = {{
    {{.bitmap_index = 0, .adv_w = 0, .box_w = 0, .box_h = 0, .ofs_x = 0, .ofs_y = 0}} /* id = 0 reserved */,
    {{.bitmap_index = 0, .adv_w = 81, .box_w = 1, .box_h = 1, .ofs_x = 0, .ofs_y = 0}},
    {{.bitmap_index = 1, .adv_w = 152, .box_w = 3, .box_h = 3, .ofs_x = 1, .ofs_y = 0}},
    {{.bitmap_index = 3, .adv_w = 150, .box_w = 2, .box_h = 2, .ofs_x = 0, .ofs_y = 5}},
    {{.bitmap_index = 4, .adv_w = 72, .box_w = 1, .box_h = 1, .ofs_x = 0, .ofs_y = 0}},
    {{.bitmap_index = 4, .adv_w = 200, .box_w = 1, .box_h = 1, .ofs_x = 0, .ofs_y = 0}},
    {{.bitmap_index = 4, .adv_w = 256, .box_w = 1, .box_h = 1, .ofs_x = 0, .ofs_y = 0}},
    {{.bitmap_index = 4, .adv_w = 100, .box_w = 1, .box_h = 1, .ofs_x = 0, .ofs_y = 0}}
}};
static const uint8_t glyph_id_ofs_list_1[] = {{ {} }};
static const uint16_t unicode_list_2[] = {{ 0x0, 0xe6 }};
static const uint16_t glyph_id_ofs_list_2[] = {{ 0, 1 }};
static const lv_font_fmt_txt_cmap_t cmaps[] =
{{
    {{
        .range_start = 32, .range_length = 1, .glyph_id_start = 1,
        .unicode_list = NULL, .glyph_id_ofs_list = NULL, .list_length = 0,
        .type = LV_FONT_FMT_TXT_CMAP_FORMAT0_TINY
    }},
    {{
        .range_start = 65, .range_length = 61, .glyph_id_start = 2,
        .unicode_list = NULL, .glyph_id_ofs_list = glyph_id_ofs_list_1, .list_length = 61,
        .type = LV_FONT_FMT_TXT_CMAP_FORMAT0_FULL
    }},
    {{
        .range_start = 8364, .range_length = 231, .glyph_id_start = 6,
        .unicode_list = unicode_list_2, .glyph_id_ofs_list = glyph_id_ofs_list_2, .list_length = 2,
        .type = LV_FONT_FMT_TXT_CMAP_SPARSE_FULL
    }}
}};
{}
static const lv_font_fmt_txt_dsc_t font_dsc = {{
    .glyph_bitmap = glyph_bitmap,
    .glyph_dsc = glyph_dsc,
    .cmaps = cmaps,
    .kern_dsc = {},
    .kern_scale = {},
    .cmap_num = 3,
    .bpp = 1,
    .kern_classes = {},
    .bitmap_format = 0,
}};
const lv_font_t test_font = {{
    .get_glyph_dsc = lv_font_get_glyph_dsc_fmt_txt,
    .get_glyph_bitmap = lv_font_get_bitmap_fmt_txt,
    .line_height = 18,          /*The maximum line height required by the font*/
    .base_line = 4,             /*Baseline measured from the bottom of the line*/
    .dsc = &font_dsc,
}};
)",
                       offsets, kerning, kernByClasses ? "&kern_classes" : "&kern_pairs",
                       kernByClasses ? 32 : 16, kernByClasses ? 1 : 0);
}

struct LvglWidth {
    const char* text;
    int width;
};
void PrintTo(const LvglWidth& c, std::ostream* os) { *os << c.text; }

class LvglFontWidths : public testing::TestWithParam<std::tuple<bool, LvglWidth>> {};

// Each glyph's advance plus its kerning with the next, rounded on its own: A is 9.5 px (10), V
// 9.375 (9), i 4.5 (5), the space 5.0625 (5); a missing character takes LVGL's box, 18 / 2 + 2.
TEST_P(LvglFontWidths, AreLvglsSumOfRoundedGlyphs) {
    const auto& [byClasses, c] = GetParam();
    test::TempDir dir;
    const std::string path = (dir / "font.c").string();
    test::WriteFile(path, LvglCFont(byClasses));
    Font font(path, 0, Rendering::kAntiAliased);
    EXPECT_EQ(LineWidth(font, c.text), c.width);
}

const LvglWidth kLvglWidths[] = {
    {"A", 10},
    {"V", 9},
    // 152 - 4 = 148 sixteenths: 9 px, where FreeType's 10 - 0.25 gives 10
    {"AV", 9 + 9},
    {"VA", 8 + 10},
    {"AVA", 9 + 8 + 10},
    // two 4.5 px glyphs: 10 px, not 9
    {"ii", 10},
    {"i i", 15},
    {"}", 13},
    {"€→", 16 + 6},
    {"AB", 10 + 11},
    // a tab: the space, twice as wide (162 sixteenths: 10 px)
    {"i\ti", 5 + 10 + 5},
    // no kerning across a control character; it takes no room
    {"A\rV", 10 + 9},
};

INSTANTIATE_TEST_SUITE_P(Lvgl, LvglFontWidths,
                         testing::Combine(testing::Bool(), testing::ValuesIn(kLvglWidths)),
                         [](const auto& testCase) {
                             std::string name = std::get<0>(testCase.param) ? "Classes" : "Pairs";
                             for (const char c : std::string(std::get<1>(testCase.param).text))
                                 name +=
                                     std::isalnum(static_cast<unsigned char>(c)) ? std::string(1, c) : "_";
                             return name + std::to_string(testCase.index);
                         });

TEST_F(DeviceFitTest, AnLvglCFontGivesItsCharactersLineAndPixels) {
    const std::string path = (dir / "font.c").string();
    test::WriteFile(path, LvglCFont(false));
    Font font(path, 0, Rendering::kMonochrome);
    EXPECT_EQ(font.LineHeight(), 18);
    EXPECT_EQ(font.Ascent(), 14);
    for (const char32_t c : std::u32string(U" AVi}€→")) EXPECT_TRUE(font.Has(c)) << static_cast<int>(c);
    // Left out of the full range, beyond it, between the sparse ones.
    for (const char32_t c : std::u32string(U"B@~‡")) EXPECT_FALSE(font.Has(c)) << static_cast<int>(c);
    TextFit fit;
    MeasureText(font, "AB\n~A", fit);
    EXPECT_EQ(fit.lineWidths, (std::vector<std::int64_t>{21, 21}));
    EXPECT_EQ(fit.missing, (std::vector<char32_t>{U'B', U'~'}));
    // The pixels, one bit each from the highest, rows following each other.
    const GlyphImage a = font.Render(U'A');
    EXPECT_EQ(std::tuple(a.left, a.top, a.width, a.rows), std::tuple(1, 3, 3, 3));
    EXPECT_TRUE(std::all_of(a.coverage.begin(), a.coverage.end(), [](auto c) { return c == 255; }));
    const GlyphImage v = font.Render(U'V');
    EXPECT_EQ(std::tuple(v.left, v.top, v.width, v.rows), std::tuple(0, 7, 2, 2));
    EXPECT_EQ(v.coverage, (std::vector<std::uint8_t>{255, 0, 0, 255}));
}

// A tab is named where a string is measured, with how the font's renderer draws it.
TEST_F(DeviceFitTest, ATabInAMeasuredStringIsNamedWithHowItIsDrawn) {
    const std::string lvgl = (dir / "font.c").string();
    test::WriteFile(lvgl, LvglCFont(false));
    const Rows rows = {
        {"ID", "English", "Deutsch"}, {"", "en", "de"}, {"S", "i\ti", "AV"}, {"T", "A\x01V", "AV"}};
    ProjectSettings settings = WithFont({{{}, lvgl}, {{"de"}, kerned}});
    settings.fontSize = 10;
    settings.maxWidth = 19;
    EXPECT_EQ(Lines(Check(rows, settings)),
              (std::vector<std::string>{
                  "t.csv:B3: warning: control-character: the text holds a tab (U+0009), which LVGL draws as "
                  "two spaces of " +
                      lvgl,
                  "t.csv:B3: error: too-wide: the text is 20 px wide in " + lvgl +
                      ", 1 px more than the 19 px it may take",
                  "t.csv:B4: warning: control-character: the text holds the control character U+0001"}));
    settings.fonts = {{{}, kerned}};
    EXPECT_EQ(
        Lines(Check(rows, settings)),
        (std::vector<std::string>{
            "t.csv:B3: warning: control-character: the text holds a tab (U+0009), which takes no room in " +
                kerned + ": how wide it shows depends on the device's renderer",
            "t.csv:B4: warning: control-character: the text holds the control character U+0001"}));
}

// `content` followed by `zeros` zero bytes, packed as gzip packs them.
void WriteGzip(const std::string& path, const std::string& content, std::uint64_t zeros) {
    gzFile file = gzopen(path.c_str(), "wb1");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(gzwrite(file, content.data(), static_cast<unsigned>(content.size())),
              static_cast<int>(content.size()));
    const std::string piece(1 << 20, '\0');
    for (std::uint64_t left = zeros; left > 0;) {
        const auto count = static_cast<unsigned>(std::min<std::uint64_t>(left, piece.size()));
        ASSERT_EQ(gzwrite(file, piece.data(), count), static_cast<int>(count));
        left -= count;
    }
    ASSERT_EQ(gzclose(file), Z_OK);
}

struct FontProblem {
    const char* name;
    std::string content;  // of the file; empty: no file; "dejavu": DejaVu Sans itself
    unsigned size;
    std::string message;      // after the path
    std::uint64_t zeros = 0;  // after the content: a hole in the file, or packed with it
    bool packed = false;      // by gzip
};
void PrintTo(const FontProblem& c, std::ostream* os) { *os << c.name; }

class FontProblems : public testing::TestWithParam<FontProblem> {};

TEST_P(FontProblems, AreNamedWithTheFile) {
    const FontProblem& c = GetParam();
    test::TempDir dir;
    const std::string path = (dir / "font").string();
    if (c.packed) {
        WriteGzip(path, c.content, c.zeros);
    } else if (!c.content.empty()) {
        test::WriteFile(path, c.content);
        if (c.zeros) fs::resize_file(path, c.content.size() + c.zeros);
    }
    try {
        Font font(c.content == "dejavu" ? test::kDejaVuSans : path, c.size, Rendering::kMonochrome);
        FAIL() << "opened";
    } catch (const Error& error) {  // a FontError, or the error of a file that cannot be read
        EXPECT_EQ(error.what(),
                  (c.content == "dejavu" ? std::string(test::kDejaVuSans) : path) + ": " + c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fonts, FontProblems,
    testing::Values(
        FontProblem{"Missing", "", 12, "No such file or directory"},
        FontProblem{"NoFont", "id,en\nA,B\n", 12,
                    "no font that FreeType reads (TrueType, OpenType, BDF, PCF), or a damaged one"},
        FontProblem{"ScalableWithoutSize", "dejavu", 0, "a scalable font needs a size in pixels"},
        // Beyond the largest fonts there are, refused before anything of them is read or unpacked.
        FontProblem{"LargerThanAnyFont", std::string("\0\1\0\0", 4), 12, "the font is larger than 64 MB",
                    kMostFontBytes - 3},
        FontProblem{"UnpacksBeyondAnyFont", test::BdfFont(test::DeviceGlyphs()), 12,
                    "the font unpacks to more than 64 MB", kMostFontBytes, true},
        // LVGL fonts, known by their content: a C file that includes lvgl.h, a binary's header.
        FontProblem{"LvglCWithoutGlyphs", "#include \"lvgl/lvgl.h\"\nstatic const int x[] = {1};\n", 0,
                    "a damaged LVGL font: no glyph_dsc"},
        FontProblem{"LvglCRangeBeyondUnicode",
                    "#include \"lvgl.h\"\nglyph_dsc[] = {{.adv_w = 0}, {.adv_w = 81}};\n"
                    "cmaps[] = {{.range_start = 1114000, .range_length = 200, .glyph_id_start = 1,\n"
                    ".type = LV_FONT_FMT_TXT_CMAP_FORMAT0_TINY}};\n.line_height = 17,\n",
                    0, "a damaged LVGL font: a character range from U+10FF90 goes beyond Unicode"},
        FontProblem{"LvglBinaryCutShort", std::string("\x10\0\0\0headxxxxxxxx", 16), 0,
                    "a damaged LVGL font: a table ends before its data"}),
    [](const auto& testCase) { return testCase.param.name; });

// A packed font (PCF fonts come so) is read as what it unpacks to.
TEST_F(DeviceFitTest, APackedFontIsReadUnpacked) {
    const std::string packed = (dir / "Device12.bdf.gz").string();
    WriteGzip(packed, test::BdfFont(test::DeviceGlyphs()), 0);
    Font font(packed, 0, Rendering::kMonochrome);
    EXPECT_EQ(font.LineHeight(), 12);
    EXPECT_EQ(LineWidth(font, "Hallo Welt"), 50);
    EXPECT_FALSE(font.Has(U'ő'));
}

// Each file is opened once, however many lines name it and by whatever name: 500 lines of one font
// held 500 copies of it.
TEST_F(DeviceFitTest, AFontFileIsOpenedOnceHoweverManyLinesNameIt) {
    fs::create_symlink(device, dir / "link.bdf");
    const std::string otherName = (dir / "." / "Device12.bdf").string();
    std::vector<DeviceFont> lines = {
        {{}, device},        {{"de"}, otherName}, {{"fr"}, (dir / "link.bdf").string()},
        {{"el"}, greekFont}, {{"it"}, device},    {{"es"}, kerned}};
    for (int i = 0; i < 500; ++i) lines.push_back({{"en"}, device});
    ProjectSettings settings = WithFont(lines);
    settings.fontSize = 10;
    const DeviceFonts fonts(settings, {"en", "de", "fr", "el", "it", "es"});
    // The number of each language's font among those opened: three files, one object each.
    const std::size_t numbers[] = {0, 0, 0, 1, 0, 2};
    for (std::size_t language = 0; language < std::size(numbers); ++language)
        EXPECT_EQ(fonts.NumberOf(language), numbers[language]) << language;
    EXPECT_EQ(fonts.For(0)->Path(), device);
    EXPECT_EQ(fonts.For(3)->Path(), greekFont);
}

// A size that fixed-size fonts lack is refused where no scalable font takes it: it was meant for
// them. Beside a scalable font, the size is that font's, and a bitmap font keeps its own. Without
// a size, a note names the size each fixed-size font is measured at.
TEST_F(DeviceFitTest, ASizeNoFontHasIsRefusedWithTheSizesTheFontHas) {
    const std::string lvgl = (dir / "font.c").string();
    test::WriteFile(lvgl, LvglCFont(false));
    struct Case {
        std::vector<DeviceFont> fonts;
        unsigned size;
        std::string refused;  // the message; empty: taken
        std::vector<std::string> notes = {};
    };
    const Case cases[] = {
        {{{{}, device}}, 20, device + ": the font has no size of 20 px, only 12 px"},
        {{{{}, device}}, 12, ""},
        {{{{}, device}}, 0, "", {device + ": no size given, so the font is measured at 12 px"}},
        {{{{}, lvgl}}, 20, lvgl + ": the font has no size of 20 px, only 16 px"},
        {{{{}, lvgl}}, 16, ""},
        {{{{}, lvgl}, {{"de"}, device}},
         0,
         "",
         {lvgl + ": no size given, so the font is measured at 16 px",
          device + ": no size given, so the font is measured at 12 px"}},
        {{{{}, lvgl}, {{"de"}, device}}, 12, lvgl + ": the font has no size of 12 px, only 16 px"},
        {{{{}, device}, {{"de"}, kerned}}, 20, ""},
    };
    for (const Case& c : cases) {
        ProjectSettings settings = WithFont(c.fonts);
        settings.fontSize = static_cast<std::uint16_t>(c.size);
        try {
            const DeviceFonts fonts(settings, {"en", "de"});
            EXPECT_EQ(c.refused, "") << c.size;
            EXPECT_EQ(fonts.Notes(), c.notes) << c.size;
        } catch (const FontError& error) {
            EXPECT_EQ(error.what(), c.refused);
        }
    }
}

// ---- Glyph sets

TEST(GlyphSets, NeighboursJoinAndEachFormWritesThem) {
    GlyphCollector collector;
    collector.Add("Größe\tÄÖ");
    for (char32_t c = 0x20; c <= 0x7E; ++c) collector.Add(c);
    collector.Add("Ü\n\x7F");
    const GlyphSet set = collector.Take();
    EXPECT_EQ(set.Count(), 95u + 5u);  // ö, ß, Ä, Ö, Ü beside ASCII; no tab, line feed or DEL
    EXPECT_EQ(LvFontConvRanges(set), "0x20-0x7E,0xC4,0xD6,0xDC,0xDF,0xF6");
    EXPECT_EQ(U8g2Map(set), "$20-$7E,$C4,$D6,$DC,$DF,$F6");
    EXPECT_TRUE(set.Contains(U'ß'));
    EXPECT_FALSE(set.Contains(U'\t'));
    EXPECT_FALSE(set.Contains(U'ü'));
    EXPECT_EQ(collector.Take().Count(), 0u);  // taken: empty again

    // Adjacent and overlapping ranges of two sets join into one.
    const GlyphSet abc({{U'A', U'C'}, {U'x', U'x'}});
    const GlyphSet d({{U'D', U'D'}, {U'w', U'y'}});
    EXPECT_EQ(LvFontConvRanges(abc.Union(d)), "0x41-0x44,0x77-0x79");
    EXPECT_EQ(Symbols(abc.Union(d)), "ABCDwxy");
    // lv_font_conv takes a set starting with '-' for an option: the hyphen goes last, unless alone.
    EXPECT_EQ(Symbols(GlyphSet({{U'-', U'/'}, {U'A', U'A'}})), "./A-");
    EXPECT_EQ(Symbols(GlyphSet({{U'-', U'-'}, {U'ä', U'ä'}})), "ä-");
    EXPECT_EQ(Symbols(GlyphSet({{U'-', U'-'}})), "-");
    EXPECT_EQ(Symbols(GlyphSet({{U',', U'-'}})), ",-");
    EXPECT_EQ(LvFontConvRanges(GlyphSet()), "");
}

// ---- The check

TEST_F(DeviceFitTest, AMissingGlyphIsNamedOncePerCharacterAndLanguageWithItsFurtherCells) {
    const Rows rows = {{"ID", "English", "Magyar", "Deutsch"}, {"", "en", "hu", "de"},
                       {"A", "Size", "Méret ő", "Größe"},      {"B", "Long", "Hosszú", "Lang"},
                       {"C", "Open", "Nyitő", "Öffnen"},       {"D", "Close", "Zárő", "Schließen"}};
    const CheckReport report = Check(rows, WithFont({{{}, device}}));
    EXPECT_EQ(Lines(report),
              (std::vector<std::string>{"t.csv:C3: error: missing-glyph: 'é' (U+00E9) is not in " + device,
                                        "t.csv:C3: error: missing-glyph: 'ő' (U+0151) is not in " + device +
                                            "; 2 more cells of hu use it",
                                        "t.csv:C4: error: missing-glyph: 'ú' (U+00FA) is not in " + device,
                                        "t.csv:C6: error: missing-glyph: 'á' (U+00E1) is not in " + device}));
    EXPECT_EQ(report.findings[0].code, kGlyphMissing);
    EXPECT_EQ(report.findings[1].language, "hu");
    // The figures count each language's characters.
    ASSERT_EQ(report.languages.size(), 3u);
    EXPECT_EQ(report.languages[0].glyphs.Count(), 13u);
    EXPECT_EQ(Symbols(report.languages[0].glyphs), "CLOSegilnopsz");
}

TEST_F(DeviceFitTest, EachLanguageIsCheckedInItsOwnFont) {
    const Rows rows = {{"ID", "English", "Ελληνικά"},
                       {"", "en", "el"},
                       {"A", "Omega", "Ωμέγα"},
                       {"B", "Only English", ""},
                       {"C", "Beta", "Βήτα ä"}};
    const CheckReport report = Check(rows, WithFont({{{"el"}, greekFont}, {{}, device}}));
    // The default string that Greek takes for B is drawn in the Greek font: it is checked there,
    // in the Greek language's name, at the cell it comes from.
    EXPECT_EQ(Lines(report), (std::vector<std::string>{
                                 "t.csv:B4: error: missing-glyph: 'O' (U+004F) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'n' (U+006E) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'l' (U+006C) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'y' (U+0079) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'E' (U+0045) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'g' (U+0067) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'i' (U+0069) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 's' (U+0073) is not in " + greekFont,
                                 "t.csv:B4: error: missing-glyph: 'h' (U+0068) is not in " + greekFont,
                                 "t.csv:C5: error: missing-glyph: 'ä' (U+00E4) is not in " + greekFont}));
    for (const Finding& finding : report.findings) EXPECT_EQ(finding.language, "el");
    // Without a font of their own, languages take the font for the rest; without any font, no check.
    EXPECT_EQ(Check(rows, WithFont({{{}, device}})).Errors(), 8u);  // Ω μ έ γ α Β ή τ
    EXPECT_EQ(Check(rows, WithFont({{{"el"}, greekFont}})).Errors(), 10u);
}

TEST_F(DeviceFitTest, AStringWiderThanItsLimitIsNamedWithItsWidthAndOverflow) {
    test::WriteFile(dir / "limits.csv",
                    "id,width,lines\n"
                    "TITLE,40\n"
                    "HELP,30,2\n"
                    "GONE,50\n");
    const Rows rows = {{"ID", "English", "Deutsch"},     {"", "en", "de"},
                       {"TITLE", "Hallo Welt", "Hallo"},  // 50 px: 10 over; Hallo 24 fits
                       {"HELP", "Help\nme", ""},          // 21 and 17 px: fits in two lines
                       {"MORE", "a\nb\nc", "Weltweit"},   // only the maximum width: 8+6+3+6+8+6+3+6 = 46
                       {"WIDE", "one\ntwo", "ok"}};
    ProjectSettings settings = WithFont({{{}, device}});
    settings.limits = (dir / "limits.csv").string();
    settings.maxWidth = 45;
    const CheckReport report = Check(rows, settings);
    const std::string limits = (dir / "limits.csv").string();
    EXPECT_EQ(Lines(report),
              (std::vector<std::string>{
                  "t.csv:B3: error: too-wide: the text is 50 px wide in " + device +
                      ", 10 px more than the 40 px it may take",
                  "t.csv:C5: error: too-wide: the text is 46 px wide in " + device +
                      ", 1 px more than the 45 px it may take",
                  limits + ":4: warning: limit-unknown-id: the table has no string with the id 'GONE'"}));
    EXPECT_EQ(report.findings[0].code, kTooWide);
    EXPECT_EQ(report.findings[2].file, limits);
    EXPECT_EQ(report.findings[2].row, 4u);

    // Each line alone, and their number.
    test::WriteFile(dir / "limits.csv", "HELP,20,1\n");
    settings.maxWidth = 0;
    EXPECT_EQ(
        Lines(Check(rows, settings)),
        (std::vector<std::string>{"t.csv:B4: error: too-wide: line 1 is 21 px wide in " + device +
                                      ", 1 px more than the 20 px it may take",
                                  "t.csv:B4: error: too-many-lines: the text has 2 lines; it may take 1"}));
}

// A default string that does not fit is one problem, not one per language that takes it.
TEST_F(DeviceFitTest, ADefaultStringIsJudgedOncePerFont) {
    const Rows rows = {{"ID", "English", "Deutsch", "Français"},
                       {"", "en", "de", "fr"},
                       {"TITLE", "Hallo Welt", "", "[USE_DEFAULT]"}};
    ProjectSettings settings = WithFont({{{}, device}});
    settings.maxWidth = 40;
    EXPECT_EQ(Lines(Check(rows, settings)),
              (std::vector<std::string>{"t.csv:B3: error: too-wide: the text is 50 px wide in " + device +
                                        ", 10 px more than the 40 px it may take"}));
    // Drawn in another font, it is judged there too, in that language's name.
    settings.fonts.push_back({{"fr"}, kerned});
    settings.fontSize = 10;
    test::WriteFile(kerned, test::TrueTypeFont({{U'H', 600},
                                                {U'a', 600},
                                                {U'l', 300},
                                                {U'o', 600},
                                                {U' ', 300},
                                                {U'W', 800},
                                                {U'e', 600},
                                                {U't', 600}},
                                               {}));
    const CheckReport report = Check(rows, settings);
    ASSERT_EQ(report.findings.size(), 2u);
    EXPECT_EQ(report.findings[1].language, "fr");
    EXPECT_EQ(report.findings[1].message,
              "the text is 50 px wide in " + kerned + ", 10 px more than the 40 px it may take");
}

struct LimitsProblem {
    const char* name;
    std::string content;
    std::string message;  // after the path
};
void PrintTo(const LimitsProblem& c, std::ostream* os) { *os << c.name; }

class LimitsProblems : public testing::TestWithParam<LimitsProblem> {};

TEST_P(LimitsProblems, NameTheFileRowAndColumn) {
    test::TempDir dir;
    const std::string path = (dir / "limits.csv").string();
    test::WriteFile(path, GetParam().content);
    try {
        WidthLimits limits(path, 0);
        FAIL() << "read";
    } catch (const Error& error) {
        EXPECT_EQ(error.what(), path + GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, LimitsProblems,
    testing::Values(
        LimitsProblem{"WidthNoNumber", "id,width\nA,12x\n", ": row 2, column 2: '12x' is no width in pixels"},
        LimitsProblem{"NegativeWidth", "A,40\nB,-4\n", ": row 2, column 2: '-4' is no width in pixels"},
        LimitsProblem{"NoLines", "A,40,0\n", ": row 1, column 3: '0' is no number of lines"},
        // Beyond what any screen has, and beyond 32 bits, a limit is refused where it stands.
        LimitsProblem{
            "WiderThanAnyScreen", "A,40\nB,100001\n",
            ": row 2, column 2: 100001 px is wider than any screen: a limit takes at most 100000 px"},
        LimitsProblem{
            "WiderThan32Bits", "A,4294967296\n",
            ": row 1, column 2: 4294967296 px is wider than any screen: a limit takes at most 100000 "
            "px"},
        LimitsProblem{"MoreLinesThanAnyScreen", "A,40,10001\n",
                      ": row 1, column 3: 10001 lines are more than any screen shows: a limit takes at most "
                      "10000"},
        LimitsProblem{"ControlCharactersQuoted", "A,40\nB,4\x1b[2J\n",
                      ": row 2, column 2: '4\\u001b[2J' is no width in pixels"},
        LimitsProblem{"EmptyId", "A,40\n,30\n", ": row 2, column 1: the string id is empty"},
        LimitsProblem{"Twice", "A,40\nB,4\nA,30\n",
                      ": row 3, column 1: the string id 'A' has a limit in row 1 already"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST_F(DeviceFitTest, ABuildRefusesWhatDoesNotShowAndWritesNothing) {
    const Rows rows = {{"ID", "English"}, {"", "en"}, {"A", "ok"}, {"B", "Hallo Welt"}};
    ProjectSettings settings = WithFont({{{}, device}});
    settings.maxWidth = 40;
    LoadedTable table = test::MakeLoadedTable(rows, {0});
    test::RecordingHost host;
    EXPECT_EQ(BuildLexicorn(host, table, settings, {dir.path(), 1}).kind, BuildOutcome::Kind::kFailed);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0], "Text too wide for the device!\r\rthe text is 50 px wide in " + device +
                                  ", 10 px more than the 40 px it may take\rCell: B4");
    EXPECT_FALSE(std::filesystem::exists(dir / "Lexicorn.bin"));

    LoadedTable again = test::MakeLoadedTable({{"ID", "English"}, {"", "en"}, {"A", "ő"}}, {0});
    test::RecordingHost second;
    settings.maxWidth = 0;
    EXPECT_EQ(BuildLexicorn(second, again, settings, {dir.path(), 1}).kind, BuildOutcome::Kind::kFailed);
    EXPECT_EQ(second.errors.at(0),
              "The device's font lacks a character!\r\r'ő' (U+0151) is not in " + device + "\rCell: B3");
}

// ---- The preview

TEST_F(DeviceFitTest, ThePreviewDrawsEveryStringWithItsLimitAndWhatDoesNotShowInRed) {
    const Rows rows = {{"ID", "English", "Deutsch"},
                       {"", "en", "de"},
                       {"A", "Hallo", "Hallo Welt"},  // de: 50 px, 10 over
                       {"B", "\xC5\x91", "ok"}};      // en: not in the font
    ProjectSettings settings = WithFont({{{}, device}});
    settings.maxWidth = 40;
    LoadedTable table = test::MakeLoadedTable(rows, {});
    table.tableReader->Open();
    const Preview preview = RenderPreview(table, settings);
    EXPECT_EQ(preview.report.Errors(), 2u);

    // Columns: the ids (6 px), en (the limit and a pixel for its line), de (its widest, 50 px), each
    // with 4 px either side and a pixel of grid; rows of the font's 12 px, the same way.
    test::TempDir out;
    SavePng(preview.picture, out / "preview.png");
    const test::PngImage png = test::ReadPng(out / "preview.png");
    EXPECT_EQ(png.width, 15 + 50 + 59);
    EXPECT_EQ(png.height, 3 * 21);
    ASSERT_EQ(preview.cells.size(), 4u);
    const auto box = [&](std::size_t row, std::size_t column) { return preview.CellAt(row, column)->box; };
    EXPECT_EQ(box(3, 2), (Box{15, 21, 50, 21}));
    EXPECT_EQ(box(4, 3), (Box{65, 42, 59, 21}));
    EXPECT_EQ(preview.CellAt(5, 2), nullptr);

    const auto redPixels = [&](const Box& cell) {
        int count = 0;
        for (int y = cell.y; y < cell.y + cell.height; ++y)
            for (int x = cell.x; x < cell.x + cell.width; ++x)
                count += png.IsColour(x, y, kMarkColour.red, kMarkColour.green, kMarkColour.blue);
        return count;
    };
    const auto marked = [&](std::size_t row, std::size_t column) {
        return preview.CellAt(row, column)->marked;
    };
    EXPECT_TRUE(marked(3, 3));
    EXPECT_TRUE(marked(4, 2));
    EXPECT_FALSE(marked(3, 2));
    EXPECT_FALSE(marked(4, 3));
    EXPECT_EQ(redPixels(box(3, 2)), 0);
    EXPECT_EQ(redPixels(box(4, 3)), 0);
    // "Hallo Welt": the glyphs that end past 40 px (e at 35, l at 41, t at 44) are red, W before them not.
    const Box overflow = box(3, 3);
    const int baseline = overflow.y + 4 + 10;
    EXPECT_TRUE(png.IsColour(overflow.x + 4 + 44, baseline - 1, 204, 0, 0));
    EXPECT_TRUE(png.IsColour(overflow.x + 4 + 33, baseline - 1, 0, 0, 0));  // W, at 27 to 35
    EXPECT_GT(redPixels(overflow), 0);
    // The limit as a line down the cell, and the missing ő as a red box.
    EXPECT_TRUE(png.IsColour(box(3, 2).x + 4 + 40, box(3, 2).y + 1, kLimitColour.red, kLimitColour.green,
                             kLimitColour.blue));
    const Box missing = box(4, 2);
    EXPECT_TRUE(png.IsColour(missing.x + 4, missing.y + 4 + 1, 204, 0, 0));
    EXPECT_TRUE(png.IsColour(missing.x + 2, missing.y + 2, kMarkedCellColour.red, kMarkedCellColour.green,
                             kMarkedCellColour.blue));

    const std::string html = PreviewHtml(preview, "t.csv");
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_NE(html.find("<img src=\"data:image/png;base64,iVBORw0KGgo"),
              std::string::npos);  // the PNG signature
    EXPECT_NE(html.find("<td>C3</td><td>de</td><td>too-wide</td><td>the text is 50 px wide"),
              std::string::npos);
    EXPECT_NE(html.find("<td>B4</td><td>en</td><td>missing-glyph</td>"), std::string::npos);
}

// 0 is no limit, in the limits table as in --max-width: a string given a width of 0 is free of the
// common width, and a number of lines beside the 0 still counts.
TEST_F(DeviceFitTest, AWidthOfZeroIsNoLimit) {
    test::WriteFile(dir / "limits.csv", "FREE,0\nONE_LINE,0,1\n");
    ProjectSettings settings = WithFont({{{}, device}});
    settings.limits = (dir / "limits.csv").string();
    settings.maxWidth = 10;
    EXPECT_EQ(
        Lines(Check({{"ID", "English"},
                     {"", "en"},
                     {"FREE", "Hallo Welt"},
                     {"ONE_LINE", "Hallo\nWelt"},
                     {"OTHER", "Hallo"}},
                    settings)),
        (std::vector<std::string>{"t.csv:B4: error: too-many-lines: the text has 2 lines; it may take 1",
                                  "t.csv:B5: error: too-wide: the text is 24 px wide in " + device +
                                      ", 14 px more than the 10 px it may take"}));
}

// Widths count in 64 bits: a line of a font with wide advances passes what an int holds and is
// measured as it is, in the check and in the preview, which refuses to draw it.
TEST_F(DeviceFitTest, WidthsBeyondWhatAnIntHoldsAreMeasuredAsTheyAre) {
    const std::string wide = (dir / "Wide.ttf").string();
    test::WriteFile(wide, test::TrueTypeFont({{U'W', 65535}}, {}));
    ProjectSettings settings = WithFont({{{}, wide}});
    settings.fontSize = 1000;  // a unit a pixel: each W is 65535 px
    settings.maxWidth = 100;
    const Rows rows = {{"ID", "English"}, {"", "en"}, {"A", std::string(40000, 'W')}};
    const std::vector<std::string> lines = Lines(Check(rows, settings));
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "t.csv:B3: error: too-wide: the text is 2621400000 px wide in " + wide +
                            ", 2621399900 px more than the 100 px it may take"),
              lines.end())
        << testing::PrintToString(lines);
    LoadedTable table = test::MakeLoadedTable(rows, {});
    table.tableReader->Open();
    try {
        RenderPreview(table, settings);
        FAIL() << "drawn";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("more than a picture of 67 million"), std::string::npos)
            << error.what();
    }
}

// A picture of too many pixels is refused before it takes the memory.
TEST_F(DeviceFitTest, APreviewTooLargeToHoldIsRefused) {
    Rows rows = {{"ID", "English"}, {"", "en"}};
    for (int i = 0; i < 200; ++i) rows.push_back({fmt::format("S{}", i), std::string(80, 'W')});
    ProjectSettings settings = WithFont({{{}, test::kDejaVuSans}});
    settings.fontSize = 300;
    LoadedTable table = test::MakeLoadedTable(rows, {});
    table.tableReader->Open();
    try {
        RenderPreview(table, settings);
        FAIL() << "drawn";
    } catch (const std::runtime_error& error) {
        EXPECT_TRUE(
            std::string(error.what()).find("more than a picture of 67 million; choose fewer languages") !=
            std::string::npos)
            << error.what();
    }
}

TEST(PreviewHtml, EscapesWhatTheTableHolds) {
    Preview preview;
    preview.report.findings.push_back(
        {Finding::Severity::kWarning, "whitespace-mismatch", {}, 3, 2, "de", "<b> & \"x\"", kSuccess, {}});
    const std::string html = PreviewHtml(preview, "a<b>.csv");
    EXPECT_NE(html.find("<title>a&lt;b&gt;.csv: as the device shows it</title>"), std::string::npos);
    EXPECT_NE(html.find("<td>&lt;b&gt; &amp; &quot;x&quot;</td>"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
}

}  // namespace
}  // namespace lexicorn
