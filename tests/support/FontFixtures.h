#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Fonts and pictures the tests make and read themselves.
namespace lexicorn::test {

/// The font every Debian system with fonts-dejavu-core has.
inline constexpr const char* kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

/// One glyph of a test font: its character and advance in pixels. It draws a solid block one pixel
/// narrower than its advance, from the baseline up to `kBlockHeight`.
struct TestGlyph {
    char32_t character;
    int advance;
};
inline constexpr int kBlockHeight = 7;

/// A BDF font (text) of `pixelSize` with ascent `pixelSize - 2` and descent 2.
std::string BdfFont(const std::vector<TestGlyph>& glyphs, int pixelSize = 12);

/// "Device12": the printable ASCII characters and ÄÖÜäöüß but not ő, at 12 pixels: i, l, '.', and
/// the space advance 3, m, w, M and W 8, everything else 6.
std::vector<TestGlyph> DeviceGlyphs();

/// A TrueType font of 1000 units an em with a block glyph for each character (advances in units)
/// and kerning pairs; at 10 pixels, 100 units are one pixel.
struct KerningPair {
    char32_t left, right;
    int value;  ///< units, negative: closer
};
std::string TrueTypeFont(const std::vector<TestGlyph>& glyphs, const std::vector<KerningPair>& kerning);

/// A PNG file read back: RGB, three bytes a pixel, rows from the top.
struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    bool IsColour(int x, int y, std::uint8_t red, std::uint8_t green, std::uint8_t blue) const;
};
/// Throws when the file is no 8-bit RGB PNG.
PngImage ReadPng(const std::filesystem::path& path);

}  // namespace lexicorn::test
