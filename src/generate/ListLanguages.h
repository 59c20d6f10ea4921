#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "base/SettingChoices.h"
#include "generate/Placeholders.h"

// The languages whose string-id lists a build writes. Each is one file under generate/lists/ that
// registers everything that differs between them; the list writer, the table check and the
// placeholder comparison walk the registry and never ask which language it is.
namespace lexicorn {

/// The language of the string-id list that target software compiles.
enum class TargetLanguage : std::int8_t {
    kC = 0,
    kCSharp = 1,
    kVisualBasic = 2,
};

/// The setting's choices: what project files, the command line and the settings window call each.
inline constexpr SettingChoice<TargetLanguage> kTargetLanguages[] = {
    {TargetLanguage::kC, "c", "Visual C++"},
    {TargetLanguage::kCSharp, "csharp", "C Sharp"},
    {TargetLanguage::kVisualBasic, "vb", "Visual Basic"},
};

/// What a list language is to the build and the check. Every member is a rule of its own with no
/// default: a language written with designated initialisers that leaves one out does not compile.
struct ListLanguage {
    TargetLanguage language;
    /// The language's name as messages give it.
    std::string_view name;
    /// The name the list file gets unless the build is told another.
    std::string_view listFileName;
    /// What starts the comment lines at the head of the list file.
    std::string_view commentPrefix;
    /// Everything of the list file after its two comment lines: the enumeration of `ids`, in order.
    void (*writeBody)(const std::deque<std::string>& ids, std::string& output);
    /// Why `id` is no name the list can hold (not an identifier, a keyword, a name the language
    /// reserves, a name that the generated files or the runtime declare); none when it can.
    std::optional<std::string> (*identifierProblem)(std::string_view id);
    /// The form of an id under which two ids are the same name in the language.
    std::string (*nameKey)(std::string_view id);
    /// How the language's strings write the placeholders target software fills.
    const PlaceholderSyntax& placeholders;
};

extern const ListLanguage kCList;
extern const ListLanguage kCSharpList;
extern const ListLanguage kVisualBasicList;

/// Every list language, in the order of kTargetLanguages.
inline constexpr const ListLanguage* kListLanguages[] = {&kCList, &kCSharpList, &kVisualBasicList};

/// The registered language `language` stands for; none for a number no language stands for,
/// which only damaged settings hold.
const ListLanguage* FindListLanguage(TargetLanguage language);

}  // namespace lexicorn
