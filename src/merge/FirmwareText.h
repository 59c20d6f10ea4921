#pragma once

// What the Intel HEX and S-record readers and writers share: the hexadecimal digit tables, the
// walk over a text's lines, the decoding of a record's digits, the handing on of records' data and
// the ranges it fills. Only the merge layer's own sources include this.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Beside.h"
#include "merge/Firmware.h"

namespace lexicorn::firmware {

/// The value of a hexadecimal digit (either case), 0xFF for every other character.
inline constexpr std::array<std::uint8_t, 256> kHexValue = [] {
    std::array<std::uint8_t, 256> table{};
    table.fill(0xFF);
    for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::uint8_t>(i);
    for (int i = 0; i < 6; ++i) {
        table['A' + i] = static_cast<std::uint8_t>(10 + i);
        table['a' + i] = static_cast<std::uint8_t>(10 + i);
    }
    return table;
}();

inline bool IsHexDigit(char c) { return kHexValue[static_cast<unsigned char>(c)] != 0xFF; }

/// Each byte's two upper-case digits, so that a writer stores a byte with one two-character copy.
inline constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> table{};
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int i = 0; i < 256; ++i) {
        table[2 * i] = kDigits[i >> 4];
        table[2 * i + 1] = kDigits[i & 15];
    }
    return table;
}();

/// Stores `value`'s two digits at `out` and returns the place after them.
inline char* PutHexByte(char* out, std::uint8_t value) {
    out[0] = kHexPairs[2 * value];
    out[1] = kHexPairs[2 * value + 1];
    return out + 2;
}

/// "<fileName>: line <line>: <what>".
[[noreturn]] void ThrowAt(const std::string& fileName, std::size_t line, const std::string& what);

/// The lines of a text one by one, numbered from 1, with the spaces, tabs and carriage returns
/// around them cut off, and a UTF-8 byte-order mark before the first. Lines end with LF (a CR before
/// it is cut as a space would be). The text is read in pieces of 1 MiB: a line of more than that is
/// refused, as no record is nearly so long.
class TextLines {
  public:
    TextLines(const TextSource& text, const std::string& fileName);

    /// The next line, valid until the next call; false at the end of the text.
    bool Next(std::string_view& line);
    /// The number of the line Next gave last (0 before the first).
    std::size_t Number() const { return number_; }
    /// How many spaces and tabs were cut from the start of that line, for columns in messages.
    std::size_t Indent() const { return indent_; }
    /// Whether the first line that ends at all ends with CR LF, once Next has given it.
    bool CrLf() const { return crLf_; }

  private:
    static constexpr std::size_t kPiece = 1 << 20;

    const TextSource& text_;
    const std::string& fileName_;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;  ///< the characters read and not yet given are [begin_, end_) of buffer_
    std::size_t end_ = 0;
    std::uint64_t offset_ = 0;  ///< where in the text the next piece starts
    std::size_t number_ = 0;
    std::size_t indent_ = 0;
    bool lineEnded_ = false;
    bool crLf_ = false;
};

/// Whether a line after a file's end record is nothing but the end-of-text mark (Ctrl-Z, 0x1A) that
/// old tools append: such a line is left alone like a blank one.
bool IsEndOfTextMark(std::string_view line);

/// The bytes a record's digits stand for, into `bytes` (its size set to the count). `digits` begins
/// at column `firstColumn` of line `line`; a character that is not a digit and an odd number of
/// digits are refused.
void DecodeHex(std::string_view digits, std::size_t firstColumn, const std::string& fileName,
               std::size_t line, std::vector<std::uint8_t>& bytes);

/// A byte as two upper-case digits, for messages.
std::string HexByte(std::uint8_t value);
/// A character for messages: 'G', or "the byte 0x01" when it does not print.
std::string ShownCharacter(char c);

/// Text handed on in pieces of 1 MiB: a writer never holds a large file whole. A piece is handed
/// on from a thread of its own while the next is filled: writing a file costs about as much as
/// making its records. Records are stored straight into the piece: `Filled(PutRecord(Room(), ...))`.
class PieceWriter {
  public:
    /// The characters Room gives: more than the line of any record.
    static constexpr std::size_t kRoom = 1024;

    explicit PieceWriter(const TextSink& write) : write_(write) { buffers_[0].resize(kPiece + kRoom); }
    /// Where the next characters go, with room for kRoom of them.
    char* Room() { return buffers_[current_].data() + used_; }
    /// Takes the characters stored from Room up to `end`.
    void Filled(const char* end) {
        used_ = static_cast<std::size_t>(end - buffers_[current_].data());
        if (used_ >= kPiece) HandOn();
    }
    /// Writes what is left once all before it is written; throws what writing threw. The last
    /// piece has nothing left to be made beside it: it is written here.
    void Flush() {
        WaitForWriter();
        if (used_) write_(std::string_view(buffers_[current_].data(), used_));
        used_ = 0;
    }

  private:
    static constexpr std::size_t kPiece = 1 << 20;

    void HandOn() {
        WaitForWriter();  // the other buffer is free again
        const std::string_view piece(buffers_[current_].data(), used_);
        writing_ = RunBeside([this, piece] { write_(piece); });
        current_ ^= 1;
        used_ = 0;
        if (buffers_[current_].empty()) buffers_[current_].resize(kPiece + kRoom);  // a small file needs one
    }
    void WaitForWriter() {
        if (writing_.valid()) writing_.get();
    }

    const TextSink& write_;
    std::array<std::string, 2> buffers_;
    std::size_t current_ = 0;
    std::size_t used_ = 0;
    // Last, so that it is destroyed first: its destructor waits for a piece still being written,
    // and the buffers outlive it.
    std::future<void> writing_;
};

/// Where a reader hands the data of its records, record by record in the order of the file.
class DataSink {
  public:
    virtual ~DataSink() = default;
    /// The data of the record on line `line` for the addresses from `address`; never empty, and it
    /// ends at 4 GiB at the latest. A sink that has what it needs throws StopReading.
    virtual void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) = 0;
};

/// Thrown by a DataSink to end the reading of a text early: ReadRecords then returns.
struct StopReading {};

/// Hands `length` bytes at `address` of line `line` to `sink`: nothing when there are none, a
/// FirmwareError when they pass the end of the 4 GiB address space.
void AddData(DataSink& sink, std::uint64_t address, const std::uint8_t* data, std::size_t length,
             const std::string& fileName, std::size_t line);

/// Reads every record of `text` in `format` (Intel HEX or S-records, as ReadIntelHex and ReadSRecord
/// check them), hands the data to `sink` and returns the rest of what the records say, without
/// segments. Errors are FirmwareErrors "<fileName>: line <n>: <what>". When the sink stops the
/// reading, what was read up to there is returned and no error of the rest is met.
FirmwareFile ReadRecords(FirmwareFormat format, const TextSource& text, const std::string& fileName,
                         DataSink& sink);

/// The ranges of addresses that a file's records fill, records that touch joined into one range. A
/// record that overlaps data of an earlier one is refused, with its line and the earlier one's. Its
/// memory grows with the number of separate ranges, never with the data.
class Extents {
  public:
    /// The range of the record on line `line`; throws when it overlaps a range taken before.
    void Add(std::uint32_t address, std::size_t length, std::size_t line);
    /// Every record so far started at or after the end of the one before it in the file.
    bool InOrder() const { return inOrder_; }
    /// From the first address of each range to one past its last.
    const std::map<std::uint32_t, std::uint64_t>& Ranges() const { return ranges_; }
    /// The range that holds [address, address + length) whole, if one does.
    std::optional<std::pair<std::uint32_t, std::uint64_t>> RangeHolding(std::uint64_t address,
                                                                        std::uint64_t length) const;

  private:
    std::map<std::uint32_t, std::uint64_t> ranges_;
    std::map<std::uint32_t, std::uint64_t>::iterator last_ = ranges_.end();  ///< where the last record went
    std::uint64_t lastEnd_ = 0;
    bool inOrder_ = true;
};

/// What Extents::Add throws: the record on line `line` overlaps earlier data from `address` on.
/// ReadRecords turns it into the FirmwareError that names both lines.
struct OverlapFound {
    std::size_t line;
    std::uint32_t address;
};

}  // namespace lexicorn::firmware
