#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Error.h"

namespace lexicorn {

/// The forms a merge target (and output) may take, known by content.
enum class FirmwareFormat { kBinary, kIntelHex, kSRecord };

/// Bytes at consecutive addresses.
struct Segment {
    std::uint32_t address = 0;
    std::vector<std::uint8_t> bytes;  ///< never empty; address + size never passes 2^32

    std::uint64_t End() const { return std::uint64_t{address} + bytes.size(); }
    bool operator==(const Segment&) const = default;
};

/// A firmware file read as an address space: its data where its records put it, and what its
/// records say besides, so that it can be written back in its own form.
struct FirmwareFile {
    FirmwareFormat format = FirmwareFormat::kBinary;
    /// Sorted by address, never overlapping; touching records are joined into one segment.
    std::vector<Segment> segments;
    /// Data bytes per data record, the longest the file has (16 when it has none).
    std::size_t recordLength = 16;
    /// The execution start: Intel HEX type 03 (CS << 16 | IP) or 05, S-record S7/S8/S9 address.
    std::optional<std::uint32_t> startAddress;
    /// Intel HEX: the start came as a segment address (type 03) rather than a linear one (05).
    bool segmentStart = false;
    /// S-records: the S0 header record's data bytes, when there is one.
    std::optional<std::vector<std::uint8_t>> header;
    /// S-records: bytes of a data record's address as the file has them (2 for S1, 3 for S2, 4 for
    /// S3); a writer widens it when an address needs more.
    int addressBytes = 2;
    /// S-records: the file had a record count (S5/S6); the writer writes one.
    bool hasCount = false;
    /// Intel HEX and S-records: the lines end with CR LF, as the file's first line does; the
    /// writers end them so, and with LF otherwise.
    bool crLf = false;

    /// The execution start as a linear address: a segment start is CS * 16 + IP.
    std::optional<std::uint32_t> LinearStart() const {
        if (!startAddress || !segmentStart) return startAddress;
        return (*startAddress >> 16) * 16 + (*startAddress & 0xFFFF);
    }

    bool operator==(const FirmwareFile&) const = default;
};

/// A record that cannot be read: names the file and line and says what is wrong
/// ("fw.hex: line 7: the checksum is 3C, the record needs 3D").
class FirmwareError : public Error {
  public:
    explicit FirmwareError(const std::string& message) : Error(kCannotOpenFile, message) {}
};

/// Text handed on piece by piece, so that a large file is never held whole.
using TextSink = std::function<void(std::string_view)>;

/// The firmware that Intel HEX or S-record text holds (`format` is not binary); as ReadIntelHex and
/// ReadSRecord.
FirmwareFile ReadFirmware(FirmwareFormat format, std::string_view text, const std::string& fileName);

/// `file` in `format`: Intel HEX or S-records as WriteIntelHex and WriteSRecord write them, or a
/// binary from the lowest address with the gaps filled with `fill`.
void WriteFirmware(const FirmwareFile& file, FirmwareFormat format, std::uint8_t fill, const TextSink& write);

/// Intel HEX when the text starts with ':' and a hexadecimal digit, S-records when it starts with
/// 'S' and a digit, and the rest of that first line is hexadecimal digits (8 or more; spaces
/// allowed); binary otherwise (leading blank lines and spaces skipped). `start` should hold the
/// first line whole: 1 KiB does.
FirmwareFormat DetectFirmwareFormat(std::string_view start);

}  // namespace lexicorn
