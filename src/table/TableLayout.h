#pragma once

#include <cstddef>
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
/// The strings of a table of `rows` rows: every row after the header rows.
constexpr std::size_t StringCount(std::size_t rows) { return rows > kHeaderRows ? rows - kHeaderRows : 0; }
/// The row of string `string`, from 1.
constexpr std::size_t StringRow(std::size_t string) { return string + kHeaderRows; }
/// The column of language entry `entry`, from 0, in a table without notes: the languages begin with
/// the default language.
constexpr std::size_t LanguageColumn(std::size_t entry) { return entry + kDefaultColumn; }
/// A cell that holds exactly this takes the default language's string of its row.
inline constexpr std::string_view kUseDefault = "[USE_DEFAULT]";

}  // namespace lexicorn::table_layout
