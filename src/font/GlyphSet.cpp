#include "font/GlyphSet.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>

#include "base/Unicode.h"
#include "font/Font.h"

namespace lexicorn {
namespace {

constexpr char32_t kCodePoints = 0x110000;

std::string Joined(const GlyphSet& glyphs, std::string_view single, std::string_view range) {
    std::string text;
    for (const auto& [first, last] : glyphs.GetRanges()) {
        if (!text.empty()) text += ',';
        text += first == last ? fmt::format(fmt::runtime(single), static_cast<std::uint32_t>(first))
                              : fmt::format(fmt::runtime(range), static_cast<std::uint32_t>(first),
                                            static_cast<std::uint32_t>(last));
    }
    return text;
}

}  // namespace

std::size_t GlyphSet::Count() const {
    std::size_t count = 0;
    for (const auto& [first, last] : ranges_) count += last - first + 1;
    return count;
}

bool GlyphSet::Contains(char32_t c) const {
    const auto after =
        std::upper_bound(ranges_.begin(), ranges_.end(), c,
                         [](char32_t point, const auto& range) { return point < range.first; });
    return after != ranges_.begin() && std::prev(after)->second >= c;
}

GlyphSet GlyphSet::Union(const GlyphSet& other) const {
    Ranges all = ranges_;
    all.insert(all.end(), other.ranges_.begin(), other.ranges_.end());
    std::sort(all.begin(), all.end());
    Ranges joined;
    for (const auto& range : all)
        if (!joined.empty() && range.first <= joined.back().second + 1)
            joined.back().second = std::max(joined.back().second, range.second);
        else
            joined.push_back(range);
    return GlyphSet(std::move(joined));
}

GlyphCollector::GlyphCollector() : bits_(kCodePoints / 64) {}

void GlyphCollector::Add(std::string_view text) {
    // Most text is ASCII: its bits are gathered in two words, and the control characters among
    // them taken out once at the end.
    std::uint64_t ascii[2] = {0, 0};
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            ascii[byte >> 6] |= std::uint64_t{1} << (byte & 63);
            ++at;
            continue;
        }
        const char32_t c = DecodeUtf8At(text, at);
        at += Utf8SequenceLength(text, at);
        if (IsDrawn(c)) Add(c);
    }
    bits_[0] |= ascii[0] & ~std::uint64_t{0xFFFFFFFF};  // not U+0000 to U+001F
    bits_[1] |= ascii[1] & ~(std::uint64_t{1} << 63);   // not U+007F
}

GlyphSet GlyphCollector::Take() {
    GlyphSet::Ranges ranges;
    for (std::size_t word = 0; word < bits_.size(); ++word) {
        for (std::uint64_t bits = bits_[word]; bits != 0; bits &= bits - 1) {
            const auto c =
                static_cast<char32_t>(word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
            if (!ranges.empty() && ranges.back().second + 1 == c)
                ranges.back().second = c;
            else
                ranges.emplace_back(c, c);
        }
        bits_[word] = 0;
    }
    return GlyphSet(std::move(ranges));
}

std::string LvFontConvRanges(const GlyphSet& glyphs) { return Joined(glyphs, "0x{:X}", "0x{:X}-0x{:X}"); }

std::string U8g2Map(const GlyphSet& glyphs) { return Joined(glyphs, "${:X}", "${:X}-${:X}"); }

std::string Symbols(const GlyphSet& glyphs) {
    std::string text;
    for (const auto& [first, last] : glyphs.GetRanges())
        for (char32_t c = first; c <= last; ++c) AppendUtf8(text, c);
    // lv_font_conv takes "-." after --symbols for an option of its own and refuses the line: the
    // hyphen goes last, where the set holds more (a lone "-" it takes as the value).
    if (text.size() > 1 && text.front() == '-') text = text.substr(1) + '-';
    return text;
}

}  // namespace lexicorn
