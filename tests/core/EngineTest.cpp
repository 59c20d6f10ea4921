#include <gtest/gtest.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "image/Lexicorn16Engine.h"
#include "image/Lexicorn32Engine.h"
#include "image/LexicornEngine.h"
#include "platform/AtomicFile.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

using test::Hex;

constexpr std::uint32_t kExampleId = 0x622B634C;

// The two-language, two-string example table: 'OK'/'No' in English, 'OK'/'Nein' in German.
std::unique_ptr<LexicornEngine> BuildExample(TableType tableType, Encoding encoding, std::uint8_t alignment,
                                             ByteOrder byteOrder) {
    auto engine = CreateLexicornEngine(tableType);
    EXPECT_EQ(engine->Initialize(2, 2, alignment, byteOrder, encoding), kSuccess);
    EXPECT_EQ(engine->SetUniqueId(kExampleId), kSuccess);
    if (encoding == Encoding::kUtf16) {
        EXPECT_EQ(engine->AddLanguage("en", u"English"), kSuccess);
        EXPECT_EQ(engine->AddLanguage("de", u"Deutsch"), kSuccess);
        for (const char16_t* text : {u"OK", u"No", u"OK", u"Nein"})
            EXPECT_EQ(engine->AddString(text), kSuccess);
    } else {
        EXPECT_EQ(engine->AddLanguage("en", "English"), kSuccess);
        EXPECT_EQ(engine->AddLanguage("de", "Deutsch"), kSuccess);
        for (const char* text : {"OK", "No", "OK", "Nein"}) EXPECT_EQ(engine->AddString(text), kSuccess);
    }
    EXPECT_TRUE(engine->IsComplete());
    return engine;
}

const std::string kExampleStringData = "00 456E676C69736800 4465757473636800 4F4B00 4E6F00 4E65696E00";

struct ExactImageCase {
    const char* name;
    TableType tableType;
    ByteOrder byteOrder;
    std::string bytes;
};
void PrintTo(const ExactImageCase& c, std::ostream* os) { *os << c.name; }

class ExactImage : public testing::TestWithParam<ExactImageCase> {};

TEST_P(ExactImage, ComesOutByteForByte) {
    const ExactImageCase& c = GetParam();
    auto engine = BuildExample(c.tableType, Encoding::kSingleByte, 1, c.byteOrder);
    const std::vector<std::uint8_t> expected = Hex(c.bytes);
    EXPECT_EQ(engine->GetOutputImage(), expected);
    EXPECT_EQ(engine->GetImageSize(), expected.size());

    test::TempDir dir;
    AtomicFile file(dir / "Lexicorn.bin");
    ASSERT_EQ(engine->SaveImage(file), kSuccess);
    file.Commit();
    const std::string saved = test::ReadFile(dir / "Lexicorn.bin");
    EXPECT_EQ(std::vector<std::uint8_t>(saved.begin(), saved.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, ExactImage,
    testing::Values(
        ExactImageCase{"Lxn16Little", TableType::k16Bit, ByteOrder::kLittle,
                       "4F302F10 807F605F 4C632B62 60000000 02000000 02000000 00000000 00000000 00000000"
                       "10000000 18000000 6E650000 01000000 65640000 09000000 11001400 11001700" +
                           kExampleStringData},
        ExactImageCase{"Lxn16Big", TableType::k16Bit, ByteOrder::kBig,
                       "102F304F 5F607F80 622B634C 00000060 00000002 00000002 00000001 00000000 00000000"
                       "00000010 00000018 0000656E 00000001 00006465 00000009 00110014 00110017" +
                           kExampleStringData},
        ExactImageCase{"Lxn32Little", TableType::k32Bit, ByteOrder::kLittle,
                       "4F302F10 807F605F 4C632B62 68000000 02000000 02000000 00000000 00000000 01000000"
                       "10000000 20000000 6E650000 01000000 65640000 09000000"
                       "11000000 14000000 11000000 17000000" +
                           kExampleStringData}),
    [](const auto& testCase) { return testCase.param.name; });

TEST(Engine, WideDwordExampleIs132BytesWithItsOffsets) {
    auto engine = BuildExample(TableType::k16Bit, Encoding::kUtf16, 4, ByteOrder::kLittle);
    ASSERT_EQ(engine->GetImageSize(), 132u);
    const std::uint8_t* image = engine->GetImage();
    // Language names at data offsets 4 and 20, strings at 36, 44, 36 (shared), 52.
    const std::vector<std::uint8_t> tables(image + 0x2C, image + 0x44);
    EXPECT_EQ(tables, Hex("6E650000 04000000 65640000 14000000 2400 2C00 2400 3400"));
    const std::vector<std::uint8_t> ok(image + 0x44 + 36, image + 0x44 + 44);
    EXPECT_EQ(ok, Hex("4F00 4B00 0000 0000"));
}

TEST(Engine, BigEndianWideImageSwapsUnitsOnlyInItsOutput) {
    auto engine = BuildExample(TableType::k16Bit, Encoding::kUtf16, 1, ByteOrder::kBig);
    const std::uint8_t* image = engine->GetImage();
    const std::vector<std::uint8_t> inMemory(image + 0x44 + 2, image + 0x44 + 6);
    EXPECT_EQ(inMemory, Hex("4500 6E00"));  // 'En' little endian
    test::TempDir dir;
    for (const char* name : {"a.bin", "b.bin"}) {
        AtomicFile file(dir / name);
        ASSERT_EQ(engine->SaveImage(file), kSuccess);
        file.Commit();
    }
    const std::string saved = test::ReadFile(dir / "a.bin");
    EXPECT_EQ(saved, test::ReadFile(dir / "b.bin"));
    EXPECT_EQ(saved.substr(0x44 + 2, 4), std::string("\0E\0n", 4));
    EXPECT_EQ(std::vector<std::uint8_t>(image + 0x44 + 2, image + 0x44 + 6), inMemory);
    std::uint32_t id = 0;
    EXPECT_EQ(engine->GetUniqueId(id), kSuccess);
    EXPECT_EQ(id, kExampleId);
}

TEST(Engine, OperationsWithoutAnImageReportNoStorage) {
    for (TableType type : {TableType::k16Bit, TableType::k32Bit}) {
        auto engine = CreateLexicornEngine(type);
        std::uint32_t id = 0;
        EXPECT_EQ(engine->SetUniqueId(1), kNoStorage);
        EXPECT_EQ(engine->GetUniqueId(id), kNoStorage);
        EXPECT_EQ(engine->AddString("x"), kNoStorage);
        EXPECT_EQ(engine->AddLanguage("en", "English"), kNoStorage);
        EXPECT_EQ(engine->CheckComplete(), kNoStorage);
        EXPECT_EQ(engine->GetImage(), nullptr);
    }
    EXPECT_EQ(CreateLexicornEngine(static_cast<TableType>(2)), nullptr);
    EXPECT_STREQ(CreateLexicornEngine(TableType::k16Bit)->GetVersionText(), "LXN16 Engine v.1.0");
    EXPECT_STREQ(CreateLexicornEngine(TableType::k32Bit)->GetVersionText(), "LXN32 Engine v.1.0");
}

TEST(Engine, FullTablesRefuseMore) {
    Lexicorn16Engine engine;
    ASSERT_EQ(engine.Initialize(1, 1, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    ASSERT_EQ(engine.AddLanguage("en", "English"), kSuccess);
    const std::uint32_t size = engine.GetImageSize();
    EXPECT_EQ(engine.AddLanguage("de", "Deutsch"), kTableFull);
    EXPECT_EQ(engine.GetImageSize(), size);
    ASSERT_EQ(engine.AddString("one"), kSuccess);
    EXPECT_TRUE(engine.IsComplete());
    // A refused string has already been stored, referred to by no entry.
    EXPECT_EQ(engine.AddString("two"), kTableFull);
    EXPECT_EQ(engine.GetImageSize(), size + 4 + 4);
}

TEST(Engine, EmptyTableCannotBeSaved) {
    Lexicorn16Engine lxn16;
    ASSERT_EQ(lxn16.Initialize(2, 0, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    EXPECT_FALSE(lxn16.IsComplete());
    EXPECT_EQ(lxn16.CheckComplete(), kImageIncomplete);
    // The 32-bit type has no string data at all without string slots.
    Lexicorn32Engine lxn32;
    EXPECT_EQ(lxn32.Initialize(2, 0, 1, ByteOrder::kLittle, Encoding::kSingleByte), kCapacityExceeded);
}

TEST(Engine, SharingFollowsTheFirstEqualString) {
    Lexicorn16Engine engine;
    ASSERT_EQ(engine.Initialize(2, 3, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    ASSERT_EQ(engine.AddLanguage("aa", "Same"), kSuccess);
    ASSERT_EQ(engine.AddLanguage("bb", "Same"), kSuccess);  // names are never shared
    for (const char* text : {"", "Same", "", "x", "Same", ""}) ASSERT_EQ(engine.AddString(text), kSuccess);
    const std::uint8_t* image = engine.GetImage();
    const auto entry = [&](int i) { return image[44 + 16 + 2 * i] | image[44 + 16 + 2 * i + 1] << 8; };
    EXPECT_EQ(image[44 + 4], 1);   // first name at data offset 1
    EXPECT_EQ(image[44 + 12], 6);  // second name stored again at 6
    // The first empty string is stored anew (offset 11), not at offset 0; later empty ones share it.
    EXPECT_EQ(entry(0), 11);
    EXPECT_EQ(entry(1), 12);  // "Same" as a string is not the language name
    EXPECT_EQ(entry(2), 11);
    EXPECT_EQ(entry(3), 17);
    EXPECT_EQ(entry(4), 12);
    EXPECT_EQ(entry(5), 11);
}

// Random texts of up to `longest` letters from the first `letters` of the alphabet: a few texts met
// again and again, or thousands, so that the index of shared texts grows while the strings come in.
struct SharingCase {
    const char* name;
    std::uint32_t letters;
    std::uint32_t longest;
    std::uint32_t strings;
};
void PrintTo(const SharingCase& c, std::ostream* os) { *os << c.name; }

class SharedOffsets : public testing::TestWithParam<SharingCase> {};

TEST_P(SharedOffsets, MatchALinearSearchOnRandomInput) {
    const SharingCase& c = GetParam();
    std::mt19937 random(7);
    Lexicorn32Engine engine;
    const std::uint32_t languages = 3;
    ASSERT_EQ(engine.Initialize(languages, c.strings, 2, ByteOrder::kLittle, Encoding::kUtf8), kSuccess);
    for (std::uint32_t l = 0; l < languages; ++l) ASSERT_EQ(engine.AddLanguage("xx", "L"), kSuccess);
    std::vector<std::string> texts;
    std::unordered_map<std::string, std::size_t> firstOf;  // the linear search: the first equal entry wins
    for (std::uint32_t i = 0; i < languages * c.strings; ++i) {
        std::string text(random() % (c.longest + 1), 'a');
        for (char& character : text) character = static_cast<char>('a' + random() % c.letters);
        texts.push_back(text);
        firstOf.emplace(text, i);
        ASSERT_EQ(engine.AddString(text), kSuccess);
    }
    const std::uint8_t* image = engine.GetImage();
    const std::uint8_t* table = image + 44 + 8 * languages;
    const char* data = reinterpret_cast<const char*>(table + 4 * languages * c.strings);
    const auto offset = [&](std::size_t i) { return GetUnsignedForTest(table + 4 * i); };
    // Nothing stored twice: the string data holds the empty string, the names and each text once,
    // each padded to the alignment of 2.
    std::uint32_t dataSize = 2 + languages * 2;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(offset(i), offset(firstOf.at(texts[i]))) << "entry " << i;
        EXPECT_EQ(std::string(data + offset(i)), texts[i]);
        if (firstOf.at(texts[i]) == i) dataSize += static_cast<std::uint32_t>(texts[i].size() + 2) / 2 * 2;
    }
    EXPECT_EQ(engine.GetImageSize(),
              static_cast<std::uint32_t>(data - reinterpret_cast<const char*>(image)) + dataSize);
}

INSTANTIATE_TEST_SUITE_P(Engine, SharedOffsets,
                         testing::Values(SharingCase{"FewTexts", 3, 2, 400},
                                         SharingCase{"ThousandsOfTexts", 26, 3, 4000}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(Engine, StringDataMayBeFilledExactly) {
    Lexicorn16Engine engine;
    ASSERT_EQ(engine.Initialize(1, 2, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    ASSERT_EQ(engine.AddLanguage("en", "E"), kSuccess);  // data used: 1 + 2
    const std::uint32_t before = engine.GetImageSize();
    EXPECT_EQ(engine.AddString(std::string(65536 - 3, 'x')), kCapacityExceeded);
    EXPECT_EQ(engine.GetImageSize(), before);
    EXPECT_EQ(engine.AddString(std::string(65536 - 3 - 1, 'x')), kSuccess);
    EXPECT_EQ(engine.GetImageSize(), 44 + 8 + 4 + 65536u);
    EXPECT_EQ(engine.AddString("y"), kCapacityExceeded);
}

TEST(Engine, Lxn32StoresOffsetsBeyond64K) {
    Lexicorn32Engine engine;
    ASSERT_EQ(engine.Initialize(1, 200, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    ASSERT_EQ(engine.AddLanguage("en", "E"), kSuccess);
    for (int i = 0; i < 199; ++i)
        ASSERT_EQ(engine.AddString(std::string(400, static_cast<char>('A' + i % 50)) + std::to_string(i)),
                  kSuccess);
    ASSERT_EQ(engine.AddString("last"), kSuccess);
    const std::uint8_t* entry = engine.GetImage() + 44 + 8 + 4 * 199;
    EXPECT_GT(GetUnsignedForTest(entry), 65536u);
    // More than 500 bytes a slot on average is refused although no offset would overflow.
    Lexicorn32Engine small;
    ASSERT_EQ(small.Initialize(1, 1, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    EXPECT_EQ(small.AddString(std::string(600, 'x')), kCapacityExceeded);
}

TEST(Engine, CodesPackTwoCharacters) {
    Lexicorn16Engine engine;
    ASSERT_EQ(engine.Initialize(3, 0, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    ASSERT_EQ(engine.AddLanguage("x", "X"), kSuccess);
    ASSERT_EQ(engine.AddLanguage("", "None"), kSuccess);
    ASSERT_EQ(engine.AddLanguage("\xE9t\xE9", "Long"), kSuccess);
    EXPECT_EQ(GetUnsignedForTest(engine.GetImage() + 44), 0x7800u);
    EXPECT_EQ(GetUnsignedForTest(engine.GetImage() + 52), 0u);
    EXPECT_EQ(GetUnsignedForTest(engine.GetImage() + 60), 0xE974u);
}

TEST(Engine, DwordAlignmentCountsFromTheStringData) {
    Lexicorn16Engine engine;  // L × S = 3: the string data starts at 44 + 8 + 6 = 58
    ASSERT_EQ(engine.Initialize(1, 3, 4, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    ASSERT_EQ(engine.AddLanguage("en", "English"), kSuccess);
    for (const char* text : {"a", "bb", "ccc"}) ASSERT_EQ(engine.AddString(text), kSuccess);
    const std::uint8_t* image = engine.GetImage();
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t offset = image[52 + 2 * i] | image[53 + 2 * i] << 8;
        EXPECT_EQ(offset % 4, 0u);
        EXPECT_EQ((58 + offset) % 4, 2u);
    }
    EXPECT_EQ(engine.GetImageSize() % 4, 2u);
}

TEST(Engine, ImagesTooLargeForThirtyTwoBitsAreRefused) {
    Lexicorn32Engine engine;
    EXPECT_EQ(engine.Initialize(200, 65535, 1, ByteOrder::kLittle, Encoding::kSingleByte), kNoStorage);
    EXPECT_EQ(engine.AddString("x"), kNoStorage);
}

TEST(Engine, TextOfTheWrongKindIsRefused) {
    Lexicorn16Engine narrow;
    ASSERT_EQ(narrow.Initialize(1, 1, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    EXPECT_EQ(narrow.AddString(u"wide"), kWrongTextKind);
    Lexicorn16Engine wide;
    ASSERT_EQ(wide.Initialize(1, 1, 1, ByteOrder::kLittle, Encoding::kUtf16), kSuccess);
    EXPECT_EQ(wide.AddLanguage("en", "narrow"), kWrongTextKind);
}

TEST(Engine, OptionsOutOfRangeFallBackToTheDefaults) {
    Lexicorn16Engine engine;
    ASSERT_EQ(engine.Initialize(0, 0, 0, static_cast<ByteOrder>(7), static_cast<Encoding>(9)), kSuccess);
    const std::uint8_t* image = engine.GetImage();
    EXPECT_EQ(GetUnsignedForTest(image + 24), 0u);  // byte order
    EXPECT_EQ(GetUnsignedForTest(image + 28), 0u);  // encoding
    EXPECT_EQ(engine.GetImageSize(), 45u);          // the empty string, BYTE aligned
}

}  // namespace
}  // namespace lexicorn
