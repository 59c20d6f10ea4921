#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "merge/Firmware.h"
#include "merge/SignatureFinder.h"

namespace lexicorn {

/// From the lowest address that holds data to one past the highest.
struct AddressSpan {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
};

/// The span of the file's data; {0, 0} when it holds none.
AddressSpan SpanOf(const FirmwareFile& file);

/// Writes `bytes` at `address` over whatever data stands there; touching segments become one.
/// The bytes must end at 4 GiB at the latest.
void Paint(FirmwareFile& file, std::uint32_t address, std::span<const std::uint8_t> bytes);

/// The first whole image signature in the data at or after address `from`, in address order: a
/// signature may run across records, but not across a gap, which is no data. `offset` is the address.
std::optional<SignatureMatch> FindSignature(const FirmwareFile& file, std::uint64_t from = 0);

/// `count` bytes of data from `address` when they all stand there without a gap.
std::optional<std::span<const std::uint8_t>> DataAt(const FirmwareFile& file, std::uint32_t address,
                                                    std::size_t count);

/// The data as one binary from the lowest address to the highest, gaps filled with `fill`, handed to
/// `write` piece by piece: a span of gigabytes is never held whole.
void WriteBinary(const FirmwareFile& file, std::uint8_t fill, const TextSink& write);

}  // namespace lexicorn
