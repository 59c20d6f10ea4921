#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "base/ResultCodes.h"
#include "base/SettingChoices.h"

namespace lexicorn {

/// The language of the string-id list that target software compiles.
enum class TargetLanguage : std::int8_t {
    kC = 0,
    kCSharp = 1,
    kVisualBasic = 2,
};

/// Each language with the name its list file gets unless the caller names one.
inline constexpr SettingChoice<TargetLanguage> kTargetLanguages[] = {
    {TargetLanguage::kC, "c", "Visual C++", "StringList.h"},
    {TargetLanguage::kCSharp, "csharp", "C Sharp", "StringList.cs"},
    {TargetLanguage::kVisualBasic, "vb", "Visual Basic", "StringList.vb"},
};

/// Collects the string ids of a build, refuses empty, over-long and repeated ids, and formats the
/// enumeration of the ids for the target language.
class StringListEngine {
  public:
    /// The most bytes an id may hold.
    static constexpr std::size_t kMaxIdLength = 99;

    virtual ~StringListEngine() = default;

    /// Checks and stores the next id: 0, kTableFull (after the `capacity`-th), kEmptyStringId,
    /// kStringIdTooLong or kDuplicateStringId.
    ResultCode AddId(std::string_view id);
    /// True when `id` equals a stored id byte for byte.
    bool ContainsId(std::string_view id) const;
    /// The name of the file the generator writes, as messages show it.
    const std::string& FileName() const { return fileName_; }
    /// The whole file for the ids stored so far.
    std::string FormatFile() const;

  protected:
    StringListEngine(std::uint32_t capacity, std::string fileName, std::uint32_t uniqueId,
                     const char* commentPrefix);
    /// Everything of the file after the two header lines.
    virtual void WriteBody(std::string& output) const = 0;

    const std::deque<std::string>& Ids() const { return ids_; }

  private:
    void WriteHeader(std::string& output) const;

    std::string fileName_;
    const char* commentPrefix_;
    std::uint32_t capacity_;
    std::uint32_t uniqueId_;
    std::deque<std::string> ids_;                   // a deque never moves its strings, so
    std::unordered_set<std::string_view> idIndex_;  // the index can view them
};

/// C: StringList.h, `typedef enum {...} STRING_ID;`.
class StringListEngine_C final : public StringListEngine {
  public:
    StringListEngine_C(std::uint32_t capacity, std::string fileName, std::uint32_t uniqueId);

  protected:
    void WriteBody(std::string& output) const override;
};

/// C#: StringList.cs, `enum STRING_ID{...};`.
class StringListEngine_CSharp final : public StringListEngine {
  public:
    StringListEngine_CSharp(std::uint32_t capacity, std::string fileName, std::uint32_t uniqueId);

  protected:
    void WriteBody(std::string& output) const override;
};

/// Visual Basic: StringList.vb, `Module StringList` with `Enum STRING_ID`.
class StringListEngine_VBasic final : public StringListEngine {
  public:
    StringListEngine_VBasic(std::uint32_t capacity, std::string fileName, std::uint32_t uniqueId);

  protected:
    void WriteBody(std::string& output) const override;
};

/// A generator for the target language, its file named `fileName` or the language's default name;
/// none for a language that has no list.
std::unique_ptr<StringListEngine> CreateStringListEngine(TargetLanguage targetLanguage,
                                                         std::uint32_t capacity,
                                                         std::optional<std::string> fileName,
                                                         std::uint32_t uniqueId);

}  // namespace lexicorn
