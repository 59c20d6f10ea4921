// Code pages through iconv (glibc); win/CodePage.cpp converts with WideCharToMultiByte instead.
#include "platform/CodePage.h"

#include <iconv.h>

#include <stdexcept>

namespace lexicorn {
namespace {

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
    RefuseName(name);
    iconv_t fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    iconv_t toUtf8 = iconv_open("UTF-8", name.c_str());
    if (fromUtf8 == reinterpret_cast<iconv_t>(-1) || toUtf8 == reinterpret_cast<iconv_t>(-1)) {
        if (fromUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8);
        if (toUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8);
        throw std::invalid_argument("unknown code page: " + name);
    }
    converters_.reset(new Converters{fromUtf8, toUtf8});  // a temporary would close them on its way
    RefuseUnlessAsciiStays();
}

CodePage::~CodePage() = default;

bool CodePage::Encode(std::string_view utf8, std::string& output) const {
    return Convert(converters_->fromUtf8, utf8, output);
}

bool CodePage::DecodeByte(char byte, std::string& utf8) const {
    return Convert(converters_->toUtf8, std::string_view(&byte, 1), utf8);
}

}  // namespace lexicorn
