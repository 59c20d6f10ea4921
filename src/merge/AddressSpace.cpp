#include "merge/AddressSpace.h"

#include <algorithm>

namespace lexicorn {
namespace {

// The first segment that ends after `address`, or the end.
auto FirstEndingAfter(const std::vector<Segment>& segments, std::uint64_t address) {
    return std::partition_point(segments.begin(), segments.end(),
                                [&](const Segment& segment) { return segment.End() <= address; });
}

}  // namespace

AddressSpan SpanOf(const FirmwareFile& file) {
    if (file.segments.empty()) return {};
    return {file.segments.front().address, file.segments.back().End()};
}

void Paint(FirmwareFile& file, std::uint32_t address, std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    std::vector<Segment>& segments = file.segments;
    const std::uint64_t begin = address, end = begin + bytes.size();
    // Every segment that overlaps or touches the painted range joins it in one segment.
    auto first = FirstEndingAfter(segments, begin == 0 ? 0 : begin - 1);
    auto last = first;
    while (last != segments.end() && last->address <= end) ++last;
    const std::uint64_t joinedBegin = first != last ? std::min<std::uint64_t>(begin, first->address) : begin;
    const std::uint64_t joinedEnd = first != last ? std::max(end, std::prev(last)->End()) : end;
    Segment joined{static_cast<std::uint32_t>(joinedBegin),
                   std::vector<std::uint8_t>(joinedEnd - joinedBegin)};
    for (auto segment = first; segment != last; ++segment)
        std::copy(segment->bytes.begin(), segment->bytes.end(),
                  joined.bytes.begin() + static_cast<std::ptrdiff_t>(segment->address - joinedBegin));
    std::copy(bytes.begin(), bytes.end(),
              joined.bytes.begin() + static_cast<std::ptrdiff_t>(begin - joinedBegin));
    const auto at = segments.erase(first, last);
    segments.insert(at, std::move(joined));
}

std::optional<SignatureMatch> FindSignature(const FirmwareFile& file) {
    for (const Segment& segment : file.segments)
        if (auto match = FindSignature(std::span<const std::uint8_t>(segment.bytes))) {
            match->offset += segment.address;
            return match;
        }
    return std::nullopt;
}

std::optional<std::span<const std::uint8_t>> DataAt(const FirmwareFile& file, std::uint32_t address,
                                                    std::size_t count) {
    const auto segment = FirstEndingAfter(file.segments, address);
    if (segment == file.segments.end() || segment->address > address ||
        std::uint64_t{address} + count > segment->End())
        return std::nullopt;
    return std::span<const std::uint8_t>(segment->bytes).subspan(address - segment->address, count);
}

std::string ToBinary(const FirmwareFile& file, std::uint8_t fill) {
    const AddressSpan span = SpanOf(file);
    std::string bytes(span.high - span.low, static_cast<char>(fill));
    for (const Segment& segment : file.segments)
        std::copy(segment.bytes.begin(), segment.bytes.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(segment.address - span.low));
    return bytes;
}

}  // namespace lexicorn
