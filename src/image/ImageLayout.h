#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/Bytes.h"

// The layout of a Lexicorn image, in the one place that the builder, the reader and the merger's
// scan take it from. Every word is in the image's byte order:
//   header          44 bytes: signature1, signature2, uniqueId, imageSize, languageCount,
//                   stringCount, byteOrder, encoding, tableType, offsetTableOffset,
//                   stringDataOffset (both counted from the end of the header)
//   language table  8 bytes per language: packed two-character code, offset of the name
//   offset table    one 16-bit (table type 0) or 32-bit (table type 1) entry per language and
//                   string, all strings of the first language first
//   string data     zero-terminated strings, each starting at a multiple of the alignment within
//                   the string data; offset 0 holds an empty string that no entry refers to
namespace lexicorn::layout {

inline constexpr std::uint32_t kSignature1 = 0x102F304F;
inline constexpr std::uint32_t kSignature2 = 0x5F607F80;
inline constexpr std::size_t kHeaderSize = 44;
inline constexpr std::size_t kLanguageEntrySize = 8;
inline constexpr std::size_t kSignatureSize = 8;

/// Header words, by their byte offset.
enum HeaderWord : std::uint32_t {
    kSignature1At = 0,
    kSignature2At = 4,
    kUniqueIdAt = 8,
    kImageSizeAt = 12,
    kLanguageCountAt = 16,
    kStringCountAt = 20,
    kByteOrderAt = 24,
    kEncodingAt = 28,
    kTableTypeAt = 32,
    kOffsetTableOffsetAt = 36,
    kStringDataOffsetAt = 40,
};

/// The eight bytes that begin an image of the given byte order.
inline std::array<std::uint8_t, kSignatureSize> SignatureBytes(ByteOrder order) {
    std::array<std::uint8_t, kSignatureSize> bytes{};
    PutUnsigned(bytes.data() + kSignature1At, 4, kSignature1, order);
    PutUnsigned(bytes.data() + kSignature2At, 4, kSignature2, order);
    return bytes;
}

}  // namespace lexicorn::layout
