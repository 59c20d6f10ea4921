#include "base/Unicode.h"

#include <fmt/format.h>

namespace lexicorn {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::optional<std::size_t> FindInvalidUtf8(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || at + length > text.size()) return at;
        for (std::size_t i = 1; i < length; ++i)
            if (!IsContinuation(static_cast<unsigned char>(text[at + i]))) return at;
        if (length > 1) {
            char32_t point = DecodeUtf8At(text, at);
            const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
            if (overlong || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return at;
        }
        at += length;
    }
    return std::nullopt;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

char32_t DecodeUtf8At(std::string_view text, std::size_t at) {
    const std::size_t length = Utf8SequenceLength(text, at);
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    if (length == 1) return byte(0);
    char32_t point = byte(0) & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) point = point << 6 | (byte(i) & 0x3F);
    return point;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string output;
    output.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        char32_t point = DecodeUtf8At(text, at);
        at += Utf8SequenceLength(text, at);
        if (point < 0x10000) {
            output += static_cast<char16_t>(point);
        } else {
            point -= 0x10000;
            output += static_cast<char16_t>(0xD800 + (point >> 10));
            output += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
        }
    }
    return output;
}

void AppendUtf8(std::string& output, char32_t point) {
    if (point < 0x80) {
        output += static_cast<char>(point);
    } else if (point < 0x800) {
        output += static_cast<char>(0xC0 | point >> 6);
        output += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        output += static_cast<char>(0xE0 | point >> 12);
        output += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        output += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        output += static_cast<char>(0xF0 | point >> 18);
        output += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        output += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        output += static_cast<char>(0x80 | (point & 0x3F));
    }
}

std::string Utf16ToUtf8(std::u16string_view text, UnpairedSurrogate unpaired) {
    std::string output;
    output.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(output, 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(output, unpaired == UnpairedSurrogate::kKept ? unit : 0xFFFD);
        } else {
            AppendUtf8(output, unit);
        }
    }
    return output;
}

std::optional<char32_t> SurrogateAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    if (at + 3 > text.size() || byte(0) != 0xED || (byte(1) & 0xE0) != 0xA0 || !IsContinuation(byte(2)))
        return std::nullopt;
    return DecodeUtf8At(text, at);
}

std::string DescribeCharacter(char32_t point) {
    std::string shown;
    if (point >= 0x20 && point != 0x7F) AppendUtf8(shown, point);
    return shown.empty() ? fmt::format("U+{:04X}", static_cast<std::uint32_t>(point))
                         : fmt::format("U+{:04X} '{}'", static_cast<std::uint32_t>(point), shown);
}

}  // namespace lexicorn
