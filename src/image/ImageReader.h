#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Error.h"

namespace lexicorn {

/// A Lexicorn image that fails a check; the message says which.
class ImageError : public Error {
  public:
    explicit ImageError(const std::string& message) : Error(kNotALexicorn, message) {}
};

/// A checked image, its texts in UTF-8.
struct ImageContents {
    struct Language {
        std::uint32_t code = 0;  ///< first character × 256 + second character
        std::string codeText;    ///< the code's characters
        std::string name;
    };
    std::uint32_t uniqueId = 0;
    std::uint32_t imageSize = 0;
    std::uint32_t byteOrder = 0;  ///< 0 little, 1 big endian
    std::uint32_t encoding = 0;   ///< 0 single byte, 1 UTF-16, 2 UTF-8
    std::uint32_t tableType = 0;  ///< 0 16-bit offsets, 1 32-bit offsets
    std::uint32_t stringCount = 0;
    std::uint32_t offsetTableOffset = 0;
    std::uint32_t stringDataOffset = 0;
    std::vector<Language> languages;
    /// Where each string stands: stringOffsets[language][string id], a data offset.
    std::vector<std::vector<std::uint32_t>> stringOffsets;
    /// Every string once, by its data offset: images share identical strings, and a copy for each
    /// of their slots could need gigabytes.
    std::unordered_map<std::uint32_t, std::string> texts;

    const std::string& String(std::size_t language, std::size_t id) const {
        return texts.at(stringOffsets.at(language).at(id));
    }
    /// The strings of a language, copied.
    std::vector<std::string> Strings(std::size_t language) const;
};

/// Checks a whole image (signature in either byte order, sizes, every offset inside the string data,
/// every string terminated) and reads it. Single-byte text is read in `codePage`. Throws ImageError.
ImageContents ReadImage(std::span<const std::uint8_t> image, const std::string& codePage = "CP1252");

/// Checks a whole image as ReadImage does, with the same messages, and keeps nothing of it: a check
/// before a merge need not hold every string.
void CheckImage(std::span<const std::uint8_t> image);

}  // namespace lexicorn
