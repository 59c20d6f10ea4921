#include <gtest/gtest.h>

#include <set>

#include "generate/Identifiers.h"
#include "generate/StringListEngine.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

std::string ListFor(TargetLanguage language) {
    auto list = CreateStringListEngine(language, 3, std::nullopt, 0x622B634C);
    for (const char* id : {"OK_TEXT", "CANCEL_TEXT", "TITLE"}) EXPECT_EQ(list->AddId(id), kSuccess);
    return list->FormatFile();
}

TEST(StringList, CExampleByteForByte) {
    EXPECT_EQ(ListFor(TargetLanguage::kC),
              "// StringList of Lexicorn with uniqueID 0x622b634c\r\n"
              "// Auto-generated file. Do not edit!\r\n"
              "\r\n"
              "#ifndef STRINGLIST_H\r\n"
              "#define STRINGLIST_H\r\n"
              "\r\n"
              "typedef enum {\r\n"
              "\r\n"
              "\tOK_TEXT,\t//0\r\n"
              "\tCANCEL_TEXT,\t//1\r\n"
              "\tTITLE,\t//2\r\n"
              "\tNUMBER_OF_STRINGS\t//3\r\n"
              "\r\n"
              "} STRING_ID;\r\n"
              "\r\n"
              "#endif //STRINGLIST_H\r\n"
              "\r\n");
}

TEST(StringList, CSharpEndsWithoutLineEnd) {
    EXPECT_EQ(ListFor(TargetLanguage::kCSharp),
              "// StringList of Lexicorn with uniqueID 0x622b634c\r\n"
              "// Auto-generated file. Do not edit!\r\n\r\n"
              "enum STRING_ID{\r\n\r\n"
              "\tOK_TEXT, \t//0\r\n\tCANCEL_TEXT, \t//1\r\n\tTITLE, \t//2\r\n"
              "\tNUMBER_OF_STRINGS\t//3\r\n"
              "\r\n};");
}

TEST(StringList, VisualBasicHeaderLinesStartWithApostropheAndTwoSpaces) {
    EXPECT_EQ(ListFor(TargetLanguage::kVisualBasic),
              "'  StringList of Lexicorn with uniqueID 0x622b634c\r\n"
              "'  Auto-generated file. Do not edit!\r\n\r\n"
              "Module StringList\r\n\r\n"
              "\tEnum STRING_ID\r\n\r\n"
              "\t\tOK_TEXT\t '0\r\n\t\tCANCEL_TEXT\t '1\r\n\t\tTITLE\t '2\r\n"
              "\t\tNUMBER_OF_STRINGS\t '3\r\n\r\n"
              "\tEnd Enum\r\n\r\n"
              "End Module\r\n\r\n");
}

TEST(StringList, FactoryPicksTheNameByLanguage) {
    EXPECT_EQ(CreateStringListEngine(TargetLanguage::kC, 1, std::nullopt, 0)->FileName(), "StringList.h");
    EXPECT_EQ(CreateStringListEngine(TargetLanguage::kCSharp, 1, std::nullopt, 0)->FileName(),
              "StringList.cs");
    EXPECT_EQ(CreateStringListEngine(TargetLanguage::kVisualBasic, 1, std::nullopt, 0)->FileName(),
              "StringList.vb");
    EXPECT_EQ(CreateStringListEngine(TargetLanguage::kC, 1, "Ids.h", 0)->FileName(), "Ids.h");
    EXPECT_EQ(CreateStringListEngine(static_cast<TargetLanguage>(3), 1, std::nullopt, 0), nullptr);
}

TEST(StringList, RefusesBadIdsAndTakesNoMoreThanItsCapacity) {
    auto list = CreateStringListEngine(TargetLanguage::kC, 3, std::nullopt, 1);
    EXPECT_EQ(list->AddId("A"), kSuccess);
    EXPECT_EQ(list->AddId("a"), kSuccess);  // case counts
    EXPECT_EQ(list->AddId("A"), kDuplicateStringId);
    EXPECT_EQ(list->AddId(""), kEmptyStringId);
    EXPECT_EQ(list->AddId(""), kEmptyStringId);  // checked before the duplicate search
    EXPECT_EQ(list->AddId(std::string(100, 'x')), kStringIdTooLong);
    EXPECT_EQ(list->AddId(std::string(99, 'x')), kSuccess);
    EXPECT_EQ(list->AddId("more"), kTableFull);
    EXPECT_TRUE(list->ContainsId("a"));
    EXPECT_FALSE(list->ContainsId("b"));
    EXPECT_EQ(list->FormatFile().find("more"), std::string::npos);
}

// The registry is what the build and the check walk: every choice of the setting has exactly one
// registered language, in the setting's order, and each language gives every rule. A language
// chosen in settings but not registered would write no list and pass every id unchecked.
TEST(ListLanguages, EveryChoiceIsRegisteredWithEveryRule) {
    ASSERT_EQ(std::size(kListLanguages), std::size(kTargetLanguages));
    std::set<std::string_view> names, fileNames;
    for (std::size_t i = 0; i < std::size(kTargetLanguages); ++i) {
        const ListLanguage& list = *kListLanguages[i];
        SCOPED_TRACE(kTargetLanguages[i].word);
        EXPECT_EQ(list.language, kTargetLanguages[i].value);
        EXPECT_EQ(FindListLanguage(kTargetLanguages[i].value), &list);
        EXPECT_TRUE(names.insert(list.name).second) << list.name;
        EXPECT_TRUE(fileNames.insert(list.listFileName).second) << list.listFileName;
        EXPECT_FALSE(list.name.empty());
        EXPECT_FALSE(list.listFileName.empty());
        EXPECT_FALSE(list.commentPrefix.empty());
        ASSERT_NE(list.writeBody, nullptr);
        ASSERT_NE(list.identifierProblem, nullptr);
        ASSERT_NE(list.nameKey, nullptr);
        ASSERT_NE(list.placeholders.find, nullptr);
        EXPECT_NE(list.placeholders.marker, '\0');
        // Every language's list ends with the count, so no id may take its name.
        EXPECT_TRUE(list.identifierProblem(kCountName));
        EXPECT_FALSE(list.identifierProblem("OK_TEXT"));
    }
    EXPECT_EQ(FindListLanguage(static_cast<TargetLanguage>(3)), nullptr);
}

}  // namespace
}  // namespace lexicorn
