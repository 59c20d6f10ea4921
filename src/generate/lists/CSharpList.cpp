#include <fmt/format.h>

#include <array>
#include <iterator>
#include <string>

#include "generate/Identifiers.h"
#include "generate/ListLanguages.h"

// C#: StringList.cs, `enum STRING_ID{...};`, with .NET format items.
namespace lexicorn {
namespace {

using namespace identifiers;

constexpr std::array<std::string_view, 77> kCSharpKeywords = {
    "abstract",  "as",         "base",      "bool",     "break",    "byte",      "case",    "catch",
    "char",      "checked",    "class",     "const",    "continue", "decimal",   "default", "delegate",
    "do",        "double",     "else",      "enum",     "event",    "explicit",  "extern",  "false",
    "finally",   "fixed",      "float",     "for",      "foreach",  "goto",      "if",      "implicit",
    "in",        "int",        "interface", "internal", "is",       "lock",      "long",    "namespace",
    "new",       "null",       "object",    "operator", "out",      "override",  "params",  "private",
    "protected", "public",     "readonly",  "ref",      "return",   "sbyte",     "sealed",  "short",
    "sizeof",    "stackalloc", "static",    "string",   "struct",   "switch",    "this",    "throw",
    "true",      "try",        "typeof",    "uint",     "ulong",    "unchecked", "unsafe",  "ushort",
    "using",     "virtual",    "void",      "volatile", "while"};

// The name that the list declares beside the ids.
constexpr std::array<std::string_view, 1> kDeclaredNames = {"STRING_ID"};

std::optional<std::string> IdentifierProblem(std::string_view id) {
    // A leading @ makes a keyword a name; the name itself is what follows.
    const bool verbatim = id.starts_with('@');
    if (verbatim) id.remove_prefix(1);
    if (id == kCountName) return CountNameProblem();
    if (auto problem = Characters(id, IsWideLetter)) return problem;
    if (!verbatim && Contains(kCSharpKeywords, id)) return "it is a keyword of C#";
    // __arglist and its kind.
    if (id.find("__") != std::string_view::npos) return "C# reserves names with two underscores in a row";
    if (Contains(kDeclaredNames, id)) return "the list itself declares it";
    return std::nullopt;
}

void WriteBody(const std::deque<std::string>& ids, std::string& output) {
    auto out = std::back_inserter(output);
    output += "enum STRING_ID{\r\n\r\n";
    for (std::size_t i = 0; i < ids.size(); ++i) fmt::format_to(out, "\t{}, \t//{}\r\n", ids[i], i);
    fmt::format_to(out, "\tNUMBER_OF_STRINGS\t//{}\r\n", ids.size());
    output += "\r\n};";
}

}  // namespace

constinit const ListLanguage kCSharpList = {
    .language = TargetLanguage::kCSharp,
    .name = "C#",
    .listFileName = "StringList.cs",
    .commentPrefix = "//",
    .writeBody = WriteBody,
    .identifierProblem = IdentifierProblem,
    .nameKey = ExactName,
    .placeholders = kDotNetPlaceholders,
};

}  // namespace lexicorn
