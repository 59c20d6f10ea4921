#include "merge/IntelHex.h"

#include <fmt/format.h>

#include <algorithm>

#include "merge/FirmwareForms.h"
#include "merge/FirmwareText.h"

namespace lexicorn {
namespace {

using firmware::HexByte;
using firmware::IsEndOfTextMark;
using firmware::ThrowAt;

enum RecordType : std::uint8_t {
    kData = 0,
    kEndOfFile = 1,
    kExtendedSegmentAddress = 2,
    kStartSegmentAddress = 3,
    kExtendedLinearAddress = 4,
    kStartLinearAddress = 5,
};

// The data bytes each record type other than data must have.
constexpr std::size_t kFixedLength[] = {0, 0, 2, 4, 2, 4};

// ':', count, two address bytes, type, checksum: the digits around a record's data.
constexpr std::size_t kRecordOverhead = 1 + 2 * 5;
static_assert(kRecordOverhead + 2 * 255 + 2 <= firmware::PieceWriter::kRoom,
              "a record's line fits in the room");

// Stores the record, line end included, at `out` and returns the place after it.
char* PutRecord(char* out, std::uint8_t type, std::uint16_t offset, const std::uint8_t* data,
                std::size_t length, std::string_view lineEnd) {
    using firmware::PutHexByte;
    const auto count = static_cast<std::uint8_t>(length);
    const auto high = static_cast<std::uint8_t>(offset >> 8);
    const auto low = static_cast<std::uint8_t>(offset);
    unsigned sum = count + high + low + type;
    *out++ = ':';
    out = PutHexByte(out, count);
    out = PutHexByte(out, high);
    out = PutHexByte(out, low);
    out = PutHexByte(out, type);
    for (std::size_t i = 0; i < length; ++i) {
        sum += data[i];
        out = PutHexByte(out, data[i]);
    }
    out = PutHexByte(out, static_cast<std::uint8_t>(0x100 - (sum & 0xFF)));
    for (char c : lineEnd) *out++ = c;
    return out;
}

std::uint16_t Word(const std::uint8_t* at) { return static_cast<std::uint16_t>(at[0] << 8 | at[1]); }

}  // namespace

FirmwareFile ReadIntelHex(std::string_view text, const std::string& fileName) {
    return ReadFirmware(FirmwareFormat::kIntelHex, text, fileName);
}

namespace firmware {
namespace {

FirmwareFile ReadIntelHexRecords(TextLines& lines, const std::string& fileName, DataSink& sink) {
    FirmwareFile file;
    file.format = FirmwareFormat::kIntelHex;
    std::vector<std::uint8_t> record;
    record.reserve(kRecordOverhead + 2 * 255);
    std::uint32_t base = 0;
    // After a type 02 record the offset wraps inside the 64 KiB segment; after type 04 (and
    // without either) a record runs on linearly, as other tools read it too.
    bool segmentAddressing = false;
    std::size_t longest = 0;
    std::size_t startLine = 0;
    std::size_t endLine = 0;
    std::string_view line;
    while (lines.Next(line)) {
        if (line.empty()) continue;
        const std::size_t number = lines.Number();
        // Nothing may follow the end: a record there would be lost without a word.
        if (endLine) {
            if (IsEndOfTextMark(line)) continue;
            ThrowAt(fileName, number,
                    fmt::format("the file goes on after its end-of-file record (line {})", endLine));
        }
        if (line[0] != ':') ThrowAt(fileName, number, "the line does not start with ':'");
        firmware::DecodeHex(line.substr(1), lines.Indent() + 2, fileName, number, record);
        if (record.size() < 5)
            ThrowAt(fileName, number,
                    fmt::format("the record has {} bytes, the shortest record has 5", record.size()));
        const std::size_t length = record[0];
        if (record.size() != length + 5)
            ThrowAt(fileName, number,
                    fmt::format("the byte count is {} ({} data bytes), the record has {} data bytes",
                                HexByte(record[0]), length, record.size() - 5));
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < record.size(); ++i) sum += record[i];
        const auto needed = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
        if (record.back() != needed)
            ThrowAt(fileName, number,
                    fmt::format("the checksum is {}, the record needs {}", HexByte(record.back()),
                                HexByte(needed)));
        const std::uint16_t offset = Word(&record[1]);
        const std::uint8_t type = record[3];
        const std::uint8_t* data = &record[4];
        if (type > kStartLinearAddress)
            ThrowAt(fileName, number, fmt::format("unknown record type {}", HexByte(type)));
        if (type != kData && length != kFixedLength[type])
            ThrowAt(fileName, number,
                    fmt::format("a record of type {} has {} data bytes, this one has {}", HexByte(type),
                                kFixedLength[type], length));
        // Address records say their address in their data; another in the address field is a
        // record that means something else than it seems.
        if (type >= kExtendedSegmentAddress && offset != 0)
            ThrowAt(fileName, number,
                    fmt::format("a record of type {} has the address 0000, this one has {:04X}",
                                HexByte(type), offset));
        const bool start = type == kStartSegmentAddress || type == kStartLinearAddress;
        if (start && startLine) {
            // As srec_cat does, the first start address stands.
            file.warnings.push_back(fmt::format(
                "{}: line {}: a second start address record (type {}): the one of line {} is kept", fileName,
                number, HexByte(type), startLine));
            continue;
        }
        switch (type) {
            case kData:
                longest = std::max(longest, length);
                if (segmentAddressing && offset + length > 0x10000) {
                    const std::size_t first = 0x10000 - offset;
                    firmware::AddData(sink, std::uint64_t{base} + offset, data, first, fileName, number);
                    firmware::AddData(sink, base, data + first, length - first, fileName, number);
                } else {
                    firmware::AddData(sink, std::uint64_t{base} + offset, data, length, fileName, number);
                }
                break;
            case kEndOfFile:
                endLine = number;
                break;
            case kExtendedSegmentAddress:
                base = std::uint32_t{Word(data)} << 4;
                segmentAddressing = true;
                break;
            case kStartSegmentAddress:
            case kStartLinearAddress:
                file.startAddress = std::uint32_t{Word(data)} << 16 | Word(data + 2);
                file.segmentStart = type == kStartSegmentAddress;
                startLine = number;
                break;
            case kExtendedLinearAddress:
                base = std::uint32_t{Word(data)} << 16;
                segmentAddressing = false;
                break;
        }
    }
    if (!endLine)
        ThrowAt(fileName, std::max<std::size_t>(lines.Number(), 1), "no end-of-file record (type 01)");
    file.crLf = lines.CrLf();
    file.recordLength = longest ? longest : 16;
    return file;
}

}  // namespace
}  // namespace firmware

void WriteIntelHex(const FirmwareFile& file, const TextSink& write) {
    const std::size_t recordLength =
        std::clamp<std::size_t>(file.recordLength ? file.recordLength : 16, 1, 255);
    const std::string_view lineEnd = file.crLf ? "\r\n" : "\n";
    firmware::PieceWriter out(write);

    std::uint32_t upper = 0;
    for (const Segment& segment : file.segments) {
        const std::uint8_t* data = segment.bytes.data();
        std::size_t left = segment.bytes.size();
        std::uint64_t address = segment.address;
        while (left) {
            if (address >> 16 != upper) {
                upper = static_cast<std::uint32_t>(address >> 16);
                const std::uint8_t value[] = {static_cast<std::uint8_t>(upper >> 8),
                                              static_cast<std::uint8_t>(upper)};
                out.Filled(PutRecord(out.Room(), kExtendedLinearAddress, 0, value, 2, lineEnd));
            }
            const std::size_t room = 0x10000 - (address & 0xFFFF);
            const std::size_t length = std::min({recordLength, left, room});
            out.Filled(
                PutRecord(out.Room(), kData, static_cast<std::uint16_t>(address), data, length, lineEnd));
            data += length;
            left -= length;
            address += length;
        }
    }
    if (file.startAddress) {
        const std::uint32_t start = *file.startAddress;
        const std::uint8_t value[] = {
            static_cast<std::uint8_t>(start >> 24), static_cast<std::uint8_t>(start >> 16),
            static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(start)};
        out.Filled(PutRecord(out.Room(), file.segmentStart ? kStartSegmentAddress : kStartLinearAddress, 0,
                             value, 4, lineEnd));
    }
    out.Filled(PutRecord(out.Room(), kEndOfFile, 0, nullptr, 0, lineEnd));
    out.Flush();
}

namespace {

constexpr std::string_view kExtensions[] = {"hex", "ihx", "ihex"};

// ':' and two hexadecimal digits.
bool StartsFile(std::string_view firstLine) {
    return firstLine.size() >= 3 && firstLine[0] == ':' && firmware::IsHexDigit(firstLine[1]) &&
           firmware::IsHexDigit(firstLine[2]);
}

}  // namespace

constinit const FirmwareForm kIntelHexForm = {
    .format = FirmwareFormat::kIntelHex,
    .name = "Intel HEX",
    .word = "ihex",
    .extensions = kExtensions,
    .startsFile = StartsFile,
    .readRecords = firmware::ReadIntelHexRecords,
    .write = [](const FirmwareFile& file, std::uint8_t,
                const TextSink& write) { WriteIntelHex(file, write); },
};

}  // namespace lexicorn
