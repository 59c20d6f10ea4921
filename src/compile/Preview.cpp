#include "compile/Preview.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <utility>

#include "base/Unicode.h"
#include "compile/DeviceFit.h"
#include "table/TableLayout.h"

namespace lexicorn {
namespace {

using namespace table_layout;

constexpr int kPadding = 4;
// A picture is held whole, three bytes a pixel: beyond this many pixels (192 MB) a table is
// refused rather than the machine's memory taken.
constexpr std::int64_t kMostPixels = std::int64_t{1} << 26;
// Pixels are counted in 64 bits and each width or height stops here: any more refuses the picture,
// and sums of 65535 of them stay far from an overflow.
std::int64_t Capped(std::int64_t pixels) { return std::min(pixels, kMostPixels + 1); }
// A pen position as the picture takes it; none off its edges, where a glyph shows nothing.
std::optional<int> InPicture(std::int64_t position, int extent) {
    if (position < 0 || position > extent) return std::nullopt;
    return static_cast<int>(position);
}
constexpr Colour kBackground{255, 255, 255};
constexpr Colour kHeading{236, 236, 236};
constexpr Colour kGrid{192, 192, 192};
constexpr Colour kText{0, 0, 0};

// One string as the preview lays it out.
struct Shown {
    std::string_view text;
    Font* font = nullptr;
    bool checked = false;  // drawn in its language's own font, which the check judges it by
    TextFit fit;
    std::optional<WidthLimit> limit;
};

class Painter {
  public:
    Painter(const LoadedTable& table, const ProjectSettings& settings)
        : table_(table), reader_(*table.tableReader), settings_(settings), entries_(ChosenLanguages(table)) {
        for (std::size_t entry : entries_) codes_.push_back(Utf16ToUtf8(table.languages[entry].code));
        fonts_.emplace(settings, codes_);
        label_ = fonts_->Any();
        if (!label_)
            throw std::invalid_argument("the preview draws with the device's font, and there is none");
        limits_ = WidthLimits(settings.limits, settings.maxWidth);
        const std::size_t rows = reader_.GetRowCount();
        strings_ = StringCount(rows);
    }

    Preview Paint() {
        Preview preview;
        preview.report = CheckTable(table_, settings_);
        const auto [columnEdges, rowEdges] = LayOut();
        const std::int64_t width = columnEdges.back(), height = rowEdges.back();
        if (width > kMostPixels || height > kMostPixels || width * height > kMostPixels)
            throw std::runtime_error(fmt::format(
                "{}: the preview would be {} x {} pixels, more than a picture of {} million; choose fewer "
                "languages or a smaller font",
                reader_.FileName(), width, height, kMostPixels / 1000000));
        // Within the picture's bounds, every edge is an int.
        columnX_.assign(columnEdges.begin(), columnEdges.end());
        rowY_.assign(rowEdges.begin(), rowEdges.end());
        preview.picture = Picture(columnX_.back(), rowY_.back(), kBackground);
        Picture& picture = preview.picture;
        picture.Fill({0, 0, picture.Width(), rowY_[1]}, kHeading);
        picture.Fill({0, 0, columnX_[1], picture.Height()}, kHeading);
        for (std::size_t e = 0; e < entries_.size(); ++e)
            DrawText(picture, *label_, codes_[e], columnX_[e + 1] + kPadding, kPadding + label_->Ascent(),
                     kText);
        for (std::size_t s = 1; s <= strings_; ++s) {
            DrawText(picture, *label_, Id(s), kPadding, rowY_[s] + kPadding + label_->Ascent(), kText);
            for (std::size_t e = 0; e < entries_.size(); ++e) {
                const Shown& shown = shown_[(s - 1) * entries_.size() + e];
                const Box box{columnX_[e + 1], rowY_[s], columnX_[e + 2] - columnX_[e + 1],
                              rowY_[s + 1] - rowY_[s]};
                const bool marked =
                    shown.checked && (!shown.fit.missing.empty() || shown.fit.Overflows(shown.limit));
                if (marked) picture.Fill(box, kMarkedCellColour);
                DrawString(picture, shown, box);
                preview.cells.push_back({StringRow(s), table_.LanguageColumn(entries_[e]), box, marked});
            }
        }
        DrawGrid(picture);
        return preview;
    }

  private:
    std::string_view Id(std::size_t s) const { return Cell(StringRow(s), kIdColumn); }
    std::string_view Cell(std::size_t row, std::size_t column) const {
        return reader_.CellUtf8(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row));
    }

    // Column edges (ids, then each language, then the right edge) and row edges (the heading, each
    // string, then the bottom), from the widest and tallest of what each holds.
    std::pair<std::vector<std::int64_t>, std::vector<std::int64_t>> LayOut() {
        std::vector<std::int64_t> widths(entries_.size() + 1, 0), heights(strings_ + 1, label_->LineHeight());
        for (std::size_t e = 0; e < entries_.size(); ++e) widths[e + 1] = LineWidth(*label_, codes_[e]);
        for (std::size_t s = 1; s <= strings_; ++s) {
            widths[0] = std::max(widths[0], LineWidth(*label_, Id(s)));
            for (std::size_t e = 0; e < entries_.size(); ++e) {
                const std::size_t column = table_.LanguageColumn(entries_[e]);
                const std::string_view own = Cell(StringRow(s), column);
                Shown shown;
                shown.text = TakesDefaultString(own, settings_) ? Cell(StringRow(s), kDefaultColumn) : own;
                shown.checked = fonts_->For(e) != nullptr;
                shown.font = shown.checked ? fonts_->For(e) : label_;
                MeasureText(*shown.font, shown.text, shown.fit);
                shown.limit = limits_.For(Id(s));
                std::int64_t width = shown.fit.lineWidths[shown.fit.WidestLine()];
                if (shown.limit && shown.limit->width != 0)
                    width = std::max<std::int64_t>(width, std::int64_t{shown.limit->width} + 1);
                widths[e + 1] = Capped(std::max(widths[e + 1], width));
                const std::size_t lines =
                    std::max<std::size_t>(shown.fit.lineWidths.size(), shown.limit ? shown.limit->lines : 0);
                heights[s] = Capped(std::max<std::int64_t>(
                    heights[s], static_cast<std::int64_t>(lines) * shown.font->LineHeight()));
                shown_.push_back(std::move(shown));
            }
        }
        std::vector<std::int64_t> columnEdges = {0}, rowEdges = {0};
        for (std::int64_t width : widths)
            columnEdges.push_back(columnEdges.back() + Capped(width) + 2 * kPadding + 1);
        for (std::int64_t height : heights)
            rowEdges.push_back(rowEdges.back() + Capped(height) + 2 * kPadding + 1);
        return {std::move(columnEdges), std::move(rowEdges)};
    }

    static void DrawText(Picture& picture, Font& font, std::string_view text, int x, int baseline,
                         Colour colour) {
        LayOutLine(font, text, [&](char32_t c, const Font::Glyph&, std::int64_t at) {
            if (const std::optional<int> pen = InPicture(x + at, picture.Width()))
                picture.Draw(font.Render(c), *pen, baseline, colour);
        });
    }

    // Each line from the cell's text origin; what lies past the limit, lines past its number, and
    // the box of each missing character in red.
    static void DrawString(Picture& picture, const Shown& shown, const Box& box) {
        Font& font = *shown.font;
        const int left = box.x + kPadding;
        const int top = box.y + kPadding;
        const std::vector<std::string_view> lines = Lines(shown.text);
        for (std::size_t line = 0; line < lines.size(); ++line) {
            const std::optional<int> baseline = InPicture(
                top + static_cast<std::int64_t>(line) * font.LineHeight() + font.Ascent(), picture.Height());
            if (!baseline) break;
            const bool extraLine =
                shown.checked && shown.limit && shown.limit->lines != 0 && line >= shown.limit->lines;
            LayOutLine(font, lines[line], [&](char32_t c, const Font::Glyph& glyph, std::int64_t x) {
                const std::optional<int> pen = InPicture(left + x, picture.Width());
                if (!pen) return;
                if (shown.checked && glyph.index == 0) {
                    DrawBox(picture, {*pen, *baseline - font.Ascent() + 1, std::max(glyph.advance - 1, 2),
                                      font.Ascent()});
                    return;
                }
                const bool past = shown.checked && shown.limit && shown.limit->width != 0 &&
                                  x + glyph.advance > std::int64_t{shown.limit->width};
                picture.Draw(font.Render(c), *pen, *baseline, past || extraLine ? kMarkColour : kText);
            });
        }
        if (!shown.limit) return;
        if (shown.limit->width != 0)
            picture.Fill({left + static_cast<int>(shown.limit->width), box.y, 1, box.height}, kLimitColour);
        if (shown.limit->lines != 0)
            picture.Fill(
                {box.x, top + static_cast<int>(shown.limit->lines) * font.LineHeight(), box.width, 1},
                kLimitColour);
    }

    static void DrawBox(Picture& picture, const Box& box) {
        picture.Fill({box.x, box.y, box.width, 1}, kMarkColour);
        picture.Fill({box.x, box.y + box.height - 1, box.width, 1}, kMarkColour);
        picture.Fill({box.x, box.y, 1, box.height}, kMarkColour);
        picture.Fill({box.x + box.width - 1, box.y, 1, box.height}, kMarkColour);
    }

    void DrawGrid(Picture& picture) const {
        for (int x : columnX_) picture.Fill({x - 1, 0, 1, picture.Height()}, kGrid);
        for (int y : rowY_) picture.Fill({0, y - 1, picture.Width(), 1}, kGrid);
    }

    const LoadedTable& table_;
    TableReader& reader_;
    const ProjectSettings& settings_;
    std::vector<std::size_t> entries_;
    std::vector<std::string> codes_;
    std::optional<DeviceFonts> fonts_;
    Font* label_ = nullptr;
    WidthLimits limits_;
    std::size_t strings_ = 0;
    std::vector<Shown> shown_;  // string by string, each language's
    std::vector<int> columnX_;
    std::vector<int> rowY_;
};

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        const std::size_t taken = std::min<std::size_t>(3, bytes.size() - at);
        std::uint32_t group = 0;
        for (std::size_t i = 0; i < 3; ++i)
            group = group << 8 | (i < taken ? static_cast<unsigned char>(bytes[at + i]) : 0u);
        // Three bytes make four digits; a short last group is filled up with '='.
        for (std::size_t i = 0; i < 4; ++i)
            text += i <= taken ? kDigits[(group >> (18 - 6 * i)) & 0x3F] : '=';
    }
    return text;
}

std::string Escaped(std::string_view text) {
    std::string escaped;
    for (char c : text) switch (c) {
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '&':
                escaped += "&amp;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    return escaped;
}

}  // namespace

const PreviewCell* Preview::CellAt(std::size_t row, std::size_t column) const {
    const auto found = std::find_if(cells.begin(), cells.end(), [&](const PreviewCell& cell) {
        return cell.row == row && cell.column == column;
    });
    return found == cells.end() ? nullptr : &*found;
}

Preview RenderPreview(const LoadedTable& table, const ProjectSettings& settings) {
    return Painter(table, settings).Paint();
}

std::string PreviewHtml(const Preview& preview, std::string_view tableFile) {
    std::string rows;
    for (const Finding& finding : preview.report.findings)
        rows += fmt::format(
            "<tr class=\"{}\"><td>{}</td><td>{}</td><td>{}</td><td>{}</td></tr>\n",
            finding.severity == Finding::Severity::kError ? "error" : "warning",
            Escaped(finding.file.empty() ? finding.Cell() : fmt::format("{}:{}", finding.file, finding.row)),
            Escaped(finding.language), Escaped(finding.rule), Escaped(finding.message));
    return fmt::format(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>{0}: as the device shows "
        "it</title>\n"
        "<style>body {{ font-family: sans-serif; }} table {{ border-collapse: collapse; }} "
        "td, th {{ border: 1px solid #ccc; padding: 2px 6px; text-align: left; }} .error {{ color: #c00; "
        "}}</style>\n"
        "</head>\n<body>\n<h1>{0}</h1>\n<p>{1}</p>\n"
        "<img src=\"data:image/png;base64,{2}\" width=\"{3}\" height=\"{4}\" alt=\"Every string as the "
        "device draws it\">\n"
        "<table>\n<tr><th>Cell</th><th>Language</th><th>Rule</th><th>Message</th></tr>\n{5}</table>\n</"
        "body>\n</html>\n",
        Escaped(tableFile), Escaped(CountsText(preview.report)), Base64(EncodePng(preview.picture)),
        preview.picture.Width(), preview.picture.Height(), rows);
}

}  // namespace lexicorn
