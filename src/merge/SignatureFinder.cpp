#include "merge/SignatureFinder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "image/ImageLayout.h"

namespace lexicorn {
namespace {

// Of the signature's bytes, the one least likely in firmware: code, text and padding (0x00, 0xFF,
// letters, '/' and '_') are full of the others.
constexpr std::uint8_t kFilterByte = 0x7F;

struct Form {
    ByteOrder order;
    std::array<std::uint8_t, layout::kSignatureSize> bytes;
    std::size_t filterAt;  // where kFilterByte stands in `bytes`
};

Form FormOf(ByteOrder order) {
    const auto bytes = layout::SignatureBytes(order);
    const auto at = std::find(bytes.begin(), bytes.end(), kFilterByte);
    return {order, bytes, static_cast<std::size_t>(at - bytes.begin())};
}

const std::array<Form, 2> kForms = {FormOf(ByteOrder::kLittle), FormOf(ByteOrder::kBig)};

}  // namespace

std::optional<SignatureMatch> FindSignature(std::span<const std::uint8_t> bytes) {
    std::size_t latestFilterAt = 0;
    for (const Form& form : kForms) latestFilterAt = std::max(latestFilterAt, form.filterAt);
    std::optional<SignatureMatch> first;
    const std::uint8_t* const data = bytes.data();
    for (std::size_t at = 0; at < bytes.size();) {
        const auto* hit =
            static_cast<const std::uint8_t*>(std::memchr(data + at, kFilterByte, bytes.size() - at));
        if (!hit) break;
        const std::size_t position = static_cast<std::size_t>(hit - data);
        // A match of the other order may start before one already found, but not by more than the
        // distance between the filter byte's places in the two.
        if (first && position > first->offset + latestFilterAt) break;
        for (const Form& form : kForms) {
            if (position < form.filterAt) continue;
            const std::size_t start = position - form.filterAt;
            if (start + layout::kSignatureSize <= bytes.size() &&
                std::memcmp(data + start, form.bytes.data(), layout::kSignatureSize) == 0 &&
                (!first || start < first->offset))
                first = SignatureMatch{start, form.order};
        }
        at = position + 1;
    }
    return first;
}

}  // namespace lexicorn
