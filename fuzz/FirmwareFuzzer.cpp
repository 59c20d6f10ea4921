#include <cstdlib>
#include <string_view>

#include "merge/IntelHex.h"
#include "merge/SRecord.h"

// Each input is read as Intel HEX and as S-records. A FirmwareError is the reader's clear refusal;
// what is read must come back the same when written and read again.
namespace {

void RoundTrip(std::string_view text, lexicorn::FirmwareFile (*read)(std::string_view, const std::string&),
               std::string (*write)(const lexicorn::FirmwareFile&)) {
    lexicorn::FirmwareFile file;
    try {
        file = read(text, "fuzz");
    } catch (const lexicorn::FirmwareError&) {
        return;
    }
    const lexicorn::FirmwareFile back = read(write(file), "fuzz");
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
    RoundTrip(text, lexicorn::ReadIntelHex, lexicorn::WriteIntelHex);
    RoundTrip(text, lexicorn::ReadSRecord, lexicorn::WriteSRecord);
    return 0;
}
