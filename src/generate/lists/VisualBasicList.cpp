#include <fmt/format.h>

#include <array>
#include <iterator>
#include <string>

#include "generate/Identifiers.h"
#include "generate/ListLanguages.h"

// Visual Basic: StringList.vb, `Module StringList` with `Enum STRING_ID`, with .NET format items.
// Its names ignore case.
namespace lexicorn {
namespace {

using namespace identifiers;

// Visual Basic's reserved words, in lower case: its names ignore case.
constexpr std::array<std::string_view, 154> kVisualBasicKeywords = {"addhandler",
                                                                    "addressof",
                                                                    "alias",
                                                                    "and",
                                                                    "andalso",
                                                                    "as",
                                                                    "boolean",
                                                                    "byref",
                                                                    "byte",
                                                                    "byval",
                                                                    "call",
                                                                    "case",
                                                                    "catch",
                                                                    "cbool",
                                                                    "cbyte",
                                                                    "cchar",
                                                                    "cdate",
                                                                    "cdbl",
                                                                    "cdec",
                                                                    "char",
                                                                    "cint",
                                                                    "class",
                                                                    "clng",
                                                                    "cobj",
                                                                    "const",
                                                                    "continue",
                                                                    "csbyte",
                                                                    "cshort",
                                                                    "csng",
                                                                    "cstr",
                                                                    "ctype",
                                                                    "cuint",
                                                                    "culng",
                                                                    "cushort",
                                                                    "date",
                                                                    "decimal",
                                                                    "declare",
                                                                    "default",
                                                                    "delegate",
                                                                    "dim",
                                                                    "directcast",
                                                                    "do",
                                                                    "double",
                                                                    "each",
                                                                    "else",
                                                                    "elseif",
                                                                    "end",
                                                                    "endif",
                                                                    "enum",
                                                                    "erase",
                                                                    "error",
                                                                    "event",
                                                                    "exit",
                                                                    "false",
                                                                    "finally",
                                                                    "for",
                                                                    "friend",
                                                                    "function",
                                                                    "get",
                                                                    "gettype",
                                                                    "getxmlnamespace",
                                                                    "global",
                                                                    "gosub",
                                                                    "goto",
                                                                    "handles",
                                                                    "if",
                                                                    "implements",
                                                                    "imports",
                                                                    "in",
                                                                    "inherits",
                                                                    "integer",
                                                                    "interface",
                                                                    "is",
                                                                    "isnot",
                                                                    "let",
                                                                    "lib",
                                                                    "like",
                                                                    "long",
                                                                    "loop",
                                                                    "me",
                                                                    "mod",
                                                                    "module",
                                                                    "mustinherit",
                                                                    "mustoverride",
                                                                    "mybase",
                                                                    "myclass",
                                                                    "nameof",
                                                                    "namespace",
                                                                    "narrowing",
                                                                    "new",
                                                                    "next",
                                                                    "not",
                                                                    "nothing",
                                                                    "notinheritable",
                                                                    "notoverridable",
                                                                    "object",
                                                                    "of",
                                                                    "on",
                                                                    "operator",
                                                                    "option",
                                                                    "optional",
                                                                    "or",
                                                                    "orelse",
                                                                    "out",
                                                                    "overloads",
                                                                    "overridable",
                                                                    "overrides",
                                                                    "paramarray",
                                                                    "partial",
                                                                    "private",
                                                                    "property",
                                                                    "protected",
                                                                    "public",
                                                                    "raiseevent",
                                                                    "readonly",
                                                                    "redim",
                                                                    "rem",
                                                                    "removehandler",
                                                                    "resume",
                                                                    "return",
                                                                    "sbyte",
                                                                    "select",
                                                                    "set",
                                                                    "shadows",
                                                                    "shared",
                                                                    "short",
                                                                    "single",
                                                                    "static",
                                                                    "step",
                                                                    "stop",
                                                                    "string",
                                                                    "structure",
                                                                    "sub",
                                                                    "synclock",
                                                                    "then",
                                                                    "throw",
                                                                    "to",
                                                                    "true",
                                                                    "try",
                                                                    "trycast",
                                                                    "typeof",
                                                                    "uinteger",
                                                                    "ulong",
                                                                    "ushort",
                                                                    "using",
                                                                    "variant",
                                                                    "wend",
                                                                    "when",
                                                                    "while",
                                                                    "widening",
                                                                    "with",
                                                                    "withevents",
                                                                    "writeonly",
                                                                    "xor"};

// The names that the list declares beside the ids, in lower case.
constexpr std::array<std::string_view, 2> kDeclaredNames = {"string_id", "stringlist"};

std::optional<std::string> IdentifierProblem(std::string_view id) {
    const std::string name = CaselessName(id);
    if (name == CaselessName(kCountName)) return CountNameProblem();
    if (auto problem = Characters(id, IsWideLetter)) return problem;
    if (id == "_") return "an underscore alone is no name";
    if (Contains(kVisualBasicKeywords, name)) return "it is a keyword of Visual Basic";
    if (Contains(kDeclaredNames, name)) return "the list itself declares it";
    return std::nullopt;
}

void WriteBody(const std::deque<std::string>& ids, std::string& output) {
    auto out = std::back_inserter(output);
    output += "Module StringList\r\n\r\n\tEnum STRING_ID\r\n\r\n";
    for (std::size_t i = 0; i < ids.size(); ++i) fmt::format_to(out, "\t\t{}\t '{}\r\n", ids[i], i);
    fmt::format_to(out, "\t\tNUMBER_OF_STRINGS\t '{}\r\n\r\n", ids.size());
    output += "\tEnd Enum\r\n\r\nEnd Module\r\n\r\n";
}

}  // namespace

constinit const ListLanguage kVisualBasicList = {
    .language = TargetLanguage::kVisualBasic,
    .name = "Visual Basic",
    .listFileName = "StringList.vb",
    .commentPrefix = "' ",
    .writeBody = WriteBody,
    .identifierProblem = IdentifierProblem,
    .nameKey = CaselessName,
    .placeholders = kDotNetPlaceholders,
};

}  // namespace lexicorn
