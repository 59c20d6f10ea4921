#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "font/Font.h"
#include "project/ProjectSettings.h"

// Whether the strings of a table will show on the device: its fonts, and the room each string has.
namespace lexicorn {

/// The room a string has on the screen.
struct WidthLimit {
    std::uint32_t width = 0;  ///< pixels, each line, at most kMostLimitWidth; 0: any width
    std::uint32_t lines = 0;  ///< most lines, at most kMostLimitLines; 0: any number
    bool operator==(const WidthLimit&) const = default;
};

/// The limits of a table's strings: one per string id from a limits table (column 1 the id,
/// column 2 the width in pixels, 0 for none, column 3 optionally the number of lines; a first row
/// whose width is no number is a heading), and one width for the rest (0: none).
class WidthLimits {
  public:
    /// One row of the limits table.
    struct Entry {
        WidthLimit limit;
        std::size_t row = 0;
    };

    WidthLimits() = default;
    /// Reads the limits table at `path` (none when empty). Throws TableError naming the file, the
    /// row and the column of a value that is no number or beyond what any screen has.
    WidthLimits(const std::string& path, std::uint32_t maxWidth);

    /// The limit of the string with this id; none when it has none.
    std::optional<WidthLimit> For(std::string_view id) const;
    const std::string& Path() const { return path_; }
    const std::unordered_map<std::string, Entry>& Entries() const { return entries_; }

  private:
    std::string path_;
    std::unordered_map<std::string, Entry> entries_;
    std::uint32_t maxWidth_ = 0;
};

/// The device's fonts, opened, as the chosen languages use them.
class DeviceFonts {
  public:
    /// Opens every font of `settings` that draws one of `codes` (the chosen languages, in order).
    /// Throws FontError.
    DeviceFonts(const ProjectSettings& settings, const std::vector<std::string>& codes);

    /// The font of the chosen language number `language`; none when no font draws it.
    Font* For(std::size_t language) const { return ofLanguage_[language]; }
    /// Its number among the fonts, for keys: one more than the number of fonts when it has none.
    std::size_t NumberOf(std::size_t language) const;
    bool Empty() const { return fonts_.empty(); }
    /// What the reader should know of the fonts, though nothing is wrong: the size a fixed-size
    /// font is measured at where no size was given for it.
    const std::vector<std::string>& Notes() const { return notes_; }
    /// The first font, for text that belongs to no language (ids, codes); none without fonts.
    Font* Any() const { return fonts_.empty() ? nullptr : fonts_.front().get(); }

  private:
    /// The font of the file at `path`, opened unless it is open already.
    Font& Open(const std::string& path, unsigned pixelSize, Rendering rendering);

    std::vector<std::unique_ptr<Font>> fonts_;  ///< one for each file
    std::vector<Font*> ofLanguage_;
    std::vector<std::string> notes_;
};

/// How a string lies on the device: its lines' widths and the characters its font lacks.
struct TextFit {
    std::vector<std::int64_t> lineWidths;
    std::vector<char32_t> missing;  ///< each once, in the order met

    /// The widest line, from 0.
    std::size_t WidestLine() const;
    /// How many pixels the widest line takes beyond `limit`; 0 when it fits.
    std::int64_t WidthOver(const std::optional<WidthLimit>& limit) const;
    /// Whether it is wider, or has more lines, than `limit` lets it.
    bool Overflows(const std::optional<WidthLimit>& limit) const;
};

/// Measures `text` in `font` into `fit` (whose room is used again): each line (lines end at line
/// feeds) alone, the advances of its characters with the kerning of each pair.
void MeasureText(Font& font, std::string_view text, TextFit& fit);

}  // namespace lexicorn
