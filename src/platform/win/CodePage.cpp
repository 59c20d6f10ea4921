// Windows code pages through MultiByteToWideChar and WideCharToMultiByte. The names are the ones
// iconv knows on the other systems, so that a project reads alike everywhere; best-fit mapping
// (which would turn "ł" into "l") is off, so a character the code page lacks is refused, as there.
#include "platform/CodePage.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>

#include "base/Unicode.h"

namespace lexicorn {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The number after `prefix` in `name`, none when `name` is not the prefix and a number alone.
std::optional<unsigned> NumberAfter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || name.size() == prefix.size()) return std::nullopt;
    unsigned number = 0;
    const auto [end, error] = std::from_chars(name.data() + prefix.size(), name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size()) return std::nullopt;
    return number;
}

// The Windows code page of an iconv name: CPnnn and WINDOWS-nnn are Windows' own numbers; the
// ISO 8859 parts are 28590 + their number, 15 being 28605.
std::optional<UINT> WindowsCodePage(const std::string& name) {
    const std::string upper = Upper(name);
    if (upper == "KOI8-R") return 20866;
    if (upper == "KOI8-U") return 21866;
    if (upper == "MACINTOSH") return 10000;
    for (const char* prefix : {"CP", "WINDOWS-"})
        if (const auto number = NumberAfter(upper, prefix)) return *number;
    for (const char* prefix : {"ISO-8859-", "ISO8859-", "ISO_8859-"})
        if (const auto part = NumberAfter(upper, prefix); part && *part >= 1 && *part <= 15)
            return 28590 + *part;
    return std::nullopt;
}

std::wstring Utf16FromUtf8(std::string_view utf8, bool& valid) {
    std::wstring wide(utf8.size(), L'\0');
    const int length =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                            wide.data(), static_cast<int>(wide.size()));
    valid = length > 0 || utf8.empty();
    wide.resize(static_cast<std::size_t>(std::max(length, 0)));
    return wide;
}

// Converts UTF-8 `input` whole; false when the code page lacks a character of it.
bool Encode(UINT codePage, std::string_view input, std::string& output) {
    bool valid = false;
    const std::wstring wide = Utf16FromUtf8(input, valid);
    if (!valid) return false;
    output.assign(wide.size() * 2 + 2, '\0');
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                            output.data(), static_cast<int>(output.size()), nullptr, &usedDefault);
    if ((length <= 0 && !wide.empty()) || usedDefault) return false;
    output.resize(static_cast<std::size_t>(std::max(length, 0)));
    return true;
}

// One byte of the code page in UTF-8; false when the code page leaves it undefined.
bool DecodeByte(UINT codePage, char byte, std::string& output) {
    wchar_t wide[2];
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, &byte, 1, wide, 2);
    if (length <= 0) return false;
    char utf8[8];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, utf8, sizeof utf8, nullptr, nullptr);
    if (bytes <= 0) return false;
    output.assign(utf8, static_cast<std::size_t>(bytes));
    return true;
}

}  // namespace

struct CodePage::Converters {
    UINT codePage;
};

CodePage::CodePage(const std::string& name) : name_(name) {
    if (name.empty())
        throw std::invalid_argument(
            "no code page given: an empty name stands for the character set of the machine's locale");
    if (name.find("//") != std::string::npos)
        throw std::invalid_argument(
            "code page " + name +
            ": converter modes such as //TRANSLIT and //IGNORE change or drop characters");
    const std::optional<UINT> codePage = WindowsCodePage(name);
    if (!codePage || !IsValidCodePage(*codePage)) throw std::invalid_argument("unknown code page: " + name);
    converters_ = std::make_unique<Converters>(Converters{*codePage});
    // ASCII must come out as it goes in: byte for byte, no zero bytes, nothing added.
    std::string ascii, converted;
    for (char c = 1; c > 0 && c < 0x7F; ++c) ascii += c;
    if (!Encode(converters_->codePage, ascii, converted) || converted != ascii)
        throw std::invalid_argument(
            "code page " + name +
            ": not a code page for the strings of an image (ASCII must stay as it is, and "
            "no character may become a zero byte)");
}

std::optional<std::string> CodePage::Problem(const std::string& name) {
    try {
        CodePage probe(name);
        return std::nullopt;
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
}

CodePage::~CodePage() = default;

bool CodePage::FromUtf8(std::string_view utf8, std::string& output, char32_t& missing) const {
    if (IsAscii(utf8)) {
        output.assign(utf8);
        return true;
    }
    if (Encode(converters_->codePage, utf8, output)) return true;
    // Find the culprit character by character so that the message can name it.
    std::string piece;
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t length = Utf8SequenceLength(utf8, at);
        if (!Encode(converters_->codePage, utf8.substr(at, length), piece)) {
            missing = DecodeUtf8At(utf8, at);
            return false;
        }
        at += length;
    }
    missing = 0xFFFD;
    return false;
}

std::string CodePage::ToUtf8(std::string_view text) const {
    if (IsAscii(text)) return std::string(text);
    std::string output, piece;
    for (char c : text) {
        if (DecodeByte(converters_->codePage, c, piece))
            output += piece;
        else
            output += "\xEF\xBF\xBD";
    }
    return output;
}

std::string CodePage::MissingCharacter(char32_t missing) const {
    return "the character " + DescribeCharacter(missing) + " is not in code page " + name_ +
           "; the encodings utf8 and wide hold every character";
}

}  // namespace lexicorn
