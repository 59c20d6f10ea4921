// Targets as address spaces: painting data over them, searching them, placing an image in their span.
#include <gtest/gtest.h>

#include "image/ImageLayout.h"
#include "merge/AddressSpace.h"
#include "merge/MergeLayout.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

using Bytes = std::vector<std::uint8_t>;

FirmwareFile WithSegments(std::vector<Segment> segments) {
    FirmwareFile file;
    file.format = FirmwareFormat::kIntelHex;
    file.segments = std::move(segments);
    return file;
}

struct PaintCase {
    const char* name;
    std::uint32_t address;
    Bytes bytes;
    std::vector<Segment> expected;
};
void PrintTo(const PaintCase& c, std::ostream* os) { *os << c.name; }

class Painting : public testing::TestWithParam<PaintCase> {};

// Over segments [10, 14) "abcd" and [20, 22) "ef".
TEST_P(Painting, JoinsWhatItTouchesAndKeepsTheRest) {
    FirmwareFile file = WithSegments({{10, {'a', 'b', 'c', 'd'}}, {20, {'e', 'f'}}});
    Paint(file, GetParam().address, GetParam().bytes);
    EXPECT_EQ(file.segments, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Painting,
    testing::Values(
        PaintCase{"BeforeEverything", 0, {'x'}, {{0, {'x'}}, {10, {'a', 'b', 'c', 'd'}}, {20, {'e', 'f'}}}},
        PaintCase{"TouchingTheStart", 8, {'x', 'y'}, {{8, {'x', 'y', 'a', 'b', 'c', 'd'}}, {20, {'e', 'f'}}}},
        PaintCase{"InsideOne", 11, {'X', 'Y'}, {{10, {'a', 'X', 'Y', 'd'}}, {20, {'e', 'f'}}}},
        PaintCase{"TouchingTheEnd", 14, {'x'}, {{10, {'a', 'b', 'c', 'd', 'x'}}, {20, {'e', 'f'}}}},
        PaintCase{"InTheGap", 16, {'x'}, {{10, {'a', 'b', 'c', 'd'}}, {16, {'x'}}, {20, {'e', 'f'}}}},
        PaintCase{"BridgingTheGap",
                  12,
                  {'1', '2', '3', '4', '5', '6', '7', '8', '9'},
                  {{10, {'a', 'b', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'f'}}}},
        PaintCase{"OverEverything", 5, Bytes(20, 'z'), {{5, Bytes(20, 'z')}}},
        PaintCase{"AtTheTopOfTheSpace",
                  0xFFFFFFFE,
                  {'x', 'y'},
                  {{10, {'a', 'b', 'c', 'd'}}, {20, {'e', 'f'}}, {0xFFFFFFFE, {'x', 'y'}}}}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(AddressSpace, TheSignatureIsSearchedInDataNotAcrossGaps) {
    const auto signature = layout::SignatureBytes(ByteOrder::kLittle);
    const Bytes first(signature.begin(), signature.begin() + 5), rest(signature.begin() + 5, signature.end());
    // Split over two touching records: one segment, found.
    FirmwareFile joined = WithSegments({{0x100, Bytes(3, 'a')}});
    Paint(joined, 0x103, first);
    Paint(joined, 0x108, rest);
    ASSERT_TRUE(FindSignature(joined));
    EXPECT_EQ(FindSignature(joined)->offset, 0x103u);
    // With a gap between the halves, not found; a whole one later is.
    FirmwareFile gapped = WithSegments({{0x100, first}, {0x200, rest}});
    EXPECT_FALSE(FindSignature(gapped));
    Paint(gapped, 0x300, signature);
    ASSERT_TRUE(FindSignature(gapped));
    EXPECT_EQ(FindSignature(gapped)->offset, 0x300u);
}

TEST(AddressSpace, DataAtAndTheBinaryFromTheLowestAddress) {
    const FirmwareFile file = WithSegments({{0x1000, {1, 2, 3}}, {0x1005, {4}}});
    EXPECT_EQ(SpanOf(file).low, 0x1000u);
    EXPECT_EQ(SpanOf(file).high, 0x1006u);
    ASSERT_TRUE(DataAt(file, 0x1001, 2));
    EXPECT_EQ(Bytes(DataAt(file, 0x1001, 2)->begin(), DataAt(file, 0x1001, 2)->end()), (Bytes{2, 3}));
    EXPECT_FALSE(DataAt(file, 0x1002, 2));  // runs into the gap
    EXPECT_FALSE(DataAt(file, 0x0FFF, 1));
    const auto binary = [](const FirmwareFile& firmware) {
        std::string bytes;
        WriteBinary(firmware, 0xFF, [&](std::string_view piece) { bytes += piece; });
        return bytes;
    };
    EXPECT_EQ(binary(file), std::string("\x01\x02\x03\xFF\xFF\x04", 6));
    EXPECT_EQ(binary(FirmwareFile{}), "");
    // A gap longer than a piece of fill.
    const std::string wide = binary(WithSegments({{0, {1}}, {200000, {2}}}));
    EXPECT_EQ(wide.size(), 200001u);
    EXPECT_EQ(wide, '\x01' + std::string(199999, '\xFF') + '\x02');
}

struct SpanCase {
    const char* name;
    MergeMode mode;
    MergePlacement placement;
    std::uint8_t alignment;
    std::uint32_t address;
    AddressSpan span;
    std::uint32_t imageSize;
    ResultCode result;
    std::uint32_t placed;
};
void PrintTo(const SpanCase& c, std::ostream* os) { *os << c.name; }

class SpanPlacement : public testing::TestWithParam<SpanCase> {};

TEST_P(SpanPlacement, KeepsThePlacementsMeaningOnTheSpan) {
    const SpanCase& c = GetParam();
    const MergeSettings settings{c.mode, c.placement, c.address, c.alignment, 0};
    std::uint32_t placed = 0xDEADBEEF;
    EXPECT_EQ(PlaceInSpan(settings, c.span, c.imageSize, placed), c.result);
    if (c.result == kSuccess) {
        EXPECT_EQ(placed, c.placed);
    }
}

using namespace test::merge_shorthands;

INSTANTIATE_TEST_SUITE_P(
    Cases, SpanPlacement,
    testing::Values(
        SpanCase{
            "AppendEndAlignsUp", kAppend, kEnd, 16, 0, {0x8000000, 0x8001234}, 0x100, kSuccess, 0x8001240},
        SpanCase{
            "AppendEndAligned", kAppend, kEnd, 16, 0, {0x8000000, 0x8001240}, 0x100, kSuccess, 0x8001240},
        // An address space reaches FFFFFFFF inclusive: an image may end on it, not one byte beyond.
        SpanCase{"AppendEndToTheTop", kAppend, kEnd, 1, 0, {0, 0xFFFFFF00}, 0x100, kSuccess, 0xFFFFFF00},
        SpanCase{"AppendEndBeyond4GiB", kAppend, kEnd, 1, 0, {0, 0xFFFFFF01}, 0x100, kAddressOverflow, 0},
        SpanCase{"AppendEndAlignedToTheTop",
                 kAppend,
                 kEnd,
                 16,
                 0,
                 {0xFFFFFF00, 0xFFFFFFC1},
                 0x30,
                 kSuccess,
                 0xFFFFFFD0},
        // Unaligned it would end on FFFFFFFF; aligned up, beyond.
        SpanCase{"AppendEndAlignedBeyond4GiB",
                 kAppend,
                 kEnd,
                 16,
                 0,
                 {0xFFFFFF00, 0xFFFFFFC1},
                 0x3F,
                 kAddressOverflow,
                 0},
        SpanCase{"OverwriteEndOfASpanReachingTheTop",
                 kOverwrite,
                 kEnd,
                 16,
                 0,
                 {0xFFFF0000, 0x100000000},
                 0x100,
                 kSuccess,
                 0xFFFFFF00},
        SpanCase{"OverwriteAtAnAddressToTheTop",
                 kOverwrite,
                 kAddress,
                 1,
                 0xFFFFFF00,
                 {0, 0x10},
                 0x100,
                 kSuccess,
                 0xFFFFFF00},
        SpanCase{"OverwriteBeginningBeyond4GiB",
                 kOverwrite,
                 kBeginning,
                 1,
                 0,
                 {0xFFFFFFF0, 0x100000000},
                 0x100,
                 kAddressOverflow,
                 0},
        SpanCase{"AppendBeginningAlignsDown",
                 kAppend,
                 kBeginning,
                 16,
                 0,
                 {0x8000000, 0x8001000},
                 0x104,
                 kSuccess,
                 0x7FFFEF0},
        SpanCase{"AppendBeginningBelowZero",
                 kAppend,
                 kBeginning,
                 1,
                 0,
                 {0x80, 0x1000},
                 0x100,
                 kBelowAddressZero,
                 0},
        SpanCase{
            "AppendBeginningExactlyToZero", kAppend, kBeginning, 1, 0, {0x100, 0x1000}, 0x100, kSuccess, 0},
        SpanCase{"OverwriteBeginning",
                 kOverwrite,
                 kBeginning,
                 16,
                 0,
                 {0x8000010, 0x8001000},
                 0x100,
                 kSuccess,
                 0x8000010},
        SpanCase{"OverwriteEndAlignsDown",
                 kOverwrite,
                 kEnd,
                 16,
                 0,
                 {0x8000000, 0x8001008},
                 0x100,
                 kSuccess,
                 0x8000F00},
        SpanCase{"OverwriteEndOfASmallSpan",
                 kOverwrite,
                 kEnd,
                 16,
                 0,
                 {0x8000008, 0x8000010},
                 0x100,
                 kSuccess,
                 0x8000008},
        SpanCase{"OverwriteAtAnAddress",
                 kOverwrite,
                 kAddress,
                 4,
                 0x8000400,
                 {0x8000000, 0x8001000},
                 0x100,
                 kSuccess,
                 0x8000400},
        SpanCase{"OverwriteBeyond4GiB",
                 kOverwrite,
                 kAddress,
                 1,
                 0xFFFFFF80,
                 {0, 0x10},
                 0x100,
                 kAddressOverflow,
                 0},
        SpanCase{"OverwriteAtAnAddressOneBeyondTheTop",
                 kOverwrite,
                 kAddress,
                 1,
                 0xFFFFFF01,
                 {0, 0x10},
                 0x100,
                 kAddressOverflow,
                 0},
        SpanCase{
            "AddressNeedsOverwrite", kAppend, kAddress, 1, 0x10, {0, 0x10}, 0x10, kPlacementNotInMode, 0}),
    [](const auto& testCase) { return testCase.param.name; });

}  // namespace
}  // namespace lexicorn
