#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "build/ResultCodes.h"

namespace lexicorn {

/// Builds one Lexicorn image in memory and writes it out.
///
/// Image layout (every word in the image's byte order):
///   header          44 bytes: signature1, signature2, uniqueId, imageSize, languageCount,
///                   stringCount, byteOrder, encoding, tableType, offsetTableOffset,
///                   stringDataOffset (both counted from the end of the header)
///   language table  8 bytes per language: packed two-character code, offset of the name
///   offset table    one 16-bit (tableType 0) or 32-bit (tableType 1) entry per language and string,
///                   all strings of the first language first
///   string data     zero-terminated strings, each starting at a multiple of the alignment within
///                   the string data; offset 0 holds an empty string that no entry refers to
///
/// Text is stored exactly as given: bytes for encodings 0 (single byte) and 2 (UTF-8), 16-bit units
/// for encoding 1. Every operation reports its outcome as a result code.
class LexicornEngine {
  public:
    static constexpr std::uint32_t kSignature1 = 0x102F304F;
    static constexpr std::uint32_t kSignature2 = 0x5F607F80;
    static constexpr std::uint32_t kHeaderSize = 44;

    /// Reserves the whole image and writes its header; 0 or kNoStorage (also for an image whose size
    /// does not fit in 32 bits), or kCapacityExceeded when not even the empty string fits.
    virtual ResultCode Initialize(std::uint32_t languageCount, std::uint32_t stringCount,
                                  std::uint8_t alignment, std::uint8_t byteOrder, std::int8_t encoding) = 0;
    virtual ~LexicornEngine() = default;
    virtual const char* GetVersionText() const = 0;
    /// True once every string slot is filled.
    virtual bool IsComplete() const = 0;
    virtual ResultCode SetUniqueId(std::uint32_t id) = 0;
    virtual ResultCode GetUniqueId(std::uint32_t& id) const = 0;
    /// A new unique id from the build clock; touches no image.
    virtual std::uint32_t MakeUniqueId() const;
    /// Adds the next string (narrow text, for encodings 0 and 2).
    virtual ResultCode AddString(std::string_view text) = 0;
    /// Adds the next string (UTF-16 text, for encoding 1).
    virtual ResultCode AddString(std::u16string_view text) = 0;
    /// Adds the next language: the first two bytes of `code` count; the name is narrow text.
    virtual ResultCode AddLanguage(std::string_view code, std::string_view name) = 0;
    /// Adds the next language with a UTF-16 name (encoding 1).
    virtual ResultCode AddLanguage(std::string_view code, std::u16string_view name) = 0;
    /// The image under construction, little endian whatever the chosen byte order; null without one.
    virtual const std::uint8_t* GetImage() const = 0;
    /// The image's current length in bytes, equal to its header's imageSize.
    virtual std::uint32_t GetImageSize() const = 0;
    /// The image as it is written out: in the chosen byte order. Empty without an image.
    virtual std::vector<std::uint8_t> GetOutputImage() const = 0;
    /// Writes the complete image; 0, kNoStorage, kImageIncomplete or kCannotCreateFile.
    virtual ResultCode SaveImage(const std::filesystem::path& fileName) = 0;
    /// Writes the complete image as a C array source; the same codes as SaveImage.
    virtual ResultCode SaveCSource(const std::filesystem::path& fileName) = 0;
};

/// A new engine for table type 0 (16-bit offsets) or 1 (32-bit offsets); none for another type.
std::unique_ptr<LexicornEngine> CreateLexicornEngine(std::uint8_t tableType);

}  // namespace lexicorn
