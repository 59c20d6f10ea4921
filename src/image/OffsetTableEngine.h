#pragma once

#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "image/LexicornEngine.h"

namespace lexicorn {

/// The image builder that both table types share; they differ only in the width of a string offset,
/// the capacity of the string data and their names.
class OffsetTableEngine : public LexicornEngine {
  public:
    ResultCode Initialize(std::uint32_t languageCount, std::uint32_t stringCount, std::uint8_t alignment,
                          ByteOrder byteOrder, Encoding encoding) override;
    const char* GetVersionText() const override { return versionText_; }
    bool IsComplete() const override { return complete_; }
    ResultCode SetUniqueId(std::uint32_t id) override;
    ResultCode GetUniqueId(std::uint32_t& id) const override;
    ResultCode AddString(std::string_view text) override;
    ResultCode AddString(std::u16string_view text) override;
    ResultCode AddLanguage(std::string_view code, std::string_view name) override;
    ResultCode AddLanguage(std::string_view code, std::u16string_view name) override;
    const std::uint8_t* GetImage() const override { return image_.get(); }
    std::uint32_t GetImageSize() const override;
    std::vector<std::uint8_t> GetOutputImage() const override;
    ResultCode CheckComplete() const override;
    ResultCode SaveImage(AtomicFile& file) override;

  protected:
    OffsetTableEngine(TableType tableType, std::uint32_t offsetWidth, const char* versionText);
    /// Bytes of string data that an image with `slotCount` string slots may hold.
    virtual std::uint64_t DataCapacity(std::uint64_t slotCount) const = 0;

  private:
    struct FreeBuffer {
        void operator()(std::uint8_t* buffer) const { std::free(buffer); }
    };
    enum class TextKind { kNarrow, kWide };

    // Stores text given as its bytes (for wide text, its units already little endian), or finds the
    // string that an offset table entry already refers to; sets `offset` to where it stands.
    ResultCode StoreText(std::string_view bytes, bool shareable, std::uint32_t& offset);
    ResultCode AddLanguageBytes(std::string_view code, std::string_view nameBytes, TextKind kind);
    ResultCode AddStringBytes(std::string_view bytes, TextKind kind);
    bool Accepts(TextKind kind) const;
    std::uint8_t* StringData() const;
    std::uint64_t DataStart() const;
    void PutWord(std::uint64_t position, std::uint32_t value);

    const TableType tableType_;
    const std::uint32_t offsetWidth_;
    const char* const versionText_;

    std::unique_ptr<std::uint8_t, FreeBuffer> image_;
    std::uint32_t languageCount_ = 0;
    std::uint32_t languagesAdded_ = 0;
    std::uint32_t stringCount_ = 0;
    std::uint64_t slotCount_ = 0;
    std::uint64_t stringsAdded_ = 0;
    std::uint64_t dataCapacity_ = 0;
    std::uint64_t dataUsed_ = 0;
    std::uint8_t alignment_ = 1;
    ByteOrder byteOrder_ = ByteOrder::kLittle;
    Encoding encoding_ = Encoding::kSingleByte;
    bool complete_ = false;
    // Every string that an offset table entry refers to, found by its text: the hash index that lets
    // identical strings share one copy without a search over all earlier strings. The texts stay in
    // the image buffer, which never moves; the index holds where they stand, in one array, so that
    // a table's many strings cost no allocation each.
    class SharedTexts {
      public:
        void Clear();
        /// The offset of the text with these bytes in `data`, or none.
        std::optional<std::uint32_t> Find(std::string_view bytes, const std::uint8_t* data) const;
        /// Adds the text that stands at `offset` in `data`, unless the index holds it already.
        void Add(std::string_view bytes, std::uint32_t offset, const std::uint8_t* data);

      private:
        struct Entry {
            std::size_t hash = 0;
            std::uint32_t offset = 0;
            std::uint32_t size = 0;
            bool used = false;
        };
        // Where the text with this hash and these bytes stands in entries_, or the free entry it takes.
        std::size_t Place(std::size_t hash, std::string_view bytes, const std::uint8_t* data) const;
        void Grow();
        std::vector<Entry> entries_;  // open addressing; the size is a power of two, or 0
        std::size_t count_ = 0;
    };
    SharedTexts shared_;
};

}  // namespace lexicorn
