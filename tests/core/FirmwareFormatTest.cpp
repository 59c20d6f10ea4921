#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>

#include "base/Error.h"
#include "merge/AddressSpace.h"
#include "merge/Firmware.h"
#include "merge/FirmwareForms.h"
#include "merge/FirmwareScan.h"
#include "merge/IntelHex.h"
#include "merge/SRecord.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
constexpr FirmwareFormat kHex = FirmwareFormat::kIntelHex;
constexpr FirmwareFormat kSrec = FirmwareFormat::kSRecord;

// The bytes first, first + 1, ... up to (not including) last.
Bytes Counting(int first, int last) {
    Bytes bytes;
    for (int i = first; i < last; ++i) bytes.push_back(static_cast<std::uint8_t>(i));
    return bytes;
}

Bytes Random(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    Bytes bytes(length);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(generator());
    return bytes;
}

std::string Lines(std::initializer_list<std::string_view> lines, std::string_view end = "\n") {
    std::string text;
    for (std::string_view line : lines) (text += line) += end;
    return text;
}

FirmwareFile Read(FirmwareFormat format, std::string_view text, const std::string& name = "fw") {
    return ReadFirmware(format, text, name);
}

std::string Write(const FirmwareFile& file) { return test::FirmwareText(file); }

// What a reader of `text` throws, "" when it reads the text.
std::string ReadError(FirmwareFormat format, std::string_view text, const std::string& name) {
    try {
        Read(format, text, name);
    } catch (const FirmwareError& error) {
        return error.what();
    }
    return "";
}

// The file's data as one image from `low` up, holes filled with zeros (as srec_cat's binary
// output has them).
std::string Flatten(const FirmwareFile& file, std::uint32_t low) {
    std::string image;
    for (const Segment& segment : file.segments) {
        const std::size_t at = segment.address - low;
        if (image.size() < at + segment.bytes.size()) image.resize(at + segment.bytes.size(), '\0');
        std::copy(segment.bytes.begin(), segment.bytes.end(),
                  image.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return image;
}

std::string Show(const FirmwareFile& file) {
    std::string text =
        fmt::format("format {} recordLength {} addressBytes {} hasCount {} crLf {} segmentStart {}",
                    static_cast<int>(file.format), file.recordLength, file.addressBytes, file.hasCount,
                    file.crLf, file.segmentStart);
    if (file.startAddress) text += fmt::format(" start 0x{:X}", *file.startAddress);
    if (file.header) text += fmt::format(" header of {}", file.header->size());
    for (const Segment& segment : file.segments)
        text += fmt::format(" [0x{:X} +{}]", segment.address, segment.bytes.size());
    return text;
}

// Detection, reading, writing, the command line and the choosers walk the registry: every form is
// registered once with every rule, and no extension or word names two forms.
TEST(FirmwareForms, EveryFormIsRegisteredOnceWithEveryRule) {
    std::set<FirmwareFormat> formats;
    std::set<std::string_view> names, words, extensions;
    for (const FirmwareForm* form : kFirmwareForms) {
        SCOPED_TRACE(form->name);
        EXPECT_TRUE(formats.insert(form->format).second);
        EXPECT_EQ(&FormOf(form->format), form);
        EXPECT_FALSE(form->name.empty());
        EXPECT_TRUE(names.insert(form->name).second);
        EXPECT_FALSE(form->word.empty());
        EXPECT_TRUE(words.insert(form->word).second) << form->word;
        EXPECT_FALSE(form->extensions.empty());
        for (std::string_view extension : form->extensions) {
            EXPECT_TRUE(extensions.insert(extension).second) << extension;
            EXPECT_TRUE(std::none_of(extension.begin(), extension.end(), [](char c) {
                return c == '.' || (c >= 'A' && c <= 'Z');
            })) << extension;
        }
        EXPECT_NE(form->startsFile, nullptr);
        EXPECT_NE(form->readRecords, nullptr);
        EXPECT_NE(form->write, nullptr);
    }
    for (FirmwareFormat format : {FirmwareFormat::kBinary, kHex, kSrec})
        EXPECT_TRUE(formats.contains(format));
}

// What each form writes is known as that form and read back by its own reader; a binary is what no
// text form claims, and holds no records to read.
TEST(FirmwareForms, EachFormKnowsAndReadsWhatItWrites) {
    FirmwareFile file;
    file.segments = {{0x100, Counting(0, 40)}};
    for (const FirmwareForm* form : kFirmwareForms) {
        SCOPED_TRACE(form->name);
        file.format = form->format;
        std::string text;
        WriteFirmware(file, form->format, 0xFF, [&text](std::string_view piece) { text += piece; });
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(DetectFirmwareFormat(text), form->format);
        if (form->format == FirmwareFormat::kBinary) {
            EXPECT_EQ(ReadError(form->format, text, "fw.bin"), "fw.bin: a binary file holds no records");
            continue;
        }
        EXPECT_EQ(Read(form->format, text).segments, file.segments);
        // Each reader refuses the other forms' text rather than taking it for its own.
        for (const FirmwareForm* other : kFirmwareForms)
            if (other != form && other->format != FirmwareFormat::kBinary) {
                EXPECT_NE(ReadError(other->format, text, "fw"), "") << other->name;
            }
    }
}

// A form that is not registered is a fault of the program: it is neither read with another form's
// reader nor written as nothing at all.
TEST(FirmwareForms, AFormNotRegisteredIsNeitherReadNorWritten) {
    const auto unknown = static_cast<FirmwareFormat>(7);
    EXPECT_THROW(Read(unknown, "S1130000000102030405060708090A0B0C0D0E0F74\n"), std::invalid_argument);
    FirmwareFile file;
    file.segments = {{0, Counting(0, 4)}};
    EXPECT_THROW(WriteFirmware(file, unknown, 0, [](std::string_view) {}), std::invalid_argument);
    EXPECT_THROW(FormOf(unknown), std::invalid_argument);
}

TEST(FirmwareFormat, IsKnownByTheStartOfTheText) {
    const std::string manyBlankLines = std::string(5000, '\n');
    const std::string blankBeyondAMebibyte = std::string((1 << 20) + 1, '\n') + ":00000001FF\n";
    const std::string longLine = ":" + std::string(1024, '0') + "\n";
    const std::string longestLine = ":" + std::string(1023, '0') + "\n";
    const struct {
        std::string start;
        FirmwareFormat format;
    } cases[] = {
        // A byte-order mark and any number of blank lines come before the first line.
        {"\xEF\xBB\xBF:00000001FF\r\n", kHex},
        {"\xEF\xBB\xBF\n\nS9030000FC", kSrec},
        {manyBlankLines + ":00000001FF\n", kHex},
        {manyBlankLines + "  \t S9030000FC", kSrec},
        // A first record that is damaged still makes a text, refused with its line by the reader.
        {":0400000001020G0304F3\n:00000001FF\n", kHex},
        {":04\n", kHex},
        {"S1130000\n", kSrec},
        {":0400000001020304F3 ; reset vector\n", kHex},
        {"S10400001234FF\r:00", kSrec},  // a line may end with CR alone
        {longestLine, kHex},
        // A first record damaged beyond looking like one: the lines after it say what the text is,
        // when at least half of them are records.
        {":04\x96"
         "00000102030 4F2\n:00000001FF\n",
         kHex},
        {"\x83"
         "00600004844521B\r\n\r\nS10800000102030400ED\r\nS9030000FC\r\n",
         kSrec},
        {"\x80\n\x80\n:00000001FF\n", FirmwareFormat::kBinary},
        {"\x80\n" + std::string(40, 'x') + "\n:00000001FF\n", FirmwareFormat::kBinary},
        // Nor so far on, nor such lines: binaries.
        {blankBeyondAMebibyte, FirmwareFormat::kBinary},
        {longLine, FirmwareFormat::kBinary},
        {":10\x80\n", FirmwareFormat::kBinary},
        {":10\x1A", FirmwareFormat::kBinary},
        {"S1\n", FirmwareFormat::kBinary},
        {":1\n", FirmwareFormat::kBinary},
        {"S 113\n", FirmwareFormat::kBinary},
        {"\xEF\xBB\xBF\x7F"
         "ELF",
         FirmwareFormat::kBinary},
        {" \xEF\xBB\xBF:00000001FF", FirmwareFormat::kBinary},  // a mark only at the very start
        {":10000000", kHex},
        {":0400000001020304F3\n:00", kHex},  // a bad checksum is the reader's to refuse, with its line
        {":0a0000000102\r\n", kHex},
        {"\r\n\n  \t:00000001FF \n", kHex},
        {"S11300000102", kSrec},
        {"S9030000FC", kSrec},
        {"\n S00600004844521B\n", kSrec},
        {"", FirmwareFormat::kBinary},
        {":", FirmwareFormat::kBinary},
        {":a", FirmwareFormat::kBinary},  // too short for a record
        {":G0", FirmwareFormat::kBinary},
        {": 10", FirmwareFormat::kBinary},
        {"S", FirmwareFormat::kBinary},
        {"SA", FirmwareFormat::kBinary},
        {"s1", FirmwareFormat::kBinary},
        // Binaries that start like records, but go on otherwise.
        {"S1 firmware header", FirmwareFormat::kBinary},
        {std::string(":0123456789\0\x01\x02", 14), FirmwareFormat::kBinary},
        {"S3000000000000\xFF\xFF", FirmwareFormat::kBinary},
        {"\x7F"
         "ELF",
         FirmwareFormat::kBinary},
        {std::string("\0:10", 4), FirmwareFormat::kBinary},
        {"  \n", FirmwareFormat::kBinary},
    };
    for (const auto& c : cases) EXPECT_EQ(DetectFirmwareFormat(c.start), c.format) << c.start.substr(0, 40);
}

std::string FixtureFile(const std::string& name) {
    return test::ReadFile(fs::path(LEXICORN_FIXTURES_DIR) / "firmware" / name);
}

// Files as other tools write them, each with what it holds.
struct FirmwareFixture {
    const char* name;
    FirmwareFormat format;
    std::string text;
    FirmwareFile expected;
    bool srecCatReadsIt = true;
};

std::vector<FirmwareFixture> Fixtures() {
    std::vector<FirmwareFixture> fixtures;
    {
        FirmwareFile file;
        file.format = kHex;
        file.segments = {{0x08000000, Counting(0, 40)}, {0x08010000, Bytes{0xDE, 0xAD, 0xBE, 0xEF}}};
        file.startAddress = 0x08000131;
        fixtures.push_back({"linear addresses and a linear start", kHex, FixtureFile("linear.hex"), file});
    }
    {
        // The record at FFF8 of segment 1000 wraps inside its segment: its second half lands at 10000.
        FirmwareFile file;
        file.format = kHex;
        file.segments = {
            {0x100, Counting(0x60, 0x70)}, {0x10000, Counting(0x48, 0x50)}, {0x1FFF8, Counting(0x40, 0x48)}};
        file.startAddress = 0x12345678;
        file.segmentStart = true;
        fixtures.push_back({"segment addresses and a segment start", kHex, FixtureFile("segment.hex"), file});
    }
    {
        // Lower-case digits, CR LF, blank lines, spaces around records, blank lines and the
        // end-of-text mark after the end.
        FirmwareFile file;
        file.format = kHex;
        file.segments = {{0xFFF0, Counting(0, 64)}};
        file.recordLength = 32;
        file.crLf = true;
        fixtures.push_back(
            {"a record across 64 KiB, lower case, CR LF", kHex,
             Lines({"", "  :20fff000000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f01 \t",
                    "", ":020000040001F9",
                    ":20001000202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3FE0",
                    ":00000001ff", " \t", "", "\x1A"},
                   "\r\n"),
             file,
             // srec_cat passes over a line that starts with spaces and refuses one that ends so.
             false});
    }
    {
        FirmwareFile file;
        file.format = kSrec;
        file.header = Bytes{'h', 'e', 'l', 'l', 'o', '.', 's', '3', '7'};
        file.segments = {{0x08000000, Counting(0, 28)}, {0x08001000, Bytes(8, 0xA5)}};
        file.startAddress = 0x08000131;
        file.addressBytes = 4;
        fixtures.push_back({"S37 with a header", kSrec, FixtureFile("header.s37"), file});
    }
    {
        FirmwareFile file;
        file.format = kSrec;
        file.segments = {{0x1000, Counting(0, 0x30)}, {0x2000, Bytes{0x55, 0xAA}}};
        file.recordLength = 32;
        file.startAddress = 0x1000;
        file.hasCount = true;
        fixtures.push_back({"S19 with a count", kSrec, FixtureFile("count.s19"), file});
    }
    {
        FirmwareFile file;
        file.format = kHex;
        fixtures.push_back({"nothing but the end", kHex, ":00000001FF\n", file});
    }
    {
        FirmwareFile file;
        file.format = kSrec;
        file.addressBytes = 3;
        file.startAddress = 0x123456;
        fixtures.push_back({"nothing but an S8", kSrec, "S8041234565F", file});
    }
    {
        // As srec_cat writes them without a start address: no termination record.
        FirmwareFile file;
        file.format = kSrec;
        file.segments = {{0xFFF8, Counting(0, 12)}};
        file.recordLength = 8;
        file.addressBytes = 3;
        file.hasCount = true;
        fixtures.push_back({"S28 without termination", kSrec,
                            Lines({"S20C00FFF80001020304050607E0", "S20801000008090A0BD0", "S5030002FA"}),
                            file});
    }
    return fixtures;
}

TEST(FirmwareFormat, ReadsFilesAsOtherToolsWriteThem) {
    for (const FirmwareFixture& fixture : Fixtures()) {
        SCOPED_TRACE(fixture.name);
        EXPECT_EQ(DetectFirmwareFormat(fixture.text), fixture.format);
        const FirmwareFile file = Read(fixture.format, fixture.text);
        EXPECT_EQ(file, fixture.expected) << Show(file) << "\n" << Show(fixture.expected);
        // And written back, it reads the same; S-records always get a termination record, with
        // address 0 when the file has no start.
        FirmwareFile again = file;
        if (file.format == kSrec && !file.startAddress) again.startAddress = 0;
        EXPECT_EQ(Read(fixture.format, Write(file)), again) << Write(file);
    }
}

// srec_cat reads the fixtures to the same bytes: the segment addressing wrap included.
TEST(FirmwareFormat, FixturesReadAsSrecCatReadsThem) {
    if (std::system("command -v srec_cat > /dev/null 2>&1") != 0) GTEST_SKIP() << "srec_cat is not installed";
    test::TempDir dir;
    for (const FirmwareFixture& fixture : Fixtures()) {
        SCOPED_TRACE(fixture.name);
        if (fixture.expected.segments.empty() || !fixture.srecCatReadsIt) continue;
        const std::uint32_t low = fixture.expected.segments.front().address;
        test::WriteFile(dir / "in", fixture.text);
        const std::string command =
            fmt::format("srec_cat '{}' {} -offset -0x{:X} -o '{}' -binary 2> '{}'", (dir / "in").string(),
                        fixture.format == kHex ? "-intel" : "-motorola", low, (dir / "out.bin").string(),
                        (dir / "err").string());
        ASSERT_EQ(std::system(command.c_str()), 0) << test::ReadFile(dir / "err");
        EXPECT_EQ(test::ReadFile(dir / "out.bin"), Flatten(fixture.expected, low));
    }
}

TEST(FirmwareFormat, DamagedFilesAreRefusedWithTheirLine) {
    const std::string_view ext = ":020000040800F2";
    const std::string_view data0 = ":10000000000102030405060708090A0B0C0D0E0F78";
    const std::string_view data1 = ":10001000101112131415161718191A1B1C1D1E1F68";
    const std::string_view eof = ":00000001FF";
    const std::string_view s0 = "S00C000068656C6C6F2E733337D4";
    const std::string_view s1a = "S1231000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1FDC";
    const std::string_view s1b = "S1131020202122232425262728292A2B2C2D2E2F44";
    const std::string_view s9 = "S9031000EC";
    const struct {
        FirmwareFormat format;
        std::string text;
        std::string message;
    } cases[] = {
        {kHex, Lines({ext, data0, ":10001000101112131415161718191A1B1C1D1E1F69", eof}),
         "line 3: the checksum is 69, the record needs 68"},
        {kHex, Lines({ext, ":1000000000102030405060708090A0B0C0D0E0F78", eof}),
         "line 2: an odd number of hexadecimal digits (41)"},
        {kHex, Lines({ext, data0, ":10000800000102030405060708090A0B0C0D0E0F70", eof}),
         "line 3: data at 0x8000008 overlaps the data of line 2"},
        {kHex, Lines({ext, data1, ":18000000000102030405060708090A0B0C0D0E0F1011121314151617D4", eof}),
         "line 3: data at 0x8000010 overlaps the data of line 2"},
        {kHex, Lines({ext, data0, data1, data0, eof}),
         "line 4: data at 0x8000000 overlaps the data of line 2"},
        // Line 3 holds both line 2 and line 4; its overlap with line 2 comes first.
        {kHex,
         Lines({ext, ":10003000303132333435363738393A3B3C3D3E3F48",
                ":40000000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F2021222324252627282"
                "92A2B2"
                "C2D2E2F303132333435363738393A3B3C3D3E3FE0",
                data1, eof}),
         "line 3: data at 0x8000030 overlaps the data of line 2"},
        {kHex, Lines({ext, ":10000000000102030405060708090A0B0C0D0E78", eof}),
         "line 2: the byte count is 10 (16 data bytes), the record has 15 data bytes"},
        {kHex, Lines({ext, ":10000000000102030405060708090A0B0C0D0G0F78", eof}),
         "line 2: 'G' is not a hexadecimal digit (column 39)"},
        {kHex, Lines({ext, "  :1000000000010203040506\x01", eof}),
         "line 2: the byte 0x01 is not a hexadecimal digit (column 26)"},
        {kHex, Lines({ext, data0, data1}), "line 3: no end-of-file record (type 01)"},
        {kHex, Lines({ext, data0, "", "  "}), "line 4: no end-of-file record (type 01)"},
        {kHex, Lines({":02000004FFFFFC", ":10FFF800000102030405060708090A0B0C0D0E0F81", eof}),
         "line 2: 16 bytes at 0xFFFFFFF8 pass the end of the 4 GiB address space"},
        {kHex, Lines({ext, ":00000006FA", eof}), "line 2: unknown record type 06"},
        {kHex, Lines({":03000004080000F1", eof}),
         "line 1: a record of type 04 has 2 data bytes, this one has 3"},
        {kHex, Lines({ext, data0, ":0100000100FE"}),
         "line 3: a record of type 01 has 0 data bytes, this one has 1"},
        {kHex, Lines({ext, "; a comment", eof}), "line 2: the line does not start with ':'"},
        {kHex, Lines({ext, ":00000001", eof}), "line 2: the record has 4 bytes, the shortest record has 5"},
        {kHex, Lines({":", eof}), "line 1: the record has 0 bytes, the shortest record has 5"},
        {kSrec, Lines({s0, s1a, "S1131020202122232425262728292A2B2C2D2E2F45", s9}),
         "line 3: the checksum is 45, the record needs 44"},
        {kSrec, Lines({s1a, s1b, "S5030003F9", s9}),
         "line 3: the record count is 3, the file has 2 data records before it"},
        {kSrec, Lines({s1a, "S5030002FA", s1b, "S5030002FA", s9}),
         "line 2: the record count is 2, the file has 1 data records before it"},
        {kSrec, Lines({s1a, "S10B10080001020304050607C0", s9}),
         "line 2: data at 0x1008 overlaps the data of line 1"},
        {kSrec, Lines({"S315FFFFFFF8000102030405060708090A0B0C0D0E0F7D", s9}),
         "line 1: 16 bytes at 0xFFFFFFF8 pass the end of the 4 GiB address space"},
        {kSrec, Lines({s1a, "S1131020202122232425262728292A2B2C2D2E44", s9}),
         "line 2: the byte count is 13 (19 bytes after it), the record has 18 bytes after it"},
        {kSrec, Lines({s1a, "S1131020202122232425262728292A2B2C2D2E2X44", s9}),
         "line 2: 'X' is not a hexadecimal digit (column 40)"},
        {kSrec, Lines({s1a, "S11310202021222324252627282", s9}),
         "line 2: an odd number of hexadecimal digits (25)"},
        {kSrec, Lines({"S904000000FB"}), "line 1: an S9 record has 3 bytes after its count, this one has 4"},
        {kSrec, Lines({"S10210ED", s9}),
         "line 1: an S1 record has at least 3 bytes after its count, this one has 2"},
        {kSrec, Lines({"S4030000FC", s9}), "line 1: unknown record type '4'"},
        {kSrec, Lines({s1a, "S", s9}), "line 2: the record has no type"},
        {kSrec, Lines({s1a, "SX03", s9}), "line 2: unknown record type 'X'"},
        {kSrec, Lines({s1a, "S1", s9}), "line 2: the record has no byte count"},
        {kSrec, Lines({s1a, std::string("S\x7F") + "03000000FC", s9}),
         "line 2: unknown record type the byte 0x7F"},
        {kSrec, Lines({s1a, ":00000001FF", s9}), "line 2: the line does not start with 'S'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadError(c.format, c.text, "dir/fw.x"), "dir/fw.x: " + c.message);
    }
}

// Nothing but blank lines and the end-of-text mark may follow the end record: a record there would
// be lost without a word.
TEST(FirmwareFormat, WhatFollowsTheEndRecordIsRefusedWithItsLine) {
    const std::string_view data = ":0400000001020304F2";
    const std::string_view eof = ":00000001FF";
    const std::string_view s1 = "S107101001020304CE";
    const std::string_view s9 = "S9031000EC";
    const struct {
        FirmwareFormat format;
        std::string text;
        std::string message;  // "" when the text is read
    } cases[] = {
        {kHex, Lines({data, eof, data}), "line 3: the file goes on after its end-of-file record (line 2)"},
        {kHex, Lines({eof, data}), "line 2: the file goes on after its end-of-file record (line 1)"},
        {kHex, Lines({data, eof, "", " \t", "garbage"}),
         "line 5: the file goes on after its end-of-file record (line 2)"},
        {kHex, Lines({data, eof, eof}), "line 3: the file goes on after its end-of-file record (line 2)"},
        {kHex, Lines({data, eof, "\x1A\x1A x"}),
         "line 3: the file goes on after its end-of-file record (line 2)"},
        {kSrec, Lines({s1, s9, s1}), "line 3: the file goes on after its termination record (line 2)"},
        {kSrec, Lines({s9, s1}), "line 2: the file goes on after its termination record (line 1)"},
        {kSrec, Lines({s1, "S70508000131C0", "S5030001FB"}),
         "line 3: the file goes on after its termination record (line 2)"},
        {kSrec, Lines({s1, s9, "", "S"}), "line 4: the file goes on after its termination record (line 2)"},
        // Blank lines, spaces and the end-of-text mark of old tools are fine.
        {kHex, Lines({data, eof, "", "  \t", "\x1A"}, "\r\n"), ""},
        {kHex, std::string(data) + "\n" + std::string(eof) + "\n\x1A", ""},
        {kSrec, Lines({s1, s9, "", "\t"}), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadError(c.format, c.text, "fw"), c.message.empty() ? "" : "fw: " + c.message);
    }
}

// Records other than data say their address in their data: an address field that is not 0000 is
// a record that means something other than it seems, and srec_cat refuses it too.
TEST(FirmwareFormat, AddressRecordsWithAnAddressFieldAreRefused) {
    const struct {
        std::string record;
        std::string message;
    } cases[] = {
        {":020010021000DC", "line 1: a record of type 02 has the address 0000, this one has 0010"},
        {":0400010300001234B2", "line 1: a record of type 03 has the address 0000, this one has 0001"},
        {":020010040800E2", "line 1: a record of type 04 has the address 0000, this one has 0010"},
        {":04FFFF0508000131BF", "line 1: a record of type 05 has the address 0000, this one has FFFF"},
    };
    const bool haveSrecCat = std::system("command -v srec_cat > /dev/null 2>&1") == 0;
    test::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        const std::string text = Lines({c.record, ":0400000001020304F2", ":00000001FF"});
        EXPECT_EQ(ReadError(kHex, text, "fw"), "fw: " + c.message);
        if (!haveSrecCat) continue;
        test::WriteFile(dir / "fw.hex", text);
        const std::string command =
            fmt::format("srec_cat '{}' -intel -o /dev/null -intel 2> /dev/null", (dir / "fw.hex").string());
        EXPECT_NE(std::system(command.c_str()), 0) << "srec_cat took it";
    }
}

// Of two start addresses the first stands, as srec_cat keeps it, with a warning that names both lines.
TEST(FirmwareFormat, ASecondStartAddressIsPassedOverWithAWarning) {
    const struct {
        std::vector<std::string_view> lines;
        std::uint32_t start;
        bool segmentStart;
        std::vector<std::string> warnings;
    } cases[] = {
        {{":0400000508000131BD", ":0400000001020304F2", ":00000001FF"}, 0x08000131, false, {}},
        {{":0400000508000131BD", ":0400000508000200ED", ":00000001FF"},
         0x08000131,
         false,
         {"fw: line 2: a second start address record (type 05): the one of line 1 is kept"}},
        {{":0400000001020304F2", ":0400000300001000E9", ":0400000508000131BD", ":0400000508000200ED",
          ":00000001FF"},
         0x00001000,
         true,
         {"fw: line 3: a second start address record (type 05): the one of line 2 is kept",
          "fw: line 4: a second start address record (type 05): the one of line 2 is kept"}},
    };
    for (const auto& c : cases) {
        std::string text;
        for (std::string_view line : c.lines) (text += line) += "\n";
        SCOPED_TRACE(text);
        const FirmwareFile file = Read(kHex, text);
        EXPECT_EQ(file.startAddress, c.start);
        EXPECT_EQ(file.segmentStart, c.segmentStart);
        EXPECT_EQ(file.warnings, c.warnings);
    }
}

// A byte-order mark before the first record is passed over; columns in messages are counted as an
// editor shows them, after it.
TEST(FirmwareFormat, AByteOrderMarkIsPassedOver) {
    const std::string mark = "\xEF\xBB\xBF";
    for (const FirmwareFixture& fixture : Fixtures()) {
        SCOPED_TRACE(fixture.name);
        EXPECT_EQ(DetectFirmwareFormat(mark + fixture.text), fixture.format);
        EXPECT_EQ(Read(fixture.format, mark + fixture.text), fixture.expected);
    }
    EXPECT_EQ(ReadError(kHex, mark + " :0400000001020G04F2\n:00000001FF\n", "fw"),
              "fw: line 1: 'G' is not a hexadecimal digit (column 16)");
    EXPECT_EQ(ReadError(kHex, ":00000001FF\n" + mark, "fw"),
              "fw: line 2: the file goes on after its end-of-file record (line 1)");
}

// Digits of either case stand for their values, and any other character, wherever it stands in a
// record's digits, is refused with its column.
TEST(FirmwareFormat, DigitsOfEitherCaseAreReadAndAnythingElseRefusedWithItsColumn) {
    for (const FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile file;
        file.format = format;
        file.segments = {{0x100, Counting(0, 256)}};
        std::string lower = Write(file);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c; });
        EXPECT_EQ(Read(format, Write(file)).segments, file.segments);
        EXPECT_EQ(Read(format, lower).segments, file.segments) << lower;
    }
    const std::string record = ":10000000000102030405060708090A0B0C0D0E0F78";
    const std::string_view digits = "0123456789ABCDEFabcdef";
    for (std::size_t at = 1; at + 1 < record.size(); ++at) {
        for (int c = 0; c < 256; ++c) {
            if (c == '\n' || digits.find(static_cast<char>(c)) != std::string_view::npos) continue;
            std::string damaged = record;
            damaged[at] = static_cast<char>(c);
            const std::string shown = c >= 0x20 && c < 0x7F ? fmt::format("'{}'", static_cast<char>(c))
                                                            : fmt::format("the byte 0x{:02X}", c);
            EXPECT_EQ(ReadError(kHex, Lines({damaged, ":00000001FF"}), "fw"),
                      fmt::format("fw: line 1: {} is not a hexadecimal digit (column {})", shown, at + 1));
        }
    }
}

// Damage anywhere in a file is refused with a FirmwareError that names the file and a line, or
// read; never anything else.
TEST(FirmwareFormat, AnyDamageIsReadOrRefusedCleanly) {
    for (const FirmwareFixture& fixture : Fixtures()) {
        SCOPED_TRACE(fixture.name);
        const std::string& text = fixture.text;
        const auto check = [&](const std::string& damaged) {
            try {
                Read(fixture.format, damaged, "fw");
            } catch (const FirmwareError& error) {
                EXPECT_EQ(std::string(error.what()).rfind("fw: line ", 0), 0u) << error.what();
            }
        };
        for (std::size_t length = 0; length < text.size(); ++length) check(text.substr(0, length));
        for (std::size_t at = 0; at < text.size(); ++at) {
            for (char c : std::string_view("0F9aG:S\n\r \0\xFF", 12)) {
                std::string damaged = text;
                damaged[at] = c;
                check(damaged);
            }
        }
    }
}

// Inputs on which the firmware fuzzer once found a fault: each must now be read or refused cleanly.
// Hostile files kept with the fixtures, and whatever the fuzzer has found since: each is read, or
// refused by a FirmwareError that names the file, in both forms; nothing else escapes.
TEST(FirmwareFormat, FuzzRegressionsAreReadOrRefused) {
    int tried = 0;
    for (const fs::path& folder : {fs::path(LEXICORN_FIXTURES_DIR) / "firmware-hostile",
                                   fs::path(LEXICORN_FUZZ_REGRESSIONS_DIR) / "Firmware"}) {
        if (!fs::exists(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            const std::string text = test::ReadFile(entry.path());
            for (FirmwareFormat format : {kHex, kSrec}) {
                const std::string error = ReadError(format, text, "hostile.fw");
                if (!error.empty()) {
                    EXPECT_NE(error.find("hostile.fw"), std::string::npos) << error;
                }
            }
            ++tried;
        }
    }
    EXPECT_GE(tried, 7);
}

TEST(FirmwareFormat, RecordsJoinIntoSortedSegments) {
    // Out of order, touching, with an empty data record and a gap.
    const FirmwareFile file = ReadIntelHex(
        Lines({":10001000101112131415161718191A1B1C1D1E1F68", ":00050000FB",
               ":10000000000102030405060708090A0B0C0D0E0F78", ":08FFF8000001020304050607E5", ":00000001FF"}),
        "fw");
    const std::vector<Segment> expected = {{0, Counting(0, 32)}, {0xFFF8, Counting(0, 8)}};
    EXPECT_EQ(file.segments, expected);
    EXPECT_EQ(file.recordLength, 16u);
}

TEST(FirmwareFormat, WritesExactlyTheseRecords) {
    std::vector<std::tuple<std::string, FirmwareFile, std::string>> cases;
    const auto add = [&](std::string name, FirmwareFormat format, std::vector<Segment> segments,
                         const std::function<void(FirmwareFile&)>& set, std::string text) {
        FirmwareFile file;
        file.format = format;
        file.segments = std::move(segments);
        set(file);
        cases.emplace_back(std::move(name), std::move(file), std::move(text));
    };
    add(
        "HEX across 64 KiB with a linear start", kHex, {{0xFFF8, Counting(0, 40)}},
        [](FirmwareFile& file) { file.startAddress = 0x10020; },
        Lines({":08FFF8000001020304050607E5", ":020000040001F9",
               ":1000000008090A0B0C0D0E0F1011121314151617F8", ":1000100018191A1B1C1D1E1F2021222324252627E8",
               ":0400000500010020D6", ":00000001FF"}));
    add(
        "HEX with nothing but a segment start, CR LF", kHex, {},
        [](FirmwareFile& file) {
            file.startAddress = 0xF0001234;
            file.segmentStart = true;
            file.crLf = true;
        },
        Lines({":04000003F0001234C3", ":00000001FF"}, "\r\n"));
    add(
        "HEX with data above 64 KiB first", kHex, {{0x10000, Counting(8, 12)}}, [](FirmwareFile&) {},
        Lines({":020000040001F9", ":0400000008090A0BD6", ":00000001FF"}));
    add(
        "S19 with header and count", kSrec, {{0xFFF8, Counting(0, 8)}},
        [](FirmwareFile& file) {
            file.header = Bytes{'h', 'i'};
            file.hasCount = true;
        },
        Lines({"S0050000686929", "S10BFFF80001020304050607E1", "S5030001FB", "S9030000FC"}));
    add(
        "S19 widened to S28 by its last byte", kSrec, {{0xFFF8, Counting(0, 12)}},
        [](FirmwareFile& file) {
            file.recordLength = 8;
            file.hasCount = true;
        },
        Lines({"S20C00FFF80001020304050607E0", "S20801000008090A0BD0", "S5030002FA", "S804000000FB"}));
    add(
        "S19 widened to S28 by its start", kSrec, {{0x1000, Counting(0, 4)}},
        [](FirmwareFile& file) { file.startAddress = 0x123456; },
        Lines({"S20800100000010203E1", "S8041234565F"}));
    // S-records know no segments: the start CS 1234, IP 0010 of a HEX file is 0x12350, as srec_cat
    // converts it.
    add(
        "S28 of a HEX segment start", kSrec, {},
        [](FirmwareFile& file) {
            file.startAddress = 0x12340010;
            file.segmentStart = true;
        },
        Lines({"S80401235087"}));
    for (const auto& [name, file, text] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Write(file), text);
    }
}

// Files that differ in everything a file can say, each read back as written.
std::vector<FirmwareFile> RoundTripFiles() {
    std::vector<FirmwareFile> files;
    const Bytes big = Random(200000, 7);
    const auto part = [&](std::size_t from, std::size_t length) {
        return Bytes(big.begin() + static_cast<std::ptrdiff_t>(from),
                     big.begin() + static_cast<std::ptrdiff_t>(from + length));
    };
    for (FirmwareFormat format : {kHex, kSrec}) {
        for (std::size_t recordLength :
             {std::size_t{1}, std::size_t{16}, std::size_t{33}, std::size_t{250}}) {
            FirmwareFile file;
            file.format = format;
            file.recordLength = recordLength;
            // Unaligned, across several 64 KiB boundaries; a gap; a piece at the top of the space.
            file.segments = {{0xFFF0 - 3, part(0, 140000)},
                             {0x00400000, part(140000, 1000)},
                             {0xFFFFFF00 + 7, part(150000, 249)}};
            file.startAddress = 0x00400000;
            file.addressBytes = format == kSrec ? 4 : 2;
            files.push_back(file);
            file.crLf = true;
            file.segments.resize(1);
            file.hasCount = format == kSrec;
            file.header = format == kSrec ? std::optional<Bytes>(Counting(32, 90)) : std::nullopt;
            file.addressBytes = format == kSrec ? 3 : 2;
            file.startAddress = format == kSrec ? 0 : 0x00401234;
            file.segmentStart = format == kHex;
            files.push_back(file);
        }
        FirmwareFile empty;
        empty.format = format;
        empty.startAddress = format == kSrec ? std::optional<std::uint32_t>(0) : std::nullopt;
        files.push_back(empty);
    }
    // 65536 records: the count needs S6.
    FirmwareFile many;
    many.format = kSrec;
    many.recordLength = 1;
    many.segments = {{0, part(0, 65536)}};
    many.hasCount = true;
    many.startAddress = 0;
    files.push_back(many);
    return files;
}

TEST(FirmwareFormat, WrittenFilesReadBackTheSame) {
    for (const FirmwareFile& file : RoundTripFiles()) {
        SCOPED_TRACE(Show(file));
        const std::string text = Write(file);
        EXPECT_EQ(DetectFirmwareFormat(text), file.format);
        const FirmwareFile back = Read(file.format, text);
        EXPECT_EQ(back, file) << Show(back);
        // No Intel HEX data record runs past the end of its 64 KiB.
        if (file.format == kHex) {
            std::size_t lineStart = 0;
            while (lineStart < text.size()) {
                const std::size_t lineEnd = text.find('\n', lineStart);
                const std::string_view line(text.data() + lineStart, lineEnd - lineStart);
                if (line.substr(7, 2) == "00") {
                    const unsigned length = std::stoul(std::string(line.substr(1, 2)), nullptr, 16);
                    const unsigned offset = std::stoul(std::string(line.substr(3, 4)), nullptr, 16);
                    EXPECT_LE(offset + length, 0x10000u) << line;
                }
                lineStart = lineEnd + 1;
            }
        }
    }
    // The count record of the file of 65536 records.
    const std::string many = Write(RoundTripFiles().back());
    EXPECT_EQ(many.substr(many.size() - 24), "S604010000FA\nS9030000FC\n");
}

TEST(FirmwareFormat, WriterKeepsRecordsInsideTheirLimits) {
    // Record lengths beyond what a record holds are cut to the most it holds; 0 means 16.
    const struct {
        FirmwareFormat format;
        std::size_t recordLength;
        int addressBytes;
        std::size_t written;
        int readAddressBytes;
    } cases[] = {
        {kHex, 0, 2, 16, 2},      {kHex, 255, 2, 255, 2},   {kHex, 1000, 2, 255, 2},
        {kSrec, 0, 2, 16, 2},     {kSrec, 1000, 2, 252, 2}, {kSrec, 1000, 3, 251, 3},
        {kSrec, 1000, 4, 250, 4}, {kSrec, 1000, 9, 250, 4}, {kSrec, 252, 0, 252, 2},
    };
    for (const auto& c : cases) {
        FirmwareFile file;
        file.format = c.format;
        file.recordLength = c.recordLength;
        file.addressBytes = c.addressBytes;
        file.segments = {{0x100, Random(3000, 3)}};
        const FirmwareFile back = Read(c.format, Write(file));
        EXPECT_EQ(back.segments, file.segments);
        EXPECT_EQ(back.recordLength, c.written) << c.recordLength;
        if (c.format == kSrec) {
            EXPECT_EQ(back.addressBytes, c.readAddressBytes) << c.addressBytes;
        }
    }
    FirmwareFile file;
    file.format = kSrec;
    file.header = Bytes(253, 'h');
    EXPECT_THROW(Write(file), FirmwareError);
    file.header = Bytes(252, 'h');
    EXPECT_EQ(ReadSRecord(Write(file), "fw").header, file.header);
}

// A 16 MiB image in either form: written and read back whole.
TEST(FirmwareFormat, SixteenMebibytesRoundTrip) {
    for (FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile file;
        file.format = format;
        file.segments = {{0x08000000, Random(16 << 20, 11)}};
        file.addressBytes = format == kSrec ? 4 : 2;
        file.startAddress = 0x08000000;
        EXPECT_EQ(Read(format, Write(file)), file);
    }
}

// The text is handed on in pieces from a thread of its own: a sink that fails stops the writing
// with its error, and the pieces before it arrived whole and in order.
TEST(FirmwareFormat, ASinkThatFailsStopsTheWriterWithItsError) {
    for (FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile file;
        file.format = format;
        file.segments = {{0, Random(4 << 20, 12)}};
        const std::string whole = Write(file);
        std::string received;
        int pieces = 0;
        try {
            WriteFirmware(file, format, 0, [&](std::string_view piece) {
                if (++pieces == 3) throw Error(kCannotCreateOutput, "out/fw: No space left on device");
                received += piece;
            });
            ADD_FAILURE() << "the failure did not reach the caller";
        } catch (const Error& error) {
            EXPECT_EQ(std::string(error.what()), "out/fw: No space left on device");
        }
        EXPECT_EQ(pieces, 3);
        EXPECT_FALSE(received.empty());
        EXPECT_EQ(received, whole.substr(0, received.size()));
    }
}

// The text of `file` with its data records in a shuffled order: Intel HEX records each behind the
// extended linear address record of their 64 KiB, S-records as they are; the rest stays in place.
std::string Shuffled(const FirmwareFile& file, unsigned seed) {
    std::vector<std::string> head, records, tail;
    std::istringstream lines(Write(file));
    std::string upper = file.format == kHex ? ":020000040000FA\n" : "";
    for (std::string line; std::getline(lines, line);) {
        const std::string_view type = std::string_view(line).substr(file.format == kHex ? 7 : 0, 2);
        if (file.format == kHex && type == "04") {
            upper = line + "\n";
        } else if (type == "00" || type == "S1" || type == "S2" || type == "S3") {
            records.push_back(upper + line + "\n");
        } else {
            (records.empty() ? head : tail).push_back(line + "\n");
        }
    }
    std::shuffle(records.begin(), records.end(), std::mt19937(seed));
    std::string text;
    for (const auto* part : {&head, &records, &tail})
        for (const std::string& line : *part) text += line;
    return text;
}

// A source over a text that counts what it is asked for.
struct CountingSource {
    explicit CountingSource(std::string_view whole) : text(whole) {}
    TextSource Source() {
        return {text.size(), [this](std::uint64_t offset, std::span<char> buffer) {
                    largest = std::max(largest, buffer.size());
                    read += buffer.size();
                    TextSource::Of(text).read(offset, buffer);
                }};
    }
    std::string_view text;
    std::size_t largest = 0;
    std::uint64_t read = 0;
};

// Firmware of several ranges, some of them far apart, of records of 16 bytes.
FirmwareFile SeveralRanges(FirmwareFormat format, std::size_t scale) {
    FirmwareFile file;
    file.format = format;
    file.addressBytes = 4;
    file.segments = {{0x1000, Random(3 * scale, 21)},
                     {static_cast<std::uint32_t>(0x1000 + 3 * scale + 5), Random(scale, 22)},
                     {0x08000000, Random(2 * scale, 23)}};
    return file;
}

// A text is taken in pieces of at most 1 MiB, whatever its size. Its data is held once: read in one
// pass when its records follow each other, in two (ranges, then data) when they do not.
TEST(FirmwareRead, TakesTheTextInPiecesAndReadsItOnceOrTwice) {
    for (FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile oneRange;
        oneRange.format = format;
        oneRange.addressBytes = 4;
        oneRange.segments = {{0x08000000, Random(3 << 19, 24)}};
        const FirmwareFile severalRanges = SeveralRanges(format, 1 << 18);
        const struct {
            const char* name;
            const FirmwareFile& file;
            std::string text;
            int passes;
        } cases[] = {
            {"one range", oneRange, Write(oneRange), 1},
            {"one range, out of order", oneRange, Shuffled(oneRange, 1), 2},
            {"several ranges", severalRanges, Write(severalRanges), 2},
            {"several ranges, out of order", severalRanges, Shuffled(severalRanges, 2), 2},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(fmt::format("{} {}", format == kHex ? "HEX" : "S-records", c.name));
            CountingSource counting(c.text);
            EXPECT_EQ(ReadFirmware(format, counting.Source(), "fw").segments, c.file.segments);
            EXPECT_LE(counting.largest, std::size_t{1} << 20);
            EXPECT_EQ(counting.read, c.passes * c.text.size());
        }
    }
}

// Each segment has the room asked for reserved beyond its data, so that what a merge paints beside
// it does not move the data: in one pass and in two.
TEST(FirmwareRead, GivesEachSegmentTheRoomAskedFor) {
    for (FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile oneRange;
        oneRange.format = format;
        oneRange.segments = {{0x100, Random(5000, 25)}};
        for (const FirmwareFile& file : {oneRange, SeveralRanges(format, 2000)})
            for (const std::size_t room : {std::size_t{0}, std::size_t{100000}})
                for (const Segment& segment :
                     ReadFirmware(format, TextSource::Of(Write(file)), "fw", room).segments)
                    EXPECT_GE(segment.bytes.capacity(), segment.bytes.size() + room);
    }
}

// A file that changes between the two passes is refused, not read half old, half new.
TEST(FirmwareRead, AFileThatChangesBetweenItsPassesIsRefused) {
    const std::string before = Lines({":0400100001020304E2", ":0400000001020304F2", ":00000001FF"});
    const std::string after = Lines({":0400100001020304E2", ":0400200001020304D2", ":00000001FF"});
    int passes = 0;
    const TextSource source{before.size(), [&](std::uint64_t offset, std::span<char> buffer) {
                                if (offset == 0) ++passes;
                                TextSource::Of(passes == 1 ? before : after).read(offset, buffer);
                            }};
    try {
        ReadFirmware(kHex, source, "fw");
        ADD_FAILURE() << "read";
    } catch (const FirmwareError& error) {
        EXPECT_EQ(std::string(error.what()), "fw: the file changed while it was read");
    }
}

// The scan answers what the data held whole answers: for records in order and out of order, with
// signatures of both byte orders across records, before and after gaps, across the borders of the
// windows it reads a text out of order by, and halves of signatures on either side of a gap.
TEST(FirmwareScan, FindsWhatTheWholeDataShows) {
    const Bytes little = test::Hex("4F 30 2F 10 80 7F 60 5F");
    const Bytes big = test::Hex("10 2F 30 4F 5F 60 7F 80");
    for (FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile file = SeveralRanges(format, 300);
        Bytes& first = file.segments[0].bytes;
        Bytes& second = file.segments[1].bytes;
        std::copy(little.begin(), little.begin() + 4, first.end() - 4);  // half before a gap
        std::copy(little.begin() + 4, little.end(), second.begin());     // and half after it
        for (std::size_t at : {std::size_t{13}, std::size_t{60}, std::size_t{252}, std::size_t{700}})
            std::copy(little.begin(), little.end(), first.begin() + static_cast<std::ptrdiff_t>(at));
        for (std::size_t at : {std::size_t{100}, std::size_t{290}})
            std::copy(big.begin(), big.end(), second.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(big.begin(), big.end(), file.segments[2].bytes.end() - 20);  // its header is cut short
        // Every match, and the places just after them, as places to search from.
        std::vector<std::uint64_t> froms = {0, 0x07FFFFFF, 0x08000000, 0xFFFFFFFF};
        for (auto match = FindSignature(file); match; match = FindSignature(file, match->offset + 1))
            froms.insert(froms.end(), {match->offset, match->offset + 1});
        ASSERT_EQ(froms.size(), 4u + 2 * 7);

        const std::pair<const char*, std::string> texts[] = {{"in order", Write(file)},
                                                             {"out of order", Shuffled(file, 3)}};
        for (const auto& [name, text] : texts)
            for (std::size_t window : {std::size_t{64}, std::size_t{1000}, FirmwareScan::kWindow}) {
                SCOPED_TRACE(
                    fmt::format("{} {}, window {}", format == kHex ? "HEX" : "S-records", name, window));
                const FirmwareScan scan(format, TextSource::Of(text), "fw", window);
                EXPECT_EQ(scan.Span().low, SpanOf(file).low);
                EXPECT_EQ(scan.Span().high, SpanOf(file).high);
                EXPECT_TRUE(scan.Records().segments.empty());
                for (std::uint64_t from : froms) {
                    const auto expected = FindSignature(file, from);
                    EXPECT_EQ(scan.FindSignature(from), expected) << from;
                    if (!expected) continue;
                    const auto address = static_cast<std::uint32_t>(expected->offset);
                    for (std::size_t count :
                         {std::size_t{8}, std::size_t{44}, std::size_t{45}, std::size_t{500}}) {
                        const auto whole = DataAt(file, address, count);
                        const auto scanned = scan.DataAt(address, count);
                        ASSERT_EQ(scanned.has_value(), whole.has_value()) << address << " " << count;
                        if (whole) {
                            EXPECT_TRUE(
                                std::equal(whole->begin(), whole->end(), scanned->begin(), scanned->end()));
                        }
                    }
                }
            }
    }
}

// The scan of a text in order reads it once when that answers the scan's own question.
TEST(FirmwareScan, ReadsATextInOrderOnceInPieces) {
    for (FirmwareFormat format : {kHex, kSrec}) {
        FirmwareFile file = SeveralRanges(format, 1 << 18);
        const Bytes signature = test::Hex("4F 30 2F 10 80 7F 60 5F");
        std::copy(signature.begin(), signature.end(), file.segments[0].bytes.begin() + 1000);
        const std::string text = Write(file);
        CountingSource counting(text);
        const FirmwareScan scan(format, counting.Source(), "fw");
        ASSERT_TRUE(scan.FindSignature().has_value());
        EXPECT_EQ(scan.FindSignature()->offset, 0x1000u + 1000);
        EXPECT_TRUE(scan.DataAt(0x1000 + 1000, 44).has_value());
        EXPECT_EQ(counting.read, text.size());
        EXPECT_LE(counting.largest, std::size_t{1} << 20);
    }
}

class SrecCat : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v srec_cat > /dev/null 2>&1") != 0)
            GTEST_SKIP() << "srec_cat is not installed";
    }
    // Runs srec_cat with `arguments`; its complaints (warnings too) come back, "" when it has none.
    std::string Run(const std::string& arguments, const std::string& program = "srec_cat") {
        const std::string command = fmt::format("{} {} 2> '{}'", program, arguments, (dir / "err").string());
        const int status = std::system(command.c_str());
        std::string complaints;
        std::istringstream lines(test::ReadFile(dir / "err"));
        for (std::string line; std::getline(lines, line);) {
            // S-records without S0 are what a file without a header is written as.
            if (line.find("warning: no header record") == std::string::npos) complaints += line + "\n";
        }
        if (status != 0) complaints += fmt::format("(exit status {})", status);
        return complaints;
    }
    std::string Path(const std::string& name) { return "'" + (dir / name).string() + "'"; }

    test::TempDir dir;
};

TEST_F(SrecCat, FilesItWritesAreReadToTheSameBytes) {
    const struct {
        std::uint32_t offset;
        std::size_t length;
        const char* options;
        FirmwareFormat format;
        int addressBytes;
        bool crLf;
    } cases[] = {
        {0x12340, 5000, "-intel", kHex, 2, false},
        {0x12340, 5000, "-intel -line-length=76 -crlf", kHex, 2, true},
        {0xFFF0 - 3, 200000, "-intel -line-length=300", kHex, 2, false},
        {0x100, 3000, "-intel -address-length=2", kHex, 2, false},
        {0xFFFFF000, 4096, "-intel", kHex, 2, false},
        {0x12340, 5000, "-motorola", kSrec, 3, false},
        {0xFFF0, 100, "-motorola", kSrec, 3, false},
        {0, 3000, "-motorola -line-length=40", kSrec, 2, false},
        {0x100, 3000, "-motorola -address-length=4 -line-length=100 -crlf", kSrec, 4, true},
        {0x8000, 70000, "-motorola -address-length=3", kSrec, 3, false},
        {0xFFFFF000, 4096, "-motorola", kSrec, 4, false},
    };
    unsigned seed = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(fmt::format("0x{:X} {} {}", c.offset, c.length, c.options));
        const Bytes data = Random(c.length, ++seed);
        test::WriteFile(dir / "data.bin", std::string(data.begin(), data.end()));
        ASSERT_EQ(Run(fmt::format("{} -binary -offset 0x{:X} -o {} {}", Path("data.bin"), c.offset,
                                  Path("out"), c.options)),
                  "");
        const FirmwareFile file = Read(c.format, test::ReadFile(dir / "out"), "out");
        const std::vector<Segment> expected = {{c.offset, data}};
        EXPECT_EQ(file.segments, expected);
        EXPECT_EQ(file.crLf, c.crLf);
        if (c.format == kSrec) {
            EXPECT_EQ(file.addressBytes, c.addressBytes);
            EXPECT_TRUE(file.header.has_value());
        }
    }
}

TEST_F(SrecCat, KeepsTheFirstOfTwoStartAddressesAsWeDo) {
    const std::string text =
        Lines({":0400000001020304F2", ":0400000508000131BD", ":0400000508000200ED", ":00000001FF"});
    test::WriteFile(dir / "fw.hex", text);
    EXPECT_NE(Run(fmt::format("{} -intel -o {} -intel", Path("fw.hex"), Path("out.hex")))
                  .find("redundant execution"),  // srec_cat breaks its long lines
              std::string::npos);
    EXPECT_EQ(Read(kHex, test::ReadFile(dir / "out.hex")).startAddress, Read(kHex, text).startAddress);
}

TEST_F(SrecCat, PiecesItJoinsAreReadAsItsSegments) {
    const Bytes a = Random(1000, 1);
    const Bytes b = Random(700, 2);
    test::WriteFile(dir / "a.bin", std::string(a.begin(), a.end()));
    test::WriteFile(dir / "b.bin", std::string(b.begin(), b.end()));
    Bytes joined = a;
    joined.insert(joined.end(), b.begin(), b.end());
    for (const char* format : {"-intel", "-motorola"}) {
        SCOPED_TRACE(format);
        // b right after a, and again with a gap; a start address.
        ASSERT_EQ(Run(fmt::format(
                      "{} -binary -offset 0x1F000 {} -binary -offset 0x1F3E8 {} -binary -offset 0x30000 "
                      "-execution-start-address=0x1F010 -o {} {}",
                      Path("a.bin"), Path("b.bin"), Path("b.bin"), Path("out"), format)),
                  "");
        const FirmwareFile file =
            Read(std::string_view(format) == "-intel" ? kHex : kSrec, test::ReadFile(dir / "out"), "out");
        const std::vector<Segment> expected = {{0x1F000, joined}, {0x30000, b}};
        EXPECT_EQ(file.segments, expected);
        EXPECT_EQ(file.startAddress, 0x1F010u);
    }
}

TEST_F(SrecCat, FilesWeWriteItReadsToTheSameBytes) {
    for (const FirmwareFile& file : RoundTripFiles()) {
        if (file.segments.empty()) continue;
        SCOPED_TRACE(Show(file));
        test::WriteFile(dir / "ours", Write(file));
        const char* format = file.format == kHex ? "-intel" : "-motorola";
        // The ranges srec_info finds data in, "Data:   0100 - 0109" and more lines of the same.
        ASSERT_EQ(Run(fmt::format("{} {} > {}", Path("ours"), format, Path("info")), "srec_info"), "");
        std::string ranges;
        std::istringstream info(test::ReadFile(dir / "info"));
        for (std::string line; std::getline(info, line);) {
            const std::size_t dash = line.find(" - ");
            if (dash == std::string::npos) continue;
            const std::size_t first = line.find_last_of(" \t", dash - 1) + 1;
            ranges += fmt::format("{:X}-{:X} ", std::stoul(line.substr(first, dash - first), nullptr, 16),
                                  std::stoul(line.substr(dash + 3), nullptr, 16));
        }
        std::string expected;
        for (const Segment& segment : file.segments)
            expected += fmt::format("{:X}-{:X} ", segment.address, segment.End() - 1);
        EXPECT_EQ(ranges, expected);
        // And each segment's bytes, cut out by srec_cat. Its ranges cannot end at 2^32 (it aborts):
        // the very last byte of the address space is left to the ranges above.
        for (const Segment& segment : file.segments) {
            const std::uint64_t end = std::min<std::uint64_t>(segment.End(), 0xFFFFFFFF);
            ASSERT_EQ(Run(fmt::format("{} {} -crop 0x{:X} 0x{:X} -offset -0x{:X} -o {} -binary", Path("ours"),
                                      format, segment.address, end, segment.address, Path("back.bin"))),
                      "");
            EXPECT_TRUE(test::ReadFile(dir / "back.bin") ==
                        std::string(segment.bytes.begin(), segment.bytes.begin() + (end - segment.address)))
                << fmt::format("0x{:X}", segment.address);
        }
    }
}

}  // namespace
}  // namespace lexicorn
