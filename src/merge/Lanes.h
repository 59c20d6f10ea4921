#pragma once

// Sixteen bytes side by side, for the merge's hot loops: the compiler turns operations on them into
// the machine's vector instructions (SSE2, NEON, ...), or into plain ones where it has none.

#include <array>
#include <cstdint>
#include <cstring>

namespace lexicorn::lanes {

using Lanes = std::uint8_t __attribute__((vector_size(16)));

/// The sixteen bytes at `at`, wherever they stand.
inline Lanes Load(const std::uint8_t* at) {
    Lanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}

/// `byte` in every lane.
inline Lanes Splat(std::uint8_t byte) {
    Lanes lanes;
    std::memset(&lanes, byte, sizeof lanes);
    return lanes;
}

/// Whether any bit of any lane is set.
inline bool AnySet(Lanes lanes) {
    std::array<std::uint64_t, sizeof(Lanes) / 8> halves;
    std::memcpy(halves.data(), &lanes, sizeof lanes);
    return (halves[0] | halves[1]) != 0;
}

}  // namespace lexicorn::lanes
