#include "merge/SignatureFinder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/ImageLayout.h"
#include "merge/Lanes.h"

namespace lexicorn {
namespace {

// Of the signature's bytes, the one least likely in firmware: code, text and padding (0x00, 0xFF,
// letters, '/' and '_') are full of the others.
constexpr std::uint8_t kFilterByte = 0x7F;

struct Form {
    ByteOrder order;
    std::array<std::uint8_t, layout::kSignatureSize> bytes;
    std::size_t filterAt;  // where kFilterByte stands in `bytes`; never its last byte
};

Form FormOf(ByteOrder order) {
    const auto bytes = layout::SignatureBytes(order);
    const auto at = std::find(bytes.begin(), bytes.end(), kFilterByte);
    return {order, bytes, static_cast<std::size_t>(at - bytes.begin())};
}

const std::array<Form, 2> kForms = {FormOf(ByteOrder::kLittle), FormOf(ByteOrder::kBig)};

using lanes::AnySet;
using lanes::Lanes;
using lanes::Load;
using lanes::Splat;
constexpr std::size_t kLanes = sizeof(Lanes);
// Bytes filtered between two looks at the result: a look costs about as much as a filter.
constexpr std::size_t kBlock = 4 * kLanes;

// Whether the filter byte, followed by the byte that follows it in one of the forms, stands
// anywhere in the kBlock bytes at `block`, which are followed by at least one more. In random data
// the filter byte alone stands every 256 bytes, the pair every 32,768: a search for the one byte
// spent most of its time starting and stopping.
class BlockFilter {
  public:
    BlockFilter() : filter_(Splat(kFilterByte)) {
        for (std::size_t form = 0; form < kForms.size(); ++form)
            followers_[form] = Splat(kForms[form].bytes[kForms[form].filterAt + 1]);
    }

    bool MayHold(const std::uint8_t* block) const {
        Lanes found{};
        for (std::size_t lane = 0; lane < kBlock; lane += kLanes) {
            const Lanes next = Load(block + lane + 1);
            found |= (Load(block + lane) == filter_) & ((next == followers_[0]) | (next == followers_[1]));
        }
        return AnySet(found);
    }

  private:
    Lanes filter_;
    std::array<Lanes, kForms.size()> followers_;
};

}  // namespace

std::optional<SignatureMatch> FindSignature(std::span<const std::uint8_t> bytes) {
    std::size_t latestFilterAt = 0;
    for (const Form& form : kForms) latestFilterAt = std::max(latestFilterAt, form.filterAt);
    std::optional<SignatureMatch> first;
    const std::uint8_t* const data = bytes.data();
    const std::size_t size = bytes.size();
    // A match of the other order may start before one already found, but not by more than the
    // distance between the filter byte's places in the two.
    const auto settled = [&](std::size_t position) {
        return first && position > first->offset + latestFilterAt;
    };
    const auto compare = [&](std::size_t position) {
        if (data[position] != kFilterByte) return;
        for (const Form& form : kForms) {
            if (position < form.filterAt) continue;
            const std::size_t start = position - form.filterAt;
            if (start + layout::kSignatureSize <= size &&
                std::memcmp(data + start, form.bytes.data(), layout::kSignatureSize) == 0 &&
                (!first || start < first->offset))
                first = SignatureMatch{start, form.order};
        }
    };
    const BlockFilter filter;
    std::size_t block = 0;
    for (; block + kBlock < size && !settled(block); block += kBlock) {
        if (!filter.MayHold(data + block)) continue;
        for (std::size_t position = block; position < block + kBlock; ++position) {
            if (settled(position)) return first;
            compare(position);
        }
    }
    for (std::size_t position = block; position < size && !settled(position); ++position) compare(position);
    return first;
}

}  // namespace lexicorn
