#pragma once

#include <cstdint>
#include <string_view>

// Where a string table keeps what: row 1 the language names, row 2 their codes, column 1 the string
// ids, column 2 the default language; the strings from row 3 on.
namespace lexicorn::table_layout {

inline constexpr std::uint16_t kNameRow = 1;
inline constexpr std::uint16_t kCodeRow = 2;
inline constexpr std::uint16_t kHeaderRows = 2;
inline constexpr std::uint16_t kIdColumn = 1;
inline constexpr std::uint16_t kDefaultColumn = 2;
/// A cell that holds exactly this takes the default language's string of its row.
inline constexpr std::string_view kUseDefault = "[USE_DEFAULT]";

}  // namespace lexicorn::table_layout
