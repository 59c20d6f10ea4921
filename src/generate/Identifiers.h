#pragma once

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

// What the string-id lists may hold: every id becomes a name in the target language's source. The
// rules of each language are its own (generate/lists/); these are the pieces they share.
namespace lexicorn {

/// The name the lists give the count of the ids after the last one.
inline constexpr std::string_view kCountName = "NUMBER_OF_STRINGS";

namespace identifiers {

bool IsAsciiLetter(char c);
/// C# and Visual Basic take letters of every script; a byte of a character beyond ASCII counts as one.
bool IsWideLetter(char c);

/// An id as it is, for languages that tell names apart byte for byte.
std::string ExactName(std::string_view id);
/// An id in lower case, for languages whose names ignore case.
std::string CaselessName(std::string_view id);

/// Why an id cannot be the count's name.
std::string CountNameProblem();

/// Why `id` is no name made of `letter`s, digits and underscores that does not begin with a digit;
/// none when it is one.
std::optional<std::string> Characters(std::string_view id, bool (*letter)(char));

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

}  // namespace identifiers
}  // namespace lexicorn
