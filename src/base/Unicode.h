#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lexicorn {

/// The byte offset of the first byte that is not part of valid UTF-8, none when all of it is valid.
std::optional<std::size_t> FindInvalidUtf8(std::string_view text);
/// The length of the (valid) UTF-8 sequence that starts at `at`.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
/// The code point of the (valid) UTF-8 sequence that starts at `at`.
char32_t DecodeUtf8At(std::string_view text, std::size_t at);
/// Converts valid UTF-8 to UTF-16.
std::u16string Utf8ToUtf16(std::string_view text);
/// What becomes of a surrogate of UTF-16 text that has no partner.
enum class UnpairedSurrogate {
    kReplaced,  ///< U+FFFD: text that is only shown
    kKept,      ///< the three bytes UTF-8 would give it, which FindInvalidUtf8 finds: text that a
                ///< check must refuse where it stands rather than have it changed unseen
};
/// Converts UTF-16 to UTF-8.
std::string Utf16ToUtf8(std::u16string_view text, UnpairedSurrogate unpaired = UnpairedSurrogate::kReplaced);
/// The surrogate whose three bytes (as UnpairedSurrogate::kKept gives them) start at `at`; none
/// when none does.
std::optional<char32_t> SurrogateAt(std::string_view text, std::size_t at);
/// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& output, char32_t codePoint);
/// "U+00E9 'é'": a character as messages name it.
std::string DescribeCharacter(char32_t codePoint);

}  // namespace lexicorn
