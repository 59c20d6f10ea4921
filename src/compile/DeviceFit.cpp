#include "compile/DeviceFit.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>

#include "base/Text.h"
#include "platform/InputFile.h"
#include "table/TableReaderFactory.h"

namespace lexicorn {
namespace {

bool ParseCount(std::string_view text, std::uint64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

}  // namespace

WidthLimits::WidthLimits(const std::string& path, std::uint32_t maxWidth) : path_(path), maxWidth_(maxWidth) {
    if (path.empty()) return;
    std::unique_ptr<TableReader> reader = CreateTableReader(path);
    if (reader->Open() != kSuccess) throw TableError(path + ": no such file");
    reader->SetUtf8Mode(true);
    const auto cell = [&](std::size_t row, std::size_t column) {
        return reader->CellUtf8(static_cast<std::uint16_t>(column), static_cast<std::uint16_t>(row));
    };
    for (std::size_t row = 1; row <= reader->GetRowCount(); ++row) {
        const std::string_view id = cell(row, 1);
        if (id.empty() && cell(row, 2).empty()) continue;
        std::uint64_t width = 0, lines = 0;
        if (!ParseCount(cell(row, 2), width)) {
            if (row == 1) continue;  // a heading
            throw TableError(LocatedMessage(
                path, row, 2, fmt::format("'{}' is no width in pixels", ShownText(cell(row, 2)))));
        }
        if (const std::optional<std::string> problem = WidthLimitProblem(width))
            throw TableError(LocatedMessage(path, row, 2, *problem));
        if (!cell(row, 3).empty() && (!ParseCount(cell(row, 3), lines) || lines == 0))
            throw TableError(LocatedMessage(
                path, row, 3, fmt::format("'{}' is no number of lines", ShownText(cell(row, 3)))));
        if (const std::optional<std::string> problem = LineLimitProblem(lines))
            throw TableError(LocatedMessage(path, row, 3, *problem));
        const Entry entry{{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(lines)}, row};
        if (id.empty()) throw TableError(LocatedMessage(path, row, 1, "the string id is empty"));
        if (const auto [earlier, fresh] = entries_.emplace(id, entry); !fresh)
            throw TableError(LocatedMessage(path, row, 1,
                                            fmt::format("the string id '{}' has a limit in row {} already",
                                                        ShownText(id), earlier->second.row)));
    }
}

std::optional<WidthLimit> WidthLimits::For(std::string_view id) const {
    if (!entries_.empty())
        if (const auto found = entries_.find(std::string(id)); found != entries_.end()) {
            // A width of 0 is no limit of width, as --max-width 0 is: the string is free of the
            // common width, and only its lines, if any, are counted.
            const WidthLimit& limit = found->second.limit;
            if (limit.width == 0 && limit.lines == 0) return std::nullopt;
            return limit;
        }
    if (maxWidth_ != 0) return WidthLimit{maxWidth_, 0};
    return std::nullopt;
}

DeviceFonts::DeviceFonts(const ProjectSettings& settings, const std::vector<std::string>& codes)
    : ofLanguage_(codes.size(), nullptr) {
    const Rendering rendering = settings.antiAliased ? Rendering::kAntiAliased : Rendering::kMonochrome;
    // A font of its own for a language wins over the font for the rest, whatever their order.
    for (const bool own : {false, true})
        for (const DeviceFont& choice : settings.fonts) {
            if (choice.languages.empty() == own) continue;
            Font* font = nullptr;
            for (std::size_t language = 0; language < codes.size(); ++language) {
                const auto& named = choice.languages;
                if (own && std::find(named.begin(), named.end(), codes[language]) == named.end()) continue;
                if (!font) font = &Open(choice.path, settings.fontSize, rendering);
                ofLanguage_[language] = font;
            }
        }
    // The size is the scalable fonts'; a fixed-size font beside them keeps its own. Where no
    // scalable font takes it, it was meant for the fixed-size ones, and one that lacks it would be
    // measured at another size than asked.
    // Without a size, each fixed-size font is measured at its own (its first, of several), which
    // the reader is told.
    const auto scalable = [](const std::unique_ptr<Font>& font) { return font->Scalable(); };
    const bool sizeIsScalables = std::any_of(fonts_.begin(), fonts_.end(), scalable);
    for (const std::unique_ptr<Font>& font : fonts_) {
        const std::vector<unsigned>& sizes = font->Sizes();
        if (sizes.empty() || std::find(sizes.begin(), sizes.end(), settings.fontSize) != sizes.end())
            continue;
        std::string list;
        for (std::size_t i = 0; i < sizes.size(); ++i)
            list += fmt::format("{}{}", i == 0 ? "" : i + 1 == sizes.size() ? " or " : ", ", sizes[i]);
        if (settings.fontSize == 0)
            notes_.push_back(fmt::format("{}: no size given, so the font is measured at {} px{}",
                                         font->Path(), sizes.front(),
                                         sizes.size() == 1 ? "" : ", the first of " + list));
        else if (!sizeIsScalables)
            throw FontError(fmt::format("{}: the font has no size of {} px, only {} px", font->Path(),
                                        settings.fontSize, list));
    }
}

Font& DeviceFonts::Open(const std::string& path, unsigned pixelSize, Rendering rendering) {
    // A file is opened once, however many lines name it and by whichever name: each open font holds
    // a megabyte or more of what it keeps.
    for (const std::unique_ptr<Font>& font : fonts_)
        if (font->Path() == path || IsSameFile(font->Path(), path)) return *font;
    return *fonts_.emplace_back(std::make_unique<Font>(path, pixelSize, rendering));
}

std::size_t DeviceFonts::NumberOf(std::size_t language) const {
    for (std::size_t i = 0; i < fonts_.size(); ++i)
        if (fonts_[i].get() == ofLanguage_[language]) return i;
    return fonts_.size();
}

std::size_t TextFit::WidestLine() const {
    return static_cast<std::size_t>(std::max_element(lineWidths.begin(), lineWidths.end()) -
                                    lineWidths.begin());
}

std::int64_t TextFit::WidthOver(const std::optional<WidthLimit>& limit) const {
    if (!limit || limit->width == 0) return 0;
    return std::max<std::int64_t>(0, lineWidths[WidestLine()] - std::int64_t{limit->width});
}

bool TextFit::Overflows(const std::optional<WidthLimit>& limit) const {
    if (!limit) return false;
    if (limit->lines != 0 && lineWidths.size() > limit->lines) return true;
    return WidthOver(limit) > 0;
}

void MeasureText(Font& font, std::string_view text, TextFit& fit) {
    fit.lineWidths.clear();
    fit.missing.clear();
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        fit.lineWidths.push_back(
            LayOutLine(font, text.substr(start, end - start), [&](char32_t c, const Font::Glyph& glyph, int) {
                if (glyph.index == 0 &&
                    std::find(fit.missing.begin(), fit.missing.end(), c) == fit.missing.end())
                    fit.missing.push_back(c);
            }));
        if (end == text.size()) return;
        start = end + 1;
    }
}

}  // namespace lexicorn
