#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace lexicorn {

/// Converts between UTF-8 and one single-byte code page (CP1252, ISO-8859-2, KOI8-R, ...).
class CodePage {
  public:
    /// Throws std::invalid_argument when the system knows no code page of that name.
    explicit CodePage(const std::string& name);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    const std::string& Name() const { return name_; }
    /// Converts valid UTF-8 text. Returns false, with the first character that the code page lacks
    /// in `missing`, when the text cannot be converted whole.
    bool FromUtf8(std::string_view utf8, std::string& output, char32_t& missing) const;
    /// Converts code-page text to UTF-8; a byte that the code page leaves undefined becomes U+FFFD.
    std::string ToUtf8(std::string_view text) const;

  private:
    struct Converters;
    std::string name_;
    std::unique_ptr<Converters> converters_;
};

}  // namespace lexicorn
