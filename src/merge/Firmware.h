#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
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
    /// What the reader let pass but a person should know, "<fileName>: line <n>: <what>" each (a
    /// second start address, of which the first is kept).
    std::vector<std::string> warnings;

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

/// Text taken piece by piece, so that a large file is never held whole: its size, and `read`, which
/// fills `buffer` with the characters from `offset` (within the size) or throws. A reader may go
/// through a text more than once.
struct TextSource {
    std::uint64_t size = 0;
    std::function<void(std::uint64_t offset, std::span<char> buffer)> read;

    /// A text held in memory, which must outlive the source.
    static TextSource Of(std::string_view text);
};

/// The firmware that Intel HEX or S-record text holds (`format` is not binary); as ReadIntelHex and
/// ReadSRecord. The text is read in pieces, and its data is held once: when it fills one range of
/// addresses in the order of the file (as tools write it), in one pass; otherwise a first pass finds
/// the ranges and a second fills each, given its memory at its size. Each segment has `room` bytes
/// more reserved, so that as much painted beside it (a merge's image) does not move its data.
FirmwareFile ReadFirmware(FirmwareFormat format, const TextSource& text, const std::string& fileName,
                          std::size_t room = 0);
FirmwareFile ReadFirmware(FirmwareFormat format, std::string_view text, const std::string& fileName);

/// `file` in `format`: Intel HEX or S-records as WriteIntelHex and WriteSRecord write them, or a
/// binary from the lowest address with the gaps filled with `fill`.
void WriteFirmware(const FirmwareFile& file, FirmwareFormat format, std::uint8_t fill, const TextSink& write);

/// The form of a text by its first line, which is what follows a UTF-8 byte-order mark and any
/// blank lines, spaces and tabs within the text's first MiB. Intel HEX when that line starts with
/// ':' and two hexadecimal digits, S-records when it starts with 'S', a decimal digit and two
/// hexadecimal digits, and in either case the line, up to its first CR or LF or the end of the text,
/// is at most 1 KiB of printable ASCII characters and tabs: a record's line, damaged or not, which
/// the reader then reads or refuses with its line. Binary otherwise: a binary may start with ':' or
/// "S1" too, but hardly with a line of text.
FirmwareFormat DetectFirmwareFormat(const TextSource& text);
FirmwareFormat DetectFirmwareFormat(std::string_view text);

/// The form of the target file `fileName` that holds `text`: the form DetectFirmwareFormat finds,
/// unless that is a binary and the name's extension names a text form (.hex, .s19, ...): then that
/// form, so that a first record damaged beyond looking like one is refused with its line rather than
/// merged as a binary's bytes.
FirmwareFormat DetectTargetFormat(const TextSource& text, std::string_view fileName);

}  // namespace lexicorn
