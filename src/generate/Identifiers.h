#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "generate/StringListEngine.h"

// What the string-id lists may hold: every id becomes a name in the target language's source.
namespace lexicorn {

/// The name the lists give the count of the ids after the last one.
inline constexpr std::string_view kCountName = "NUMBER_OF_STRINGS";

/// Why `id` is no name the list of `language` can hold (not an identifier, a keyword, a name the
/// language reserves, a name that the generated files or the runtime declare); none when it can.
std::optional<std::string> IdentifierProblem(TargetLanguage language, std::string_view id);

/// The form of `id` under which two ids of the list of `language` are the same name: Visual Basic
/// compares names without regard to case, C and C# byte for byte.
std::string NameKey(TargetLanguage language, std::string_view id);

/// The language's name as messages give it.
const char* LanguageName(TargetLanguage language);

}  // namespace lexicorn
