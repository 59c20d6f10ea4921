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
/// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
/// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& output, char32_t codePoint);
/// "U+00E9 'é'": a character as messages name it.
std::string DescribeCharacter(char32_t codePoint);

}  // namespace lexicorn
