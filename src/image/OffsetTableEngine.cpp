#include "image/OffsetTableEngine.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "base/Bytes.h"
#include "image/ImageLayout.h"
#include "image/Lexicorn16Engine.h"
#include "image/Lexicorn32Engine.h"
#include "image/UniqueId.h"
#include "platform/AtomicFile.h"
#include "platform/LargeMemory.h"

namespace lexicorn {
namespace {

using namespace layout;

constexpr std::uint64_t kMaxImageBuffer = std::numeric_limits<std::uint32_t>::max();

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// Text is zero-terminated in the image, so it ends at its first zero unit.
std::string_view UpToTerminator(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string WideBytes(std::u16string_view text) {
    text = text.substr(0, text.find(u'\0'));
    std::string bytes(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        PutUnsigned(reinterpret_cast<std::uint8_t*>(bytes.data()) + 2 * i, 2, text[i], ByteOrder::kLittle);
    return bytes;
}

}  // namespace

std::uint32_t LexicornEngine::MakeUniqueId() const { return UniqueIdFromClock(); }

std::unique_ptr<LexicornEngine> CreateLexicornEngine(TableType tableType) {
    switch (tableType) {
        case TableType::k16Bit:
            return std::make_unique<Lexicorn16Engine>();
        case TableType::k32Bit:
            return std::make_unique<Lexicorn32Engine>();
    }
    return nullptr;
}

OffsetTableEngine::OffsetTableEngine(TableType tableType, std::uint32_t offsetWidth, const char* versionText)
    : tableType_(tableType), offsetWidth_(offsetWidth), versionText_(versionText) {}

ResultCode OffsetTableEngine::Initialize(std::uint32_t languageCount, std::uint32_t stringCount,
                                         std::uint8_t alignment, ByteOrder byteOrder, Encoding encoding) {
    image_.reset();
    shared_.Clear();
    // Only BYTE, WORD and DWORD alignment exist; anything else (0 among them) means BYTE.
    alignment_ = (alignment == 2 || alignment == 4) ? alignment : 1;
    // A damaged project may hold any number; what is no known choice means the first one.
    byteOrder_ = byteOrder == ByteOrder::kBig ? byteOrder : ByteOrder::kLittle;
    encoding_ =
        (encoding == Encoding::kUtf16 || encoding == Encoding::kUtf8) ? encoding : Encoding::kSingleByte;
    languageCount_ = languageCount;
    stringCount_ = stringCount;
    slotCount_ = std::uint64_t{languageCount} * stringCount;
    dataCapacity_ = DataCapacity(slotCount_);
    dataUsed_ = 0;
    languagesAdded_ = 0;
    stringsAdded_ = 0;
    complete_ = false;

    const std::uint64_t bufferSize = DataStart() + dataCapacity_;
    if (bufferSize > kMaxImageBuffer) return kNoStorage;
    image_.reset(static_cast<std::uint8_t*>(std::calloc(bufferSize, 1)));
    if (!image_) return kNoStorage;
    // Room for the most string data: only the pages the strings reach are ever touched.
    PreferLargePages(image_.get(), bufferSize);

    PutWord(kSignature1At, kSignature1);
    PutWord(kSignature2At, kSignature2);
    PutWord(kUniqueIdAt, MakeUniqueId());
    PutWord(kLanguageCountAt, languageCount_);
    PutWord(kStringCountAt, stringCount_);
    PutWord(kByteOrderAt, Code(byteOrder_));
    PutWord(kEncodingAt, static_cast<std::uint32_t>(Code(encoding_)));
    PutWord(kTableTypeAt, static_cast<std::uint32_t>(Code(tableType_)));
    PutWord(kOffsetTableOffsetAt, static_cast<std::uint32_t>(kLanguageEntrySize * languageCount_));
    PutWord(kStringDataOffsetAt, static_cast<std::uint32_t>(DataStart() - kHeaderSize));

    std::uint32_t offset = 0;
    return StoreText({}, false, offset);
}

std::uint64_t OffsetTableEngine::DataStart() const {
    return kHeaderSize + kLanguageEntrySize * languageCount_ + offsetWidth_ * slotCount_;
}

std::uint8_t* OffsetTableEngine::StringData() const { return image_.get() + DataStart(); }

void OffsetTableEngine::PutWord(std::uint64_t position, std::uint32_t value) {
    PutUnsigned(image_.get() + position, 4, value, ByteOrder::kLittle);
}

ResultCode OffsetTableEngine::SetUniqueId(std::uint32_t id) {
    if (!image_) return kNoStorage;
    PutWord(kUniqueIdAt, id);
    return kSuccess;
}

ResultCode OffsetTableEngine::GetUniqueId(std::uint32_t& id) const {
    if (!image_) return kNoStorage;
    id = GetUnsigned(image_.get() + kUniqueIdAt, 4, ByteOrder::kLittle);
    return kSuccess;
}

std::uint32_t OffsetTableEngine::GetImageSize() const {
    if (!image_) return 0;
    return static_cast<std::uint32_t>(DataStart() + dataUsed_);
}

bool OffsetTableEngine::Accepts(TextKind kind) const {
    return (encoding_ == Encoding::kUtf16) == (kind == TextKind::kWide);
}

ResultCode OffsetTableEngine::StoreText(std::string_view bytes, bool shareable, std::uint32_t& offset) {
    if (!image_) return kNoStorage;
    if (shareable) {
        if (const std::optional<std::uint32_t> found = shared_.Find(bytes, StringData())) {
            offset = *found;
            return kSuccess;
        }
    }
    const std::uint64_t terminator = encoding_ == Encoding::kUtf16 ? 2 : 1;
    const std::uint64_t size = bytes.size() + terminator;
    if (dataUsed_ + size > dataCapacity_) return kCapacityExceeded;
    if (!bytes.empty()) std::memcpy(StringData() + dataUsed_, bytes.data(), bytes.size());
    offset = static_cast<std::uint32_t>(dataUsed_);
    dataUsed_ = AlignUp(dataUsed_ + size, alignment_);
    PutWord(kImageSizeAt, GetImageSize());
    return kSuccess;
}

ResultCode OffsetTableEngine::AddLanguage(std::string_view code, std::string_view name) {
    return AddLanguageBytes(code, UpToTerminator(name), TextKind::kNarrow);
}

ResultCode OffsetTableEngine::AddLanguage(std::string_view code, std::u16string_view name) {
    return AddLanguageBytes(code, WideBytes(name), TextKind::kWide);
}

ResultCode OffsetTableEngine::AddLanguageBytes(std::string_view code, std::string_view nameBytes,
                                               TextKind kind) {
    if (!image_) return kNoStorage;
    if (!Accepts(kind)) return kWrongTextKind;
    if (languagesAdded_ >= languageCount_) return kTableFull;
    std::uint32_t nameOffset = 0;
    if (ResultCode result = StoreText(nameBytes, false, nameOffset)) return result;

    code = UpToTerminator(code);
    const auto character = [&](std::size_t i) -> std::uint32_t {
        return i < code.size() ? static_cast<std::uint8_t>(code[i]) : 0;
    };
    const std::uint64_t entry = kHeaderSize + kLanguageEntrySize * languagesAdded_;
    PutWord(entry, character(0) << 8 | character(1));
    PutWord(entry + 4, nameOffset);
    ++languagesAdded_;
    return kSuccess;
}

ResultCode OffsetTableEngine::AddString(std::string_view text) {
    return AddStringBytes(UpToTerminator(text), TextKind::kNarrow);
}

ResultCode OffsetTableEngine::AddString(std::u16string_view text) {
    return AddStringBytes(WideBytes(text), TextKind::kWide);
}

ResultCode OffsetTableEngine::AddStringBytes(std::string_view bytes, TextKind kind) {
    if (!image_) return kNoStorage;
    if (!Accepts(kind)) return kWrongTextKind;
    std::uint32_t offset = 0;
    if (ResultCode result = StoreText(bytes, true, offset)) return result;
    // The text is stored before the slot check, as the image format's reference builder does: a
    // string refused here may already stand in the string data, referred to by no entry.
    if (complete_) return kTableFull;

    const std::uint64_t entry =
        kHeaderSize + kLanguageEntrySize * languageCount_ + offsetWidth_ * stringsAdded_;
    PutUnsigned(image_.get() + entry, offsetWidth_, offset, ByteOrder::kLittle);
    shared_.Add(bytes, offset, StringData());
    if (++stringsAdded_ == slotCount_) complete_ = true;
    return kSuccess;
}

void OffsetTableEngine::SharedTexts::Clear() {
    entries_.clear();
    count_ = 0;
}

std::size_t OffsetTableEngine::SharedTexts::Place(std::size_t hash, std::string_view bytes,
                                                  const std::uint8_t* data) const {
    const std::size_t mask = entries_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Entry& entry = entries_[at];
        if (!entry.used) return at;
        if (entry.hash == hash && entry.size == bytes.size() &&
            std::memcmp(data + entry.offset, bytes.data(), bytes.size()) == 0)
            return at;
    }
}

std::optional<std::uint32_t> OffsetTableEngine::SharedTexts::Find(std::string_view bytes,
                                                                  const std::uint8_t* data) const {
    if (entries_.empty()) return std::nullopt;
    const Entry& entry = entries_[Place(std::hash<std::string_view>()(bytes), bytes, data)];
    if (!entry.used) return std::nullopt;
    return entry.offset;
}

void OffsetTableEngine::SharedTexts::Add(std::string_view bytes, std::uint32_t offset,
                                         const std::uint8_t* data) {
    // At most three quarters used, so that a search meets a free entry soon.
    if (4 * (count_ + 1) > 3 * entries_.size()) Grow();
    const std::size_t hash = std::hash<std::string_view>()(bytes);
    Entry& entry = entries_[Place(hash, bytes, data)];
    if (entry.used) return;
    entry = {hash, offset, static_cast<std::uint32_t>(bytes.size()), true};
    ++count_;
}

void OffsetTableEngine::SharedTexts::Grow() {
    const std::size_t size = std::max<std::size_t>(1024, 2 * entries_.size());
    std::vector<Entry> grown;
    grown.reserve(size);
    PreferLargePages(grown.data(), size * sizeof(Entry));
    grown.resize(size);
    std::vector<Entry> old = std::exchange(entries_, std::move(grown));
    const std::size_t mask = entries_.size() - 1;
    for (const Entry& entry : old) {
        if (!entry.used) continue;
        std::size_t at = entry.hash & mask;
        while (entries_[at].used) at = (at + 1) & mask;
        entries_[at] = entry;
    }
}

std::vector<std::uint8_t> OffsetTableEngine::GetOutputImage() const {
    if (!image_) return {};
    std::vector<std::uint8_t> output;
    output.reserve(GetImageSize());
    PreferLargePages(output.data(), output.capacity());
    output.assign(image_.get(), image_.get() + GetImageSize());
    if (byteOrder_ == ByteOrder::kBig) {
        std::uint8_t* at = output.data();
        SwapUnits(at, kHeaderSize + kLanguageEntrySize * languageCount_, 4);
        SwapUnits(at + kHeaderSize + kLanguageEntrySize * languageCount_, offsetWidth_ * slotCount_,
                  offsetWidth_);
        if (encoding_ == Encoding::kUtf16) SwapUnits(at + DataStart(), dataUsed_, 2);
    }
    return output;
}

ResultCode OffsetTableEngine::CheckComplete() const {
    if (!image_) return kNoStorage;
    return complete_ ? kSuccess : kImageIncomplete;
}

ResultCode OffsetTableEngine::SaveImage(AtomicFile& file) {
    if (ResultCode checked = CheckComplete()) return checked;
    // The buffer is kept little endian: such an image is written as it stands, without a copy.
    if (byteOrder_ == ByteOrder::kLittle) {
        file.Write({reinterpret_cast<const char*>(image_.get()), GetImageSize()});
    } else {
        const std::vector<std::uint8_t> output = GetOutputImage();
        file.Write({reinterpret_cast<const char*>(output.data()), output.size()});
    }
    file.Finish();
    return kSuccess;
}

}  // namespace lexicorn
