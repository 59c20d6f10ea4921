#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lexicorn {

/// The code page of single-byte text unless the user chooses another.
inline constexpr const char* kDefaultCodePage = "CP1252";

/// The single-byte code pages offered for a choice, the default first. Any other name that the
/// system's converter knows is accepted too.
inline constexpr std::array<const char*, 23> kCommonCodePages = {
    "CP1252", "CP1250", "CP1251",     "CP1253",     "CP1254",     "CP1255",     "CP1256",     "CP1257",
    "CP1258", "CP874",  "ISO-8859-1", "ISO-8859-2", "ISO-8859-5", "ISO-8859-7", "ISO-8859-9", "ISO-8859-15",
    "KOI8-R", "KOI8-U", "CP437",      "CP850",      "CP852",      "CP866",      "MACINTOSH"};

/// Converts between UTF-8 and one single-byte code page (CP1252, ISO-8859-2, KOI8-R, ...).
class CodePage {
  public:
    /// Throws std::invalid_argument, saying why, when the system knows no code page of that name or
    /// when it is none for the strings of an image (see Problem).
    explicit CodePage(const std::string& name);
    /// Why `name` is no code page for the strings of an image, none when it is one. An image's
    /// strings are zero-terminated and read by code that knows ASCII: a code page must keep ASCII
    /// as it is and never turn a character into a zero byte (so UTF-16 and UTF-32 are out), and
    /// converter modes such as //TRANSLIT and //IGNORE, which change or drop characters, are refused,
    /// as is an empty name (which the converter would take for the locale's character set).
    static std::optional<std::string> Problem(const std::string& name);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    const std::string& Name() const { return name_; }
    /// Converts valid UTF-8 text. Returns false, with the first character that the code page lacks
    /// in `missing`, when the text cannot be converted whole.
    bool FromUtf8(std::string_view utf8, std::string& output, char32_t& missing) const;
    /// Why text holding `missing` cannot be stored in this code page, as every report words it.
    std::string MissingCharacter(char32_t missing) const;
    /// Converts code-page text to UTF-8; a byte that the code page leaves undefined becomes U+FFFD.
    std::string ToUtf8(std::string_view text) const;

  private:
    // The system's converter, in the system's own file: `utf8` converted whole, or false when the
    // code page lacks a character of it; one byte in UTF-8, or false when the code page leaves it
    // undefined.
    bool Encode(std::string_view utf8, std::string& output) const;
    bool DecodeByte(char byte, std::string& utf8) const;
    // The refusals every system makes alike: before the converter is opened, and after.
    static void RefuseName(const std::string& name);
    void RefuseUnlessAsciiStays() const;

    struct Converters;
    std::string name_;
    std::unique_ptr<Converters> converters_;
};

}  // namespace lexicorn
