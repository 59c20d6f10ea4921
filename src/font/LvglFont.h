#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

// The fonts an LVGL firmware compiles, as lv_font_conv writes them: its C file (--format lvgl) and
// its binary (--format bin). They are the device's own fonts: which characters exist, how far
// each glyph advances and how pairs kern are read from them, not from the font they came from.
namespace lexicorn {

/// One LVGL font at the one size it was converted at. Advances and kerning are kept as LVGL keeps
/// them: in sixteenths of a pixel.
struct LvglFont {
    struct Glyph {
        std::uint32_t advance = 0;  ///< 1/16 px
        int left = 0;               ///< the box's position from the pen, and its size: pixels
        int bottom = 0;             ///< from the baseline up
        int width = 0;
        int rows = 0;
        std::uint64_t bits = 0;  ///< where its pixels start in `bitmaps`, in bits
    };

    unsigned pixelSize = 0;  ///< as converted; 0 where the file does not say
    int lineHeight = 0;
    int baseLine = 0;  ///< from the bottom of the line up to the baseline
    unsigned bitsPerPixel = 1;
    bool compressed = false;
    std::vector<Glyph> glyphs;  ///< by glyph id; id 0 is no glyph
    std::vector<std::uint8_t> bitmaps;
    /// Code point and glyph id of each character, in code point order.
    std::vector<std::pair<char32_t, std::uint32_t>> characters;

    /// Kerning in 1/16 px before the scale: by pairs of glyph ids, or by the classes of the left
    /// and right glyph (class 0: none).
    std::unordered_map<std::uint32_t, std::int8_t> kerningPairs;
    std::vector<std::uint8_t> leftClasses, rightClasses;
    unsigned rightClassCount = 0;
    std::vector<std::int8_t> classKerning;
    std::uint32_t kerningScale = 16;  ///< 12.4 fixed point

    /// The glyph id of a character; 0 when the font lacks it.
    std::uint32_t IdOf(char32_t c) const;
    bool HasKerning() const { return !kerningPairs.empty() || !classKerning.empty(); }
    /// The kerning between two glyphs in 1/16 px, scaled.
    int Kerning(std::uint32_t left, std::uint32_t right) const;
};

/// The LVGL font in `bytes` (the file at `path`), whose start LooksLikeLvglFont. Throws FontError
/// naming the file for one that is damaged.
LvglFont ReadLvglFont(const std::string& path, std::span<const std::uint8_t> bytes);

/// Whether the first bytes of a file show an LVGL font: a binary's header table, or a C file that
/// includes lvgl.h.
bool LooksLikeLvglFont(std::span<const std::uint8_t> start);

}  // namespace lexicorn
