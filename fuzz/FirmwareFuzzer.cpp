#include <cstdlib>
#include <string>
#include <string_view>

#include "merge/Firmware.h"

// Each input is read as Intel HEX and as S-records. A FirmwareError is the reader's clear refusal;
// what is read must come back the same when written and read again.
namespace {

void RoundTrip(std::string_view text, lexicorn::FirmwareFormat format) {
    lexicorn::FirmwareFile file;
    try {
        file = lexicorn::ReadFirmware(format, text, "fuzz");
    } catch (const lexicorn::FirmwareError&) {
        return;
    }
    std::string written;
    lexicorn::WriteFirmware(file, format, 0, [&](std::string_view piece) { written += piece; });
    const lexicorn::FirmwareFile back = lexicorn::ReadFirmware(format, written, "fuzz");
    // The writers may cut records shorter, widen S-record addresses and always end S-records
    // with a start address; the data and the rest must stay.
    const bool sRecords = file.format == lexicorn::FirmwareFormat::kSRecord;
    if (back.segments != file.segments || back.header != file.header || back.hasCount != file.hasCount ||
        back.crLf != file.crLf || back.segmentStart != file.segmentStart ||
        back.startAddress != (sRecords ? file.startAddress.value_or(0) : file.startAddress))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RoundTrip(text, lexicorn::FirmwareFormat::kIntelHex);
    RoundTrip(text, lexicorn::FirmwareFormat::kSRecord);
    return 0;
}
