#include "merge/SRecord.h"

#include <fmt/format.h>

#include <algorithm>

#include "merge/FirmwareForms.h"
#include "merge/FirmwareText.h"

namespace lexicorn {
namespace {

using firmware::HexByte;
using firmware::IsEndOfTextMark;
using firmware::ThrowAt;

// The address bytes of each record type S0 to S9; 0 for S4, which no file may have.
constexpr int kAddressBytes[] = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

// "S", type, count, checksum: the characters around a record's address and data.
constexpr std::size_t kRecordOverhead = 2 + 2 * 2;
static_assert(kRecordOverhead + 2 * 255 + 2 <= firmware::PieceWriter::kRoom,
              "a record's line fits in the room");

// The most data bytes a record with `width` address bytes holds: the count byte counts the
// address, the data and the checksum.
constexpr std::size_t MostData(int width) { return 255 - static_cast<std::size_t>(width) - 1; }

// Stores the record, line end included, at `out` and returns the place after it.
char* PutRecord(char* out, int type, std::uint32_t address, int width, const std::uint8_t* data,
                std::size_t length, std::string_view lineEnd) {
    using firmware::PutHexByte;
    const auto count = static_cast<std::uint8_t>(width + length + 1);
    unsigned sum = count;
    *out++ = 'S';
    *out++ = static_cast<char>('0' + type);
    out = PutHexByte(out, count);
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
        const auto byte = static_cast<std::uint8_t>(address >> shift);
        sum += byte;
        out = PutHexByte(out, byte);
    }
    for (std::size_t i = 0; i < length; ++i) {
        sum += data[i];
        out = PutHexByte(out, data[i]);
    }
    out = PutHexByte(out, static_cast<std::uint8_t>(~sum));
    for (char c : lineEnd) *out++ = c;
    return out;
}

// The address bytes `value` needs, 2 at least.
int WidthFor(std::uint32_t value) { return value > 0xFFFFFF ? 4 : value > 0xFFFF ? 3 : 2; }

}  // namespace

FirmwareFile ReadSRecord(std::string_view text, const std::string& fileName) {
    return ReadFirmware(FirmwareFormat::kSRecord, text, fileName);
}

namespace firmware {
namespace {

FirmwareFile ReadSRecordRecords(TextLines& lines, const std::string& fileName, DataSink& sink) {
    FirmwareFile file;
    file.format = FirmwareFormat::kSRecord;
    file.addressBytes = 0;
    std::vector<std::uint8_t> record;
    record.reserve(256);
    std::size_t dataRecords = 0;
    std::size_t longest = 0;
    int endWidth = 0;
    std::size_t endLine = 0;
    std::string_view line;
    while (lines.Next(line)) {
        if (line.empty()) continue;
        const std::size_t number = lines.Number();
        // Nothing may follow the termination: a record there would be lost without a word.
        if (endLine) {
            if (IsEndOfTextMark(line)) continue;
            ThrowAt(fileName, number,
                    fmt::format("the file goes on after its termination record (line {})", endLine));
        }
        if (line[0] != 'S') ThrowAt(fileName, number, "the line does not start with 'S'");
        if (line.size() < 2 || line[1] < '0' || line[1] > '9' || line[1] == '4')
            ThrowAt(fileName, number,
                    line.size() < 2
                        ? std::string("the record has no type")
                        : fmt::format("unknown record type {}", firmware::ShownCharacter(line[1])));
        const int type = line[1] - '0';
        firmware::DecodeHex(line.substr(2), lines.Indent() + 3, fileName, number, record);
        if (record.empty()) ThrowAt(fileName, number, "the record has no byte count");
        const std::size_t count = record[0];
        if (record.size() != count + 1)
            ThrowAt(fileName, number,
                    fmt::format("the byte count is {} ({} bytes after it), the record has {} bytes after it",
                                HexByte(record[0]), count, record.size() - 1));
        const int width = kAddressBytes[type];
        const bool data = type >= 1 && type <= 3;
        const bool exact = type >= 5;  // count and termination records have an address and nothing else
        const std::size_t least = static_cast<std::size_t>(width) + 1;
        if (count < least || (exact && count != least))
            ThrowAt(fileName, number,
                    fmt::format("an S{} record has {}{} bytes after its count, this one has {}", type,
                                exact ? "" : "at least ", least, count));
        unsigned sum = 0;
        for (std::size_t i = 0; i + 1 < record.size(); ++i) sum += record[i];
        const auto needed = static_cast<std::uint8_t>(~sum);
        if (record.back() != needed)
            ThrowAt(fileName, number,
                    fmt::format("the checksum is {}, the record needs {}", HexByte(record.back()),
                                HexByte(needed)));
        std::uint32_t address = 0;
        for (int i = 1; i <= width; ++i) address = address << 8 | record[i];
        const std::uint8_t* bytes = record.data() + 1 + width;
        const std::size_t length = count - least;
        if (type == 0) {
            file.header.emplace(bytes, bytes + length);
        } else if (data) {
            ++dataRecords;
            longest = std::max(longest, length);
            file.addressBytes = std::max(file.addressBytes, width);
            firmware::AddData(sink, address, bytes, length, fileName, number);
        } else if (type == 5 || type == 6) {
            if (address != dataRecords)
                ThrowAt(fileName, number,
                        fmt::format("the record count is {}, the file has {} data records before it", address,
                                    dataRecords));
            file.hasCount = true;
        } else {
            file.startAddress = address;
            endWidth = width;
            endLine = number;
        }
    }
    // A file may end without a termination record: srec_cat writes none when it has no start
    // address. A file cut off inside a record is still caught by that record's count and checksum;
    // one cut off between records is not.
    file.crLf = lines.CrLf();
    file.recordLength = longest ? longest : 16;
    // A file without data says its width by its termination record alone.
    if (!file.addressBytes) file.addressBytes = endWidth ? endWidth : 2;
    return file;
}

}  // namespace
}  // namespace firmware

void WriteSRecord(const FirmwareFile& file, const TextSink& write) {
    int width = std::clamp(file.addressBytes, 2, 4);
    if (!file.segments.empty())
        width = std::max(width, WidthFor(static_cast<std::uint32_t>(file.segments.back().End() - 1)));
    // S-records know no segments: a start that came as one is written as its linear address.
    const std::optional<std::uint32_t> start = file.LinearStart();
    if (start) width = std::max(width, WidthFor(*start));
    const std::size_t recordLength =
        std::clamp<std::size_t>(file.recordLength ? file.recordLength : 16, 1, MostData(width));
    const std::string_view lineEnd = file.crLf ? "\r\n" : "\n";

    firmware::PieceWriter out(write);

    // A file made of another form has no header of its own; S-record readers expect one.
    static const std::vector<std::uint8_t> kPlainHeader = {'H', 'D', 'R'};
    if (file.header || file.format != FirmwareFormat::kSRecord) {
        const std::vector<std::uint8_t>& header = file.header ? *file.header : kPlainHeader;
        if (header.size() > MostData(2))
            throw FirmwareError(fmt::format("The S0 header has {} bytes, a record holds at most {}",
                                            header.size(), MostData(2)));
        out.Filled(PutRecord(out.Room(), 0, 0, 2, header.data(), header.size(), lineEnd));
    }
    const int dataType = width - 1;  // S1, S2, S3
    std::size_t dataRecords = 0;
    for (const Segment& segment : file.segments) {
        const std::uint8_t* data = segment.bytes.data();
        std::size_t left = segment.bytes.size();
        std::uint32_t address = segment.address;
        while (left) {
            const std::size_t length = std::min(recordLength, left);
            out.Filled(PutRecord(out.Room(), dataType, address, width, data, length, lineEnd));
            ++dataRecords;
            data += length;
            left -= length;
            address += static_cast<std::uint32_t>(length);
        }
    }
    // A count past 24 bits has no record to hold it; such a file goes without one.
    if (file.hasCount && dataRecords <= 0xFFFFFF) {
        const int countWidth = dataRecords > 0xFFFF ? 3 : 2;
        out.Filled(PutRecord(out.Room(), countWidth == 2 ? 5 : 6, static_cast<std::uint32_t>(dataRecords),
                             countWidth, nullptr, 0, lineEnd));
    }
    out.Filled(PutRecord(out.Room(), 11 - width, start.value_or(0), width, nullptr, 0, lineEnd));
    out.Flush();
}

namespace {

constexpr std::string_view kExtensions[] = {"s19", "s28", "s37", "srec", "mot", "sx"};

// 'S', a decimal digit and two hexadecimal digits.
bool StartsFile(std::string_view firstLine) {
    return firstLine.size() >= 4 && firstLine[0] == 'S' && firstLine[1] >= '0' && firstLine[1] <= '9' &&
           firmware::IsHexDigit(firstLine[2]) && firmware::IsHexDigit(firstLine[3]);
}

}  // namespace

constinit const FirmwareForm kSRecordForm = {
    .format = FirmwareFormat::kSRecord,
    .name = "S-records",
    .word = "srec",
    .extensions = kExtensions,
    .startsFile = StartsFile,
    .readRecords = firmware::ReadSRecordRecords,
    .write = [](const FirmwareFile& file, std::uint8_t, const TextSink& write) { WriteSRecord(file, write); },
};

}  // namespace lexicorn
