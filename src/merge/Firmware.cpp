#include "merge/Firmware.h"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "merge/AddressSpace.h"
#include "merge/FirmwareText.h"
#include "merge/IntelHex.h"
#include "merge/Lanes.h"
#include "merge/SRecord.h"
#include "platform/LargeMemory.h"

namespace lexicorn {

FirmwareFormat DetectFirmwareFormat(std::string_view start) {
    std::size_t at = 0;
    while (at < start.size() &&
           (start[at] == ' ' || start[at] == '\t' || start[at] == '\r' || start[at] == '\n'))
        ++at;
    if (at + 1 >= start.size()) return FirmwareFormat::kBinary;
    const char first = start[at];
    const auto second = static_cast<unsigned char>(start[at + 1]);
    FirmwareFormat format;
    if (first == ':' && firmware::kHexValue[second] != 0xFF)
        format = FirmwareFormat::kIntelHex;
    else if (first == 'S' && second >= '0' && second <= '9')
        format = FirmwareFormat::kSRecord;
    else
        return FirmwareFormat::kBinary;
    // A binary may start with ":0" or "S1" too; a record's first line is hexadecimal digits to its
    // end (a damaged record still is, and is refused with its line rather than taken as a binary).
    std::size_t digits = 0;
    for (at += format == FirmwareFormat::kSRecord ? 2 : 1; at < start.size(); ++at) {
        const auto c = static_cast<unsigned char>(start[at]);
        if (c == '\r' || c == '\n') break;
        if (firmware::kHexValue[c] != 0xFF)
            ++digits;
        else if (c != ' ' && c != '\t')
            return FirmwareFormat::kBinary;
    }
    constexpr std::size_t kShortestRecordDigits = 8;  // S9 030000FC
    return digits >= kShortestRecordDigits ? format : FirmwareFormat::kBinary;
}

FirmwareFile ReadFirmware(FirmwareFormat format, std::string_view text, const std::string& fileName) {
    return format == FirmwareFormat::kIntelHex ? ReadIntelHex(text, fileName) : ReadSRecord(text, fileName);
}

void WriteFirmware(const FirmwareFile& file, FirmwareFormat format, std::uint8_t fill,
                   const TextSink& write) {
    switch (format) {
        case FirmwareFormat::kBinary:
            WriteBinary(file, fill, write);
            break;
        case FirmwareFormat::kIntelHex:
            WriteIntelHex(file, write);
            break;
        case FirmwareFormat::kSRecord:
            WriteSRecord(file, write);
            break;
    }
}

namespace firmware {

void ThrowAt(const std::string& fileName, std::size_t line, const std::string& what) {
    throw FirmwareError(fmt::format("{}: line {}: {}", fileName, line, what));
}

bool LineWalker::Next(std::string_view& line) {
    if (position_ >= text_.size()) return false;
    const char* begin = text_.data() + position_;
    const auto* end = static_cast<const char*>(std::memchr(begin, '\n', text_.size() - position_));
    const std::size_t length = end ? static_cast<std::size_t>(end - begin) : text_.size() - position_;
    position_ += length + 1;
    ++number_;
    std::size_t first = 0;
    std::size_t last = length;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (first < last && blank(begin[first])) ++first;
    while (last > first && blank(begin[last - 1])) --last;
    indent_ = first;
    line = std::string_view(begin + first, last - first);
    return true;
}

bool LineWalker::EndsWithCrLf(std::string_view text) {
    const std::size_t newline = text.find('\n');
    return newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r';
}

std::string HexByte(std::uint8_t value) {
    return std::string{kHexPairs[2 * value], kHexPairs[2 * value + 1]};
}

std::string ShownCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte < 0x7F ? fmt::format("'{}'", c) : fmt::format("the byte 0x{:02X}", byte);
}

void DecodeHex(std::string_view digits, std::size_t firstColumn, const std::string& fileName,
               std::size_t line, std::vector<std::uint8_t>& bytes) {
    // Decoding is most of reading a large file: sixteen digits at a time side by side, the few left
    // over two at a time through a table of every pair.
    static const std::vector<std::uint16_t> kPairValue = [] {
        std::vector<std::uint16_t> table(1 << 16);
        for (unsigned first = 0; first < 256; ++first)
            for (unsigned second = 0; second < 256; ++second) {
                const std::uint8_t high = kHexValue[first], low = kHexValue[second];
                table[first | second << 8] =
                    (high | low) & 0x80 ? 0x100 : static_cast<std::uint16_t>(high << 4 | low);
            }
        return table;
    }();
    const auto* in = reinterpret_cast<const unsigned char*>(digits.data());
    const std::size_t pairs = digits.size() / 2;
    bytes.resize(pairs);
    std::uint8_t* out = bytes.data();
    // A digit's value is its low four bits, plus 9 for a letter.
    using lanes::Lanes;
    using Pairs = std::uint16_t __attribute__((vector_size(sizeof(Lanes))));
    using Bytes = std::uint8_t __attribute__((vector_size(sizeof(Lanes) / 2)));
    constexpr bool kFirstIsLow = std::endian::native == std::endian::little;
    Lanes bad{};
    std::size_t i = 0;
    for (; i + sizeof(Bytes) <= pairs; i += sizeof(Bytes)) {
        const Lanes c = lanes::Load(in + 2 * i);
        const Lanes lower = c | 0x20;
        const auto digit = reinterpret_cast<Lanes>((c >= '0') & (c <= '9'));
        const auto letter = reinterpret_cast<Lanes>((lower >= 'a') & (lower <= 'f'));
        bad |= ~(digit | letter);
        const Pairs value = reinterpret_cast<Pairs>((c & 0x0F) + (letter & 9));
        const Pairs first = kFirstIsLow ? value & 0xFF : value >> 8;
        const Pairs second = kFirstIsLow ? value >> 8 : value & 0xFF;
        const Bytes decoded = __builtin_convertvector(first << 4 | second, Bytes);
        std::memcpy(out + i, &decoded, sizeof decoded);
    }
    unsigned invalid = lanes::AnySet(bad) ? 0x100 : 0;
    for (; i < pairs; ++i) {
        const std::uint16_t value = kPairValue[in[2 * i] | in[2 * i + 1] << 8];
        invalid |= value;
        out[i] = static_cast<std::uint8_t>(value);
    }
    invalid = invalid & 0x100 ? 0x80 : 0;
    if (digits.size() % 2) invalid |= kHexValue[in[digits.size() - 1]];
    // Only an invalid character sets the high bit; the loop stays free of branches for the good case.
    if (invalid & 0x80) {
        for (std::size_t i = 0; i < digits.size(); ++i) {
            if (kHexValue[in[i]] != 0xFF) continue;
            ThrowAt(fileName, line,
                    fmt::format("{} is not a hexadecimal digit (column {})", ShownCharacter(digits[i]),
                                firstColumn + i));
        }
    }
    if (digits.size() % 2)
        ThrowAt(fileName, line, fmt::format("an odd number of hexadecimal digits ({})", digits.size()));
}

void SegmentBuilder::ReserveFor(std::size_t textSize) {
    // Pieces keep their lines and offsets in 32 bits; targets that large are refused before.
    if (textSize > std::numeric_limits<std::uint32_t>::max())
        throw FirmwareError(fmt::format("{}: a file of 4 GiB or more is not read", fileName_));
    // Two digits a byte, and no record with data takes less than 12 characters and its line end:
    // more than a file can hold. Only what is used is ever touched.
    data_.reserve(textSize / 2);
    pieces_.reserve(textSize / 13);
    PreferLargePages(data_.data(), data_.capacity());
    PreferLargePages(pieces_.data(), pieces_.capacity() * sizeof(Piece));
}

void SegmentBuilder::Add(std::uint64_t address, const std::uint8_t* data, std::size_t length,
                         std::size_t line) {
    if (length == 0) return;
    if (address + length > std::uint64_t{1} << 32)
        ThrowAt(fileName_, line,
                fmt::format("{} bytes at 0x{:X} pass the end of the 4 GiB address space", length, address));
    if (!pieces_.empty()) {
        ordered_ = ordered_ && address >= pieces_.back().End();
        oneRun_ = oneRun_ && address == pieces_.back().End();
    }
    pieces_.push_back(
        Piece{static_cast<std::uint32_t>(address), static_cast<std::uint32_t>(length),
              static_cast<std::uint32_t>(data_.size()), static_cast<std::uint32_t>(line)});
    data_.insert(data_.end(), data, data + length);
}

std::vector<Segment> SegmentBuilder::Finish() {
    if (!ordered_) {
        // Stable, so that records at one address stay in the order of their lines.
        std::stable_sort(pieces_.begin(), pieces_.end(),
                         [](const Piece& a, const Piece& b) { return a.address < b.address; });
        // The piece reaching furthest so far; a piece that starts before its end overlaps it. Of
        // all overlaps found, the one whose later line comes first in the file is reported.
        std::optional<std::pair<std::uint32_t, std::string>> first;
        std::uint64_t reach = 0;
        std::uint32_t reachLine = 0;
        for (const Piece& piece : pieces_) {
            if (piece.address < reach) {
                const std::uint32_t later = std::max(piece.line, reachLine);
                if (!first || later < first->first)
                    first.emplace(later, fmt::format("data at 0x{:X} overlaps the data of line {}",
                                                     piece.address, std::min(piece.line, reachLine)));
            }
            if (piece.End() > reach) {
                reach = piece.End();
                reachLine = piece.line;
            }
        }
        if (first) ThrowAt(fileName_, first->first, first->second);
    }
    std::vector<Segment> segments;
    // Records one after the other, as tools write them: the data is the segment as it stands.
    if (oneRun_ && !pieces_.empty()) {
        segments.push_back({pieces_.front().address, std::move(data_)});
        return segments;
    }
    for (std::size_t i = 0; i < pieces_.size();) {
        std::size_t j = i + 1;
        std::size_t size = pieces_[i].length;
        while (j < pieces_.size() && pieces_[j].address == pieces_[j - 1].End()) size += pieces_[j++].length;
        Segment& segment = segments.emplace_back();
        segment.address = pieces_[i].address;
        segment.bytes.reserve(size);
        for (; i < j; ++i) {
            const std::uint8_t* from = data_.data() + pieces_[i].offset;
            segment.bytes.insert(segment.bytes.end(), from, from + pieces_[i].length);
        }
    }
    return segments;
}

}  // namespace firmware
}  // namespace lexicorn
