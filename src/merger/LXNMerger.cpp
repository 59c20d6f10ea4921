#include "merger/LXNMerger.h"

#include <cstring>
#include <filesystem>

#include "build/Bytes.h"
#include "build/LexicornEngine.h"

namespace lexicorn {
namespace {

// The signature as it begins a little-endian image.
std::array<std::uint8_t, 8> Signature() {
    std::array<std::uint8_t, 8> bytes{};
    PutUnsigned(bytes.data(), 4, LexicornEngine::kSignature1, 0);
    PutUnsigned(bytes.data() + 4, 4, LexicornEngine::kSignature2, 0);
    return bytes;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

ResultCode LXNMerger::CheckLexicornFile(const std::string& path) {
    sourceValid_ = false;
    if (ResultCode measured = SetSourceFile(path)) return measured;
    if (ResultCode opened = sourceFile_.OpenForReading()) return opened;
    std::array<std::uint8_t, 8> start{};
    ResultCode read = sourceFile_.ReadAt(0, 8, start.data());
    sourceFile_.CloseFile();
    if (read) return read;
    sourceValid_ = start == Signature();
    return sourceValid_ ? kSuccess : kNotALexicorn;
}

ResultCode LXNMerger::ScanTarget(const std::string& path) {
    targetScanned_ = false;
    targetHasLexicorn_ = false;
    oldLexicornSize_ = 0;
    oldLexicornHeader_.fill(0);
    if (ResultCode measured = SetTargetFile(path)) return measured;
    if (ResultCode opened = targetFile_.OpenForReading()) return opened;

    // One view of the whole target serves the search for the signature and the copy of the header.
    std::span<const std::uint8_t> target;
    ResultCode result = targetFile_.MapContents(target);
    const std::size_t found = result ? std::string::npos : FindPattern(target, Signature(), 0, 1);
    if (found != std::string::npos) {
        if (found + kHeaderSize > target.size()) {
            result = kOutOfRange;
        } else {
            targetHasLexicorn_ = true;
            oldLexicornPosition_ = static_cast<std::uint32_t>(found);
            std::memcpy(oldLexicornHeader_.data(), target.data() + found, kHeaderSize);
            oldLexicornSize_ = GetUnsigned(oldLexicornHeader_.data() + 12, 4, 0);
        }
    }
    targetFile_.CloseFile();
    targetScanned_ = result == kSuccess;
    return result;
}

ResultCode LXNMerger::SetMergeParameters(std::uint8_t mode, std::uint8_t placement, std::uint8_t alignment,
                                         std::uint32_t address) {
    if (mode != kOverwrite && mode != kAppend) return kOutOfRange;
    return SetParameters(mode, placement, alignment, address);
}

ResultCode LXNMerger::MergeLexicorn() {
    if (!IsReady()) return kMergeNotReady;
    const std::string& output = outputFile_.FileName();
    if (SameFile(output, sourceFile_.FileName()) || SameFile(output, targetFile_.FileName()))
        return kOutputIsInput;
    ClearInOutput(targetHasLexicorn_ ? std::optional<std::uint32_t>(oldLexicornPosition_) : std::nullopt);
    return Merge();
}

}  // namespace lexicorn
