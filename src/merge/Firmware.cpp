#include "merge/Firmware.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "merge/FirmwareForms.h"
#include "merge/FirmwareText.h"
#include "merge/Lanes.h"
#include "platform/LargeMemory.h"

namespace lexicorn {

namespace {

// A record's line is at most 521 characters (Intel HEX: ':' and 260 bytes' digits): a longer line is
// no record's.
constexpr std::size_t kLongestRecordLine = 1024;
// How far blank lines and a byte-order mark may push the first line.
constexpr std::size_t kLongestLead = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// A text whose first line is no record's is still of a form when at least half of its first lines
// (blank ones passed over) are the form's records, as many of them as stand in its first 64 KiB, at
// most 32. A binary hardly holds one line of text, let alone such a run.
constexpr std::size_t kLinesLookedAt = 1 << 16;
constexpr std::size_t kMostLinesLookedAt = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The form whose record `line` starts, damaged or not: at most 1 KiB of printable ASCII characters
// and tabs that the form's records start with. None for any other line.
const FirmwareForm* FormOfRecordLine(std::string_view line) {
    if (line.size() > kLongestRecordLine) return nullptr;
    for (const char character : line) {
        const auto c = static_cast<unsigned char>(character);
        if ((c < 0x20 || c >= 0x7F) && c != '\t') return nullptr;
    }
    for (const FirmwareForm* form : kFirmwareForms)
        if (form->startsFile(line)) return form;
    return nullptr;
}

// The characters [offset, offset + count) of the text, fewer at its end.
std::string ReadSome(const TextSource& text, std::uint64_t offset, std::size_t count) {
    std::string characters(offset < text.size ? std::min<std::uint64_t>(count, text.size - offset) : 0, '\0');
    if (!characters.empty()) text.read(offset, characters);
    return characters;
}

// The ranges of data and their data, as ReadFirmware gathers them. While the records follow one
// another in the file without a gap, their data goes straight into one buffer that becomes the
// file's one segment; at the first record that does not follow, the buffer is given up and only the
// ranges are kept, for a second reading to fill.
class OneRunSink final : public firmware::DataSink {
  public:
    OneRunSink(std::uint64_t textSize, std::size_t room) {
        // Two digits a byte: more than the data can be. Only what is used is ever touched.
        data_.reserve(textSize / 2 + room);
        PreferLargePages(data_.data(), data_.capacity());
    }
    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) override {
        if (oneRun_ && !extents_.Ranges().empty() && address != start_ + data_.size()) {
            oneRun_ = false;
            std::vector<std::uint8_t>().swap(data_);
        }
        extents_.Add(address, data.size(), line);
        if (!oneRun_) return;
        if (data_.empty()) start_ = address;
        data_.insert(data_.end(), data.begin(), data.end());
    }
    bool OneRun() const { return oneRun_; }
    const firmware::Extents& Extents() const { return extents_; }
    std::vector<Segment> TakeSegments() {
        std::vector<Segment> segments;
        if (!data_.empty()) segments.push_back({start_, std::move(data_)});
        return segments;
    }

  private:
    firmware::Extents extents_;
    bool oneRun_ = true;
    std::uint32_t start_ = 0;
    std::vector<std::uint8_t> data_;
};

// The second reading: every record's data into its place in segments made at their sizes.
class FillSink final : public firmware::DataSink {
  public:
    FillSink(const firmware::Extents& extents, std::size_t room, const std::string& fileName)
        : fileName_(fileName) {
        for (const auto& [start, end] : extents.Ranges()) {
            Segment& segment = segments_.emplace_back();
            segment.address = start;
            segment.bytes.reserve(end - start + room);
            PreferLargePages(segment.bytes.data(), segment.bytes.capacity());
            segment.bytes.resize(end - start);
        }
    }
    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) override {
        extents_.Add(address, data.size(), line);
        if (current_ >= segments_.size() || address < segments_[current_].address ||
            address + data.size() > segments_[current_].End())
            current_ = static_cast<std::size_t>(
                std::partition_point(segments_.begin(), segments_.end(),
                                     [&](const Segment& segment) { return segment.End() <= address; }) -
                segments_.begin());
        // The ranges were found by the first reading; a file that changed since may not fit them.
        if (current_ >= segments_.size() || address < segments_[current_].address ||
            address + data.size() > segments_[current_].End())
            throw FirmwareError(fileName_ + ": the file changed while it was read");
        std::copy(data.begin(), data.end(),
                  segments_[current_].bytes.begin() + (address - segments_[current_].address));
    }
    const firmware::Extents& Extents() const { return extents_; }
    std::vector<Segment> TakeSegments() { return std::move(segments_); }

  private:
    const std::string& fileName_;
    std::vector<Segment> segments_;
    std::size_t current_ = 0;
    firmware::Extents extents_;
};

// Looks for the earlier record whose data a later one overlaps: the first before line `before` that
// holds `address`.
class HolderSink final : public firmware::DataSink {
  public:
    HolderSink(std::uint32_t address, std::size_t before) : address_(address), before_(before) {}
    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) override {
        if (line >= before_) throw firmware::StopReading();
        if (address_ >= address && address_ - address < data.size()) {
            line_ = line;
            throw firmware::StopReading();
        }
    }
    std::size_t Line() const { return line_; }

  private:
    std::uint32_t address_;
    std::size_t before_;
    std::size_t line_ = 0;
};

}  // namespace

TextSource TextSource::Of(std::string_view text) {
    return {text.size(), [text](std::uint64_t offset, std::span<char> buffer) {
                std::copy_n(text.data() + offset, buffer.size(), buffer.data());
            }};
}

FirmwareFormat DetectFirmwareFormat(const TextSource& text) {
    // The first character that is not blank, looked for piece by piece.
    constexpr std::size_t kPiece = 1 << 16;
    std::uint64_t at = 0;
    std::string piece = ReadSome(text, 0, kPiece);
    if (std::string_view(piece).starts_with(kByteOrderMark)) at = kByteOrderMark.size();
    for (std::uint64_t pieceStart = 0;;) {
        while (at - pieceStart < piece.size() && IsBlank(piece[at - pieceStart])) ++at;
        if (at - pieceStart < piece.size()) break;
        pieceStart += piece.size();
        if (piece.empty() || pieceStart >= kLongestLead) return FirmwareFormat::kBinary;
        piece = ReadSome(text, pieceStart, kPiece);
    }
    const std::string lines = ReadSome(text, at, kLinesLookedAt);
    std::string_view rest = lines;
    const std::string_view firstLine = rest.substr(0, std::min(rest.find_first_of("\r\n"), rest.size()));
    if (const FirmwareForm* form = FormOfRecordLine(firstLine)) return form->format;
    // A first line damaged beyond looking like a record (a byte of it changed into one that does not
    // print) does not make a text of records a binary: the reader then refuses that line.
    std::size_t looked = 0;
    std::array<std::size_t, std::size(kFirmwareForms)> records{};
    while (looked < kMostLinesLookedAt) {
        const std::size_t end = rest.find('\n');
        if (end == std::string_view::npos && lines.size() == kLinesLookedAt) break;  // cut off
        std::string_view line = rest.substr(0, end);
        while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
        if (!line.empty()) {
            ++looked;
            if (const FirmwareForm* form = FormOfRecordLine(line))
                ++records[static_cast<std::size_t>(
                    std::find(std::begin(kFirmwareForms), std::end(kFirmwareForms), form) -
                    std::begin(kFirmwareForms))];
        }
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i] > 0 && 2 * records[i] >= looked) return kFirmwareForms[i]->format;
    return FirmwareFormat::kBinary;
}

FirmwareFormat DetectFirmwareFormat(std::string_view text) {
    return DetectFirmwareFormat(TextSource::Of(text));
}

FirmwareFormat DetectTargetFormat(const TextSource& text, std::string_view fileName) {
    const FirmwareFormat found = DetectFirmwareFormat(text);
    if (found != FirmwareFormat::kBinary) return found;
    const FirmwareForm* named = FormNamedBy(fileName);
    return named ? named->format : found;
}

FirmwareFile ReadFirmware(FirmwareFormat format, const TextSource& text, const std::string& fileName,
                          std::size_t room) {
    OneRunSink first(text.size, room);
    FirmwareFile file = firmware::ReadRecords(format, text, fileName, first);
    if (first.OneRun()) {
        file.segments = first.TakeSegments();
        return file;
    }
    FillSink fill(first.Extents(), room, fileName);
    file = firmware::ReadRecords(format, text, fileName, fill);
    if (fill.Extents().Ranges() != first.Extents().Ranges())
        throw FirmwareError(fileName + ": the file changed while it was read");
    file.segments = fill.TakeSegments();
    return file;
}

FirmwareFile ReadFirmware(FirmwareFormat format, std::string_view text, const std::string& fileName) {
    return ReadFirmware(format, TextSource::Of(text), fileName);
}

void WriteFirmware(const FirmwareFile& file, FirmwareFormat format, std::uint8_t fill,
                   const TextSink& write) {
    FormOf(format).write(file, fill, write);
}

const FirmwareForm& FormOf(FirmwareFormat format) {
    for (const FirmwareForm* form : kFirmwareForms)
        if (form->format == format) return *form;
    throw std::invalid_argument("a firmware form that is not registered");
}

std::string_view ExtensionOf(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return {};
    return path.substr(dot + 1);
}

const FirmwareForm* FormNamedBy(std::string_view path) {
    std::string extension(ExtensionOf(path));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const FirmwareForm* form : kFirmwareForms)
        if (std::find(form->extensions.begin(), form->extensions.end(), extension) != form->extensions.end())
            return form;
    return nullptr;
}

namespace firmware {

void ThrowAt(const std::string& fileName, std::size_t line, const std::string& what) {
    throw FirmwareError(fmt::format("{}: line {}: {}", fileName, line, what));
}

TextLines::TextLines(const TextSource& text, const std::string& fileName)
    : text_(text),
      fileName_(fileName),
      // A line that did not end in one piece, and the next piece behind it; a small text needs less.
      buffer_(std::make_unique_for_overwrite<char[]>(std::min<std::uint64_t>(text.size, 2 * kPiece))) {}

bool TextLines::Next(std::string_view& line) {
    const char* newline;
    for (;;) {
        newline = static_cast<const char*>(std::memchr(buffer_.get() + begin_, '\n', end_ - begin_));
        if (newline || offset_ == text_.size) break;
        // The line goes on beyond what is read: it moves to the front, and the next piece follows it.
        const std::size_t unfinished = end_ - begin_;
        if (unfinished >= kPiece)
            ThrowAt(fileName_, number_ + 1, "the line is longer than 1 MiB, which no record is");
        std::memmove(buffer_.get(), buffer_.get() + begin_, unfinished);
        begin_ = 0;
        end_ = unfinished;
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, text_.size - offset_));
        text_.read(offset_, std::span<char>(buffer_.get() + end_, count));
        offset_ += count;
        end_ += count;
    }
    if (!newline && begin_ == end_) return false;
    const char* begin = buffer_.get() + begin_;
    const std::size_t length = newline ? static_cast<std::size_t>(newline - begin) : end_ - begin_;
    begin_ += length + (newline ? 1 : 0);
    ++number_;
    if (newline && !lineEnded_) {
        lineEnded_ = true;
        crLf_ = length > 0 && begin[length - 1] == '\r';
    }
    std::size_t first = 0;
    std::size_t last = length;
    // An editor shows no byte-order mark: columns are counted after it.
    if (number_ == 1 && std::string_view(begin, length).starts_with(kByteOrderMark)) {
        begin += kByteOrderMark.size();
        last -= kByteOrderMark.size();
    }
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (first < last && blank(begin[first])) ++first;
    while (last > first && blank(begin[last - 1])) --last;
    indent_ = first;
    line = std::string_view(begin + first, last - first);
    return true;
}

bool IsEndOfTextMark(std::string_view line) {
    return !line.empty() && line.find_first_not_of('\x1A') == std::string_view::npos;
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
    Lanes bad{};
    std::size_t i = 0;
#if LEXICORN_VECTOR_EXTENSIONS
    using Pairs = std::uint16_t __attribute__((vector_size(sizeof(Lanes))));
    using Bytes = std::uint8_t __attribute__((vector_size(sizeof(Lanes) / 2)));
    constexpr bool kFirstIsLow = std::endian::native == std::endian::little;
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
#endif
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
        for (std::size_t at = 0; at < digits.size(); ++at) {
            if (kHexValue[in[at]] != 0xFF) continue;
            ThrowAt(fileName, line,
                    fmt::format("{} is not a hexadecimal digit (column {})", ShownCharacter(digits[at]),
                                firstColumn + at));
        }
    }
    if (digits.size() % 2)
        ThrowAt(fileName, line, fmt::format("an odd number of hexadecimal digits ({})", digits.size()));
}

void AddData(DataSink& sink, std::uint64_t address, const std::uint8_t* data, std::size_t length,
             const std::string& fileName, std::size_t line) {
    if (length == 0) return;
    if (address + length > std::uint64_t{1} << 32)
        ThrowAt(fileName, line,
                fmt::format("{} bytes at 0x{:X} pass the end of the 4 GiB address space", length, address));
    sink.Add(static_cast<std::uint32_t>(address), std::span<const std::uint8_t>(data, length), line);
}

namespace {

FirmwareFile ReadAll(FirmwareFormat format, const TextSource& text, const std::string& fileName,
                     DataSink& sink) {
    const FirmwareForm& form = FormOf(format);
    TextLines lines(text, fileName);
    try {
        return form.readRecords(lines, fileName, sink);
    } catch (const StopReading&) {
        FirmwareFile file;
        file.format = format;
        return file;
    }
}

}  // namespace

FirmwareFile ReadRecords(FirmwareFormat format, const TextSource& text, const std::string& fileName,
                         DataSink& sink) {
    try {
        return ReadAll(format, text, fileName, sink);
    } catch (const OverlapFound& overlap) {
        // Only the ranges were kept: the earlier record is found by reading the text again up to
        // the later one.
        HolderSink holder(overlap.address, overlap.line);
        ReadAll(format, text, fileName, holder);
        ThrowAt(fileName, overlap.line,
                holder.Line() ? fmt::format("data at 0x{:X} overlaps the data of line {}", overlap.address,
                                            holder.Line())
                              : fmt::format("data at 0x{:X} overlaps earlier data", overlap.address));
    }
}

void Extents::Add(std::uint32_t address, std::size_t length, std::size_t line) {
    const std::uint64_t end = std::uint64_t{address} + length;
    inOrder_ = inOrder_ && address >= lastEnd_;
    lastEnd_ = end;
    // The first range that starts after the record; straight after the last record's range, as
    // records mostly come, it is the one after that.
    auto next =
        last_ != ranges_.end() && last_->second == address ? std::next(last_) : ranges_.upper_bound(address);
    const auto before = next == ranges_.begin() ? ranges_.end() : std::prev(next);
    if (before != ranges_.end() && before->second > address) throw OverlapFound{line, address};
    if (next != ranges_.end() && next->first < end) throw OverlapFound{line, next->first};
    if (before != ranges_.end() && before->second == address) {
        before->second = end;
        last_ = before;
    } else {
        last_ = ranges_.emplace_hint(next, address, end);
    }
    if (next != ranges_.end() && next->first == end) {
        last_->second = next->second;
        ranges_.erase(next);
    }
}

std::optional<std::pair<std::uint32_t, std::uint64_t>> Extents::RangeHolding(std::uint64_t address,
                                                                             std::uint64_t length) const {
    if (address > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    auto next = ranges_.upper_bound(static_cast<std::uint32_t>(address));
    if (next == ranges_.begin()) return std::nullopt;
    const auto range = *std::prev(next);
    if (address + length > range.second) return std::nullopt;
    return range;
}

}  // namespace firmware
}  // namespace lexicorn
