#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "merge/AddressSpace.h"
#include "merge/Firmware.h"
#include "merge/FirmwareScan.h"

// Each input is read as Intel HEX and as S-records. A FirmwareError is the reader's clear refusal;
// what is read must come back the same when written and read again, and a scan of the text, which
// holds none of the data, must find what the data held whole shows.
namespace {

// The scan with windows of a few bytes, so that a text out of order is read window by window.
void CheckScan(std::string_view text, const lexicorn::FirmwareFile& file) {
    const lexicorn::FirmwareScan scan(file.format, lexicorn::TextSource::Of(text), "fuzz", 16);
    const lexicorn::AddressSpan span = lexicorn::SpanOf(file);
    if (scan.Span().low != span.low || scan.Span().high != span.high ||
        scan.Records().warnings != file.warnings)
        std::abort();
    const auto match = lexicorn::FindSignature(file);
    if (scan.FindSignature() != match) std::abort();
    if (!match) return;
    if (scan.FindSignature(match->offset + 1) != lexicorn::FindSignature(file, match->offset + 1))
        std::abort();
    const auto address = static_cast<std::uint32_t>(match->offset);
    for (std::size_t count : {std::size_t{44}, std::size_t{100}}) {
        const auto whole = lexicorn::DataAt(file, address, count);
        const auto scanned = scan.DataAt(address, count);
        if (whole.has_value() != scanned.has_value() ||
            (whole && !std::equal(whole->begin(), whole->end(), scanned->begin(), scanned->end())))
            std::abort();
    }
}

void RoundTrip(std::string_view text, lexicorn::FirmwareFormat format) {
    lexicorn::FirmwareFile file;
    try {
        file = lexicorn::ReadFirmware(format, text, "fuzz");
    } catch (const lexicorn::FirmwareError&) {
        return;
    }
    CheckScan(text, file);
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
    lexicorn::DetectFirmwareFormat(text);
    RoundTrip(text, lexicorn::FirmwareFormat::kIntelHex);
    RoundTrip(text, lexicorn::FirmwareFormat::kSRecord);
    return 0;
}
