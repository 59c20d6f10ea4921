#pragma once

// What the Intel HEX and S-record readers and writers share: the hexadecimal digit tables, the
// walk over a text's lines, the decoding of a record's digits and the joining of records' data
// into segments. Only the merge layer's own sources include this.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <string_view>
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
/// around them cut off. Lines end with LF (a CR before it is cut as a space would be).
class LineWalker {
  public:
    explicit LineWalker(std::string_view text) : text_(text) {}

    /// The next line, false at the end of the text.
    bool Next(std::string_view& line);
    /// The number of the line Next gave last (0 before the first).
    std::size_t Number() const { return number_; }
    /// How many spaces and tabs were cut from the start of that line, for columns in messages.
    std::size_t Indent() const { return indent_; }
    /// Whether the first line that ends at all ends with CR LF.
    static bool EndsWithCrLf(std::string_view text);

  private:
    std::string_view text_;
    std::size_t position_ = 0;
    std::size_t number_ = 0;
    std::size_t indent_ = 0;
};

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

/// Collects the data of a file's records and makes the file's segments of it: sorted by address,
/// touching records joined, overlapping records refused with the later one's line.
class SegmentBuilder {
  public:
    explicit SegmentBuilder(const std::string& fileName) : fileName_(fileName) {}

    /// Room for the records of a text of this size, so that a large file's data is not moved as it
    /// grows. A text of 4 GiB or more is refused.
    void ReserveFor(std::size_t textSize);
    /// The data of the record on line `line`; refused when it passes the end of the 4 GiB space.
    void Add(std::uint64_t address, const std::uint8_t* data, std::size_t length, std::size_t line);
    /// The segments of everything added; once.
    std::vector<Segment> Finish();

  private:
    struct Piece {
        std::uint32_t address;
        std::uint32_t length;
        // 16 bytes: a large file has millions of records.
        std::uint32_t offset;  ///< into data_
        std::uint32_t line;
        std::uint64_t End() const { return std::uint64_t{address} + length; }
    };

    const std::string& fileName_;
    std::vector<std::uint8_t> data_;  ///< every record's data in the order of the file
    std::vector<Piece> pieces_;
    bool ordered_ = true;  ///< every piece starts at or after the end of the one before
    bool oneRun_ = true;   ///< every piece starts at the end of the one before
};

}  // namespace lexicorn::firmware
