#include "generate/Identifiers.h"

#include <algorithm>
#include <array>

namespace lexicorn {
namespace {

constexpr std::array<std::string_view, 59> kCKeywords = {"alignas",
                                                         "alignof",
                                                         "auto",
                                                         "bool",
                                                         "break",
                                                         "case",
                                                         "char",
                                                         "const",
                                                         "constexpr",
                                                         "continue",
                                                         "default",
                                                         "do",
                                                         "double",
                                                         "else",
                                                         "enum",
                                                         "extern",
                                                         "false",
                                                         "float",
                                                         "for",
                                                         "goto",
                                                         "if",
                                                         "inline",
                                                         "int",
                                                         "long",
                                                         "nullptr",
                                                         "register",
                                                         "restrict",
                                                         "return",
                                                         "short",
                                                         "signed",
                                                         "sizeof",
                                                         "static",
                                                         "static_assert",
                                                         "struct",
                                                         "switch",
                                                         "thread_local",
                                                         "true",
                                                         "typedef",
                                                         "typeof",
                                                         "typeof_unqual",
                                                         "union",
                                                         "unsigned",
                                                         "void",
                                                         "volatile",
                                                         "while",
                                                         "_Alignas",
                                                         "_Alignof",
                                                         "_Atomic",
                                                         "_BitInt",
                                                         "_Bool",
                                                         "_Complex",
                                                         "_Decimal128",
                                                         "_Decimal32",
                                                         "_Decimal64",
                                                         "_Generic",
                                                         "_Imaginary",
                                                         "_Noreturn",
                                                         "_Static_assert",
                                                         "_Thread_local"};

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

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// C# and Visual Basic take letters of every script; a byte of a character beyond ASCII counts as one.
bool IsWideLetter(char c) { return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80; }

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& words, std::string_view word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

std::optional<std::string> Characters(std::string_view id, bool (*letter)(char)) {
    if (id.empty()) return "it is empty";
    if (!letter(id.front()) && id.front() != '_') return "it must begin with a letter or an underscore";
    for (char c : id)
        if (!letter(c) && !IsDigit(c) && c != '_')
            return std::string("it holds '") + c + "', which a name cannot";
    return std::nullopt;
}

}  // namespace

const char* LanguageName(TargetLanguage language) {
    switch (language) {
        case TargetLanguage::kC:
            return "C";
        case TargetLanguage::kCSharp:
            return "C#";
        case TargetLanguage::kVisualBasic:
            return "Visual Basic";
    }
    return "the target language";
}

std::string NameKey(TargetLanguage language, std::string_view id) {
    return language == TargetLanguage::kVisualBasic ? Lower(id) : std::string(id);
}

std::optional<std::string> IdentifierProblem(TargetLanguage language, std::string_view id) {
    if (NameKey(language, id) == NameKey(language, kCountName))
        return std::string(kCountName) + " is the name of the count that ends the list";
    switch (language) {
        case TargetLanguage::kC:
            if (auto problem = Characters(id, IsAsciiLetter)) return problem;
            if (Contains(kCKeywords, id)) return "it is a keyword of C";
            return std::nullopt;
        case TargetLanguage::kCSharp: {
            // A leading @ makes a keyword a name.
            const bool verbatim = id.starts_with('@');
            if (verbatim) id.remove_prefix(1);
            if (auto problem = Characters(id, IsWideLetter)) return problem;
            if (!verbatim && Contains(kCSharpKeywords, id)) return "it is a keyword of C#";
            return std::nullopt;
        }
        case TargetLanguage::kVisualBasic:
            if (auto problem = Characters(id, IsWideLetter)) return problem;
            if (id == "_") return "an underscore alone is no name";
            if (Contains(kVisualBasicKeywords, Lower(id))) return "it is a keyword of Visual Basic";
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace lexicorn
