#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// Declarations only: the fuzzers attach images in memory, none is compiled in.
#define IS_LEXICORN_EMBEDDED 0
#include "Lexicorn.h"

// The builds of the target runtime that RuntimeBuilds.cmake compiles side by side, each under its
// own prefix, as one table of function pointers.
struct RuntimeBuild {
    const char* name;
    // What the build's LXNApiCfg.h configures; none for the library, which reads every image.
    std::optional<std::uint32_t> tableType, encoding;
    std::size_t searchStep;
    lxn_result (*attach)(lxn_image*, const void*, std::size_t);
    lxn_result (*find)(lxn_image*, const void*, std::size_t);
    lxn_result (*loadFile)(lxn_image*, const char*, void*, std::size_t);  // null for a target without files
    lxn_result (*languageCode)(const lxn_image*, std::uint32_t, char[3]);
    lxn_result (*findLanguage)(const lxn_image*, const char*, std::uint32_t*);
    lxn_result (*languageName)(const lxn_image*, std::uint32_t, char*, std::size_t, std::size_t*);
    lxn_result (*languageName16)(const lxn_image*, std::uint32_t, std::uint16_t*, std::size_t, std::size_t*);
    lxn_result (*getString)(const lxn_image*, std::uint32_t, std::uint32_t, char*, std::size_t, std::size_t*);
    lxn_result (*getString16)(const lxn_image*, std::uint32_t, std::uint32_t, std::uint16_t*, std::size_t,
                              std::size_t*);
    lxn_result (*getStringRef)(const lxn_image*, std::uint32_t, std::uint32_t, const void**, std::size_t*);
};

#define LEXICORN_DECLARE_RUNTIME_BUILD(prefix)                                                          \
    extern "C" {                                                                                        \
    lxn_result prefix##_attach(lxn_image*, const void*, size_t);                                        \
    lxn_result prefix##_find(lxn_image*, const void*, size_t);                                          \
    lxn_result prefix##_load_file(lxn_image*, const char*, void*, size_t);                              \
    lxn_result prefix##_language_code(const lxn_image*, uint32_t, char[3]);                             \
    lxn_result prefix##_find_language(const lxn_image*, const char*, uint32_t*);                        \
    lxn_result prefix##_language_name(const lxn_image*, uint32_t, char*, size_t, size_t*);              \
    lxn_result prefix##_language_name16(const lxn_image*, uint32_t, uint16_t*, size_t, size_t*);        \
    lxn_result prefix##_get_string(const lxn_image*, uint32_t, uint32_t, char*, size_t, size_t*);       \
    lxn_result prefix##_get_string16(const lxn_image*, uint32_t, uint32_t, uint16_t*, size_t, size_t*); \
    lxn_result prefix##_get_string_ref(const lxn_image*, uint32_t, uint32_t, const void**, size_t*);    \
    }

LEXICORN_DECLARE_RUNTIME_BUILD(lxnlib)
LEXICORN_DECLARE_RUNTIME_BUILD(lxn16a)
LEXICORN_DECLARE_RUNTIME_BUILD(lxn16u)
LEXICORN_DECLARE_RUNTIME_BUILD(lxn32a)
LEXICORN_DECLARE_RUNTIME_BUILD(lxn32u)

#define LEXICORN_RUNTIME_FUNCTIONS(prefix, loadFile)                                                  \
    prefix##_attach, prefix##_find, loadFile, prefix##_language_code, prefix##_find_language,         \
        prefix##_language_name, prefix##_language_name16, prefix##_get_string, prefix##_get_string16, \
        prefix##_get_string_ref

// The library first: it reads every image, and the builds configured for one kind of image must
// answer as it does for that kind. Keep in step with RuntimeBuilds.cmake.
inline const RuntimeBuild kRuntimeBuilds[] = {
    {"library", std::nullopt, std::nullopt, 1, LEXICORN_RUNTIME_FUNCTIONS(lxnlib, lxnlib_load_file)},
    {"16-bit single-byte for ROM", LXN_STRTABLE_16, LXN_ENCODING_ANSI, 2,
     LEXICORN_RUNTIME_FUNCTIONS(lxn16a, nullptr)},
    {"16-bit UTF-16", LXN_STRTABLE_16, LXN_ENCODING_UNICODE, 16,
     LEXICORN_RUNTIME_FUNCTIONS(lxn16u, lxn16u_load_file)},
    {"32-bit single-byte", LXN_STRTABLE_32, LXN_ENCODING_ANSI, 4,
     LEXICORN_RUNTIME_FUNCTIONS(lxn32a, lxn32a_load_file)},
    {"32-bit UTF-16 for ROM", LXN_STRTABLE_32, LXN_ENCODING_UNICODE, 8,
     LEXICORN_RUNTIME_FUNCTIONS(lxn32u, nullptr)},
};
