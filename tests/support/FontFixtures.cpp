#include "support/FontFixtures.h"

#include <fmt/format.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>

namespace lexicorn::test {
namespace {

// Big-endian words of a TrueType file.
struct Bytes {
    std::string data;
    void U16(int value) {
        data += static_cast<char>((value >> 8) & 0xFF);
        data += static_cast<char>(value & 0xFF);
    }
    void U32(std::uint32_t value) {
        U16(static_cast<int>(value >> 16));
        U16(static_cast<int>(value & 0xFFFF));
    }
};

std::uint32_t TableChecksum(std::string data) {
    data.resize((data.size() + 3) / 4 * 4, '\0');
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < data.size(); i += 4)
        sum += static_cast<std::uint32_t>(
            static_cast<unsigned char>(data[i]) << 24 | static_cast<unsigned char>(data[i + 1]) << 16 |
            static_cast<unsigned char>(data[i + 2]) << 8 | static_cast<unsigned char>(data[i + 3]));
    return sum;
}

// The largest power of two not above `n`, and its exponent: the search fields of sfnt tables.
std::pair<int, int> PowerOfTwoBelow(int n) {
    int power = 1, exponent = 0;
    while (power * 2 <= n) power *= 2, ++exponent;
    return {power, exponent};
}

}  // namespace

std::string BdfFont(const std::vector<TestGlyph>& glyphs, int pixelSize) {
    const int ascent = pixelSize - 2;
    std::string text = fmt::format(
        "STARTFONT 2.1\nFONT -Test-Device-Medium-R-Normal--{0}-{1}-72-72-P-60-ISO10646-1\nSIZE {0} 72 72\n"
        "FONTBOUNDINGBOX 16 {0} 0 -2\nSTARTPROPERTIES 5\nPIXEL_SIZE {0}\nFONT_ASCENT {2}\nFONT_DESCENT 2\n"
        "CHARSET_REGISTRY \"ISO10646\"\nCHARSET_ENCODING \"1\"\nENDPROPERTIES\nCHARS {3}\n",
        pixelSize, pixelSize * 10, ascent, glyphs.size());
    for (const TestGlyph& glyph : glyphs) {
        const int width = std::max(glyph.advance - 1, 1);
        text += fmt::format(
            "STARTCHAR U+{0:04X}\nENCODING {0}\nSWIDTH {1} 0\nDWIDTH {2} 0\nBBX {3} {4} 0 0\nBITMAP\n",
            static_cast<std::uint32_t>(glyph.character), glyph.advance * 1000 / pixelSize, glyph.advance,
            width, kBlockHeight);
        // Each row as whole bytes, the block's pixels set from the left.
        const int bytes = (width + 7) / 8;
        std::string row;
        for (int byte = 0; byte < bytes; ++byte) {
            const int bits = std::min(8, width - byte * 8);
            row += fmt::format("{:02X}", (0xFF00 >> bits) & 0xFF);
        }
        for (int y = 0; y < kBlockHeight; ++y) text += row + "\n";
        text += "ENDCHAR\n";
    }
    return text + "ENDFONT\n";
}

std::vector<TestGlyph> DeviceGlyphs() {
    std::vector<TestGlyph> glyphs;
    const auto advance = [](char32_t c) {
        if (c == U'i' || c == U'l' || c == U'.' || c == U' ') return 3;
        if (c == U'm' || c == U'w' || c == U'M' || c == U'W') return 8;
        return 6;
    };
    for (char32_t c = 0x20; c < 0x7F; ++c) glyphs.push_back({c, advance(c)});
    for (char32_t c : std::u32string(U"ÄÖÜäöüß")) glyphs.push_back({c, advance(c)});
    return glyphs;
}

std::string TrueTypeFont(const std::vector<TestGlyph>& glyphs, const std::vector<KerningPair>& kerning) {
    const int count = static_cast<int>(glyphs.size()) + 1;  // glyph 0 is the box for missing ones
    std::map<char32_t, int> glyphOf;
    for (std::size_t i = 0; i < glyphs.size(); ++i) glyphOf[glyphs[i].character] = static_cast<int>(i) + 1;

    // Every glyph but 0 is a block of whole pixels at 10 pixels an em: from 100 units to 100 short
    // of its advance, 700 units high, so that hinting has nothing to move.
    Bytes glyf, loca, hmtx;
    loca.U16(0), loca.U16(0);  // glyph 0 is empty
    hmtx.U16(600), hmtx.U16(0);
    for (const TestGlyph& glyph : glyphs) {
        const int right = std::max(glyph.advance - 100, 200);
        glyf.U16(1), glyf.U16(100), glyf.U16(0), glyf.U16(right), glyf.U16(700);  // contours, box
        glyf.U16(3), glyf.U16(0);                                                 // last point, no code
        for (int i = 0; i < 4; ++i) glyf.data += '\x01';                          // on the curve, words
        glyf.U16(100), glyf.U16(0), glyf.U16(right - 100), glyf.U16(0);           // x deltas
        glyf.U16(0), glyf.U16(700), glyf.U16(0), glyf.U16(-700 & 0xFFFF);         // y deltas
        loca.U16(static_cast<int>(glyf.data.size() / 2));
        hmtx.U16(glyph.advance), hmtx.U16(100);
    }

    Bytes head;
    head.U32(0x00010000), head.U32(0x00010000), head.U32(0), head.U32(0x5F0F3CF5);
    head.U16(0x000B), head.U16(1000);
    for (int i = 0; i < 8; ++i) head.U16(0);  // created, modified
    head.U16(0), head.U16(0), head.U16(1000), head.U16(1000);
    head.U16(0), head.U16(8), head.U16(2), head.U16(0), head.U16(0);

    Bytes hhea;
    hhea.U32(0x00010000), hhea.U16(800), hhea.U16(-200 & 0xFFFF), hhea.U16(0), hhea.U16(1000);
    hhea.U16(0), hhea.U16(0), hhea.U16(1000), hhea.U16(1), hhea.U16(0), hhea.U16(0);
    for (int i = 0; i < 5; ++i) hhea.U16(0);
    hhea.U16(count);

    Bytes maxp;
    maxp.U32(0x00010000), maxp.U16(count), maxp.U16(4), maxp.U16(1), maxp.U16(0), maxp.U16(0), maxp.U16(2);
    for (int i = 0; i < 8; ++i) maxp.U16(0);

    // Format 4: one segment per character, then the end segment.
    const int segments = static_cast<int>(glyphOf.size()) + 1;
    const auto [searchRange, selector] = PowerOfTwoBelow(segments);
    Bytes cmap;
    cmap.U16(0), cmap.U16(1), cmap.U16(3), cmap.U16(1), cmap.U32(12);
    cmap.U16(4), cmap.U16(16 + 8 * segments), cmap.U16(0), cmap.U16(2 * segments), cmap.U16(2 * searchRange);
    cmap.U16(selector), cmap.U16(2 * segments - 2 * searchRange);
    for (const auto& [c, glyph] : glyphOf) cmap.U16(static_cast<int>(c));
    cmap.U16(0xFFFF), cmap.U16(0);
    for (const auto& [c, glyph] : glyphOf) cmap.U16(static_cast<int>(c));
    cmap.U16(0xFFFF);
    for (const auto& [c, glyph] : glyphOf) cmap.U16((glyph - static_cast<int>(c)) & 0xFFFF);
    cmap.U16(1);
    for (int i = 0; i < segments; ++i) cmap.U16(0);

    std::vector<std::tuple<int, int, int>> pairs;
    for (const KerningPair& pair : kerning)
        pairs.emplace_back(glyphOf.at(pair.left), glyphOf.at(pair.right), pair.value);
    std::sort(pairs.begin(), pairs.end());
    const auto [pairRange, pairSelector] = PowerOfTwoBelow(std::max<int>(1, static_cast<int>(pairs.size())));
    Bytes kern;
    kern.U16(0), kern.U16(1), kern.U16(0), kern.U16(14 + 6 * static_cast<int>(pairs.size())), kern.U16(1);
    kern.U16(static_cast<int>(pairs.size())), kern.U16(6 * pairRange), kern.U16(pairSelector);
    kern.U16(6 * static_cast<int>(pairs.size()) - 6 * pairRange);
    for (const auto& [left, right, value] : pairs) kern.U16(left), kern.U16(right), kern.U16(value & 0xFFFF);

    const std::vector<std::pair<std::string, std::string>> tables = {
        {"cmap", cmap.data}, {"glyf", glyf.data}, {"head", head.data}, {"hhea", hhea.data},
        {"hmtx", hmtx.data}, {"kern", kern.data}, {"loca", loca.data}, {"maxp", maxp.data}};
    const int tableCount = static_cast<int>(tables.size());
    const auto [tableRange, tableSelector] = PowerOfTwoBelow(tableCount);
    Bytes file;
    file.U32(0x00010000), file.U16(tableCount), file.U16(16 * tableRange), file.U16(tableSelector);
    file.U16(16 * tableCount - 16 * tableRange);
    std::size_t offset = 12 + 16 * tables.size();
    std::string body;
    for (const auto& [tag, data] : tables) {
        file.data += tag;
        file.U32(TableChecksum(data)), file.U32(static_cast<std::uint32_t>(offset));
        file.U32(static_cast<std::uint32_t>(data.size()));
        std::string padded = data;
        padded.resize((data.size() + 3) / 4 * 4, '\0');
        body += padded;
        offset += padded.size();
    }
    return file.data + body;
}

bool PngImage::IsColour(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) const {
    const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return pixel[0] == red && pixel[1] == green && pixel[2] == blue;
}

PngImage ReadPng(const std::filesystem::path& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.string().c_str(), "rb"), &std::fclose);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    PngImage image;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throw std::runtime_error(path.string() + ": no PNG that libpng reads");
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    const bool rgb = png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8;
    image.width = static_cast<int>(png_get_image_width(png, info));
    image.height = static_cast<int>(png_get_image_height(png, info));
    if (rgb) {
        image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
        for (int y = 0; y < image.height; ++y)
            png_read_row(png, image.rgb.data() + static_cast<std::size_t>(y) * image.width * 3, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!rgb) throw std::runtime_error(path.string() + ": not an 8-bit RGB PNG");
    return image;
}

}  // namespace lexicorn::test
