// Merging into Intel HEX and S-record targets, checked against SRecord's srec_cat: a merge into the
// HEX form of a target, converted to a binary, is the binary merge of the same target.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

#include "image/LexicornEngine.h"
#include "merge/IntelHex.h"
#include "merge/Merge.h"
#include "merge/MergeCommand.h"
#include "merge/SRecord.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;

std::string ImageBytes(std::size_t length, ByteOrder order = ByteOrder::kLittle) {
    auto engine = CreateLexicornEngine(TableType::k16Bit);
    EXPECT_EQ(engine->Initialize(1, 0, 1, order, Encoding::kSingleByte), kSuccess);
    // A fixed id: the id of the clock would make two calls differ across a second's turn.
    EXPECT_EQ(engine->SetUniqueId(0x1D), kSuccess);
    engine->AddLanguage("xx", std::string(length - 54, 'n'));
    const std::vector<std::uint8_t> image = engine->GetOutputImage();
    return std::string(image.begin(), image.end());
}

bool HaveSrecCat() { return std::system("command -v srec_cat > /dev/null 2>&1") == 0; }

// Runs srec_cat; its complaints, warnings included, fail the test.
void SrecCat(const fs::path& dir, const std::string& arguments) {
    const std::string command =
        fmt::format("cd '{}' && srec_cat {} 2> srec_cat.err", dir.string(), arguments);
    EXPECT_EQ(std::system(command.c_str()), 0) << arguments << "\n" << test::ReadFile(dir / "srec_cat.err");
}

ResultCode Merge(const fs::path& image, const fs::path& target, const fs::path& output, MergeMode mode,
                 MergePlacement placement, std::uint8_t alignment, std::uint32_t address,
                 std::optional<FirmwareFormat> format = std::nullopt, MergeResult* result = nullptr) {
    MergeResult merged = lexicorn::Merge(
        {image.string(), target.string(), output.string(), {mode, placement, address, alignment, 0}, format});
    const ResultCode code = merged.code;
    if (result) *result = std::move(merged);
    return code;
}

struct FormCase {
    const char* name;
    const char* srecForm;  // srec_cat's name of the form
    const char* extension;
    MergeMode mode;
    MergePlacement placement;
    std::uint8_t alignment;
    std::uint32_t address;
};
void PrintTo(const FormCase& c, std::ostream* os) { *os << c.name; }

class FirmwareMerge : public testing::TestWithParam<FormCase> {};

// The target: 3000 random bytes from address 0 with an old image at 0x205, across two 16-byte records.
TEST_P(FirmwareMerge, GivesTheBinaryMergeOfTheSameTarget) {
    if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed";
    const FormCase& c = GetParam();
    test::TempDir dir;
    std::mt19937 random(7);
    std::string target(3000, '\0');
    for (char& byte : target) byte = static_cast<char>(random() % 0x7F);  // never a signature
    target.replace(0x205, 96, ImageBytes(96));
    test::WriteFile(dir / "target.bin", target);
    test::WriteFile(dir / "image.bin", ImageBytes(300));
    const std::string firmware = std::string("target.") + c.extension;
    SrecCat(dir.path(), fmt::format("target.bin -binary -o {} {}", firmware, c.srecForm));

    ASSERT_EQ(Merge(dir / "image.bin", dir / "target.bin", dir / "merged.bin", c.mode, c.placement,
                    c.alignment, c.address),
              kSuccess);
    MergeResult result;
    const std::string merged = std::string("merged.") + c.extension;
    ASSERT_EQ(Merge(dir / "image.bin", dir / firmware, dir / merged, c.mode, c.placement, c.alignment,
                    c.address, std::nullopt, &result),
              kSuccess);
    ASSERT_TRUE(result.target);
    EXPECT_EQ(result.target->findings.images.size(), 1u);
    EXPECT_EQ(result.target->findings.FirstImage().position, 0x205u);
    // srec_cat takes every record we wrote, and the data is the binary merge's.
    SrecCat(dir.path(), fmt::format("{} {} -o back.bin -binary", merged, c.srecForm));
    EXPECT_EQ(test::ReadFile(dir / "back.bin"), test::ReadFile(dir / "merged.bin"));
    // Asked for a binary, the same bytes directly.
    ASSERT_EQ(Merge(dir / "image.bin", dir / firmware, dir / "direct.bin", c.mode, c.placement, c.alignment,
                    c.address, FirmwareFormat::kBinary),
              kSuccess);
    EXPECT_EQ(test::ReadFile(dir / "direct.bin"), test::ReadFile(dir / "merged.bin"));
}

using namespace test::merge_shorthands;

INSTANTIATE_TEST_SUITE_P(
    Placements, FirmwareMerge,
    testing::Values(FormCase{"HexAppendEnd", "-intel", "hex", kAppend, kEnd, 16, 0},
                    FormCase{"HexAppendEndUnaligned", "-intel", "hex", kAppend, kEnd, 1, 0},
                    FormCase{"HexOverwriteBeginning", "-intel", "hex", kOverwrite, kBeginning, 16, 0},
                    FormCase{"HexOverwriteEnd", "-intel", "hex", kOverwrite, kEnd, 16, 0},
                    FormCase{"HexOverwriteAddress", "-intel", "hex", kOverwrite, kAddress, 4, 0x400},
                    FormCase{"HexOverwriteBeyondTheEnd", "-intel", "hex", kOverwrite, kAddress, 4, 0xB00},
                    FormCase{"SrecAppendEnd", "-motorola", "s19", kAppend, kEnd, 8, 0},
                    FormCase{"SrecOverwriteBeginning", "-motorola", "s19", kOverwrite, kBeginning, 1, 0},
                    FormCase{"SrecOverwriteEnd", "-motorola", "s19", kOverwrite, kEnd, 2, 0},
                    FormCase{"SrecOverwriteAddress", "-motorola", "s19", kOverwrite, kAddress, 16, 0x100}),
    [](const auto& testCase) { return testCase.param.name; });

// Firmware as toolchains write it: linked at 0x08000000, extended linear addresses, a start address,
// 32-byte records. The output keeps all of that; the image goes where the span says.
TEST(FirmwareMergeForms, KeepsTheTargetsRecordsAndStartAddress) {
    test::TempDir dir;
    FirmwareFile firmware;
    firmware.format = FirmwareFormat::kIntelHex;
    firmware.recordLength = 32;
    firmware.startAddress = 0x08000131;
    std::string code(0x1F000, '\0');
    for (std::size_t i = 0; i < code.size(); ++i) code[i] = static_cast<char>(i * 7 % 0x7F);
    firmware.segments.push_back({0x08000000, std::vector<std::uint8_t>(code.begin(), code.end())});
    test::WriteFile(dir / "fw.hex", test::FirmwareText(firmware));
    test::WriteFile(dir / "image.bin", ImageBytes(200));

    ASSERT_EQ(Merge(dir / "image.bin", dir / "fw.hex", dir / "out.hex", kAppend, kEnd, 16, 0), kSuccess);
    const FirmwareFile out = ReadIntelHex(test::ReadFile(dir / "out.hex"), "out.hex");
    EXPECT_EQ(out.recordLength, 32u);
    EXPECT_EQ(out.startAddress, 0x08000131u);
    ASSERT_EQ(out.segments.size(), 1u);  // 0x0801F000 is 16-aligned: the image follows at once
    EXPECT_EQ(out.segments[0].address, 0x08000000u);
    const std::string expected = code + ImageBytes(200);
    EXPECT_EQ(std::string(out.segments[0].bytes.begin(), out.segments[0].bytes.end()), expected);

    // Before the lowest address, aligned down; a gap stays a gap.
    ASSERT_EQ(Merge(dir / "image.bin", dir / "fw.hex", dir / "before.s37", kAppend, kBeginning, 16, 0,
                    FirmwareFormat::kSRecord),
              kSuccess);
    const FirmwareFile before = ReadSRecord(test::ReadFile(dir / "before.s37"), "before.s37");
    ASSERT_EQ(before.segments.size(), 2u);
    EXPECT_EQ(before.segments[0].address, 0x08000000u - 208);
    EXPECT_EQ(before.segments[0].bytes.size(), 200u);
    EXPECT_EQ(before.startAddress, 0x08000131u);
    EXPECT_EQ(before.addressBytes, 4);
}

TEST(FirmwareMergeForms, ABigEndianOldImageIsRetiredInAnSRecordTarget) {
    test::TempDir dir;
    FirmwareFile firmware;
    firmware.format = FirmwareFormat::kSRecord;
    firmware.addressBytes = 3;
    firmware.header = std::vector<std::uint8_t>{'f', 'w'};
    const std::string old = ImageBytes(120, ByteOrder::kBig);
    std::string data = std::string(0x40, 'a') + old + std::string(0x30, 'b');
    firmware.segments.push_back({0x10000, std::vector<std::uint8_t>(data.begin(), data.end())});
    test::WriteFile(dir / "fw.s28", test::FirmwareText(firmware));
    test::WriteFile(dir / "image.bin", ImageBytes(100, ByteOrder::kBig));
    MergeResult result;
    ASSERT_EQ(Merge(dir / "image.bin", dir / "fw.s28", dir / "out.s28", kOverwrite, kEnd, 4, 0, std::nullopt,
                    &result),
              kSuccess);
    ASSERT_TRUE(result.target);
    EXPECT_EQ(result.target->findings.FirstImage(), (OldImage{0x10040u, 120u}));
    const FirmwareFile out = ReadSRecord(test::ReadFile(dir / "out.s28"), "out.s28");
    EXPECT_EQ(out.header, firmware.header);
    ASSERT_EQ(out.segments.size(), 1u);
    const std::string bytes(out.segments[0].bytes.begin(), out.segments[0].bytes.end());
    // The new image over the span's last 100 bytes (0x10084, 4-aligned), over the old image's tail.
    ASSERT_EQ(bytes.size(), 0x40 + old.size() + 0x30);
    EXPECT_EQ(bytes.substr(0x40, 8), std::string(8, '\0'));
    EXPECT_EQ(bytes.substr(0x48, 0x84 - 0x48), old.substr(8, 0x84 - 0x48));
    EXPECT_EQ(bytes.substr(0x84), ImageBytes(100, ByteOrder::kBig));
}

TEST(FirmwareMergeForms, DamagedTargetsAreRefusedWithTheirLine) {
    test::TempDir dir;
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    const std::string good = ":0400000001020304F2\n:00000001FF\n";
    for (const auto& [text, line] : std::vector<std::pair<std::string, std::string>>{
             {":0400000001020304F3\n:00000001FF\n", "line 1"},
             {":0400000001020304F2\n:0400020001020304F0\n:00000001FF\n", "line 2"},  // overlaps line 1
             {":040000000102030F2\n:00000001FF\n", "line 1"},                        // an odd digit count
             // Records after the end, which were dropped.
             {":0400000001020304F2\n:00000001FF\n:0400100001020304E2\n", "line 3"},
             {":00000001FF\n:0400000001020304F2\n", "line 2"},
             {"S10800000102030400ED\nS9030000FC\nS10800100102030400DD\n", "line 3"},
             // First records that made the target a binary.
             {"\xEF\xBB\xBF:0400000001020304F3\n:00000001FF\n", "line 1"},
             {std::string(3000, '\n') + ":0400000001020304F3\n:00000001FF\n", "line 3001"},
             {":04000000010203G4F2\n:00000001FF\n", "line 1"},
             {"S1080000010203G400ED\nS9030000FC\n", "line 1"},
             {":020010040800E2\n:00000001FF\n", "line 1"},  // an address in an address record
         }) {
        test::WriteFile(dir / "fw.hex", text);
        const TargetScan scan = ScanTarget((dir / "fw.hex").string());
        EXPECT_EQ(scan.code, kDamagedTarget) << text;
        EXPECT_EQ(scan.problem.rfind((dir / "fw.hex").string() + ": " + line + ": ", 0), 0u) << scan.problem;
        EXPECT_EQ(Merge(dir / "image.bin", dir / "fw.hex", dir / "out.hex", kAppend, kEnd, 1, 0),
                  kDamagedTarget);
        EXPECT_FALSE(fs::exists(dir / "out.hex"));
    }
    // A target that cannot be opened has no problem of its contents.
    const TargetScan missing = ScanTarget((dir / "missing.hex").string());
    EXPECT_EQ(missing.code, kCannotOpenFile);
    EXPECT_FALSE(missing.opened);
    EXPECT_EQ(missing.problem, "");
    test::WriteFile(dir / "fw.hex", good);
    const TargetScan scan = ScanTarget((dir / "fw.hex").string());
    EXPECT_EQ(scan.code, kSuccess);
    EXPECT_EQ(DescribeTarget(scan).span, "Intel HEX, data from 00000000 to 00000003");
    EXPECT_EQ(Merge(dir / "image.bin", dir / "fw.hex", dir / "out.hex", kAppend, kBeginning, 1, 0),
              kBelowAddressZero);
    EXPECT_FALSE(fs::exists(dir / "out.hex"));
}

// A byte-order mark and blank lines before the records are passed over: the target is merged as the
// same records without them.
TEST(FirmwareMergeForms, AByteOrderMarkAndBlankLinesDoNotMakeABinary) {
    test::TempDir dir;
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    const std::string records = ":020000040800F2\n:0400000001020304F2\n:00000001FF\n";
    test::WriteFile(dir / "plain.hex", records);
    ASSERT_EQ(Merge(dir / "image.bin", dir / "plain.hex", dir / "plain-out.hex", kAppend, kEnd, 16, 0),
              kSuccess);
    for (const std::string& lead : {std::string("\xEF\xBB\xBF"), std::string(5000, '\n'),
                                    "\xEF\xBB\xBF\n \t\n" + std::string(2000, ' ')}) {
        test::WriteFile(dir / "fw.hex", lead + records);
        ASSERT_EQ(Merge(dir / "image.bin", dir / "fw.hex", dir / "out.hex", kAppend, kEnd, 16, 0), kSuccess);
        EXPECT_EQ(test::ReadFile(dir / "out.hex"), test::ReadFile(dir / "plain-out.hex"));
    }
}

// Warnings of the reading reach the merger's user, after a scan and after a merge.
TEST(FirmwareMergeForms, ASecondStartAddressIsPassedOverWithAWarning) {
    test::TempDir dir;
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    test::WriteFile(dir / "fw.hex",
                    ":0400000001020304F2\n:0400000508000131BD\n:0400000508000200ED\n:00000001FF\n");
    const std::vector<std::string> warnings = {
        (dir / "fw.hex").string() +
        ": line 3: a second start address record (type 05): the one of line 2 is kept"};
    const TargetScan scan = ScanTarget((dir / "fw.hex").string());
    ASSERT_EQ(scan.code, kSuccess);
    EXPECT_EQ(scan.warnings, warnings);
    MergeResult result;
    ASSERT_EQ(Merge(dir / "image.bin", dir / "fw.hex", dir / "out.hex", kAppend, kEnd, 16, 0, std::nullopt,
                    &result),
              kSuccess);
    ASSERT_TRUE(result.target);
    EXPECT_EQ(result.target->warnings, warnings);
    EXPECT_EQ(ReadIntelHex(test::ReadFile(dir / "out.hex"), "out.hex").startAddress, 0x08000131u);
    test::WriteFile(dir / "fw.hex", ":0400000001020304F2\n:00000001FF\n");
    const TargetScan clean = ScanTarget((dir / "fw.hex").string());
    ASSERT_EQ(clean.code, kSuccess);
    EXPECT_TRUE(clean.warnings.empty());
}

// S-records made of another form get a header record, which readers expect (srec_cat warns
// without one); S-records keep what they have.
TEST(FirmwareMergeForms, SRecordsMadeOfAnotherFormGetAHeader) {
    if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed";
    test::TempDir dir;
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    test::WriteFile(dir / "fw.hex", ":020000040800F2\n:0400000001020304F2\n:00000001FF\n");
    test::WriteFile(dir / "fw.bin", std::string(64, 'x'));
    for (const char* target : {"fw.hex", "fw.bin"}) {
        SCOPED_TRACE(target);
        ASSERT_EQ(Merge(dir / "image.bin", dir / target, dir / "out.s19", kAppend, kEnd, 16, 0,
                        FirmwareFormat::kSRecord),
                  kSuccess);
        EXPECT_TRUE(test::ReadFile(dir / "out.s19").starts_with("S00600004844521B\n"));
        SrecCat(dir.path(), "out.s19 -motorola -o back.bin -binary");
    }
}

// A target whose records are out of address order is scanned in address order all the same: the
// old image across records, not the later one, whose records come first.
TEST(FirmwareMergeForms, ATargetOutOfOrderIsScannedInAddressOrder) {
    test::TempDir dir;
    const std::string old = ImageBytes(120);
    const std::string data = std::string(0x41, 'a') + old + std::string(0x100, 'b') + ImageBytes(96);
    FirmwareFile firmware;
    firmware.format = FirmwareFormat::kSRecord;
    firmware.addressBytes = 4;
    firmware.segments.push_back({0x20000000, std::vector<std::uint8_t>(data.begin(), data.end())});
    std::vector<std::string> lines;
    std::istringstream written(test::FirmwareText(firmware));
    for (std::string line; std::getline(written, line);) lines.push_back(line);
    std::reverse(lines.begin(), lines.end() - 1);  // the termination stays last
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    test::WriteFile(dir / "fw.s37", text);
    const TargetScan scan = ScanTarget((dir / "fw.s37").string());
    ASSERT_EQ(scan.code, kSuccess);
    EXPECT_EQ(scan.findings.FirstImage(), (OldImage{0x20000041u, 120u}));
    EXPECT_EQ(DescribeTarget(scan).span,
              fmt::format("S-records, data from 20000000 to {:08X}", 0x20000000 + data.size() - 1));
}

// Merges `target` with an address space limited to what the process has and a little more, and ends
// the process: 0 when the merge is refused naming the target and made no output.
[[noreturn]] void MergeWithLittleMemory(const fs::path& dir, const std::string& target) {
    bool held = false;
    try {
        std::ifstream status("/proc/self/status");
        std::size_t kib = 0;
        for (std::string line; std::getline(status, line);)
            if (line.starts_with("VmSize:")) kib = std::stoul(line.substr(7));
        const rlimit limit{(kib << 10) + (4 << 20), (kib << 10) + (4 << 20)};
        held = kib != 0 && setrlimit(RLIMIT_AS, &limit) == 0;
        MergeResult result;
        held = held &&
               Merge(dir / "image.bin", target, dir / "out.hex", kAppend, kEnd, 16, 0, std::nullopt,
                     &result) == kNoStorage &&
               result.message.ends_with("\r\r" + target + ": not enough memory to hold its data") &&
               !fs::exists(dir / "out.hex");
        fs::remove_all(dir);
    } catch (...) {  // the process must end here, not in the test runner's own handling
    }
    _exit(held ? 0 : 1);
}

// A target whose data does not fit in the memory left is refused naming the file, and no output is
// made. In a process of its own, whose memory holds nothing left over from other tests, and with one
// arena of the C library's, which would otherwise keep address space in reserve for threads.
TEST(FirmwareMergeForms, ATargetTooLargeForMemoryIsNamed) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer keeps terabytes of address space and ends the process when an allocation fails";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    mallopt(M_ARENA_MAX, 1);
    test::TempDir dir;
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    FirmwareFile firmware;
    firmware.format = FirmwareFormat::kIntelHex;
    firmware.segments.push_back({0, std::vector<std::uint8_t>(32 << 20, 0x5A)});
    {
        std::ofstream out(dir / "fw.hex", std::ios::binary);
        WriteFirmware(firmware, firmware.format, 0, [&](std::string_view piece) { out << piece; });
    }
    EXPECT_EXIT(MergeWithLittleMemory(dir.path(), (dir / "fw.hex").string()), testing::ExitedWithCode(0), "");
}

// A binary may begin like a record: only a first line of hexadecimal digits makes a HEX or S-record file.
TEST(FirmwareMergeForms, ABinaryThatStartsLikeARecordStaysABinary) {
    test::TempDir dir;
    const std::string target = "S1 firmware header" + std::string(14, '\0');
    test::WriteFile(dir / "fw.bin", target);
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    ASSERT_EQ(Merge(dir / "image.bin", dir / "fw.bin", dir / "out.bin", kAppend, kEnd, 16, 0), kSuccess);
    EXPECT_EQ(test::ReadFile(dir / "out.bin"), target + ImageBytes(100));  // 32 bytes: aligned
}

struct DamagedStartCase {
    const char* name;
    const char* file;  // the target's name
    std::string text;
    const char* problem;  // after "<target>: "
    // srec_cat's option for the form, which refuses the file too; none where srec_cat takes it (it
    // passes over a line that does not start with 'S').
    const char* srecCatForm;
};
void PrintTo(const DamagedStartCase& c, std::ostream* os) { *os << c.name; }

class DamagedStarts : public testing::TestWithParam<DamagedStartCase> {};

// One byte of the first record changed into one that does not print leaves a text of records that
// text still: its name says so, or the rest of its lines do. It is refused with its line, as srec_cat
// refuses it, instead of being merged as a binary whose bytes are the text.
TEST_P(DamagedStarts, AreRefusedWithTheirLineNotTakenForABinary) {
    const DamagedStartCase& c = GetParam();
    test::TempDir dir;
    test::WriteFile(dir / "image.bin", ImageBytes(100));
    test::WriteFile(dir / c.file, c.text);
    const TargetScan scan = ScanTarget((dir / c.file).string());
    EXPECT_EQ(scan.code, kDamagedTarget);
    EXPECT_EQ(scan.problem, (dir / c.file).string() + ": " + c.problem);
    EXPECT_EQ(Merge(dir / "image.bin", dir / c.file, dir / "out.bin", kAppend, kEnd, 1, 0), kDamagedTarget);
    EXPECT_FALSE(fs::exists(dir / "out.bin"));
    if (c.srecCatForm && HaveSrecCat()) {
        const std::string command =
            fmt::format("cd '{}' && srec_cat '{}' {} -o /dev/null -binary 2>/dev/null", dir.path().string(),
                        c.file, c.srecCatForm);
        EXPECT_NE(std::system(command.c_str()), 0) << "srec_cat took it";
    }
}

const std::string kHexTarget = ":0400000001020304F2\n:0400040005060708DA\n:00000001FF\n";
const std::string kSRecordTarget = "S00600004844521B\nS10800000102030400ED\nS9030000FC\n";
// The text with its character at `at` replaced by `byte`.
std::string Damaged(std::string text, std::size_t at, char byte) {
    text[at] = byte;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Targets, DamagedStarts,
    testing::Values(
        DamagedStartCase{"HexByItsName", "fw.hex", Damaged(kHexTarget, 3, '\x96'),
                         "line 1: the byte 0x96 is not a hexadecimal digit (column 4)", "-intel"},
        DamagedStartCase{"HexByItsOtherNames", "fw.IHX", Damaged(kHexTarget, 3, '\x96'),
                         "line 1: the byte 0x96 is not a hexadecimal digit (column 4)", "-intel"},
        DamagedStartCase{"HexByItsRecords", "fw.bin", Damaged(kHexTarget, 3, '\x96'),
                         "line 1: the byte 0x96 is not a hexadecimal digit (column 4)", "-intel"},
        DamagedStartCase{"HexWithoutAName", "firmware", Damaged(kHexTarget, 0, '\x96'),
                         "line 1: the line does not start with ':'", "-intel"},
        DamagedStartCase{"SRecordHeaderByItsName", "fw.s19", Damaged(kSRecordTarget, 8, '\x83'),
                         "line 1: the byte 0x83 is not a hexadecimal digit (column 9)", "-motorola"},
        DamagedStartCase{"SRecordHeaderByItsRecords", "fw.bin", Damaged(kSRecordTarget, 8, '\x83'),
                         "line 1: the byte 0x83 is not a hexadecimal digit (column 9)", "-motorola"},
        DamagedStartCase{"SRecordByItsOtherName", "fw.sx", Damaged(kSRecordTarget, 0, '\x83'),
                         "line 1: the line does not start with 'S'", nullptr},
        // A binary named as a text form is no text of that form.
        DamagedStartCase{"BinaryNamedHex", "fw.hex",
                         std::string("\x7F"
                                     "ELF\x01\x01\x01\0\0",
                                     9),
                         "line 1: the line does not start with ':'", "-intel"}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(FirmwareMergeForms, OutputFormsFollowTheOutputsName) {
    EXPECT_EQ(OutputFormatOfName("out/fw.HEX"), FirmwareFormat::kIntelHex);
    EXPECT_EQ(OutputFormatOfName("fw.ihx"), FirmwareFormat::kIntelHex);
    for (const char* name : {"a.s19", "a.s28", "a.S37", "a.srec", "a.mot"})
        EXPECT_EQ(OutputFormatOfName(name), FirmwareFormat::kSRecord) << name;
    EXPECT_EQ(OutputFormatOfName("a.bin"), FirmwareFormat::kBinary);
    EXPECT_EQ(OutputFormatOfName("firmware"), std::nullopt);
    EXPECT_EQ(OutputFormatOfName("dir.hex/firmware"), std::nullopt);
}

struct OldImagesCase {
    const char* name;
    FirmwareFormat format;
    const char* extension;
    std::uint32_t base;  // the address of the target's first byte
};
void PrintTo(const OldImagesCase& c, std::ostream* os) { *os << c.name; }

class OldImages : public testing::TestWithParam<OldImagesCase> {};

// Two old images, of either byte order, beside a signature with nothing behind it and a damaged image:
// both old images are retired, the rest of the target comes through byte for byte.
TEST_P(OldImages, EveryOneIsRetiredAndBareSignaturesAreLeftAlone) {
    const OldImagesCase& c = GetParam();
    test::TempDir dir;
    std::string damaged = ImageBytes(80);
    damaged.back() = 'x';  // its last string runs on to its end
    const std::string data = std::string(0x40, 'a') + ImageBytes(96) + std::string(0x20, 'b') +
                             ImageBytes(60).substr(0, 8) + std::string(0x30, 'c') + damaged +
                             std::string(0x10, 'd') + ImageBytes(120, ByteOrder::kBig) +
                             std::string(0x40, 'e');
    const fs::path target = dir / (std::string("target.") + c.extension);
    const fs::path output = dir / (std::string("out.") + c.extension);
    if (c.format == FirmwareFormat::kBinary) {
        test::WriteFile(target, data);
    } else {
        FirmwareFile firmware;
        firmware.format = c.format;
        firmware.segments.push_back({c.base, std::vector<std::uint8_t>(data.begin(), data.end())});
        test::WriteFile(target, test::FirmwareText(firmware));
    }
    test::WriteFile(dir / "image.bin", ImageBytes(100));

    MergeResult result;
    ASSERT_EQ(Merge(dir / "image.bin", target, output, kAppend, kEnd, 16, 0, std::nullopt, &result),
              kSuccess);
    ASSERT_TRUE(result.target);
    const TargetFindings& found = result.target->findings;
    EXPECT_EQ(found.images, (std::vector<OldImage>{{c.base + 0x40, 96}, {c.base + 0x158, 120}}));
    EXPECT_EQ(found.bareSignatures, (std::vector<std::uint32_t>{c.base + 0xC0, c.base + 0xF8}));
    EXPECT_EQ(found.bareSignatureCount, 2u);

    std::string merged = test::ReadFile(output);
    if (c.format != FirmwareFormat::kBinary) {
        const FirmwareFile out = ReadFirmware(c.format, merged, output.string());
        ASSERT_EQ(out.segments.size(), 1u);
        EXPECT_EQ(out.segments[0].address, c.base);
        merged.assign(out.segments[0].bytes.begin(), out.segments[0].bytes.end());
    }
    std::string expected = data;
    expected.replace(0x40, 8, std::string(8, '\0'));
    expected.replace(0x158, 8, std::string(8, '\0'));
    EXPECT_EQ(merged, expected + ImageBytes(100));  // the target's 0x210 bytes end on a multiple of 16
}

INSTANTIATE_TEST_SUITE_P(Forms, OldImages,
                         testing::Values(OldImagesCase{"Binary", FirmwareFormat::kBinary, "bin", 0},
                                         OldImagesCase{"IntelHex", FirmwareFormat::kIntelHex, "hex",
                                                       0x08000000},
                                         OldImagesCase{"SRecords", FirmwareFormat::kSRecord, "s28", 0x10000}),
                         [](const auto& testCase) { return testCase.param.name; });

struct OutputFormCase {
    const char* name;
    const char* path;
    std::optional<FirmwareFormat> chosen;
    std::optional<FirmwareFormat> format;
    const char* refusal;
};
void PrintTo(const OutputFormCase& c, std::ostream* os) { *os << c.name; }

class OutputForms : public testing::TestWithParam<OutputFormCase> {};

// One rule for the window and the command line: the form chosen, else the extension's, else the
// target's; a name that says otherwise than the form chosen is refused.
TEST_P(OutputForms, FollowTheChoiceThenTheName) {
    const OutputFormCase& c = GetParam();
    const OutputForm form = ChooseOutputForm(c.path, c.chosen);
    EXPECT_EQ(form.format, c.format);
    EXPECT_EQ(form.refusal, c.refusal);
}

constexpr auto kBinary = FirmwareFormat::kBinary;
constexpr auto kIntelHex = FirmwareFormat::kIntelHex;
constexpr auto kSRecord = FirmwareFormat::kSRecord;

INSTANTIATE_TEST_SUITE_P(
    Names, OutputForms,
    testing::Values(
        OutputFormCase{"ExtensionChooses", "out/fw.bin", std::nullopt, kBinary, ""},
        OutputFormCase{"ExtensionInAnyCase", "fw.S19", std::nullopt, kSRecord, ""},
        OutputFormCase{"NoExtensionKeepsTheTargetsForm", "firmware", std::nullopt, std::nullopt, ""},
        OutputFormCase{"UnknownExtensionKeepsTheTargetsForm", "fw.img", std::nullopt, std::nullopt, ""},
        OutputFormCase{"ChosenWithoutExtension", "firmware", kIntelHex, kIntelHex, ""},
        OutputFormCase{"ChosenWithAnUnknownExtension", "fw.img", kBinary, kBinary, ""},
        OutputFormCase{"ChosenAndNamedAlike", "fw.mot", kSRecord, kSRecord, ""},
        OutputFormCase{"ADotInAFolderIsNoExtension", "dir.hex/firmware", kBinary, kBinary, ""},
        OutputFormCase{"NamedForAnotherForm", "out.bin", kSRecord, std::nullopt,
                       "out.bin: the extension .bin means Binary, but the output form chosen is S-records"},
        OutputFormCase{"NamedForAnotherFormInUpperCase", "dir/OUT.HEX", kBinary, std::nullopt,
                       "dir/OUT.HEX: the extension .HEX means Intel HEX, but the output form chosen is "
                       "Binary"}),
    [](const auto& testCase) { return testCase.param.name; });

}  // namespace
}  // namespace lexicorn
