#include <gtest/gtest.h>

#include <functional>

#include "image/ImageReader.h"
#include "image/LexicornEngine.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

std::vector<std::uint8_t> Example(TableType tableType, Encoding encoding, ByteOrder byteOrder) {
    auto engine = CreateLexicornEngine(tableType);
    engine->Initialize(2, 2, encoding == Encoding::kUtf16 ? 4 : 1, byteOrder, encoding);
    engine->SetUniqueId(0x622B634C);
    if (encoding == Encoding::kUtf16) {
        engine->AddLanguage("en", u"English");
        engine->AddLanguage("de", u"Deutsch \u00FC");
        for (const char16_t* text : {u"OK", u"\U0001F600", u"OK", u""}) engine->AddString(text);
    } else {
        engine->AddLanguage("en", "English");
        engine->AddLanguage("de", encoding == Encoding::kUtf8 ? "Deutsch \xC3\xBC" : "Deutsch \xFC");
        for (const char* text : {"OK", encoding == Encoding::kUtf8 ? "\xF0\x9F\x98\x80" : "No", "OK", ""})
            engine->AddString(text);
    }
    return engine->GetOutputImage();
}

TEST(ImageReader, ReadsEveryFormBack) {
    for (TableType type : {TableType::k16Bit, TableType::k32Bit})
        for (Encoding encoding : {Encoding::kSingleByte, Encoding::kUtf16, Encoding::kUtf8})
            for (ByteOrder order : {ByteOrder::kLittle, ByteOrder::kBig}) {
                SCOPED_TRACE(testing::Message() << "type " << int(Code(type)) << " encoding "
                                                << int(Code(encoding)) << " order " << int(Code(order)));
                const ImageContents image = ReadImage(Example(type, encoding, order));
                EXPECT_NO_THROW(CheckImage(Example(type, encoding, order)));
                EXPECT_EQ(image.uniqueId, 0x622B634Cu);
                EXPECT_EQ(image.byteOrder, Code(order));
                EXPECT_EQ(image.tableType, static_cast<std::uint32_t>(Code(type)));
                EXPECT_EQ(image.encoding, static_cast<std::uint32_t>(Code(encoding)));
                ASSERT_EQ(image.languages.size(), 2u);
                EXPECT_EQ(image.languages[1].codeText, "de");
                EXPECT_EQ(image.languages[1].name, "Deutsch \xC3\xBC");
                const std::string second = encoding == Encoding::kSingleByte ? "No" : "\xF0\x9F\x98\x80";
                EXPECT_EQ(image.Strings(0), (std::vector<std::string>{"OK", second}));
                EXPECT_EQ(image.Strings(1), (std::vector<std::string>{"OK", ""}));
                EXPECT_EQ(image.texts.size(), 3u);  // "OK" is stored once for both languages
            }
}

// A small image may share one long string among many slots: it is read once, not once a slot.
TEST(ImageReader, ASharedStringIsHeldOnce) {
    auto engine = CreateLexicornEngine(TableType::k32Bit);
    ASSERT_EQ(engine->Initialize(1, 20000, 1, ByteOrder::kLittle, Encoding::kSingleByte), kSuccess);
    engine->AddLanguage("en", "English");
    const std::string text(100000, 'x');
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(engine->AddString(text), kSuccess);
    const ImageContents image = ReadImage(engine->GetOutputImage());
    EXPECT_LT(image.imageSize, 200000u);
    EXPECT_EQ(image.texts.size(), 1u);
    EXPECT_EQ(image.String(0, 19999), text);
}

struct DamageCase {
    const char* name;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* message;
};
void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class DamagedImage : public testing::TestWithParam<DamageCase> {};

// By the reader, and by the check that keeps nothing, in the same words.
TEST_P(DamagedImage, IsRefusedWithAReason) {
    std::vector<std::uint8_t> image = Example(TableType::k16Bit, Encoding::kSingleByte, ByteOrder::kLittle);
    GetParam().damage(image);
    for (const auto& [name, read] : std::vector<std::pair<const char*, std::function<void()>>>{
             {"ReadImage", [&] { ReadImage(image); }}, {"CheckImage", [&] { CheckImage(image); }}}) {
        SCOPED_TRACE(name);
        try {
            read();
            ADD_FAILURE() << "accepted";
        } catch (const ImageError& error) {
            EXPECT_EQ(std::string(error.what()), GetParam().message);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedImage,
    testing::Values(
        DamageCase{"TooShort", [](auto& i) { i.resize(40); },
                   "40 bytes are too few for a Lexicorn header (44 bytes)"},
        DamageCase{"NoSignature", [](auto& i) { i[0] = 0; }, "no Lexicorn signature at the start"},
        DamageCase{"Truncated", [](auto& i) { i.pop_back(); },
                   "the header gives an image size of 94 bytes, but there are 93"},
        DamageCase{"UnknownEncoding", [](auto& i) { i[28] = 7; }, "unknown encoding 7"},
        DamageCase{"TablesTooLarge", [](auto& i) { i[20] = 200; },
                   "the header's tables (2 languages, 200 strings) do not fit the image"},
        DamageCase{"OffsetOutside", [](auto& i) { i[0x3C] = 0xF0; },
                   "string 0 of language 0 starts at data offset 240, outside the 26 bytes of string data"},
        DamageCase{"Unterminated", [](auto& i) { i.back() = 'x'; },
                   "string 1 of language 1 at data offset 25 is not terminated"}),
    [](const auto& testCase) { return testCase.param.name; });

}  // namespace
}  // namespace lexicorn
