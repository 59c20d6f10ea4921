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
    // With `extents`, every record's range goes there too, and the reading is never cut short.
    SearchSink(std::uint64_t from, firmware::Extents* extents) : from_(from), extents_(extents) {}

    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t line) override {
        if (extents_) extents_->Add(address, data.size(), line);
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
        if (!keeping_ && !extents_) throw firmware::StopReading();
    }

    std::uint64_t from_;
    firmware::Extents* extents_;
    std::vector<std::uint8_t> pending_;  ///< contiguous data not searched yet
    std::uint64_t pendingStart_ = 0;
    std::optional<SignatureMatch> match_;
    std::vector<std::uint8_t> after_;
    bool keeping_ = false;  ///< the data after the match goes on into the next record
};

// Copies the data in [low, high) out of the records. In a text whose records are in order, the
// reading stops once they have passed `high`.
class GatherSink final : public firmware::DataSink {
  public:
    GatherSink(std::uint64_t low, std::uint64_t high, bool inOrder)
        : low_(low), high_(high), inOrder_(inOrder), bytes_(high - low) {}

    void Add(std::uint32_t address, std::span<const std::uint8_t> data, std::size_t) override {
        const std::uint64_t begin = std::max<std::uint64_t>(address, low_);
        const std::uint64_t end = std::min<std::uint64_t>(address + data.size(), high_);
        if (begin < end)
            std::copy(data.begin() + static_cast<std::ptrdiff_t>(begin - address),
                      data.begin() + static_cast<std::ptrdiff_t>(end - address),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(begin - low_));
        if (inOrder_ && address + data.size() >= high_) throw firmware::StopReading();
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

  private:
    std::uint64_t low_;
    std::uint64_t high_;
    bool inOrder_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace

FirmwareScan::FirmwareScan(FirmwareFormat format, TextSource text, std::string fileName, std::size_t window)
    : format_(format),
      text_(std::move(text)),
      fileName_(std::move(fileName)),
      window_(window),
      extents_(std::make_unique<firmware::Extents>()) {
    SearchSink search(0, extents_.get());
    records_ = firmware::ReadRecords(format_, text_, fileName_, search);
    search.Finish();
    if (extents_->InOrder()) {
        first_ = search.Match();
        afterFirst_ = search.AfterMatch();
        return;
    }
    // Out of order, the search in the order of the file says nothing of the order of addresses.
    first_ = SearchByWindows(0);
    if (first_) {
        const auto range = extents_->RangeHolding(first_->offset, layout::kSignatureSize);
        afterFirst_ = Gather(first_->offset,
                             std::min<std::uint64_t>(range->second, first_->offset + layout::kHeaderSize));
    }
}

FirmwareScan::~FirmwareScan() = default;

AddressSpan FirmwareScan::Span() const {
    const auto& ranges = extents_->Ranges();
    if (ranges.empty()) return {};
    return {ranges.begin()->first, ranges.rbegin()->second};
}

std::optional<SignatureMatch> FirmwareScan::FindSignature(std::uint64_t from) const {
    if (!first_ || from <= first_->offset) return first_;
    return extents_->InOrder() ? SearchInOrder(from) : SearchByWindows(from);
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
    if (!extents_->RangeHolding(address, count)) return std::nullopt;
    return Gather(address, std::uint64_t{address} + count);
}

std::vector<std::uint8_t> FirmwareScan::Gather(std::uint64_t low, std::uint64_t high) const {
    GatherSink gather(low, high, extents_->InOrder());
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
                Gather(low, std::min(end, low + window_ + kSignatureOverhang));
            if (auto match = lexicorn::FindSignature(bytes)) {
                match->offset += low;
                return match;
            }
        }
    }
    return std::nullopt;
}

}  // namespace lexicorn
