#pragma once

#include <cstddef>
#include <cstdint>

namespace lexicorn {

/// Reads an unsigned value of `width` bytes (1, 2 or 4) in the given order (0 little, 1 big endian).
inline std::uint32_t GetUnsigned(const std::uint8_t* at, std::size_t width, std::uint8_t byteOrder) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        std::size_t index = byteOrder == 0 ? width - 1 - i : i;
        value = value << 8 | at[index];
    }
    return value;
}

/// Writes an unsigned value of `width` bytes in the given order (0 little, 1 big endian).
inline void PutUnsigned(std::uint8_t* at, std::size_t width, std::uint32_t value, std::uint8_t byteOrder) {
    for (std::size_t i = 0; i < width; ++i) {
        std::size_t index = byteOrder == 0 ? i : width - 1 - i;
        at[index] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

/// Reverses the bytes of every `width`-byte unit in [at, at + length).
inline void SwapUnits(std::uint8_t* at, std::size_t length, std::size_t width) {
    for (std::size_t unit = 0; unit + width <= length; unit += width)
        for (std::size_t i = 0; i < width / 2; ++i) {
            std::uint8_t keep = at[unit + i];
            at[unit + i] = at[unit + width - 1 - i];
            at[unit + width - 1 - i] = keep;
        }
}

}  // namespace lexicorn
