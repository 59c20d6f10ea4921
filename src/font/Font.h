#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/Error.h"
#include "base/Unicode.h"
#include "font/LvglFont.h"

namespace lexicorn {

/// A font file that cannot be used as a device font: the message names the file and the reason.
class FontError : public Error {
  public:
    explicit FontError(const std::string& message) : Error(kCannotOpenFile, message) {}
};

/// The largest font file read, and the most a packed font may unpack to: the largest fonts of
/// Chinese, Japanese and Korean are about 20 MB. It bounds what a hostile file can cost.
inline constexpr std::uint64_t kMostFontBytes = std::uint64_t{64} << 20;

/// How the device turns a glyph into pixels: one bit a pixel, or shades of coverage. Hinting, and so
/// the advances, follow it.
enum class Rendering : std::uint8_t { kMonochrome = 0, kAntiAliased = 1 };

/// Whether a character puts something on the screen. Control characters (line breaks among them)
/// do not, so a font needs no glyph for them and they take no room.
constexpr bool IsDrawn(char32_t c) { return c >= 0x20 && !(c >= 0x7F && c <= 0x9F); }

/// The pixels of one glyph: coverage from 0 (none) to 255 (full), row by row from the top.
struct GlyphImage {
    int left = 0;  ///< from the pen position to its first column
    int top = 0;   ///< from the baseline up to its first row
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage;
};

/// A device font at one pixel size: TrueType, OpenType, BDF and PCF read by FreeType, or a font
/// lv_font_conv wrote for LVGL (its C file or its binary). Text is measured as embedded renderers
/// draw it: every character's advance in whole pixels plus the kerning of each pair, with no
/// shaping; an LVGL font by LVGL's own rule (see LvglAdvance). Advances and kerning are looked up
/// once per character and pair and kept.
class Font {
  public:
    /// Opens the font at `path` at `pixelSize`, which a scalable font needs. A bitmap font keeps its
    /// own size (`pixelSize` where it holds that one among several). Throws FontError.
    Font(const std::string& path, unsigned pixelSize, Rendering rendering);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& Path() const { return path_; }
    Rendering GetRendering() const { return rendering_; }
    /// From the baseline up to the top of the tallest glyph, and the distance of two lines: pixels.
    int Ascent() const { return ascent_; }
    int LineHeight() const { return lineHeight_; }
    /// Whether the font draws any size; else the sizes it has, in pixels (none known: an LVGL C
    /// font that does not say).
    bool Scalable() const { return scalable_; }
    const std::vector<unsigned>& Sizes() const { return sizes_; }

    /// What the layout needs of one character.
    struct Glyph {
        std::uint32_t index = 0;  ///< 0: the font lacks the character
        std::int32_t advance = 0;
        bool known = false;
    };
    /// A character's glyph; a missing one advances as far as the font's box for missing
    /// characters.
    const Glyph& GlyphOf(char32_t c) {
        if (c < kDirectCharacters) {
            Glyph& glyph = direct_[c];
            if (!glyph.known) glyph = LoadGlyph(c);
            return glyph;
        }
        return Other(c);
    }
    bool Has(char32_t c) { return GlyphOf(c).index != 0; }
    /// Whether the font is measured by LVGL's rule: a tab is two spaces wide, and no pair kerns
    /// across a control character.
    bool IsLvgl() const { return lvgl_ != nullptr; }
    /// The kerning of two glyphs in whole pixels (negative: closer together).
    int Kerning(std::uint32_t left, std::uint32_t right) {
        if (!hasKerning_ || left == 0 || right == 0) return 0;
        if (left < kDirectGlyphs && right < kDirectGlyphs) {
            std::int8_t& kerning = directKerning_[left * kDirectGlyphs + right];
            if (kerning == kUnknownKerning) kerning = static_cast<std::int8_t>(CachedKerning(left, right));
            return kerning;
        }
        return CachedKerning(left, right);
    }
    /// The pixels of a character's glyph (the box for missing characters when the font lacks it).
    GlyphImage Render(char32_t c);

  private:
    // The characters of most scripts in use, kept in an array; the rest in a map. The same for the
    // kerning of pairs of the first glyphs (where fonts keep Latin, Greek and Cyrillic), a pixel
    // value that no kerning comes near marking a pair not yet looked up.
    static constexpr char32_t kDirectCharacters = 0x10000;
    static constexpr std::uint32_t kDirectGlyphs = 512;
    static constexpr std::int8_t kUnknownKerning = -128;

    Glyph LoadGlyph(char32_t c);
    const Glyph& Other(char32_t c);
    int CachedKerning(std::uint32_t left, std::uint32_t right);
    std::int32_t LoadFlags() const;

    void OpenWithFreeType(std::FILE* file, std::uint64_t size, unsigned pixelSize);
    void OpenLvgl(LvglFont font);
    int LvglAdvance(std::uint32_t advance) const;
    std::uint32_t LvglTab() const { return static_cast<std::uint32_t>(lvgl_->glyphs.size()); }
    GlyphImage RenderLvgl(char32_t c);

    struct Face;
    std::string path_;
    Rendering rendering_;
    std::unique_ptr<Face> face_;
    std::unique_ptr<LvglFont> lvgl_;  ///< instead of the face, for an LVGL font
    int ascent_ = 0;
    int lineHeight_ = 0;
    int missingAdvance_ = 0;
    bool scalable_ = false;
    std::vector<unsigned> sizes_;
    bool hasKerning_ = false;
    std::vector<Glyph> direct_;
    std::unordered_map<char32_t, Glyph> others_;
    std::unordered_map<std::uint64_t, int> kerning_;
    std::vector<std::int8_t> directKerning_;
};

/// Where the device puts each character of one line of `text`: `visit(c, glyph, x)` for every
/// drawn character, x the pen position after the kerning with the character before. Returns the
/// width of the line. Lines are separated by line feeds; `text` holds one line. The pen counts in
/// 64 bits: a long line of a font with wide advances passes what an int holds.
template <typename Visit>
std::int64_t LayOutLine(Font& font, std::string_view line, Visit&& visit) {
    std::int64_t x = 0;
    std::uint32_t previous = 0;
    for (std::size_t at = 0; at < line.size();) {
        const auto byte = static_cast<unsigned char>(line[at]);
        const char32_t c = byte < 0x80 ? byte : DecodeUtf8At(line, at);
        at += byte < 0x80 ? 1 : Utf8SequenceLength(line, at);
        if (!IsDrawn(c) && !(c == U'\t' && font.IsLvgl())) {
            // LVGL kerns a glyph with the character after it, so not across a control character.
            if (font.IsLvgl()) previous = 0;
            continue;
        }
        const Font::Glyph& glyph = font.GlyphOf(c);
        x += font.Kerning(previous, glyph.index);
        visit(c, glyph, x);
        x += glyph.advance;
        previous = glyph.index;
    }
    return x;
}

/// The width of one line of `text` in pixels.
inline std::int64_t LineWidth(Font& font, std::string_view line) {
    return LayOutLine(font, line, [](char32_t, const Font::Glyph&, std::int64_t) {});
}

/// The lines of a string, as the device breaks them: at each line feed.
std::vector<std::string_view> Lines(std::string_view text);

}  // namespace lexicorn
