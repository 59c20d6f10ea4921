#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace lexicorn {

/// The order of the bytes of a word: a setting of the build (code 0 or 1 in project files) and a
/// word of every image's header.
enum class ByteOrder : std::uint8_t { kLittle = 0, kBig = 1 };

/// The number that stands for a setting in files and image headers.
template <typename Enum>
constexpr std::underlying_type_t<Enum> Code(Enum value) {
    return static_cast<std::underlying_type_t<Enum>>(value);
}

/// Reads an unsigned value of `width` bytes (1, 2 or 4) in the given order.
inline std::uint32_t GetUnsigned(const std::uint8_t* at, std::size_t width, ByteOrder order) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        std::size_t index = order == ByteOrder::kLittle ? width - 1 - i : i;
        value = value << 8 | at[index];
    }
    return value;
}

/// Writes an unsigned value of `width` bytes in the given order.
inline void PutUnsigned(std::uint8_t* at, std::size_t width, std::uint32_t value, ByteOrder order) {
    for (std::size_t i = 0; i < width; ++i) {
        std::size_t index = order == ByteOrder::kLittle ? i : width - 1 - i;
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
