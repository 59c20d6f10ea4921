#pragma once

#include <array>
#include <cstdint>

#include "base/SettingChoices.h"

// The choices that shape an image. Their numbers are those of project files and image headers.
namespace lexicorn {

/// How the strings are stored.
enum class Encoding : std::int8_t {
    kSingleByte = 0,  ///< one byte a character, in a code page
    kUtf16 = 1,       ///< wide characters
    kUtf8 = 2,
};

/// The width of the string offsets.
enum class TableType : std::int8_t {
    k16Bit = 0,  ///< LXN16: at most 64 KB of string data
    k32Bit = 1,  ///< LXN32
};

inline constexpr SettingChoice<Encoding> kEncodings[] = {
    {Encoding::kSingleByte, "ascii", "ASCII (Single Byte)"},
    {Encoding::kUtf16, "wide", "Unicode (Wide Char)"},
    {Encoding::kUtf8, "utf8", "UTF-8"},
};

inline constexpr SettingChoice<TableType> kTableTypes[] = {
    {TableType::k16Bit, "16", "16 bit"},
    {TableType::k32Bit, "32", "32 bit"},
};

/// The start alignments, in bytes, that strings may have within the string data.
inline constexpr std::array<std::uint8_t, 3> kStringAlignments = {1, 2, 4};

}  // namespace lexicorn
