#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "generate/StringListEngine.h"

// The placeholders that target software fills in a string: printf conversions for C, composite
// format items for .NET. A translation that changes them makes the device print garbage or crash.
namespace lexicorn {

/// The first difference between the arguments that the placeholders of `text` and of `standard`
/// (the default string) take, as a message names it; none when they take the same arguments. For
/// printf that is the type of each argument by its position (`%1$s` and `%s` alike); for .NET, each
/// item's index and format. `%%`, `{{` and `}}` are text, and so is a % before a character that is
/// no conversion.
std::optional<std::string> PlaceholderDifference(TargetLanguage language, std::string_view text,
                                                 std::string_view standard);

/// The character that every placeholder of `language` starts with: a text without it has none.
char PlaceholderMarker(TargetLanguage language);

}  // namespace lexicorn
