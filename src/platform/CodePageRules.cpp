// What a code page must do for the strings of an image, and the conversions built on the system's
// converter: alike on every system, so that a table is refused for the same reasons everywhere.
#include <algorithm>
#include <stdexcept>

#include "base/Unicode.h"
#include "platform/CodePage.h"

namespace lexicorn {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

void CodePage::RefuseName(const std::string& name) {
    // A converter reads an empty name as the locale's character set: the strings would depend on the
    // machine that builds them, and a project that names it could not be saved as it was loaded.
    if (name.empty())
        throw std::invalid_argument(
            "no code page given: an empty name stands for the character set of the machine's locale");
    if (name.find("//") != std::string::npos)
        throw std::invalid_argument(
            "code page " + name +
            ": converter modes such as //TRANSLIT and //IGNORE change or drop characters");
}

void CodePage::RefuseUnlessAsciiStays() const {
    // ASCII must come out as it goes in: byte for byte, no zero bytes, nothing added.
    std::string ascii, converted;
    for (char c = 1; c > 0 && c < 0x7F; ++c) ascii += c;
    if (!Encode(ascii, converted) || converted != ascii)
        throw std::invalid_argument(
            "code page " + name_ +
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

bool CodePage::FromUtf8(std::string_view utf8, std::string& output, char32_t& missing) const {
    // Every single-byte code page that a string table uses agrees with ASCII.
    if (IsAscii(utf8)) {
        output.assign(utf8);
        return true;
    }
    if (Encode(utf8, output)) return true;
    // Find the culprit character by character so that the message can name it.
    std::string piece;
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t length = Utf8SequenceLength(utf8, at);
        if (!Encode(utf8.substr(at, length), piece)) {
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
        if (DecodeByte(c, piece))
            output += piece;
        else
            output += "\xEF\xBF\xBD";
    }
    return output;
}

std::string CodePage::MissingCharacter(char32_t missing) const {
    // Most tables that fail here hold languages beyond the code page's: say what holds them all.
    return "the character " + DescribeCharacter(missing) + " is not in code page " + name_ +
           "; the encodings utf8 and wide hold every character";
}

}  // namespace lexicorn
