#pragma once

#include <string>
#include <string_view>

#include "merge/Firmware.h"

namespace lexicorn {

/// The firmware an Intel HEX text holds. Every record is checked (its digits, byte count, checksum,
/// type and length); data records are joined into segments. Refuses a damaged record, data past
/// 4 GiB, data overlapping earlier data and a text without an end-of-file record with a
/// FirmwareError "<fileName>: line <n>: <what>".
FirmwareFile ReadIntelHex(std::string_view text, const std::string& fileName);

/// `file` as Intel HEX: data records of file.recordLength bytes (1 to 255) that never cross a
/// 64 KiB boundary, an extended linear address record (04) wherever the upper 16 bits of the
/// address change, the start address as type 03 or 05, and the end-of-file record. Upper-case
/// digits; lines end with LF, or CR LF when file.crLf.
void WriteIntelHex(const FirmwareFile& file, const TextSink& write);

}  // namespace lexicorn
