#pragma once

#include <string>
#include <string_view>

#include "merge/Firmware.h"

namespace lexicorn {

/// The firmware an Intel HEX text holds. Every record is checked (its digits, byte count, checksum,
/// type, length, and the address field 0000 of the records other than data); data records are
/// joined into segments. Refuses a damaged record, data past 4 GiB, data overlapping earlier data,
/// a text without an end-of-file record and anything after it but blank lines (and the end-of-text
/// mark Ctrl-Z) with a FirmwareError "<fileName>: line <n>: <what>". Of two start addresses the
/// first is kept, with a warning.
FirmwareFile ReadIntelHex(std::string_view text, const std::string& fileName);

/// `file` as Intel HEX: data records of file.recordLength bytes (1 to 255) that never cross a
/// 64 KiB boundary, an extended linear address record (04) wherever the upper 16 bits of the
/// address change, the start address as type 03 or 05, and the end-of-file record. Upper-case
/// digits; lines end with LF, or CR LF when file.crLf.
void WriteIntelHex(const FirmwareFile& file, const TextSink& write);

}  // namespace lexicorn
