#pragma once

#include <string>
#include <string_view>

#include "merge/Firmware.h"

namespace lexicorn {

/// The firmware a Motorola S-record text holds: S0 header, S1/S2/S3 data, S5/S6 record count
/// (checked against the data records before it) and the S7/S8/S9 termination with the start
/// address, after which nothing but blank lines (and the end-of-text mark Ctrl-Z) may follow; a
/// text may end without one, as srec_cat writes them when there is no start address. Every record
/// is checked as ReadIntelHex checks. Errors are FirmwareErrors "<fileName>: line <n>: <what>".
FirmwareFile ReadSRecord(std::string_view text, const std::string& fileName);

/// `file` as S-records: the S0 header when file.header is set (and for a file of another form
/// without one, the plain header "HDR", as converters write one), data records with
/// file.addressBytes address bytes (widened for the whole file when an address or the start
/// address needs more) of file.recordLength data bytes each, S5 (S6 beyond 65535 records) when
/// file.hasCount, and the termination record of the address width with the start address or 0.
/// Upper-case digits; lines end with LF, or CR LF when file.crLf.
void WriteSRecord(const FirmwareFile& file, const TextSink& write);

}  // namespace lexicorn
