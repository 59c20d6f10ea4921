#include "merge/AddressSpace.h"

#include <algorithm>

namespace lexicorn {
namespace {

// The first segment that ends after `address`, or the end.
template <typename Segments>
auto FirstEndingAfter(Segments& segments, std::uint64_t address) {
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
    const auto first = FirstEndingAfter(segments, begin == 0 ? 0 : begin - 1);
    auto last = first;
    while (last != segments.end() && last->address <= end) ++last;
    if (first == last) {
        segments.insert(first, Segment{address, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
        return;
    }
    // The first segment grows in place when the range does not start before it: painting an image
    // after the firmware's data copies the image, not the firmware.
    if (begin < first->address) first->bytes.insert(first->bytes.begin(), first->address - begin, 0);
    first->address = static_cast<std::uint32_t>(std::min<std::uint64_t>(begin, first->address));
    const std::uint64_t joinedEnd = std::max(end, std::prev(last)->End());
    first->bytes.resize(joinedEnd - first->address);
    for (auto segment = std::next(first); segment != last; ++segment)
        std::copy(segment->bytes.begin(), segment->bytes.end(),
                  first->bytes.begin() + static_cast<std::ptrdiff_t>(segment->address - first->address));
    std::copy(bytes.begin(), bytes.end(),
              first->bytes.begin() + static_cast<std::ptrdiff_t>(begin - first->address));
    segments.erase(std::next(first), last);
}

std::optional<SignatureMatch> FindSignature(const FirmwareFile& file, std::uint64_t from) {
    for (auto segment = FirstEndingAfter(file.segments, from); segment != file.segments.end(); ++segment) {
        const std::size_t skipped = from > segment->address ? from - segment->address : 0;
        if (auto match = FindSignature(std::span<const std::uint8_t>(segment->bytes).subspan(skipped))) {
            match->offset += segment->address + skipped;
            return match;
        }
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

void WriteBinary(const FirmwareFile& file, std::uint8_t fill, const TextSink& write) {
    std::string gap(1 << 16, static_cast<char>(fill));
    std::uint64_t at = SpanOf(file).low;
    for (const Segment& segment : file.segments) {
        for (; at < segment.address; at += std::min<std::uint64_t>(gap.size(), segment.address - at))
            write(std::string_view(gap.data(), std::min<std::uint64_t>(gap.size(), segment.address - at)));
        write(std::string_view(reinterpret_cast<const char*>(segment.bytes.data()), segment.bytes.size()));
        at = segment.End();
    }
}

}  // namespace lexicorn
