#include <fmt/format.h>

#include <array>
#include <iterator>
#include <string>
#include <unordered_set>

#include "generate/Identifiers.h"
#include "generate/ListLanguages.h"

// C: StringList.h, `typedef enum {...} STRING_ID;`, with printf placeholders.
namespace lexicorn {
namespace {

using namespace identifiers;

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

// C++ keywords that C lacks: the C list is compiled by C++ compilers too (Visual C++, and C++ units
// that include Lexicorn.h, which is written for them).
constexpr std::array<std::string_view, 44> kCppKeywords = {"and",
                                                           "and_eq",
                                                           "asm",
                                                           "bitand",
                                                           "bitor",
                                                           "catch",
                                                           "char16_t",
                                                           "char32_t",
                                                           "char8_t",
                                                           "class",
                                                           "co_await",
                                                           "co_return",
                                                           "co_yield",
                                                           "compl",
                                                           "concept",
                                                           "const_cast",
                                                           "consteval",
                                                           "constinit",
                                                           "decltype",
                                                           "delete",
                                                           "dynamic_cast",
                                                           "explicit",
                                                           "export",
                                                           "friend",
                                                           "mutable",
                                                           "namespace",
                                                           "new",
                                                           "noexcept",
                                                           "not",
                                                           "not_eq",
                                                           "operator",
                                                           "or",
                                                           "or_eq",
                                                           "private",
                                                           "protected",
                                                           "public",
                                                           "reinterpret_cast",
                                                           "requires",
                                                           "static_cast",
                                                           "template",
                                                           "this",
                                                           "throw",
                                                           "try",
                                                           "typeid"};

// The names that the C list meets in the unit that compiles it: its own, those of Lexicorn.c and
// LXNApiCfg.h, and those of the runtime's header. Projects that compile lexicorn_runtime.c in one
// unit with their own sources meet its internal names too.
constexpr std::array<std::string_view, 68> kCDeclaredNames = {"IS_LEXICORN_EMBEDDED",
                                                              "LEXICORN_H",
                                                              "LXNAPICFG_H",
                                                              "LXNCFG_API_FOR_ROM",
                                                              "LXNCFG_ENCODING_TYPE",
                                                              "LXNCFG_SEARCH_STEP",
                                                              "LXNCFG_STRTABLE_TYPE",
                                                              "LXN_ENCODING_ANSI",
                                                              "LXN_ENCODING_UNICODE",
                                                              "LXN_ERR_ARGUMENT",
                                                              "LXN_ERR_BUFFER",
                                                              "LXN_ERR_CONFIG",
                                                              "LXN_ERR_DAMAGED",
                                                              "LXN_ERR_FILE",
                                                              "LXN_ERR_NOT_FOUND",
                                                              "LXN_ERR_RANGE",
                                                              "LXN_ERR_SIGNATURE",
                                                              "LXN_FILE_SYSTEM",
                                                              "LXN_HEADER_SIZE",
                                                              "LXN_HEADER_WORDS",
                                                              "LXN_LANGUAGE_ENTRY_SIZE",
                                                              "LXN_OFFSET_SIZE",
                                                              "LXN_OK",
                                                              "LXN_SEARCH_STEP",
                                                              "LXN_SIGNATURE1_INVERTED",
                                                              "LXN_SIGNATURE2_INVERTED",
                                                              "LXN_STRTABLE_16",
                                                              "LXN_STRTABLE_32",
                                                              "LXN_UNIT_SIZE",
                                                              "LXN_WORD_BYTE_ORDER",
                                                              "LXN_WORD_ENCODING",
                                                              "LXN_WORD_IMAGE_SIZE",
                                                              "LXN_WORD_LANGUAGES",
                                                              "LXN_WORD_OFFSET_TABLE",
                                                              "LXN_WORD_STRINGS",
                                                              "LXN_WORD_STRING_DATA",
                                                              "LXN_WORD_TABLE_TYPE",
                                                              "LXN_WORD_UNIQUE_ID",
                                                              "STRINGLIST_H",
                                                              "STRING_ID",
                                                              "attach_at",
                                                              "copy_text",
                                                              "embeddedLexicorn",
                                                              "language_entry",
                                                              "locate_text",
                                                              "lxn_attach",
                                                              "lxn_attach_embedded",
                                                              "lxn_find",
                                                              "lxn_find_language",
                                                              "lxn_get_string",
                                                              "lxn_get_string16",
                                                              "lxn_get_string_ref",
                                                              "lxn_image",
                                                              "lxn_language_code",
                                                              "lxn_language_name",
                                                              "lxn_language_name16",
                                                              "lxn_load_file",
                                                              "lxn_result",
                                                              "multiply",
                                                              "name_offset",
                                                              "read_half",
                                                              "read_number",
                                                              "read_word",
                                                              "signature_at",
                                                              "signature_inverted",
                                                              "store_unit",
                                                              "string_offset",
                                                              "text_offset"};

// The types and macros of stddef.h and stdint.h, which Lexicorn.h includes: an enumerator of the
// same name clashes with them. Function-like macros (offsetof, INT8_C) are left out: a name without
// parentheses after it does not call them.
bool IsCHeaderName(std::string_view id) {
    static const std::unordered_set<std::string> kNames = [] {
        std::unordered_set<std::string> names = {
            "NULL",           "size_t",           "ptrdiff_t",     "wchar_t",
            "max_align_t",    "nullptr_t",        "intptr_t",      "uintptr_t",
            "intmax_t",       "uintmax_t",        "INTPTR_MIN",    "INTPTR_MAX",
            "INTPTR_WIDTH",   "UINTPTR_MAX",      "UINTPTR_WIDTH", "INTMAX_MIN",
            "INTMAX_MAX",     "INTMAX_WIDTH",     "UINTMAX_MAX",   "UINTMAX_WIDTH",
            "PTRDIFF_MIN",    "PTRDIFF_MAX",      "PTRDIFF_WIDTH", "SIG_ATOMIC_MIN",
            "SIG_ATOMIC_MAX", "SIG_ATOMIC_WIDTH", "SIZE_MAX",      "SIZE_WIDTH",
            "WCHAR_MIN",      "WCHAR_MAX",        "WCHAR_WIDTH",   "WINT_MIN",
            "WINT_MAX",       "WINT_WIDTH"};
        for (std::string bits : {"8", "16", "32", "64"})
            for (std::string kind : {"", "_least", "_fast"}) {
                const std::string lower = kind + bits;  // int_least8_t
                std::string upper = lower;              // INT_LEAST8_MAX
                for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
                names.insert({"int" + lower + "_t", "uint" + lower + "_t", "INT" + upper + "_MIN",
                              "INT" + upper + "_MAX", "UINT" + upper + "_MAX", "INT" + upper + "_WIDTH",
                              "UINT" + upper + "_WIDTH"});
            }
        return names;
    }();
    return kNames.contains(std::string(id));
}

std::optional<std::string> IdentifierProblem(std::string_view id) {
    if (id == kCountName) return CountNameProblem();
    if (auto problem = Characters(id, IsAsciiLetter)) return problem;
    if (Contains(kCKeywords, id)) return "it is a keyword of C";
    if (Contains(kCppKeywords, id)) return "it is a keyword of C++";
    // The list declares its names at file scope, where these belong to the compiler and its
    // library (__FILE__, _Bool, _WIN32, _open).
    if (id.starts_with('_')) return "C reserves names that begin with an underscore";
    if (id.find("__") != std::string_view::npos) return "C++ reserves names with two underscores in a row";
    if (Contains(kCDeclaredNames, id)) return "the generated files or the Lexicorn runtime declare it";
    if (IsCHeaderName(id)) return "stddef.h or stdint.h, which Lexicorn.h includes, declare it";
    return std::nullopt;
}

void WriteBody(const std::deque<std::string>& ids, std::string& output) {
    auto out = std::back_inserter(output);
    output += "#ifndef STRINGLIST_H\r\n#define STRINGLIST_H\r\n\r\ntypedef enum {\r\n\r\n";
    for (std::size_t i = 0; i < ids.size(); ++i) fmt::format_to(out, "\t{},\t//{}\r\n", ids[i], i);
    fmt::format_to(out, "\tNUMBER_OF_STRINGS\t//{}\r\n", ids.size());
    output += "\r\n} STRING_ID;\r\n\r\n#endif //STRINGLIST_H\r\n\r\n";
}

}  // namespace

constinit const ListLanguage kCList = {
    .language = TargetLanguage::kC,
    .name = "C",
    .listFileName = "StringList.h",
    .commentPrefix = "//",
    .writeBody = WriteBody,
    .identifierProblem = IdentifierProblem,
    .nameKey = ExactName,
    .placeholders = kPrintfPlaceholders,
};

}  // namespace lexicorn
