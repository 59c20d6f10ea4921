// Code pages through iconv (glibc); a Windows port converts with WideCharToMultiByte here instead.
#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <stdexcept>

#include "base/Unicode.h"

namespace lexicorn {
namespace {

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Converts `input` whole; false when iconv stops before the end.
bool Convert(iconv_t converter, std::string_view input, std::string& output) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    output.resize(input.size() * 4 + 4);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return false;
    output.resize(output.size() - outLeft);
    return true;
}

}  // namespace

// Closes its converters however the code page ends, a constructor that throws included.
struct CodePage::Converters {
    iconv_t fromUtf8;
    iconv_t toUtf8;
    ~Converters() {
        iconv_close(fromUtf8);
        iconv_close(toUtf8);
    }
};

CodePage::CodePage(const std::string& name) : name_(name) {
    // iconv reads an empty name as the locale's character set: the strings would depend on the
    // machine that builds them, and a project that names it could not be saved as it was loaded.
    if (name.empty())
        throw std::invalid_argument(
            "no code page given: an empty name stands for the character set of the machine's locale");
    if (name.find("//") != std::string::npos)
        throw std::invalid_argument(
            "code page " + name +
            ": converter modes such as //TRANSLIT and //IGNORE change or drop characters");
    iconv_t fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    iconv_t toUtf8 = iconv_open("UTF-8", name.c_str());
    if (fromUtf8 == reinterpret_cast<iconv_t>(-1) || toUtf8 == reinterpret_cast<iconv_t>(-1)) {
        if (fromUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8);
        if (toUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8);
        throw std::invalid_argument("unknown code page: " + name);
    }
    converters_.reset(new Converters{fromUtf8, toUtf8});  // a temporary would close them on its way
    // ASCII must come out as it goes in: byte for byte, no zero bytes, nothing added.
    std::string ascii, converted;
    for (char c = 1; c > 0 && c < 0x7F; ++c) ascii += c;
    if (!Convert(converters_->fromUtf8, ascii, converted) || converted != ascii)
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
    // Every single-byte code page that a string table uses agrees with ASCII.
    if (IsAscii(utf8)) {
        output.assign(utf8);
        return true;
    }
    if (Convert(converters_->fromUtf8, utf8, output)) return true;
    // Find the culprit character by character so that the message can name it.
    std::string piece;
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t length = Utf8SequenceLength(utf8, at);
        if (!Convert(converters_->fromUtf8, utf8.substr(at, length), piece)) {
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
        if (Convert(converters_->toUtf8, std::string_view(&c, 1), piece))
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
