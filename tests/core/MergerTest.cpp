#include <fmt/format.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "image/ImageLayout.h"
#include "image/LexicornEngine.h"
#include "merge/FileHandle.h"
#include "merge/Merge.h"
#include "merge/MergeCommand.h"
#include "merge/MergeLayout.h"
#include "merge/SignatureFinder.h"
#include "platform/InputFile.h"
#include "support/TestSupport.h"
#include "table/TableReaderFactory.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

const Bytes kSignature("\x4F\x30\x2F\x10\x80\x7F\x60\x5F", 8);
using namespace test::merge_shorthands;

// Bytes that never contain the signature: a counting pattern.
Bytes Filler(std::size_t length, char seed) {
    Bytes bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(seed + i % 61);
    return bytes;
}

// A whole image file of `length` bytes (54 or more): one language whose name fills it, no strings.
Bytes Image(std::size_t length, ByteOrder order = ByteOrder::kLittle) {
    auto engine = CreateLexicornEngine(TableType::k16Bit);
    EXPECT_EQ(engine->Initialize(1, 0, 1, order, Encoding::kSingleByte), kSuccess);
    // A fixed id: the id of the clock would make two calls differ across a second's turn.
    EXPECT_EQ(engine->SetUniqueId(0x1D), kSuccess);
    engine->AddLanguage("xx", std::string(length - 54, 'n'));
    const std::vector<std::uint8_t> image = engine->GetOutputImage();
    EXPECT_EQ(image.size(), length);
    return Bytes(image.begin(), image.end());
}

TEST(FileHandle, PositionedReadsStayInsideTheFile) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "0123456789");
    FileHandle file((dir / "f").string());
    char buffer[11] = {};
    EXPECT_EQ(file.ReadAt(100, 0, buffer), kSuccess);  // count 0: closed handle, offset beyond the end
    EXPECT_EQ(file.CloseFile(), kNotOpen);
    ASSERT_EQ(file.OpenForReading(), kSuccess);
    EXPECT_EQ(file.OpenForReading(), kAlreadyOpen);
    EXPECT_EQ(file.Size(), 10u);
    EXPECT_EQ(file.ReadAt(6, 4, buffer), kSuccess);
    EXPECT_EQ(Bytes(buffer, 4), "6789");
    EXPECT_EQ(file.ReadAt(7, 4, buffer), kOutOfRange);
    EXPECT_EQ(file.ReadAt(0, 3, buffer), kSuccess);
    EXPECT_EQ(Bytes(buffer, 3), "012");
    EXPECT_EQ(file.CloseFile(), kSuccess);
    FileHandle missing((dir / "none").string());
    EXPECT_EQ(missing.OpenForReading(), kCannotOpenFile);
}

// The platform's positioned read underneath: whole or not at all, and the stream stays where it was.
TEST(Inputs, PositionedReadsAreWholeAndLeaveTheStreamWhereItWas) {
    test::TempDir dir;
    test::WriteFile(dir / "f", "0123456789");
    std::FILE* stream = OpenRegularFile(dir / "f");
    ASSERT_NE(stream, nullptr);
    ASSERT_EQ(std::fseek(stream, 2, SEEK_SET), 0);
    struct Case {
        std::uint64_t offset;
        std::size_t count;
        bool whole;
        std::string bytes;
    };
    for (const Case& c : {Case{0, 10, true, "0123456789"}, Case{6, 4, true, "6789"}, Case{7, 4, false, ""},
                          Case{10, 1, false, ""}, Case{4, 0, true, ""}, Case{1ull << 40, 1, false, ""}}) {
        std::string buffer(c.count, '\0');
        const bool whole =
            ReadFileAt(stream, c.offset, {reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size()});
        EXPECT_EQ(whole, c.whole) << c.offset << "+" << c.count;
        if (c.whole) {
            EXPECT_EQ(buffer, c.bytes) << c.offset << "+" << c.count;
        }
        EXPECT_EQ(std::ftell(stream), 2) << c.offset << "+" << c.count;
    }
    std::fclose(stream);
}

// A FIFO would make a reader wait for a writer that never comes: every input refuses it at once.
TEST(Inputs, AFifoIsRefusedWithoutWaiting) {
    test::TempDir dir;
    const std::string fifo = (dir / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(CheckImageFile(fifo).code, kCannotOpenFile);
    EXPECT_EQ(ScanTarget(fifo).code, kCannotOpenFile);
    try {
        CreateTableReader(fifo);
        ADD_FAILURE() << "a FIFO was taken as a table";
    } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()), fifo + ": not a regular file (a table is read from a file)");
    }
}

// Bytes drawn from the signatures' own in every other round, so that partial matches of both
// orders abound, and any bytes in the rest, where most stretches hold no candidate at all.
TEST(SignatureFinder, FindsWhatACrawlFindsInEitherByteOrder) {
    const auto little = layout::SignatureBytes(ByteOrder::kLittle);
    const auto big = layout::SignatureBytes(ByteOrder::kBig);
    std::mt19937 random(3);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> bytes(random() % 3000);
        for (auto& b : bytes)
            b = round % 2 ? static_cast<std::uint8_t>(random()) : (random() % 2 ? little : big)[random() % 8];
        // Whole signatures of either order, sometimes overlapping each other.
        for (int planted = random() % 3; planted > 0 && bytes.size() >= 8; --planted) {
            const auto& form = random() % 2 ? little : big;
            std::copy(form.begin(), form.end(),
                      bytes.begin() + static_cast<long>(random() % (bytes.size() - 7)));
        }
        std::optional<SignatureMatch> crawl;
        for (std::size_t i = 0; !crawl && i + 8 <= bytes.size(); ++i)
            for (const auto& [form, order] : {std::pair{little, ByteOrder::kLittle}, {big, ByteOrder::kBig}})
                if (!crawl && std::equal(form.begin(), form.end(), bytes.begin() + static_cast<long>(i)))
                    crawl = SignatureMatch{i, order};
        EXPECT_EQ(FindSignature(bytes), crawl) << "round " << round;
    }
}

struct LayoutCase {
    const char* name;
    MergeMode mode;
    MergePlacement placement;
    std::uint8_t alignment;
    std::uint32_t address;
    std::uint32_t targetSize;
    std::uint32_t imageSize;
    std::uint32_t outputSize;
    std::uint32_t imageOffset;
    std::uint32_t targetOffset;
};
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class MergeLayouts : public testing::TestWithParam<LayoutCase> {};

TEST_P(MergeLayouts, PlaceTheImageAndTheTarget) {
    const LayoutCase& c = GetParam();
    test::TempDir dir;
    const Bytes target = Filler(c.targetSize, 't');
    const Bytes image = Image(c.imageSize);
    test::WriteFile(dir / "target.bin", target);
    test::WriteFile(dir / "image.bin", image);
    ASSERT_EQ(Merge({(dir / "image.bin").string(),
                     (dir / "target.bin").string(),
                     (dir / "out.bin").string(),
                     {c.mode, c.placement, c.address, c.alignment, 0},
                     {}})
                  .code,
              kSuccess);

    // The output: zero bytes, the target at its offset, the image over it.
    Bytes expected(c.outputSize, '\0');
    expected.replace(c.targetOffset, target.size(), target);
    expected.replace(c.imageOffset, image.size(), image);
    expected.resize(c.outputSize);
    const Bytes output = test::ReadFile(dir / "out.bin");
    ASSERT_EQ(output.size(), expected.size());
    const auto difference = std::mismatch(output.begin(), output.end(), expected.begin());
    EXPECT_EQ(difference.first - output.begin(), static_cast<long>(output.size())) << "first differing byte";
}

INSTANTIATE_TEST_SUITE_P(
    Placements, MergeLayouts,
    testing::Values(
        LayoutCase{"AppendEnd", kAppend, kEnd, 16, 0, 1000, 300, 1308, 1008, 0},
        LayoutCase{"AppendBeginning", kAppend, kBeginning, 16, 0, 1000, 300, 1304, 0, 304},
        LayoutCase{"AppendWithoutAlignment", kAppend, kEnd, 1, 0, 1000, 300, 1300, 1000, 0},
        LayoutCase{"AppendAlignedAlready", kAppend, kEnd, 8, 0, 1000, 300, 1300, 1000, 0},
        LayoutCase{"OverwriteBeginning", kOverwrite, kBeginning, 16, 0, 1000, 300, 1000, 0, 0},
        LayoutCase{"OverwriteEnd", kOverwrite, kEnd, 16, 0, 1000, 300, 1000, 688, 0},
        LayoutCase{"OverwriteAddressBeyondTheTarget", kOverwrite, kAddress, 16, 0x2000, 0x1000, 0x100, 0x2100,
                   0x2000, 0},
        LayoutCase{"OverwriteAddressInside", kOverwrite, kAddress, 16, 0x40, 1000, 100, 1000, 0x40, 0},
        LayoutCase{"OverwriteAddressUnaligned", kOverwrite, kAddress, 16, 0x41, 1000, 100, 1000, 0x41, 0},
        LayoutCase{"OverwriteEndLongImage", kOverwrite, kEnd, 16, 0, 300, 1000, 1000, 0, 0},
        LayoutCase{"OverwriteBeginningLongImage", kOverwrite, kBeginning, 4, 0, 300, 1000, 1000, 0, 0},
        LayoutCase{"AlignmentNotAPowerOfTwo", kAppend, kEnd, 3, 0, 1000, 300, 1302, 1002, 0}),
    [](const auto& testCase) { return testCase.param.name; });

class Merger : public testing::Test {
  protected:
    std::string Path(const char* name) const { return (dir / name).string(); }
    void Prepare(const Bytes& target, const Bytes& image) {
        test::WriteFile(dir / "target.bin", target);
        test::WriteFile(dir / "image.bin", image);
        ASSERT_EQ(CheckImageFile(Path("image.bin")).code, kSuccess);
        scanned = ScanTarget(Path("target.bin"));
        ASSERT_EQ(scanned.code, kSuccess);
    }
    // Merges the prepared image and target into `output`.
    MergeResult MergeWith(MergeMode mode, MergePlacement placement, std::uint8_t alignment,
                          std::uint32_t address = 0, const std::string& output = {}) const {
        return Merge({Path("image.bin"),
                      Path("target.bin"),
                      output.empty() ? Path("out.bin") : output,
                      {mode, placement, address, alignment, 0},
                      {}});
    }
    // What the old images are, as the merge found them.
    static std::vector<OldImage> OldImages(const MergeResult& result) {
        EXPECT_TRUE(result.target);
        return result.target ? result.target->findings.images : std::vector<OldImage>{};
    }
    test::TempDir dir;
    lexicorn::TargetScan scanned;  // the target as Prepare scanned it
};

TEST_F(Merger, OldImageIsClearedInTheOutputOnly) {
    const Bytes target = Filler(200, 'a') + Image(96) + Filler(100, 'b');
    Prepare(target, Image(64));
    EXPECT_EQ(scanned.findings.images, (std::vector<OldImage>{{200u, 96u}}));
    ASSERT_EQ(MergeWith(kAppend, kEnd, 16).code, kSuccess);
    const Bytes output = test::ReadFile(dir / "out.bin");
    Bytes obsolete = target;
    obsolete.replace(200, 8, Bytes(8, '\0'));
    EXPECT_EQ(output.substr(0, target.size()), obsolete);
    EXPECT_EQ(output.substr(400), Image(64));
    EXPECT_EQ(test::ReadFile(dir / "target.bin"), target);
    // The same merge again gives the same output.
    ASSERT_EQ(MergeWith(kAppend, kEnd, 16).code, kSuccess);
    EXPECT_EQ(test::ReadFile(dir / "out.bin"), output);
}

// The everyday case: the target is chosen, the firmware is rebuilt, then Merge is pressed. Only the
// old image of the file as it is when merged is made obsolete.
TEST_F(Merger, TargetRebuiltAfterTheScanIsScannedAgain) {
    const Bytes chosen = Filler(200, 'a') + Image(96) + Filler(100, 'b');
    Prepare(chosen, Image(64));
    ASSERT_EQ(scanned.findings.FirstImage().position, 200u);

    const Bytes moved = Filler(40, 'c') + Image(80) + Filler(280, 'd');
    test::WriteFile(dir / "target.bin", moved);
    const MergeResult merged = MergeWith(kAppend, kEnd, 1);
    ASSERT_EQ(merged.code, kSuccess);
    Bytes expected = moved;
    expected.replace(40, 8, Bytes(8, '\0'));
    EXPECT_EQ(test::ReadFile(dir / "out.bin"), expected + Image(64));
    EXPECT_EQ(OldImages(merged), (std::vector<OldImage>{{40u, 80u}}));

    const Bytes none = Filler(400, 'e');
    test::WriteFile(dir / "target.bin", none);
    const MergeResult mergedAgain = MergeWith(kAppend, kEnd, 1);
    ASSERT_EQ(mergedAgain.code, kSuccess);
    EXPECT_EQ(test::ReadFile(dir / "out.bin"), none + Image(64));
    EXPECT_TRUE(OldImages(mergedAgain).empty());
}

TEST_F(Merger, InputsThatChangedIntoSomethingElseAreRefusedAtTheMerge) {
    Prepare(Filler(100, 'a'), Image(64));
    test::WriteFile(dir / "out.bin", "earlier output");
    test::WriteFile(dir / "target.bin", Filler(100, 'a') + kSignature + "short");
    EXPECT_EQ(MergeWith(kAppend, kEnd, 1).code, kOutOfRange);
    test::WriteFile(dir / "target.bin", Filler(100, 'a'));
    test::WriteFile(dir / "image.bin", Filler(64, 'x'));
    EXPECT_EQ(MergeWith(kAppend, kEnd, 1).code, kNotALexicorn);
    EXPECT_EQ(test::ReadFile(dir / "out.bin"), "earlier output");
}

TEST(MergePlacement, AnAddressNeedsOverwriting) {
    for (MergePlacement placement : {kBeginning, kEnd}) {
        EXPECT_TRUE(PlacementAllowed(kAppend, placement));
        EXPECT_TRUE(PlacementAllowed(kOverwrite, placement));
    }
    EXPECT_TRUE(PlacementAllowed(kOverwrite, kAddress));
    EXPECT_FALSE(PlacementAllowed(kAppend, kAddress));
}

TEST_F(Merger, ReadOnlyInputsAreAccepted) {
    Prepare(Filler(100, 'a'), Image(60));
    fs::permissions(dir / "target.bin", fs::perms::owner_read);
    fs::permissions(dir / "image.bin", fs::perms::owner_read);
    ASSERT_EQ(CheckImageFile(Path("image.bin")).code, kSuccess);
    ASSERT_EQ(ScanTarget(Path("target.bin")).code, kSuccess);
    EXPECT_EQ(MergeWith(kAppend, kEnd, 1).code, kSuccess);
}

TEST_F(Merger, OutputThatIsAnInputIsRefused) {
    Prepare(Filler(100, 'a'), Image(60));
    fs::create_symlink(dir / "target.bin", dir / "link.bin");
    for (const char* output : {"target.bin", "image.bin", "link.bin"})
        EXPECT_EQ(MergeWith(kAppend, kEnd, 1, 0, Path(output)).code, kOutputIsInput) << output;
    EXPECT_EQ(test::ReadFile(dir / "target.bin"), Filler(100, 'a'));
    EXPECT_EQ(test::ReadFile(dir / "image.bin"), Image(60));
}

// A name that shows nothing of the file it stands for is still refused: the opened files are compared.
TEST_F(Merger, AnOutputNamedThroughProcIsRefusedAsTheInputItIs) {
    Prepare(Filler(100, 'a'), Image(60));
    std::FILE* image = std::fopen(Path("image.bin").c_str(), "rb");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(MergeWith(kAppend, kEnd, 1, 0, "/proc/self/fd/" + std::to_string(fileno(image))).code,
              kOutputIsInput);
    std::fclose(image);
    EXPECT_EQ(test::ReadFile(dir / "image.bin"), Image(60));
}

TEST_F(Merger, FailedMergeLeavesTheOldOutput) {
    Prepare(Filler(100, 'a'), Image(60));
    test::WriteFile(dir / "out.bin", "earlier output");
    EXPECT_EQ(MergeWith(kOverwrite, kAddress, 1, 0xFFFFFFF0).code, kAddressOverflow);
    EXPECT_EQ(MergeWith(kAppend, kAddress, 1).code, kPlacementNotInMode);
    EXPECT_EQ(test::ReadFile(dir / "out.bin"), "earlier output");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
    // The highest address that still fits is merged.
    MergeLayout layout;
    EXPECT_EQ(LayOut({kOverwrite, kAddress, 0xFFFFFFFF - 50, 1, 0}, 100, 50, layout), kSuccess);
    EXPECT_EQ(layout.outputSize, 0xFFFFFFFFu);
}

// Settings a merge does not know are refused before any file is opened.
TEST_F(Merger, ParametersAreChecked) {
    for (const auto& [mode, placement] : {std::pair{static_cast<MergeMode>(0), kBeginning},
                                          {static_cast<MergeMode>(3), kBeginning},
                                          {kOverwrite, static_cast<MergePlacement>(3)}}) {
        const MergeResult result = MergeWith(mode, placement, 1);
        EXPECT_EQ(result.code, kOutOfRange);
        EXPECT_EQ(result.message, merge_messages::kCannotSetParameters);
    }
    // The address counts for the address placement only.
    MergeLayout layout;
    ASSERT_EQ(LayOut({kOverwrite, kBeginning, 0x1234, 16, 0}, 100, 50, layout), kSuccess);
    EXPECT_EQ(layout.outputSize, 100u);
    EXPECT_EQ(layout.imageOffset, 0u);
}

// What a merge tells its front end before it writes: where the image goes, the target's data, and
// which of the target's bytes under the image hold something (neither 00, FF, the fill byte nor an
// old image being replaced), counted exactly.
struct PlanCase {
    const char* name;
    Bytes target;
    MergeSettings settings;
    std::uint32_t imageAddress;
    std::uint64_t outputSize;
    OverwrittenData overwritten;
};
void PrintTo(const PlanCase& c, std::ostream* os) { *os << c.name; }

Bytes WithBytesAt(Bytes bytes, std::size_t at, const Bytes& put) {
    return bytes.replace(at, put.size(), put);
}

class MergePlans : public Merger, public testing::WithParamInterface<PlanCase> {};

TEST_P(MergePlans, TellWhatTheImageMeets) {
    const PlanCase& c = GetParam();
    Prepare(c.target, Image(64));
    std::optional<MergePlan> told;
    const MergeResult result = Merge({Path("image.bin"), Path("target.bin"), Path("out.bin"), c.settings, {}},
                                     [&told](const MergePlan& plan) {
                                         told = plan;
                                         return false;
                                     });
    EXPECT_TRUE(result.declined);
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
    ASSERT_TRUE(told);
    EXPECT_EQ(told->imageAddress, c.imageAddress);
    EXPECT_EQ(told->imageSize, 64u);
    EXPECT_FALSE(told->absolute);
    EXPECT_EQ(told->data.low, 0u);
    EXPECT_EQ(told->data.high, c.target.size());
    EXPECT_EQ(told->outputSize, c.outputSize);
    EXPECT_EQ(told->overwritten.count, c.overwritten.count);
    EXPECT_EQ(told->overwritten.first, c.overwritten.first);
    EXPECT_EQ(told->overwritten.last, c.overwritten.last);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, MergePlans,
    testing::Values(
        PlanCase{"ErasedFlash", Bytes(0x100, '\xFF'), {kOverwrite, kAddress, 0x40, 16, 0}, 0x40, 0x100, {}},
        PlanCase{"ZerosAndTheFillByte",
                 Bytes(0x40, '\0') + Bytes(0x40, '\xA5'),
                 {kOverwrite, kBeginning, 0, 16, 0xA5},
                 0,
                 0x80,
                 {}},
        PlanCase{"CodeAmongBlanks",
                 WithBytesAt(WithBytesAt(WithBytesAt(Bytes(0x100, '\xFF'), 0x45, "x"), 0x70, "y"), 0x90, "z"),
                 {kOverwrite, kAddress, 0x40, 16, 0},
                 0x40,
                 0x100,
                 {2, 0x45, 0x70}},
        PlanCase{"AnOldImageReplaced",
                 Filler(0x40, 'a') + Image(64) + Filler(0x40, 'b'),
                 {kOverwrite, kAddress, 0x40, 16, 0},
                 0x40,
                 0xC0,
                 {}},
        PlanCase{"CodeBehindAnOldImage",
                 Bytes(0x40, '\xFF') + Image(56) + Filler(0x48, 'c'),
                 {kOverwrite, kAddress, 0x40, 16, 0},
                 0x40,
                 0xC0,
                 {8, 0x78, 0x7F}},
        PlanCase{"OverwrittenAtTheEnd",
                 Filler(0x100, 'a'),
                 {kOverwrite, kEnd, 0, 16, 0},
                 0xC0,
                 0x100,
                 {64, 0xC0, 0xFF}},
        PlanCase{"RunningOnPastTheEnd",
                 Filler(0x80, 'a'),
                 {kOverwrite, kAddress, 0x60, 16, 0},
                 0x60,
                 0xA0,
                 {0x20, 0x60, 0x7F}},
        PlanCase{"BeyondTheEnd", Filler(0x80, 'a'), {kOverwrite, kAddress, 0x100, 16, 0}, 0x100, 0x140, {}},
        PlanCase{"Appended", Filler(0x100, 'a'), {kAppend, kEnd, 0, 16, 0}, 0x100, 0x140, {}},
        PlanCase{"AppendedBefore", Filler(0x100, 'a'), {kAppend, kBeginning, 0, 16, 0}, 0, 0x140, {}}),
    [](const auto& testCase) { return testCase.param.name; });

// In HEX and S-records the data is what the records hold: a gap under the image holds nothing.
TEST_F(Merger, APlanOfAHexTargetCountsOnlyItsData) {
    Prepare(Filler(100, 'a'), Image(64));
    FirmwareFile firmware;
    firmware.format = FirmwareFormat::kIntelHex;
    firmware.segments = {{0x1000, std::vector<std::uint8_t>(16, 0x11)},
                         {0x1020, std::vector<std::uint8_t>(16, 0x22)}};
    test::WriteFile(dir / "fw.hex", test::FirmwareText(firmware));
    std::optional<MergePlan> told;
    const MergeResult result =
        Merge({Path("image.bin"), Path("fw.hex"), Path("out.hex"), {kOverwrite, kAddress, 0x1008, 1, 0}, {}},
              [&told](const MergePlan& plan) {
                  told = plan;
                  return true;
              });
    ASSERT_EQ(result.code, kSuccess) << result.message;
    ASSERT_TRUE(told);
    EXPECT_TRUE(told->absolute);
    EXPECT_EQ(told->imageAddress, 0x1008u);
    EXPECT_EQ(told->data.low, 0x1000u);
    EXPECT_EQ(told->data.high, 0x1030u);
    EXPECT_EQ(told->overwritten.count, 24u);
    EXPECT_EQ(told->overwritten.first, 0x1008u);
    EXPECT_EQ(told->overwritten.last, 0x102Fu);
    ASSERT_TRUE(result.plan);
    EXPECT_EQ(result.plan->imageAddress, 0x1008u);
}

TEST_F(Merger, ImagesAreCheckedWholeBeforeTheyArePlaced) {
    test::WriteFile(dir / "image.bin", Image(60));
    EXPECT_EQ(CheckImageFile(Path("image.bin")).code, kSuccess);
    // A signature alone, a truncated image, one whose header claims 4 GB: refused, saying why.
    const Bytes damaged[] = {kSignature, Image(60).substr(0, 50),
                             Image(60).substr(0, 12) + Bytes("\xFF\xFF\xFF\xFF", 4) + Image(60).substr(16)};
    const char* problems[] = {"8 bytes are too few for a Lexicorn header (44 bytes)",
                              "the header gives an image size of 60 bytes, but there are 50",
                              "the header gives an image size of 4294967295 bytes, but there are 60"};
    for (std::size_t i = 0; i < std::size(damaged); ++i) {
        test::WriteFile(dir / "bad.bin", damaged[i]);
        const ImageCheck checked = CheckImageFile(Path("bad.bin"));
        EXPECT_EQ(checked.code, kNotALexicorn) << i;
        EXPECT_EQ(checked.problem, problems[i]);
    }
    test::WriteFile(dir / "swapped.bin", Bytes("\x10\x2F\x30\x4F\x5F\x60\x7F\x80", 8));
    EXPECT_EQ(CheckImageFile(Path("swapped.bin")).code, kNotALexicorn);
    test::WriteFile(dir / "short.bin", kSignature.substr(0, 5));
    EXPECT_EQ(CheckImageFile(Path("short.bin")).code, kOutOfRange);
    EXPECT_EQ(CheckImageFile(Path("none.bin")).code, kCannotOpenFile);
}

struct ScanCase {
    const char* name;
    Bytes target;
    ResultCode result;
    bool found;
    std::uint32_t position;
    const char* text;
    std::vector<std::string> notes = {};  ///< what the scan says beyond the first old image
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class TargetScans : public testing::TestWithParam<ScanCase> {};

TEST_P(TargetScans, JudgesEverySignature) {
    const ScanCase& c = GetParam();
    test::TempDir dir;
    test::WriteFile(dir / "t.bin", c.target);
    const auto scan = ScanTarget((dir / "t.bin").string());
    EXPECT_EQ(scan.code, c.result);
    EXPECT_EQ(!scan.findings.images.empty(), c.found);
    if (c.result == kSuccess) {
        const TargetInfo info = DescribeTarget(scan);
        EXPECT_EQ(info.text, c.text);
        EXPECT_EQ(info.position, fmt::format("{:08X}", c.position));
        EXPECT_EQ(info.notes, c.notes);
    }
}

// The old image's size is read in its own byte order.
TEST(TargetScans, ReadsTheOldImageInItsOwnByteOrder) {
    test::TempDir dir;
    for (const ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
        test::WriteFile(dir / "t.bin", Filler(33, 'a') + Image(300, order));
        const auto scan = ScanTarget((dir / "t.bin").string());
        ASSERT_EQ(scan.code, kSuccess);
        EXPECT_EQ(scan.findings.FirstImage(), (OldImage{33u, 300u}));
    }
}

Bytes WithSizeWordZero(Bytes image) {
    image.replace(12, 4, Bytes(4, '\0'));
    return image;
}

// An image whose last string runs on to its end: its signature stands, but it is no image.
Bytes Unterminated(Bytes image) {
    image.back() = 'x';
    return image;
}

// A whole image of 200 bytes whose language name holds `inside` from byte 60 on: data of the image,
// whatever it looks like.
Bytes ImageHolding(const Bytes& inside) {
    Bytes image = Image(200);
    image.replace(60, inside.size(), inside);
    return image;
}

std::string AlsoAt(std::uint32_t position, std::uint32_t size) {
    return merge_messages::AlsoALexicorn({position, size});
}
std::string BareAt(std::uint32_t position) { return merge_messages::NoLexicornBehind(position); }

// Twenty signatures with nothing behind them, 50 bytes apart.
Bytes ManyBareSignatures() {
    Bytes target;
    for (int i = 0; i < 20; ++i) target += kSignature + Filler(42, 'a');
    return target;
}
std::vector<std::string> ManyBareSignaturesNotes() {
    std::vector<std::string> notes;
    for (std::uint32_t i = 0; i < 16; ++i) notes.push_back(BareAt(i * 50));
    notes.push_back("4 more signatures have no valid Lexicorn behind them: left as they are.");
    return notes;
}

constexpr std::uint32_t kHalf = 1 << 20;

INSTANTIATE_TEST_SUITE_P(
    Targets, TargetScans,
    testing::Values(
        ScanCase{"Nothing", Filler(5000, 'a'), kSuccess, false, 0, merge_messages::kNoLexicornInTarget},
        ScanCase{"Empty", "", kSuccess, false, 0, merge_messages::kNoLexicornInTarget},
        ScanCase{"AtAnyByteOffset", Filler(0x1003, 'a') + Image(96), kSuccess, true, 0x1003,
                 merge_messages::kTargetHasLexicorn},
        ScanCase{"SignatureWordsApart",
                 Filler(100, 'a') + kSignature.substr(0, 4) + "gap!" + kSignature.substr(4), kSuccess, false,
                 0, merge_messages::kNoLexicornInTarget},
        ScanCase{"StrayFirstWordBeforeARealImage",
                 Filler(10, 'a') + kSignature.substr(0, 4) + Filler(4082, 'b') + Image(96), kSuccess, true,
                 4096, merge_messages::kTargetHasLexicorn},
        ScanCase{"BigEndianImage", Filler(10, 'a') + Image(96, ByteOrder::kBig) + Filler(40, 'c'), kSuccess,
                 true, 10, merge_messages::kTargetHasLexicorn},
        ScanCase{"TheFirstOfTwoOrders",
                 Filler(10, 'a') + Image(96, ByteOrder::kBig) + Image(96) + Filler(40, 'c'),
                 kSuccess,
                 true,
                 10,
                 merge_messages::kTargetHasLexicorn,
                 {AlsoAt(106, 96)}},
        // A scan reads the target in pieces of 256 KiB, its two halves side by side: a signature
        // across two pieces or across the halves is found, and the first half's match comes first
        // even when the second half has one near its start.
        ScanCase{"AcrossTwoPiecesOfTheScan", Filler((1 << 20) - 3, 'a') + Image(96, ByteOrder::kBig),
                 kSuccess, true, (1 << 20) - 3, merge_messages::kTargetHasLexicorn},
        ScanCase{"AcrossTheHalves", Filler((1 << 20) - 3, 'a') + Image(96) + Filler((1 << 20) - 93, 'b'),
                 kSuccess, true, (1 << 20) - 3, merge_messages::kTargetHasLexicorn},
        ScanCase{"TheFirstHalfBeforeTheSecond",
                 Filler((1 << 20) - 200, 'a') + Image(96) + Filler(154, 'b') + Image(96, ByteOrder::kBig) +
                     Filler((1 << 20) - 146, 'c'),
                 kSuccess,
                 true,
                 (1 << 20) - 200,
                 merge_messages::kTargetHasLexicorn,
                 {AlsoAt((1 << 20) + 50, 96)}},
        // A signature is an old image only when a whole image stands behind it.
        ScanCase{"SizeWordZero",
                 Filler(16, 'a') + WithSizeWordZero(Image(96)),
                 kSuccess,
                 false,
                 0,
                 merge_messages::kNoLexicornInTarget,
                 {BareAt(16)}},
        ScanCase{"ABareSignatureBeforeAnImage",
                 Filler(10, 'a') + kSignature + Filler(60, 'b') + Image(96),
                 kSuccess,
                 true,
                 78,
                 merge_messages::kTargetHasLexicorn,
                 {BareAt(10)}},
        ScanCase{"ADamagedImage",
                 Filler(10, 'a') + Unterminated(Image(96)) + Filler(10, 'b'),
                 kSuccess,
                 false,
                 0,
                 merge_messages::kNoLexicornInTarget,
                 {BareAt(10)}},
        ScanCase{"AnImageRunningPastTheEnd",
                 Filler(10, 'a') + Image(96).substr(0, 95),
                 kSuccess,
                 false,
                 0,
                 merge_messages::kNoLexicornInTarget,
                 {BareAt(10)}},
        ScanCase{"EveryImageAndEveryBareSignature",
                 Image(60) + kSignature + Image(80, ByteOrder::kBig) + Filler(7, 'a') +
                     Unterminated(Image(70)) + Image(100),
                 kSuccess,
                 true,
                 0,
                 merge_messages::kTargetHasLexicorn,
                 {AlsoAt(68, 80), AlsoAt(225, 100), BareAt(60), BareAt(155)}},
        // Images do not overlap: what stands inside one, a signature or a whole image, is its data.
        ScanCase{"ASignatureInsideAnImage", Filler(3, 'a') + ImageHolding(kSignature), kSuccess, true, 3,
                 merge_messages::kTargetHasLexicorn},
        ScanCase{"AnImageInsideAnImage", Filler(3, 'a') + ImageHolding(Image(60)), kSuccess, true, 3,
                 merge_messages::kTargetHasLexicorn},
        // The halves are judged side by side; an image across the middle holds what the second half
        // saw of its data, and what follows it counts.
        ScanCase{"AnImageAcrossTheHalvesHoldsWhatFollowsTheMiddle",
                 Filler(kHalf - 50, 'a') + ImageHolding(kSignature) + Filler(850, 'b') + Image(96) +
                     kSignature + Filler(kHalf - 1104, 'c'),
                 kSuccess,
                 true,
                 kHalf - 50,
                 merge_messages::kTargetHasLexicorn,
                 {AlsoAt(kHalf + 1000, 96), BareAt(kHalf + 1096)}},
        ScanCase{"ListsSixteenBareSignaturesAndCountsTheRest", ManyBareSignatures(), kSuccess, false, 0,
                 merge_messages::kNoLexicornInTarget, ManyBareSignaturesNotes()},
        // A signature whose header does not stand whole cannot be judged: the target is refused.
        ScanCase{"SignatureInTheLastBytesAfterAnImage", Image(96) + kSignature + Filler(35, 'b'), kOutOfRange,
                 false, 0, ""},
        ScanCase{"SignatureInTheLastBytes", Filler(100, 'a') + kSignature + Filler(35, 'b'), kOutOfRange,
                 false, 0, ""}),
    [](const auto& testCase) { return testCase.param.name; });

struct AddressCase {
    const char* name;
    const char* text;
    std::optional<std::uint32_t> value;
};
void PrintTo(const AddressCase& c, std::ostream* os) { *os << c.name; }

class HexAddress : public testing::TestWithParam<AddressCase> {};

TEST_P(HexAddress, IsReadOrRefused) { EXPECT_EQ(ParseHexAddress(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Texts, HexAddress,
    testing::Values(AddressCase{"Digits", "1000", 0x1000}, AddressCase{"Letters", "ABC", 0xABC},
                    AddressCase{"Highest", "FFFFFFFF", 0xFFFFFFFF},
                    AddressCase{"LeadingZeros", "000000001", 1},
                    AddressCase{"NineDigits", "123456789", std::nullopt},
                    AddressCase{"NotHex", "1G", std::nullopt}, AddressCase{"LowerCase", "abc", std::nullopt},
                    AddressCase{"Prefix", "0X10", std::nullopt}, AddressCase{"Blank", " 1", std::nullopt},
                    AddressCase{"Empty", "", std::nullopt}),
    [](const auto& testCase) { return testCase.param.name; });

class ScriptedMergeHost final : public MergeHost {
  public:
    std::vector<std::string> shown;
    std::vector<bool> answers;
    void ShowError(const std::string& text) override { shown.push_back("error: " + text); }
    void ShowInformation(const std::string& text) override { shown.push_back("info: " + text); }
    bool Ask(const std::string& question) override {
        shown.push_back("ask: " + question);
        const bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    bool Proceed(const MergeRisk& risk) override {
        warnings.push_back(risk.warning);
        return Ask(risk.question);
    }
    std::vector<std::string> warnings;
};

class MergeCommandTest : public Merger {
  protected:
    // Runs the Merge command on the prepared image and `target` into `output`, with the fixture's
    // settings, which it keeps as the command left them.
    MergeOutcome Run(MergeMode mode, MergePlacement placement, const std::string& addressText) {
        settings.mode = mode;
        settings.placement = placement;
        MergeRequest request{{Path("image.bin"), Path(target), Path(output), settings, std::nullopt},
                             addressText};
        const MergeOutcome outcome = RunMergeCommand(host, request).outcome;
        settings = request.job.settings;
        return outcome;
    }
    // The address placement in overwrite mode.
    MergeOutcome RunAt(const std::string& addressText) { return Run(kOverwrite, kAddress, addressText); }
    ScriptedMergeHost host;
    MergeSettings settings;
    const char* target = "target.bin";
    const char* output = "out.bin";
};

// The success and where the image went.
std::string Done(std::uint32_t address, std::uint32_t size) {
    return "info: Merge operation done successfully.\r" + merge_messages::PlacedAt(address, size);
}

TEST_F(MergeCommandTest, UnalignedAddressesAreQuestioned) {
    Prepare(Bytes(0x2000, '\xFF'), Image(64));  // erased flash: nothing is overwritten
    EXPECT_EQ(RunAt("1000"), MergeOutcome::kDone);
    EXPECT_EQ(host.shown, std::vector<std::string>{Done(0x1000, 64)});
    EXPECT_EQ(host.shown[0], "info: Merge operation done successfully.\rPlaced at 0x00001000, 64 bytes.");
    host.shown.clear();
    host.answers = {false, true};
    EXPECT_EQ(RunAt("1001"), MergeOutcome::kAborted);
    EXPECT_EQ(RunAt("abc"), MergeOutcome::kDone);  // lower case is read as upper case
    EXPECT_EQ(settings.address, 0xABCu);
    EXPECT_EQ(host.shown,
              (std::vector<std::string>{
                  "ask: " + std::string(merge_messages::kAddressNotAligned), "info: Aborting merge process.",
                  "ask: " + std::string(merge_messages::kAddressNotAligned), Done(0xABC, 64)}));
    EXPECT_EQ(settings.mode, kOverwrite);
    EXPECT_EQ(settings.placement, kAddress);
}

TEST_F(MergeCommandTest, AddressesAreCheckedBeforeAnythingIsWritten) {
    Prepare(Bytes(100, '\0'), Image(64));
    EXPECT_EQ(RunAt("1G"), MergeOutcome::kInvalidAddress);
    EXPECT_EQ(RunAt("FFFFFFF0"), MergeOutcome::kFailed);
    settings.searchStep = 0;  // a damaged project: no alignment question, no division
    EXPECT_EQ(RunAt(""), MergeOutcome::kDone);
    EXPECT_EQ(host.shown,
              (std::vector<std::string>{
                  "info: Invalid Hex value!",
                  "error: Can not start merge operation.2000D024\r\rAt this address the Lexicorn would "
                  "end beyond 4 GB.",
                  Done(0, 64)}));
}

// Where the image went comes first; then every old image, the first one too, and the signatures
// with nothing behind them.
TEST_F(MergeCommandTest, TheSuccessMessageSaysWhatElseTheTargetHeld) {
    Prepare(Filler(16, 'a') + Image(64) + kSignature + Filler(50, 'b') + Image(80), Image(64));
    EXPECT_EQ(Run(kAppend, kEnd, ""), MergeOutcome::kDone);
    EXPECT_EQ(
        host.shown,
        std::vector<std::string>{
            Done(0xE0, 64) +  // after 218 bytes, 16-aligned
            "\rA Lexicorn at 0x00000010: size 0x00000040, made obsolete: firmware that read it with "
            "lxn_attach_embedded (the copy compiled in from Lexicorn.c) finds the new one with lxn_find.\r"
            "Also a Lexicorn at 0x0000008A: size 0x00000050, made obsolete as well.\r"
            "A signature at 0x00000050 has no valid Lexicorn behind it: left as it is."});
}

TEST_F(MergeCommandTest, AnOutputThatCannotBeWrittenIsNamedWithItsReason) {
    Prepare(Filler(100, 'a'), Image(64));
    fs::create_directory(dir / "out.bin");
    EXPECT_EQ(Run(kAppend, kEnd, ""), MergeOutcome::kFailed);
    EXPECT_EQ(host.shown, std::vector<std::string>{"error: Can not start merge operation.20201003\r\r" +
                                                   Path("out.bin") + ": not a regular file"});
}

// An input that cannot be opened is named, and nothing is written.
TEST_F(MergeCommandTest, AnInputThatCannotBeOpenedIsNamed) {
    Prepare(Filler(100, 'a'), Image(64));
    target = "missing.bin";
    EXPECT_EQ(RunAt("1000"), MergeOutcome::kInputRefused);
    EXPECT_EQ(host.shown, std::vector<std::string>{
                              "error: " + merge_messages::FileProblem(Path("missing.bin"), kCannotOpenFile)});
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
}

// An empty target is refused by name before anything is asked: a shell's `> target` empties the
// firmware before the merge starts, and a merge into nothing would report success.
TEST_F(MergeCommandTest, AnEmptyTargetIsRefused) {
    Prepare(Filler(100, 'a'), Image(64));
    test::WriteFile(dir / "empty.bin", "");
    target = "empty.bin";
    EXPECT_EQ(RunAt("1001"), MergeOutcome::kInputRefused);
    EXPECT_EQ(host.shown, std::vector<std::string>{"error: " + Path("empty.bin") + ": the target is empty"});
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
}

// An address outside the target's data: in HEX the image would overwrite nothing (its addresses are
// absolute), a binary grows to reach it (its addresses are offsets). Both are asked about, with the
// target's data span, and nothing is written on No.
TEST_F(MergeCommandTest, AnAddressOutsideTheTargetsDataIsQuestioned) {
    Prepare(Bytes(100, '\xFF'), Image(64));
    test::WriteFile(dir / "fw.hex", ":020000040800F2\n:04000000FFFFFFFF00\n:00000001FF\n");
    const struct {
        const char* target;
        const char* output;
        const char* address;
        std::string warning;
        std::string question;
    } cases[] = {
        {"fw.hex", "out.hex", "F00",
         "the address 00000F00 lies outside the target's data (08000000 to 08000003)",
         "The address 00000F00 lies outside the target's data (08000000 to 08000003).\rAddresses of HEX and "
         "S-record targets are absolute, not offsets in the file. Are you sure you want to continue?"},
        {"target.bin", "out.bin", "F00",
         "the address 00000F00 lies outside the target's data (00000000 to 00000063): the output grows from "
         "100 bytes to 3904 bytes",
         "The address 00000F00 lies outside the target's data (00000000 to 00000063): the output grows from "
         "100 bytes to 3904 bytes.\rAddresses of binary targets are offsets in the file: the gap is filled "
         "with the fill byte. Are you sure you want to continue?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        target = c.target;
        output = c.output;
        host.shown.clear();
        host.warnings.clear();
        host.answers = {false, true};
        EXPECT_EQ(RunAt(c.address), MergeOutcome::kAborted);
        EXPECT_FALSE(fs::exists(dir / c.output));
        EXPECT_EQ(RunAt(c.address), MergeOutcome::kDone);
        EXPECT_EQ(host.shown, (std::vector<std::string>{"ask: " + c.question, "info: Aborting merge process.",
                                                        "ask: " + c.question, Done(0xF00, 64)}));
        EXPECT_EQ(host.warnings, std::vector<std::string>(2, Path(c.target) + ": " + c.warning));
    }
    // Inside the data nothing is asked; at the binary's end neither: the image only runs on past it.
    target = "fw.hex";
    output = "out.hex";
    host.shown.clear();
    EXPECT_EQ(RunAt("08000000"), MergeOutcome::kDone);
    target = "target.bin";
    output = "out.bin";
    EXPECT_EQ(RunAt("50"), MergeOutcome::kDone);
    EXPECT_EQ(host.shown, (std::vector<std::string>{Done(0x08000000, 64), Done(0x50, 64)}));
}

// An image over the target's code: the bytes that hold something are counted, named from the first
// to the last, and asked about; blank bytes and an old image being replaced are not.
TEST_F(MergeCommandTest, OverwrittenDataIsQuestioned) {
    Bytes firmware(0x2000, '\xFF');
    firmware.replace(0x1000, 417, Filler(417, 'a'));
    Prepare(firmware, Image(512));
    const std::string warning =
        Path("target.bin") +
        ": the Lexicorn overwrites 417 bytes of the target's data at 0x00001000-0x000011A0";
    const std::string question =
        "The Lexicorn overwrites 417 bytes of the target's data at 0x00001000-0x000011A0.\rThey are neither "
        "blank (00, FF or the fill byte) nor part of an old Lexicorn. Are you sure you want to continue?";
    host.answers = {false, true};
    EXPECT_EQ(RunAt("1000"), MergeOutcome::kAborted);
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
    EXPECT_EQ(RunAt("1000"), MergeOutcome::kDone);
    EXPECT_EQ(host.shown, (std::vector<std::string>{"ask: " + question, "info: Aborting merge process.",
                                                    "ask: " + question, Done(0x1000, 512)}));
    EXPECT_EQ(host.warnings, std::vector<std::string>(2, warning));
    EXPECT_EQ(test::ReadFile(dir / "out.bin").substr(0x1000, 512), Image(512));
}

// A damaged target is named with the line and the reason, as its scan named it; a target that cannot
// be opened has neither a form nor a problem of its contents.
TEST_F(MergeCommandTest, AMergeOfADamagedTargetNamesTheDamage) {
    Prepare(Filler(100, 'a'), Image(64));
    test::WriteFile(dir / "fw.hex", ":0400000001020304F3\n:00000001FF\n");
    const auto scan = ScanTarget(Path("fw.hex"));
    ASSERT_EQ(scan.code, kDamagedTarget);
    ASSERT_EQ(scan.problem.rfind(Path("fw.hex") + ": line 1: ", 0), 0u) << scan.problem;
    target = "fw.hex";
    EXPECT_EQ(RunAt("1000"), MergeOutcome::kFailed);
    EXPECT_EQ(host.shown,
              std::vector<std::string>{"error: Can not start merge operation.20201005\r\r" + scan.problem});

    const auto missing = ScanTarget(Path("missing.hex"));
    EXPECT_EQ(missing.code, kCannotOpenFile);
    EXPECT_EQ(missing.problem, "");
    EXPECT_FALSE(missing.form.has_value());
}

}  // namespace
}  // namespace lexicorn
