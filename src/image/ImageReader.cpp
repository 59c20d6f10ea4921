#include "image/ImageReader.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstring>

#include "base/Bytes.h"
#include "base/Unicode.h"
#include "image/ImageFormat.h"
#include "image/ImageLayout.h"
#include "platform/CodePage.h"

namespace lexicorn {
namespace {

using namespace layout;

class Reader {
  public:
    enum class Keep { kEverything, kNothing };

    Reader(std::span<const std::uint8_t> image, const std::string& codePage)
        : image_(image), codePage_(codePage) {}

    /// Checks the whole image; `keep` says whether its languages and strings are kept or only
    /// checked.
    ImageContents Read(Keep keep) {
        if (image_.size() < kHeaderSize)
            throw ImageError(fmt::format("{} bytes are too few for a Lexicorn header ({} bytes)",
                                         image_.size(), kHeaderSize));
        if (StartsWithSignature(ByteOrder::kLittle))
            order_ = ByteOrder::kLittle;
        else if (StartsWithSignature(ByteOrder::kBig))
            order_ = ByteOrder::kBig;
        else
            throw ImageError("no Lexicorn signature at the start");

        ImageContents out;
        out.byteOrder = Code(order_);
        out.uniqueId = Word(kUniqueIdAt);
        out.imageSize = Word(kImageSizeAt);
        const std::uint32_t languageCount = Word(kLanguageCountAt);
        out.stringCount = Word(kStringCountAt);
        out.encoding = Word(kEncodingAt);
        out.tableType = Word(kTableTypeAt);
        out.offsetTableOffset = Word(kOffsetTableOffsetAt);
        out.stringDataOffset = Word(kStringDataOffsetAt);
        if (Word(kByteOrderAt) != Code(order_))
            throw ImageError(fmt::format("the header gives byte order {}, but the signature is {} endian",
                                         Word(kByteOrderAt), order_ == ByteOrder::kBig ? "big" : "little"));
        if (out.imageSize != image_.size())
            throw ImageError(fmt::format("the header gives an image size of {} bytes, but there are {}",
                                         out.imageSize, image_.size()));
        if (out.encoding > 2) throw ImageError(fmt::format("unknown encoding {}", out.encoding));
        if (out.tableType > 1) throw ImageError(fmt::format("unknown table type {}", out.tableType));
        encoding_ = static_cast<Encoding>(out.encoding);
        offsetWidth_ = static_cast<TableType>(out.tableType) == TableType::k32Bit ? 4 : 2;

        const std::uint64_t slots = std::uint64_t{languageCount} * out.stringCount;
        const std::uint64_t dataOffset = kLanguageEntrySize * languageCount + offsetWidth_ * slots;
        if (out.offsetTableOffset != kLanguageEntrySize * languageCount ||
            out.stringDataOffset != dataOffset || kHeaderSize + dataOffset > image_.size())
            throw ImageError(
                fmt::format("the header's tables ({} languages, {} strings) do not fit the image",
                            languageCount, out.stringCount));
        dataStart_ = kHeaderSize + dataOffset;

        for (std::uint32_t l = 0; l < languageCount; ++l) {
            const std::uint64_t entry = kHeaderSize + kLanguageEntrySize * l;
            ImageContents::Language language;
            language.code = Word(entry);
            for (std::uint32_t shift : {8u, 0u})
                if (char c = static_cast<char>(language.code >> shift & 0xFF)) language.codeText += c;
            const auto what = [l] { return fmt::format("the name of language {}", l); };
            if (keep == Keep::kNothing) {
                End(Word(entry + 4), what);
                continue;
            }
            language.name = Text(Word(entry + 4), what);
            out.languages.push_back(std::move(language));
        }
        const std::uint64_t table = kHeaderSize + out.offsetTableOffset;
        // A string is checked and read once, however many slots share it.
        std::vector<bool> checked(keep == Keep::kNothing ? image_.size() - dataStart_ : 0);
        if (keep == Keep::kEverything) out.stringOffsets.resize(languageCount);
        for (std::uint32_t l = 0; l < languageCount; ++l) {
            if (keep == Keep::kEverything) out.stringOffsets[l].reserve(out.stringCount);
            for (std::uint32_t s = 0; s < out.stringCount; ++s) {
                const std::uint64_t entry = table + offsetWidth_ * (std::uint64_t{l} * out.stringCount + s);
                const std::uint32_t offset = GetUnsigned(image_.data() + entry, offsetWidth_, order_);
                const auto what = [s, l] { return fmt::format("string {} of language {}", s, l); };
                if (keep == Keep::kNothing) {
                    if (offset < checked.size() && checked[offset]) continue;
                    End(offset, what);
                    checked[offset] = true;  // inside the data, or End would have thrown
                    continue;
                }
                if (!out.texts.contains(offset)) out.texts.emplace(offset, Text(offset, what));
                out.stringOffsets[l].push_back(offset);
            }
        }
        return out;
    }

  private:
    bool StartsWithSignature(ByteOrder order) const {
        const auto signature = SignatureBytes(order);
        return std::equal(signature.begin(), signature.end(), image_.begin());
    }

    std::uint32_t Word(std::uint64_t at) const { return GetUnsigned(image_.data() + at, 4, order_); }

    // Where the text at `offset` ends: the data offset of its terminator. `what` names the text for
    // a message; it is called only when there is one to give.
    template <typename Describe>
    std::uint64_t End(std::uint32_t offset, const Describe& what) const {
        const std::uint64_t dataSize = image_.size() - dataStart_;
        const std::uint8_t* data = image_.data() + dataStart_;
        if (offset >= dataSize)
            throw ImageError(fmt::format("{} starts at data offset {}, outside the {} bytes of string data",
                                         what(), offset, dataSize));
        if (encoding_ == Encoding::kUtf16) {
            if (offset % 2 != 0)
                throw ImageError(fmt::format("{} starts at the odd data offset {}", what(), offset));
            for (std::uint64_t at = offset; at + 1 < dataSize; at += 2)
                if (GetUnsigned(data + at, 2, order_) == 0) return at;
        } else {
            if (const void* end = std::memchr(data + offset, 0, dataSize - offset))
                return static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(end) - data);
        }
        throw ImageError(fmt::format("{} at data offset {} is not terminated", what(), offset));
    }

    // The text at `offset` in UTF-8: whatever its bytes, once it is terminated inside the data.
    template <typename Describe>
    std::string Text(std::uint32_t offset, const Describe& what) const {
        const std::uint64_t end = End(offset, what);
        const std::uint8_t* data = image_.data() + dataStart_;
        if (encoding_ == Encoding::kUtf16) {
            std::u16string units;
            for (std::uint64_t at = offset; at < end; at += 2)
                units += static_cast<char16_t>(GetUnsigned(data + at, 2, order_));
            return Utf16ToUtf8(units);
        }
        const std::string_view bytes(reinterpret_cast<const char*>(data + offset), end - offset);
        return encoding_ == Encoding::kUtf8 ? ValidUtf8(bytes) : codePage_.ToUtf8(bytes);
    }

    static std::string ValidUtf8(std::string_view bytes) {
        std::string text;
        while (auto bad = FindInvalidUtf8(bytes)) {
            text.append(bytes.substr(0, *bad));
            text += "\xEF\xBF\xBD";
            bytes.remove_prefix(*bad + 1);
        }
        return text.append(bytes);
    }

    std::span<const std::uint8_t> image_;
    CodePage codePage_;
    ByteOrder order_ = ByteOrder::kLittle;
    Encoding encoding_ = Encoding::kSingleByte;
    std::uint32_t offsetWidth_ = 2;
    std::uint64_t dataStart_ = 0;
};

}  // namespace

std::vector<std::string> ImageContents::Strings(std::size_t language) const {
    std::vector<std::string> strings;
    for (std::uint32_t offset : stringOffsets.at(language)) strings.push_back(texts.at(offset));
    return strings;
}

ImageContents ReadImage(std::span<const std::uint8_t> image, const std::string& codePage) {
    return Reader(image, codePage).Read(Reader::Keep::kEverything);
}

void CheckImage(std::span<const std::uint8_t> image) { Reader(image, "CP1252").Read(Reader::Keep::kNothing); }

}  // namespace lexicorn
