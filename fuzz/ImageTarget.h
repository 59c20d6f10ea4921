#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "FuzzCheck.h"
#include "base/Error.h"
#include "base/Unicode.h"
#include "image/ImageReader.h"
#include "platform/CodePage.h"

namespace fuzz_image {

// What dump prints and the merger relies on, for an image the check passed: its counts agree,
// every slot has its string, and every text is valid UTF-8 without a NUL.
inline void CheckContents(const lexicorn::ImageContents& image, std::size_t size) {
    FUZZ_CHECK(image.imageSize == size, "image size");
    FUZZ_CHECK(image.encoding <= 2 && image.tableType <= 1 && image.byteOrder <= 1, "header values");
    FUZZ_CHECK(image.stringOffsets.size() == image.languages.size(), "one offset table per language");
    const auto text = [](const std::string& utf8) {
        FUZZ_CHECK(!lexicorn::FindInvalidUtf8(utf8) && utf8.find('\0') == std::string::npos, "text");
    };
    for (std::size_t l = 0; l < image.languages.size(); ++l) {
        const auto& language = image.languages[l];
        FUZZ_CHECK(language.codeText.size() <= 2 && language.codeText.find('\0') == std::string::npos,
                   "code");
        text(language.name);
        FUZZ_CHECK(image.stringOffsets[l].size() == image.stringCount, "a string per id");
        for (std::size_t id = 0; id < image.stringCount; ++id) text(image.String(l, id));
        FUZZ_CHECK(image.Strings(l).size() == image.stringCount, "strings of a language");
    }
    for (const auto& [offset, string] : image.texts) text(string);
}

}  // namespace fuzz_image

// The whole-image checks of dump (ReadImage) and the merger (CheckImage), over arbitrary bytes (in a
// heap block of exactly their size, so that a read past the end is seen). A refusal, an Error, is
// fine when both give it in the same words; an accepted image must hold together. Accepted once, it
// is accepted in any code page, as the code page only says how single-byte text reads.
inline int FuzzImage(const std::uint8_t* data, std::size_t size) {
    std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[size]);
    std::copy(data, data + size, block.get());
    const std::span<const std::uint8_t> bytes(block.get(), size);
    // The merger's check keeps nothing of the image, but must judge it as the reader does.
    std::string checkRefusal;
    try {
        lexicorn::CheckImage(bytes);
    } catch (const lexicorn::Error& error) {
        checkRefusal = error.what();
    }
    lexicorn::ImageContents image;
    try {
        image = lexicorn::ReadImage(bytes);
    } catch (const lexicorn::Error& error) {
        FUZZ_CHECK(checkRefusal == error.what(), "the check refuses as the reader does");
        return 0;
    }
    FUZZ_CHECK(checkRefusal.empty(), "the check accepts what the reader accepts");
    fuzz_image::CheckContents(image, size);
    const char* other = lexicorn::kCommonCodePages[size % lexicorn::kCommonCodePages.size()];
    const lexicorn::ImageContents again = lexicorn::ReadImage(bytes, other);
    fuzz_image::CheckContents(again, size);
    FUZZ_CHECK(again.stringOffsets == image.stringOffsets && again.languages.size() == image.languages.size(),
               "the same image in another code page");
    return 0;
}
