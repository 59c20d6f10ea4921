#include <gtest/gtest.h>

#include <set>
#include <string>

#include "generate/ListLanguages.h"
#include "project/ProjectFile.h"
#include "support/TestSupport.h"

namespace lexicorn {
namespace {

// Each setting's choices, as every front end and project files read them: codes, words and labels
// told apart, and every choice kept by a project file as it was chosen.
template <typename Enum, std::size_t N>
void ExpectDistinctChoices(const SettingChoice<Enum> (&choices)[N], const char* name) {
    std::set<long long> codes;
    std::set<std::string_view> words, labels;
    for (const SettingChoice<Enum>& choice : choices) {
        EXPECT_TRUE(codes.insert(Code(choice.value)).second) << name << ": code " << +Code(choice.value);
        EXPECT_FALSE(choice.label.empty()) << name;
        EXPECT_TRUE(labels.insert(choice.label).second) << name << ": " << choice.label;
        if (!choice.word.empty()) {
            EXPECT_TRUE(words.insert(choice.word).second) << name << ": " << choice.word;
        }
        EXPECT_TRUE(IsChoiceCode(choices, Code(choice.value))) << name;
    }
    EXPECT_FALSE(IsChoiceCode(choices, -1)) << name;
}

TEST(SettingChoices, CodesWordsAndLabelsAreDistinct) {
    ExpectDistinctChoices(kEncodings, "encodings");
    ExpectDistinctChoices(kTableTypes, "table types");
    ExpectDistinctChoices(kByteOrders, "byte orders");
    ExpectDistinctChoices(kTargetLanguages, "target languages");
    ExpectDistinctChoices(kTargetPlatforms, "target platforms");
    ExpectDistinctChoices(kMergeModes, "merge modes");
    ExpectDistinctChoices(kMergePlacements, "merge placements");
}

// The encoding list's item indexes are the codes that the settings window stores.
TEST(SettingChoices, EncodingsAreListedInTheOrderOfTheirCodes) {
    for (std::size_t i = 0; i < std::size(kEncodings); ++i) EXPECT_EQ(Code(kEncodings[i].value), i);
}

template <typename Enum, std::size_t N, typename Field>
void ExpectEveryChoiceKept(const SettingChoice<Enum> (&choices)[N], Field ProjectSettings::*field) {
    test::TempDir dir;
    for (const SettingChoice<Enum>& choice : choices) {
        ProjectSettings saved;
        saved.*field = choice.value;
        ASSERT_TRUE(SaveProjectFile(dir / "p.lxn", saved));
        ProjectSettings loaded;
        const ProjectFileResult result = LoadProjectFile(dir / "p.lxn", loaded);
        EXPECT_TRUE(result) << choice.word << ": " << result.message;
        EXPECT_EQ(loaded.*field, choice.value) << choice.word;
    }
}

TEST(SettingChoices, AProjectFileKeepsEveryChoice) {
    ExpectEveryChoiceKept(kEncodings, &ProjectSettings::encoding);
    ExpectEveryChoiceKept(kTableTypes, &ProjectSettings::tableType);
    ExpectEveryChoiceKept(kByteOrders, &ProjectSettings::byteOrder);
    ExpectEveryChoiceKept(kTargetLanguages, &ProjectSettings::targetLanguage);
    ExpectEveryChoiceKept(kTargetPlatforms, &ProjectSettings::targetPlatform);
    ExpectEveryChoiceKept(kMergeModes, &ProjectSettings::mergeMode);
    ExpectEveryChoiceKept(kMergePlacements, &ProjectSettings::mergePlacement);
}

// Every list language has placeholder rules of its own: a new language in the table fails here
// until it says how its placeholders start.
TEST(SettingChoices, EveryListLanguageHasItsPlaceholderRules) {
    const struct {
        TargetLanguage language;
        char marker;
    } rules[] = {
        {TargetLanguage::kC, '%'}, {TargetLanguage::kCSharp, '{'}, {TargetLanguage::kVisualBasic, '{'}};
    ASSERT_EQ(std::size(rules), std::size(kTargetLanguages));
    for (std::size_t i = 0; i < std::size(rules); ++i) {
        EXPECT_EQ(rules[i].language, kTargetLanguages[i].value);
        EXPECT_EQ(FindListLanguage(rules[i].language)->placeholders.marker, rules[i].marker)
            << kTargetLanguages[i].word;
    }
}

}  // namespace
}  // namespace lexicorn
