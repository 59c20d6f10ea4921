#include "merge/FirmwareScan.h"

#include <algorithm>

#include "image/ImageLayout.h"
#include "merge/FirmwareText.h"

namespace lexicorn {
namespace {

// Bytes a signature may have on each side of a border between pieces of the data.
constexpr std::size_t kSignatureOverhang = layout::kSignatureSize - 1;

// Looks for the first whole signature at or after `from` in the data of records that come in
// address order, across records but not across gaps, and keeps the data from it on up to an image
// header's length. Contiguous data is searched in batches, the last bytes of one carried into the
// next, so that a signature across two records or two batches is found whole.
class SearchSink final : public firmware::DataSink {
  public:
    // With `checks`, every record goes there too, and the reading is never cut short.
    SearchSink(std::uint64_t from, firmware::DataSink* checks) : from_(from), checks_(checks) {}

    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) override {
        if (checks_) checks_->Add(address, data, line);
        if (match_) return Keep(address, data);
        std::uint64_t at = address;
        if (at + data.size() <= from_) return;
        if (at < from_) {
            data = data.subspan(from_ - at);
            at = from_;
        }
        if (at != pendingStart_ + pending_.size()) {
            // A gap: the data before it is searched alone.
            SearchPending(false);
            if (match_) return StopIfDone();
        }
        if (pending_.empty()) pendingStart_ = at;
        pending_.insert(pending_.end(), data.begin(), data.end());
        if (pending_.size() >= kBatch) SearchPending(true);
        if (match_) StopIfDone();
    }
    // The data has ended: what is pending is searched.
    void Finish() {
        if (!match_) SearchPending(false);
    }
    const std::optional<SignatureMatch>& Match() const { return match_; }
    const std::vector<std::uint8_t>& AfterMatch() const { return after_; }

  private:
    static constexpr std::size_t kBatch = 1 << 16;

    // Searches the pending data; without more to come straight after it, forgets it.
    void SearchPending(bool more) {
        if (auto match = lexicorn::FindSignature(pending_)) {
            match->offset += pendingStart_;
            match_ = match;
            const auto from = pending_.begin() + static_cast<std::ptrdiff_t>(match->offset - pendingStart_);
            after_.assign(from, from + std::min<std::ptrdiff_t>(pending_.end() - from, layout::kHeaderSize));
            keeping_ = after_.size() < layout::kHeaderSize && more;
            return;
        }
        const std::size_t carried = more ? std::min(kSignatureOverhang, pending_.size()) : 0;
        pendingStart_ += pending_.size() - carried;
        pending_.erase(pending_.begin(), pending_.end() - static_cast<std::ptrdiff_t>(carried));
    }
    // After the match: its header's bytes as far as the data runs on without a gap.
    void Keep(std::uint32_t address, std::span<const std::uint8_t> data) {
        keeping_ = keeping_ && address == match_->offset + after_.size();
        if (keeping_) {
            after_.insert(after_.end(), data.begin(),
                          data.begin() + static_cast<std::ptrdiff_t>(
                                             std::min(data.size(), layout::kHeaderSize - after_.size())));
            keeping_ = after_.size() < layout::kHeaderSize;
        }
        StopIfDone();
    }
    // Once the match and its header's bytes are had, a reading that only searches ends; one that
    // checks the records goes on to the end of the text.
    void StopIfDone() const {
        if (!keeping_ && !checks_) throw firmware::StopReading();
    }

    std::uint64_t from_;
    firmware::DataSink* checks_;
    std::vector<std::uint8_t> pending_;  ///< contiguous data not searched yet
    std::uint64_t pendingStart_ = 0;
    std::optional<SignatureMatch> match_;
    std::vector<std::uint8_t> after_;
    bool keeping_ = false;  ///< the data after the match goes on into the next record
};

// The span of the records while they come in address order, each after the one before: they cannot
// overlap, and nothing of them needs to be kept. At the first that does not, the reading ends.
class OrderSink final : public firmware::DataSink {
  public:
    struct OutOfOrder {};

    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t) override {
        if (span_.high != 0 && address < span_.high) throw OutOfOrder();
        if (span_.high == 0) span_.low = address;
        span_.high = std::uint64_t{address} + data.size();
    }
    AddressSpan Span() const { return span_; }

  private:
    AddressSpan span_;
};

// Every record's range into `extents`, which refuses a record that overlaps an earlier one.
class ExtentSink final : public firmware::DataSink {
  public:
    explicit ExtentSink(firmware::Extents& extents) : extents_(extents) {}
    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) override {
        extents_.Add(address, data.size(), line);
    }

  private:
    firmware::Extents& extents_;
};

// Copies the data in [low, high) out of the records. Records in order are read until they have
// passed `high`, and the data is taken as it comes, up to the first gap: only what stands there is
// held. Records out of order go into their places in the range, which one range of data is known to
// fill.
class GatherSink final : public firmware::DataSink {
  public:
    GatherSink(std::uint64_t low, std::uint64_t high, bool inOrder)
        : low_(low), high_(high), inOrder_(inOrder), bytes_(inOrder ? 0 : high - low) {}

    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t) override {
        const std::uint64_t begin = std::max<std::uint64_t>(address, low_);
        const std::uint64_t end = std::min<std::uint64_t>(address + data.size(), high_);
        const auto from = data.begin() + static_cast<std::ptrdiff_t>(begin - address);
        const auto to = data.begin() + static_cast<std::ptrdiff_t>(end - address);
        if (!inOrder_) {
            if (begin < end) std::copy(from, to, bytes_.begin() + static_cast<std::ptrdiff_t>(begin - low_));
            return;
        }
        if (begin < end) {
            if (begin != low_ + bytes_.size()) throw firmware::StopReading();  // a gap
            bytes_.insert(bytes_.end(), from, to);
        }
        if (address + data.size() >= high_) throw firmware::StopReading();
    }
    /// The data; none when records in order leave a gap in it.
    std::optional<std::vector<std::uint8_t>> Take() {
        if (bytes_.size() != high_ - low_) return std::nullopt;
        return std::move(bytes_);
    }

  private:
    std::uint64_t low_;
    std::uint64_t high_;
    bool inOrder_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

FirmwareScan::FirmwareScan(FirmwareFormat format, TextSource text, std::string fileName, std::size_t window)
    : format_(format), text_(std::move(text)), fileName_(std::move(fileName)), window_(window) {
    // Records in address order (as tools write them) are checked and searched in one reading, which
    // holds nothing of them: memory stays the same however many ranges they leave apart.
    OrderSink order;
    SearchSink search(0, &order);
    try {
        records_ = firmware::ReadRecords(format_, text_, fileName_, search);
        search.Finish();
        span_ = order.Span();
        first_ = search.Match();
        afterFirst_ = search.AfterMatch();
        return;
    } catch (const OrderSink::OutOfOrder&) {
    }
    // Out of order, the ranges are kept to find overlaps, and the search in the order of the file
    // says nothing of the order of addresses.
    extents_ = std::make_unique<firmware::Extents>();
    ExtentSink ranges(*extents_);
    records_ = firmware::ReadRecords(format_, text_, fileName_, ranges);
    const auto& all = extents_->Ranges();
    if (!all.empty()) span_ = {all.begin()->first, all.rbegin()->second};
    first_ = SearchByWindows(0);
    if (first_) {
        const auto range = extents_->RangeHolding(first_->offset, layout::kSignatureSize);
        afterFirst_ = *Gather(first_->offset,
                              std::min<std::uint64_t>(range->second, first_->offset + layout::kHeaderSize));
    }
}

FirmwareScan::~FirmwareScan() = default;

std::optional<SignatureMatch> FirmwareScan::FindSignature(std::uint64_t from) const {
    if (!first_ || from <= first_->offset) return first_;
    return extents_ ? SearchByWindows(from) : SearchInOrder(from);
}

std::optional<std::vector<std::uint8_t>> FirmwareScan::DataAt(std::uint32_t address,
                                                              std::size_t count) const {
    // What the first reading kept answers the scan's own question, the header of the first image.
    if (first_ && address == first_->offset &&
        (count <= afterFirst_.size() || afterFirst_.size() < layout::kHeaderSize)) {
        if (count > afterFirst_.size()) return std::nullopt;
        return std::vector<std::uint8_t>(afterFirst_.begin(),
                                         afterFirst_.begin() + static_cast<std::ptrdiff_t>(count));
    }
    const std::uint64_t end = std::uint64_t{address} + count;
    if (extents_ ? !extents_->RangeHolding(address, count) : address < span_.low || end > span_.high)
        return std::nullopt;
    return Gather(address, end);
}

std::optional<std::vector<std::uint8_t>> FirmwareScan::Gather(std::uint64_t low, std::uint64_t high) const {
    GatherSink gather(low, high, !extents_);
    firmware::ReadRecords(format_, text_, fileName_, gather);
    return gather.Take();
}

std::optional<SignatureMatch> FirmwareScan::SearchInOrder(std::uint64_t from) const {
    SearchSink search(from, nullptr);
    firmware::ReadRecords(format_, text_, fileName_, search);
    search.Finish();
    return search.Match();
}

std::optional<SignatureMatch> FirmwareScan::SearchByWindows(std::uint64_t from) const {
    for (const auto& [start, end] : extents_->Ranges()) {
        // Each window reaches a signature's length less one byte into the next, so that a signature
        // across the border is found whole in the first.
        for (std::uint64_t low = std::max<std::uint64_t>(start, from); low < end; low += window_) {
            const std::vector<std::uint8_t> bytes =
                *Gather(low, std::min(end, low + window_ + kSignatureOverhang));
            if (auto match = lexicorn::FindSignature(bytes)) {
                match->offset += low;
                return match;
            }
        }
    }
    return std::nullopt;
}

}  // namespace lexicorn
