#pragma once

// Sixteen bytes side by side, for the merge's hot loops: the compiler turns operations on them into
// the machine's vector instructions (SSE2, NEON, ...), or into plain ones where it has none.
// Compilers without GCC's vector extensions (MSVC) get the operations the scan uses lane by lane.

#include <array>
#include <cstdint>
#include <cstring>

namespace lexicorn::lanes {

#if defined(__GNUC__)
#define LEXICORN_VECTOR_EXTENSIONS 1
using Lanes = std::uint8_t __attribute__((vector_size(16)));
#else
#define LEXICORN_VECTOR_EXTENSIONS 0
struct Lanes {
    std::array<std::uint8_t, 16> lane;
};

template <typename Operation>
Lanes EachLane(Lanes a, Lanes b, Operation operation) {
    Lanes result;
    for (std::size_t i = 0; i < a.lane.size(); ++i) result.lane[i] = operation(a.lane[i], b.lane[i]);
    return result;
}
/// All bits set in the lanes that are equal, as GCC's vectors compare.
inline Lanes operator==(Lanes a, Lanes b) {
    return EachLane(a, b, [](std::uint8_t x, std::uint8_t y) { return std::uint8_t(x == y ? 0xFF : 0); });
}
inline Lanes operator&(Lanes a, Lanes b) {
    return EachLane(a, b, [](std::uint8_t x, std::uint8_t y) { return std::uint8_t(x & y); });
}
inline Lanes operator|(Lanes a, Lanes b) {
    return EachLane(a, b, [](std::uint8_t x, std::uint8_t y) { return std::uint8_t(x | y); });
}
inline Lanes& operator|=(Lanes& a, Lanes b) { return a = a | b; }
#endif

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
