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

// Windows' number for UTF-16, which no byte conversion takes.
constexpr UINT kUtf16CodePage = 1200;

// The Windows code page of an iconv name: CPnnn and WINDOWS-nnn are Windows' own numbers; the
// ISO 8859 parts are 28590 + their number, 15 being 28605. The wide Unicode forms are known names
// (as to iconv), so that they are refused for what they are: no code page for an image's strings.
std::optional<UINT> WindowsCodePage(const std::string& name) {
    const std::string upper = Upper(name);
    for (const char* wide : {"UTF-16", "UTF-32", "UCS-2", "UCS-4"})
        if (upper.starts_with(wide)) return kUtf16CodePage;
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
bool EncodeIn(UINT codePage, std::string_view input, std::string& output) {
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
bool DecodeByteIn(UINT codePage, char byte, std::string& output) {
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
    RefuseName(name);
    const std::optional<UINT> codePage = WindowsCodePage(name);
    if (!codePage || (*codePage != kUtf16CodePage && !IsValidCodePage(*codePage)))
        throw std::invalid_argument("unknown code page: " + name);
    converters_ = std::make_unique<Converters>(Converters{*codePage});
    RefuseUnlessAsciiStays();
}

CodePage::~CodePage() = default;

bool CodePage::Encode(std::string_view utf8, std::string& output) const {
    return EncodeIn(converters_->codePage, utf8, output);
}

bool CodePage::DecodeByte(char byte, std::string& utf8) const {
    return DecodeByteIn(converters_->codePage, byte, utf8);
}

}  // namespace lexicorn
