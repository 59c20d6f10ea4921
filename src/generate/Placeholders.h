#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The placeholders that target software fills in a string: printf conversions for C, composite
// format items for .NET. A translation that changes them makes the device print garbage or crash.
namespace lexicorn {

/// One placeholder of a text as it is written, and the arguments it takes.
struct Placeholder {
    std::string written;
    std::size_t offset = 0;                                      ///< where it starts in the text, in bytes
    std::vector<std::pair<std::size_t, std::string>> arguments;  ///< position (from 1) and type
};

/// How a list language's strings write placeholders.
struct PlaceholderSyntax {
    /// The character that every placeholder starts with: a text without it has none.
    char marker;
    /// The placeholders of a text, in the order of the text.
    std::vector<Placeholder> (*find)(std::string_view text);
    /// Each placeholder writes the position of its argument (a .NET item's index), so that one
    /// argument may stand twice and the placeholder as written names it; otherwise (printf) each
    /// placeholder takes an argument of its own, whose position messages add.
    bool positionsWritten;
    /// The flag under which gettext checks these placeholders in a PO entry ("c-format").
    std::string_view gettextFlag;
    /// The `ctype` that marks them as XLIFF inline codes ("x-printf").
    std::string_view xliffType;
};

/// printf conversions: `%d`, `%1$s`, `%*.*f`; `%%` is text, and so is a % before a character that is
/// no conversion.
extern const PlaceholderSyntax kPrintfPlaceholders;
/// .NET composite format items: `{0}`, `{1,5:N2}`; `{{` and `}}` are text.
extern const PlaceholderSyntax kDotNetPlaceholders;

/// The first difference between the arguments that the placeholders of `text` and of `standard`
/// (the default string) take, as a message names it; none when they take the same arguments. For
/// printf that is the type of each argument by its position (`%1$s` and `%s` alike) and how often
/// it is taken (`%1$s %1$s` twice), and argument 0 (`%0$d`) is none at all; for .NET, each item's
/// index and format.
std::optional<std::string> PlaceholderDifference(const PlaceholderSyntax& syntax, std::string_view text,
                                                 std::string_view standard);

}  // namespace lexicorn
