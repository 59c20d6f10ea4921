#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "generate/StringListEngine.h"

// The placeholders that target software fills in a string: printf conversions for C, composite
// format items for .NET. A translation that changes them makes the device print garbage or crash.
namespace lexicorn {

/// The placeholders of `text` as the target language's formatting reads them, in a form where two
/// strings that take the same arguments compare equal: for printf, the type of each argument by
/// its position (`%1$s` and `%s` alike); for .NET, each item's index and format, in index order.
/// `%%`, `{{` and `}}` are text.
std::vector<std::string> PlaceholderSignature(TargetLanguage language, std::string_view text);

/// The placeholders of `text` as they are written, for messages.
std::string WrittenPlaceholders(TargetLanguage language, std::string_view text);

}  // namespace lexicorn
