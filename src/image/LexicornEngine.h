#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "base/ResultCodes.h"
#include "image/ImageFormat.h"

namespace lexicorn {

class AtomicFile;

/// Builds one Lexicorn image in memory (the layout is in ImageLayout.h).
///
/// Text is stored exactly as given: bytes for single-byte and UTF-8 text, 16-bit units for UTF-16.
/// Every operation reports its outcome as a result code; a file that cannot be written is an Error.
class LexicornEngine {
  public:
    /// Reserves the whole image and writes its header; 0 or kNoStorage (also for an image whose size
    /// does not fit in 32 bits), or kCapacityExceeded when not even the empty string fits.
    virtual ResultCode Initialize(std::uint32_t languageCount, std::uint32_t stringCount,
                                  std::uint8_t alignment, ByteOrder byteOrder, Encoding encoding) = 0;
    virtual ~LexicornEngine() = default;
    virtual const char* GetVersionText() const = 0;
    /// True once every string slot is filled.
    virtual bool IsComplete() const = 0;
    virtual ResultCode SetUniqueId(std::uint32_t id) = 0;
    virtual ResultCode GetUniqueId(std::uint32_t& id) const = 0;
    /// A new unique id from the build clock; touches no image.
    virtual std::uint32_t MakeUniqueId() const;
    /// Adds the next string (narrow text, for single-byte and UTF-8 text).
    virtual ResultCode AddString(std::string_view text) = 0;
    /// Adds the next string (UTF-16 text).
    virtual ResultCode AddString(std::u16string_view text) = 0;
    /// Adds the next language: the first two bytes of `code` count; the name is narrow text.
    virtual ResultCode AddLanguage(std::string_view code, std::string_view name) = 0;
    /// Adds the next language with a UTF-16 name.
    virtual ResultCode AddLanguage(std::string_view code, std::u16string_view name) = 0;
    /// The image under construction, little endian whatever the chosen byte order; null without one.
    virtual const std::uint8_t* GetImage() const = 0;
    /// The image's current length in bytes, equal to its header's imageSize.
    virtual std::uint32_t GetImageSize() const = 0;
    /// The image as it is written out: in the chosen byte order. Empty without an image.
    virtual std::vector<std::uint8_t> GetOutputImage() const = 0;
    /// kNoStorage without an image, kImageIncomplete before every slot is filled, else 0.
    virtual ResultCode CheckComplete() const = 0;
    /// Writes the complete image into `file` and finishes it: 0, or the code of CheckComplete.
    /// Throws Error (kCannotCreateFile) when the file cannot be written.
    virtual ResultCode SaveImage(AtomicFile& file) = 0;
};

/// A new engine for 16-bit or 32-bit offsets; none for another table type.
std::unique_ptr<LexicornEngine> CreateLexicornEngine(TableType tableType);

}  // namespace lexicorn
