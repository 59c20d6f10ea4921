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
/// A string id that the string-id list's language cannot take as a name.
inline constexpr ResultCode kInvalidStringId = 0x2000302A;
/// Warnings of the table check, refused because the build was asked to be strict.
inline constexpr ResultCode kCheckWarnings = 0x2000302B;
/// A string holds a character that the device's font lacks.
inline constexpr ResultCode kGlyphMissing = 0x2000302C;
/// A string is wider, or has more lines, than the device gives it.
inline constexpr ResultCode kTooWide = 0x2000302D;
/// A translation's placeholders differ in type or count from the default string's: printing it
/// would read its arguments wrongly.
inline constexpr ResultCode kPlaceholderMismatch = 0x2000302E;
/// The table file does not exist.
inline constexpr ResultCode kTableFileMissing = 0x20001000;

// File access and the merger.
/// A merge was asked for before an image file was accepted and a target scanned.
inline constexpr ResultCode kMergeNotReady = 0x20000024;
/// A read delivered fewer bytes than asked.
inline constexpr ResultCode kShortRead = 0x20001004;
/// A file cannot be opened in the requested mode.
inline constexpr ResultCode kCannotOpenFile = 0x20001006;
/// Open requested on an open file object.
inline constexpr ResultCode kAlreadyOpen = 0x20001007;
/// Close requested on a closed file object.
inline constexpr ResultCode kNotOpen = 0x20001009;
/// A file of 4 GiB or more: sizes and offsets of the merger are 32-bit.
inline constexpr ResultCode kFileTooLarge = 0x2000100C;
/// A range beyond the file's length; a merge mode or placement out of range.
inline constexpr ResultCode kOutOfRange = 0x2000C016;
/// The placement is not available in the merge mode.
inline constexpr ResultCode kPlacementNotInMode = 0x2000D023;
/// An explicit address at which the image would end beyond 4 GiB.
inline constexpr ResultCode kAddressOverflow = 0x2000D024;
/// Placed before a target's lowest address, the image would start below address 0.
inline constexpr ResultCode kBelowAddressZero = 0x2000D025;
/// The chosen file does not begin with the Lexicorn signature.
inline constexpr ResultCode kNotALexicorn = 0x2810A000;
/// The image file cannot be opened for the merge.
inline constexpr ResultCode kCannotOpenImage = 0x20201001;
/// The target file cannot be opened for the merge.
inline constexpr ResultCode kCannotOpenTarget = 0x20201002;
/// The output file cannot be written.
inline constexpr ResultCode kCannotCreateOutput = 0x20201003;
/// An output file is an input: the merge's image or target, the build's table or project.
inline constexpr ResultCode kOutputIsInput = 0x20201004;
/// The target reads as Intel HEX or S-records but has a damaged record.
inline constexpr ResultCode kDamagedTarget = 0x20201005;
/// The target holds no byte: nothing to merge into (a shell's `> target` empties it first).
inline constexpr ResultCode kEmptyTarget = 0x20201006;

/// The code as eight upper-case hexadecimal digits, as every message shows it.
std::string HexCode(ResultCode code);

}  // namespace lexicorn
