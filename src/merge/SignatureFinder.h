#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "base/Bytes.h"

namespace lexicorn {

/// Where an image's signature stands, and the byte order it was written in.
struct SignatureMatch {
    std::size_t offset = 0;
    ByteOrder order = ByteOrder::kLittle;
    bool operator==(const SignatureMatch&) const = default;
};

/// The first place in `bytes` where a whole image signature stands, in either byte order. A
/// memchr-class filter for the signature's rarest byte and the byte after it finds the candidates,
/// which are then compared.
std::optional<SignatureMatch> FindSignature(std::span<const std::uint8_t> bytes);

}  // namespace lexicorn
