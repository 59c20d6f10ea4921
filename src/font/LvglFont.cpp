#include "font/LvglFont.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

#include "font/Font.h"

namespace lexicorn {
namespace {

[[noreturn]] void Damaged(const std::string& path, std::string_view what) {
    throw FontError(fmt::format("{}: a damaged LVGL font: {}", path, what));
}

constexpr std::string_view kBinaryHeader = "head";

bool IsBinary(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 8 && std::equal(kBinaryHeader.begin(), kBinaryHeader.end(), bytes.begin() + 4);
}

// Unicode's characters are the most a font holds: a range beyond them is damage, which would
// otherwise cost memory for each character it claims.
constexpr std::size_t kUnicodeCharacters = 0x110000;
void MustHoldUnicode(const std::string& path, const LvglFont& font, char32_t start, std::size_t count) {
    if (start >= kUnicodeCharacters || count > kUnicodeCharacters - start ||
        font.characters.size() + count > kUnicodeCharacters)
        Damaged(path, fmt::format("a character range from U+{:04X} goes beyond Unicode",
                                  static_cast<std::uint32_t>(start)));
}

// ---- The C file -------------------------------------------------------------------------------

// The C text without its comments: lv_font_conv marks each glyph with one that holds the
// character itself, a brace or a quote among them.
std::string WithoutComments(std::string_view text) {
    std::string bare;
    bare.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, 2, "/*") == 0) {
            const std::size_t end = text.find("*/", at + 2);
            at = end == std::string_view::npos ? text.size() : end + 2;
            bare += ' ';
        } else if (text.compare(at, 2, "//") == 0) {
            at = std::min(text.find('\n', at), text.size());
        } else {
            bare += text[at++];
        }
    }
    return bare;
}

class CFontText {
  public:
    CFontText(const std::string& path, std::string text) : path_(path), text_(std::move(text)) {}

    // The braces of the array or structure `name` is set to, without them; none when absent.
    std::optional<std::string_view> Initializer(std::string_view name) const {
        for (std::size_t at = text_.find(name); at != std::string::npos; at = text_.find(name, at + 1)) {
            const bool whole = (at == 0 || !IsNamePart(text_[at - 1])) &&
                               (at + name.size() == text_.size() || !IsNamePart(text_[at + name.size()]));
            if (!whole) continue;
            std::size_t next = text_.find_first_not_of(" \t\r\n", at + name.size());
            if (next != std::string::npos && text_.compare(next, 2, "[]") == 0)
                next = text_.find_first_not_of(" \t\r\n", next + 2);
            if (next == std::string::npos || text_[next] != '=') continue;
            const std::size_t open = text_.find_first_not_of(" \t\r\n", next + 1);
            if (open == std::string::npos || text_[open] != '{') continue;
            return Braced(text_, open);
        }
        return std::nullopt;
    }
    std::string_view Required(std::string_view name) const {
        const auto found = Initializer(name);
        if (!found) Damaged(path_, fmt::format("no {}", name));
        return *found;
    }

    // The items of an initializer that are themselves in braces.
    std::vector<std::string_view> Items(std::string_view list) const {
        std::vector<std::string_view> items;
        for (std::size_t at = list.find('{'); at != std::string_view::npos; at = list.find('{', at)) {
            items.push_back(Braced(list, at));
            at += items.back().size() + 2;
        }
        return items;
    }

    // What `.field = ` is set to in `within`, up to the next comma or brace; none when unset.
    static std::optional<std::string_view> Field(std::string_view within, std::string_view field) {
        for (std::size_t at = within.find(field); at != std::string_view::npos;
             at = within.find(field, at + 1)) {
            if (at == 0 || within[at - 1] != '.') continue;
            std::size_t value = within.find_first_not_of(" \t\r\n", at + field.size());
            if (value == std::string_view::npos || within[value] != '=') continue;
            value = within.find_first_not_of(" \t\r\n", value + 1);
            if (value == std::string_view::npos) return std::nullopt;
            const std::size_t end = std::min(within.find_first_of(",}\r\n", value), within.size());
            std::string_view text = within.substr(value, end - value);
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
            return text;
        }
        return std::nullopt;
    }
    long Number(std::string_view within, std::string_view field, std::optional<long> otherwise = {}) const {
        const auto text = Field(within, field);
        if (!text) {
            if (otherwise) return *otherwise;
            Damaged(path_, fmt::format("no .{}", field));
        }
        long value = 0;
        if (!ParseNumber(*text, value)) Damaged(path_, fmt::format(".{} = {} is no number", field, *text));
        return value;
    }
    // Every number of an array's initializer.
    std::vector<long> Numbers(std::string_view list, std::string_view name) const {
        std::vector<long> numbers;
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t end = std::min(list.find(',', at), list.size());
            std::string_view item = list.substr(at, end - at);
            const std::size_t first = item.find_first_not_of(" \t\r\n");
            if (first != std::string_view::npos) {
                item = item.substr(first, item.find_last_not_of(" \t\r\n") - first + 1);
                long value = 0;
                if (!ParseNumber(item, value))
                    Damaged(path_, fmt::format("'{}' in {} is no number", item, name));
                numbers.push_back(value);
            }
            at = end + 1;
        }
        return numbers;
    }
    std::vector<long> NamedNumbers(std::string_view name) const { return Numbers(Required(name), name); }

    const std::string& Text() const { return text_; }

  private:
    static bool IsNamePart(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    }
    std::string_view Braced(std::string_view text, std::size_t open) const {
        int depth = 0;
        for (std::size_t at = open; at < text.size(); ++at) {
            if (text[at] == '{') ++depth;
            if (text[at] == '}' && --depth == 0) return text.substr(open + 1, at - open - 1);
        }
        Damaged(path_, "a brace is not closed");
    }
    static bool ParseNumber(std::string_view text, long& value) {
        bool negative = false;
        if (!text.empty() && text.front() == '-') {
            negative = true;
            text.remove_prefix(1);
        }
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
        if (error != std::errc() || end != text.data() + text.size()) return false;
        if (negative) value = -value;
        return true;
    }

    const std::string& path_;
    std::string text_;
};

unsigned SizeFromComment(std::string_view text) {
    // lv_font_conv's first comment: " * Size: 16 px".
    const std::size_t at = text.find("Size: ");
    if (at == std::string_view::npos || at > 512) return 0;
    unsigned size = 0;
    std::from_chars(text.data() + at + 6, text.data() + text.size(), size);
    return size;
}

LvglFont ReadCFont(const std::string& path, std::string_view source) {
    LvglFont font;
    font.pixelSize = SizeFromComment(source);
    const CFontText c(path, WithoutComments(source));
    const std::string& text = c.Text();

    for (const std::string_view item : c.Items(c.Required("glyph_dsc"))) {
        LvglFont::Glyph glyph;
        glyph.advance = static_cast<std::uint32_t>(std::max(0L, c.Number(item, "adv_w")));
        glyph.width = static_cast<int>(c.Number(item, "box_w", 0));
        glyph.rows = static_cast<int>(c.Number(item, "box_h", 0));
        glyph.left = static_cast<int>(c.Number(item, "ofs_x", 0));
        glyph.bottom = static_cast<int>(c.Number(item, "ofs_y", 0));
        glyph.bits = static_cast<std::uint64_t>(c.Number(item, "bitmap_index", 0)) * 8;
        font.glyphs.push_back(glyph);
    }
    if (font.glyphs.empty()) Damaged(path, "glyph_dsc has no glyphs");

    font.lineHeight = static_cast<int>(c.Number(text, "line_height"));
    font.baseLine = static_cast<int>(c.Number(text, "base_line", 0));
    font.bitsPerPixel = static_cast<unsigned>(c.Number(text, "bpp", 1));
    font.compressed = c.Number(text, "bitmap_format", 0) != 0;
    if (const auto bitmap = c.Initializer("glyph_bitmap"))
        for (const long byte : c.Numbers(*bitmap, "glyph_bitmap"))
            font.bitmaps.push_back(static_cast<std::uint8_t>(byte));

    const auto list = [&](std::string_view item, std::string_view field) {
        const auto name = CFontText::Field(item, field);
        return !name || *name == "NULL" ? std::vector<long>{} : c.NamedNumbers(*name);
    };
    for (const std::string_view item : c.Items(c.Required("cmaps"))) {
        const auto start = static_cast<char32_t>(c.Number(item, "range_start"));
        const long length = c.Number(item, "range_length");
        const auto firstId = static_cast<std::uint32_t>(c.Number(item, "glyph_id_start"));
        const std::string_view type = CFontText::Field(item, "type").value_or("");
        const std::vector<long> points = list(item, "unicode_list");
        const std::vector<long> offsets = list(item, "glyph_id_ofs_list");
        const bool sparse = type.find("SPARSE") != std::string_view::npos;
        const bool full = type.find("FULL") != std::string_view::npos;
        const std::size_t count = sparse ? points.size() : static_cast<std::size_t>(std::max(0L, length));
        MustHoldUnicode(path, font, start, count);
        if (full && offsets.size() < count) Damaged(path, "a glyph_id_ofs_list is shorter than its range");
        for (std::size_t i = 0; i < count; ++i) {
            const long offset = full ? offsets[i] : static_cast<long>(i);
            // In a full range, an offset of 0 past the first character marks one left out.
            if (full && !sparse && i > 0 && offset == 0) continue;
            font.characters.emplace_back(
                start + static_cast<char32_t>(sparse ? points[i] : static_cast<long>(i)),
                firstId + static_cast<std::uint32_t>(offset));
        }
    }

    const long scale = c.Number(text, "kern_scale", 0);
    const std::string_view kerning = CFontText::Field(text, "kern_dsc").value_or("NULL");
    if (kerning != "NULL" && scale != 0) {
        font.kerningScale = static_cast<std::uint32_t>(scale);
        if (c.Number(text, "kern_classes", 0) != 0) {
            for (const long value : c.NamedNumbers("kern_left_class_mapping"))
                font.leftClasses.push_back(static_cast<std::uint8_t>(value));
            for (const long value : c.NamedNumbers("kern_right_class_mapping"))
                font.rightClasses.push_back(static_cast<std::uint8_t>(value));
            for (const long value : c.NamedNumbers("kern_class_values"))
                font.classKerning.push_back(static_cast<std::int8_t>(value));
            const std::string_view classes = c.Required("kern_classes");
            font.rightClassCount = static_cast<unsigned>(c.Number(classes, "right_class_cnt"));
            if (font.classKerning.size() !=
                static_cast<std::size_t>(c.Number(classes, "left_class_cnt")) * font.rightClassCount)
                Damaged(path, "kern_class_values does not hold a value for every pair of classes");
        } else {
            const std::vector<long> ids = c.NamedNumbers("kern_pair_glyph_ids");
            const std::vector<long> values = c.NamedNumbers("kern_pair_values");
            if (ids.size() != values.size() * 2) Damaged(path, "kern_pair_values does not match its pairs");
            for (std::size_t i = 0; i < values.size(); ++i)
                font.kerningPairs[static_cast<std::uint32_t>(ids[2 * i] << 16 | ids[2 * i + 1])] =
                    static_cast<std::int8_t>(values[i]);
        }
    }
    return font;
}

// ---- The binary -------------------------------------------------------------------------------

class Bytes {
  public:
    Bytes(const std::string& path, std::span<const std::uint8_t> bytes) : path_(path), bytes_(bytes) {}

    std::uint32_t U8(std::size_t at) const { return Get(at, 1); }
    std::uint32_t U16(std::size_t at) const { return Get(at, 2); }
    std::int32_t I16(std::size_t at) const { return static_cast<std::int16_t>(Get(at, 2)); }
    std::uint32_t U32(std::size_t at) const { return Get(at, 4); }
    // The bits from bit `at` on, the first the highest.
    std::uint32_t Bits(std::uint64_t at, unsigned count) const {
        std::uint32_t value = 0;
        for (unsigned i = 0; i < count; ++i, ++at)
            value = value << 1 | ((U8(static_cast<std::size_t>(at >> 3)) >> (7 - (at & 7))) & 1);
        return value;
    }
    std::int32_t SignedBits(std::uint64_t at, unsigned count) const {
        const std::uint32_t value = Bits(at, count);
        return count > 0 && (value >> (count - 1)) != 0 ? static_cast<std::int32_t>(value) - (1 << count)
                                                        : static_cast<std::int32_t>(value);
    }
    std::size_t Size() const { return bytes_.size(); }
    std::span<const std::uint8_t> All() const { return bytes_; }

  private:
    std::uint32_t Get(std::size_t at, std::size_t count) const {
        if (at + count > bytes_.size() || at + count < at) Damaged(path_, "a table ends before its data");
        std::uint32_t value = 0;  // little-endian
        for (std::size_t i = count; i-- > 0;) value = value << 8 | bytes_[at + i];
        return value;
    }
    const std::string& path_;
    std::span<const std::uint8_t> bytes_;
};

LvglFont ReadBinaryFont(const std::string& path, std::span<const std::uint8_t> data) {
    const Bytes bytes(path, data);
    // The tables, each its size and its name first.
    std::unordered_map<std::string, std::size_t> tables;
    for (std::size_t at = 0; at + 8 <= bytes.Size();) {
        const std::uint32_t size = bytes.U32(at);
        if (size < 8 || size > bytes.Size() - at) Damaged(path, "a table is larger than the file");
        tables.emplace(std::string(reinterpret_cast<const char*>(data.data() + at + 4), 4), at);
        at += size;
    }
    const auto table = [&](const char* name) {
        const auto found = tables.find(name);
        if (found == tables.end()) Damaged(path, fmt::format("no '{}' table", name));
        return found->second;
    };

    LvglFont font;
    const std::size_t head = table("head");
    font.pixelSize = bytes.U16(head + 14);
    const int ascent = static_cast<int>(bytes.U16(head + 16));
    const int descent = bytes.I16(head + 18);
    // LVGL's loader takes the line from the ascent down to the descent.
    font.lineHeight = ascent - descent;
    font.baseLine = -descent;
    const std::uint32_t defaultAdvance = bytes.U16(head + 30);
    font.kerningScale = bytes.U16(head + 32);
    const bool longOffsets = bytes.U8(head + 34) != 0;
    const bool longIds = bytes.U8(head + 35) != 0;
    const bool fractionalAdvances = bytes.U8(head + 36) != 0;
    font.bitsPerPixel = bytes.U8(head + 37);
    const unsigned xyBits = bytes.U8(head + 38), whBits = bytes.U8(head + 39),
                   advanceBits = bytes.U8(head + 40);
    font.compressed = bytes.U8(head + 41) != 0;
    if (font.bitsPerPixel == 0 || font.bitsPerPixel > 8 || xyBits > 31 || whBits > 31 || advanceBits > 31)
        Damaged(path, "the header's bit lengths are out of range");
    const auto inSixteenths = [&](std::uint32_t advance) {
        return fractionalAdvances ? advance : advance * 16;
    };

    const std::size_t loca = table("loca");
    const std::size_t glyf = table("glyf");
    const std::uint32_t count = bytes.U32(loca + 8);
    if (count > (bytes.Size() - loca) / 2) Damaged(path, "the 'loca' table counts more glyphs than it holds");
    font.glyphs.resize(count);
    for (std::uint32_t id = 1; id < count; ++id) {
        const std::uint64_t offset = longOffsets ? bytes.U32(loca + 12 + 4 * std::size_t{id})
                                                 : bytes.U16(loca + 12 + 2 * std::size_t{id});
        std::uint64_t bit = (glyf + offset) * 8;
        LvglFont::Glyph& glyph = font.glyphs[id];
        glyph.advance = inSixteenths(advanceBits == 0 ? defaultAdvance : bytes.Bits(bit, advanceBits));
        bit += advanceBits;
        glyph.left = bytes.SignedBits(bit, xyBits);
        glyph.bottom = bytes.SignedBits(bit + xyBits, xyBits);
        glyph.width = static_cast<int>(bytes.Bits(bit + 2 * xyBits, whBits));
        glyph.rows = static_cast<int>(bytes.Bits(bit + 2 * xyBits + whBits, whBits));
        glyph.bits = bit + 2 * xyBits + 2 * whBits;
    }
    font.bitmaps.assign(data.begin(), data.end());

    const std::size_t cmap = table("cmap");
    const std::uint32_t subtables = bytes.U32(cmap + 8);
    if (subtables > bytes.Size() / 16) Damaged(path, "the 'cmap' table counts more ranges than it holds");
    for (std::uint32_t i = 0; i < subtables; ++i) {
        const std::size_t header = cmap + 12 + 16 * std::size_t{i};
        const std::size_t at = cmap + bytes.U32(header);
        const char32_t start = bytes.U32(header + 4);
        const std::uint32_t length = bytes.U16(header + 8), firstId = bytes.U16(header + 10);
        const std::uint32_t entries = bytes.U16(header + 12), format = bytes.U8(header + 14);
        MustHoldUnicode(path, font, start, format == 0 || format == 2 ? length : entries);
        for (std::uint32_t e = 0; e < (format == 0 || format == 2 ? length : entries); ++e) {
            switch (format) {
                case 0:  // an id offset for every character, 0 for one left out
                    if (const std::uint32_t offset = bytes.U8(at + e); offset != 0 || e == 0)
                        font.characters.emplace_back(start + e, firstId + offset);
                    break;
                case 1:  // the characters, then their id offsets
                    font.characters.emplace_back(start + bytes.U16(at + 2 * e),
                                                 firstId + bytes.U16(at + 2 * (entries + e)));
                    break;
                case 2:
                    font.characters.emplace_back(start + e, firstId + e);
                    break;
                case 3:
                    font.characters.emplace_back(start + bytes.U16(at + 2 * e), firstId + e);
                    break;
                default:
                    Damaged(path, fmt::format("a character range of unknown form {}", format));
            }
        }
    }

    if (const auto kern = tables.find("kern"); kern != tables.end() && font.kerningScale != 0) {
        const std::size_t at = kern->second;
        const std::uint32_t format = bytes.U8(at + 8);
        if (format == 0) {
            const std::uint32_t pairs = bytes.U32(at + 12);
            const std::size_t idBytes = longIds ? 2 : 1;
            if (pairs > bytes.Size() / (2 * idBytes + 1))
                Damaged(path, "the 'kern' table counts more pairs than it holds");
            const std::size_t values = at + 16 + pairs * 2 * idBytes;
            for (std::uint32_t p = 0; p < pairs; ++p) {
                const std::size_t pair = at + 16 + p * 2 * idBytes;
                const std::uint32_t left = longIds ? bytes.U16(pair) : bytes.U8(pair);
                const std::uint32_t right = longIds ? bytes.U16(pair + 2) : bytes.U8(pair + 1);
                font.kerningPairs[left << 16 | right] = static_cast<std::int8_t>(bytes.U8(values + p));
            }
        } else if (format == 3) {
            const std::uint32_t glyphs = bytes.U16(at + 12), lefts = bytes.U8(at + 14),
                                rights = bytes.U8(at + 15);
            const std::size_t classes = at + 16;
            for (std::uint32_t g = 0; g < glyphs; ++g) {
                font.leftClasses.push_back(static_cast<std::uint8_t>(bytes.U8(classes + g)));
                font.rightClasses.push_back(static_cast<std::uint8_t>(bytes.U8(classes + glyphs + g)));
            }
            for (std::uint32_t v = 0; v < lefts * rights; ++v)
                font.classKerning.push_back(static_cast<std::int8_t>(bytes.U8(classes + 2 * glyphs + v)));
            font.rightClassCount = rights;
        } else {
            Damaged(path, fmt::format("kerning of unknown form {}", format));
        }
    }
    return font;
}

}  // namespace

std::uint32_t LvglFont::IdOf(char32_t c) const {
    const auto found =
        std::lower_bound(characters.begin(), characters.end(), c,
                         [](const auto& character, char32_t point) { return character.first < point; });
    return found != characters.end() && found->first == c ? found->second : 0;
}

int LvglFont::Kerning(std::uint32_t left, std::uint32_t right) const {
    int value = 0;
    if (!classKerning.empty()) {
        if (left < leftClasses.size() && right < rightClasses.size() && leftClasses[left] != 0 &&
            rightClasses[right] != 0) {
            const std::size_t at =
                (leftClasses[left] - 1u) * std::size_t{rightClassCount} + rightClasses[right] - 1u;
            if (at < classKerning.size()) value = classKerning[at];
        }
    } else if (const auto found = kerningPairs.find(left << 16 | right); found != kerningPairs.end()) {
        value = found->second;
    }
    // The stored value is 4.4 fixed point, the scale 12.4: their product has 8 fractional bits,
    // of which LVGL drops four, rounding down.
    return (value * static_cast<int>(kerningScale)) >> 4;
}

bool LooksLikeLvglFont(std::span<const std::uint8_t> start) {
    if (IsBinary(start)) return true;
    const std::string_view text(reinterpret_cast<const char*>(start.data()), start.size());
    return text.find("lvgl.h") != std::string_view::npos;
}

LvglFont ReadLvglFont(const std::string& path, std::span<const std::uint8_t> bytes) {
    LvglFont font = IsBinary(bytes)
                        ? ReadBinaryFont(path, bytes)
                        : ReadCFont(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
    std::sort(font.characters.begin(), font.characters.end());
    for (const auto& [c, id] : font.characters)
        if (id == 0 || id >= font.glyphs.size())
            Damaged(path, fmt::format("U+{:04X} is mapped to glyph {}, of {}", static_cast<std::uint32_t>(c),
                                      id, font.glyphs.size()));
    if (font.lineHeight <= 0) Damaged(path, "the line height is not positive");
    return font;
}

}  // namespace lexicorn
