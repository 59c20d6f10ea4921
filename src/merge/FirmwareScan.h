#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "merge/AddressSpace.h"
#include "merge/Firmware.h"
#include "merge/SignatureFinder.h"

namespace lexicorn {

namespace firmware {
class Extents;
}

/// An Intel HEX or S-record file looked at for a scan, in bounded memory whatever its size: every
/// record is checked as ReadFirmware checks it, but the data is never held, nor, while the records
/// come in address order, their ranges. It is searched as it passes, and where that cannot answer
/// (records out of address order, or data asked for later), the text is read again, a window of
/// addresses at a time. Records out of order keep their ranges, to find overlaps: then memory grows
/// with the number of separate ranges. The source must stay readable for as long as the scan is asked.
class FirmwareScan {
  public:
    /// The addresses a search takes in one reading of a text whose records are out of order.
    static constexpr std::size_t kWindow = 8 << 20;

    /// Reads the text through and finds the first signature. Throws FirmwareError, or what the
    /// source throws.
    FirmwareScan(FirmwareFormat format, TextSource text, std::string fileName, std::size_t window = kWindow);
    ~FirmwareScan();
    FirmwareScan(const FirmwareScan&) = delete;
    FirmwareScan& operator=(const FirmwareScan&) = delete;

    /// What the records say besides their data: no segments.
    const FirmwareFile& Records() const { return records_; }
    /// The span of the data; {0, 0} when there is none.
    AddressSpan Span() const { return span_; }
    /// The first whole image signature at or after address `from`, in address order: across
    /// records, never across a gap.
    std::optional<SignatureMatch> FindSignature(std::uint64_t from = 0) const;
    /// `count` bytes of data from `address` when they all stand there without a gap.
    std::optional<std::vector<std::uint8_t>> DataAt(std::uint32_t address, std::size_t count) const;

  private:
    /// The data from `low` up to `high`, read out of the text; none when records in order leave a
    /// gap in it (records out of order are only asked for what one range holds).
    std::optional<std::vector<std::uint8_t>> Gather(std::uint64_t low, std::uint64_t high) const;
    /// FindSignature for records in order: one reading, from `from` on.
    std::optional<SignatureMatch> SearchInOrder(std::uint64_t from) const;
    /// FindSignature for records out of order: window by window, in address order.
    std::optional<SignatureMatch> SearchByWindows(std::uint64_t from) const;

    FirmwareFormat format_;
    TextSource text_;
    std::string fileName_;
    std::size_t window_;
    FirmwareFile records_;
    AddressSpan span_;
    /// The ranges of records out of order; none for records in order, which need none kept.
    std::unique_ptr<firmware::Extents> extents_;
    std::optional<SignatureMatch> first_;
    /// The data from the first signature on, up to an image header's length; shorter when the data
    /// ends or a gap starts before.
    std::vector<std::uint8_t> afterFirst_;
};

}  // namespace lexicorn
