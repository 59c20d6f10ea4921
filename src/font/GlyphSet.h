#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lexicorn {

/// The characters some strings draw, as ranges of code points: what a font converter is told to
/// include. Control characters (line breaks among them) are drawn by no font and are left out.
class GlyphSet {
  public:
    /// First and last code point of each range, in order; neighbours are joined.
    using Ranges = std::vector<std::pair<char32_t, char32_t>>;

    GlyphSet() = default;
    explicit GlyphSet(Ranges ranges) : ranges_(std::move(ranges)) {}

    const Ranges& GetRanges() const { return ranges_; }
    /// How many characters.
    std::size_t Count() const;
    bool Contains(char32_t c) const;
    /// The characters of both.
    GlyphSet Union(const GlyphSet& other) const;
    bool operator==(const GlyphSet&) const = default;

  private:
    Ranges ranges_;
};

/// Collects the characters of many strings, fast: one bit per code point.
class GlyphCollector {
  public:
    GlyphCollector();
    /// Adds every drawn character of the (valid) UTF-8 `text`.
    void Add(std::string_view text);
    void Add(char32_t c) { bits_[c >> 6] |= std::uint64_t{1} << (c & 63); }
    /// What was collected; the collector is empty again.
    GlyphSet Take();

  private:
    std::vector<std::uint64_t> bits_;
};

/// "0x20-0x7E,0xC4,0xD6": the form lv_font_conv's --range takes.
std::string LvFontConvRanges(const GlyphSet& glyphs);
/// "$20-$7E,$C4,$D6": the form of u8g2's bdfconv maps (-m, and the map files of -M).
std::string U8g2Map(const GlyphSet& glyphs);
/// The characters themselves in UTF-8, as lv_font_conv's --symbols takes them: in code point order,
/// but never starting with '-'.
std::string Symbols(const GlyphSet& glyphs);

}  // namespace lexicorn
