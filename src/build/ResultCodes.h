#pragma once

#include <cstdint>
#include <string>

namespace lexicorn {

/// A 32-bit outcome of a core operation: 0 is success, everything else names what went wrong.
using ResultCode = std::uint32_t;

inline constexpr ResultCode kSuccess = 0;
/// Memory not obtained, or no image because Initialize has not succeeded.
inline constexpr ResultCode kNoStorage = 0x2000B012;
/// A table or list is already full.
inline constexpr ResultCode kTableFull = 0x2000C026;
/// The string data would exceed the engine's capacity.
inline constexpr ResultCode kCapacityExceeded = 0x2800C002;
/// The image is not complete and cannot be written.
inline constexpr ResultCode kImageIncomplete = 0x28000003;
/// An output file cannot be created or written.
inline constexpr ResultCode kCannotCreateFile = 0x2000100B;
/// An empty string id.
inline constexpr ResultCode kEmptyStringId = 0x20003025;
/// A string id that repeats an earlier one.
inline constexpr ResultCode kDuplicateStringId = 0x2820D000;
/// A string id longer than the 99 bytes that the list holds per id.
inline constexpr ResultCode kStringIdTooLong = 0x20003026;
/// Text of the wrong kind (narrow for a wide engine, or wide for a narrow one).
inline constexpr ResultCode kWrongTextKind = 0x20003027;
/// A cell longer than the 999 units that a build holds per cell.
inline constexpr ResultCode kCellTooLong = 0x20003028;
/// A target language that no string-id list exists for.
inline constexpr ResultCode kUnknownTargetLanguage = 0x20003029;
/// The table file does not exist.
inline constexpr ResultCode kTableFileMissing = 0x20001000;

/// The code as eight upper-case hexadecimal digits, as every message shows it.
std::string HexCode(ResultCode code);

}  // namespace lexicorn
