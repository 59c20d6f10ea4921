#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "base/ResultCodes.h"
#include "generate/ListLanguages.h"

namespace lexicorn {

/// Collects the string ids of a build, refuses empty, over-long and repeated ids, and formats the
/// enumeration of the ids for the target language.
class StringListEngine final {
  public:
    /// The most bytes an id may hold.
    static constexpr std::size_t kMaxIdLength = 99;

    StringListEngine(const ListLanguage& language, std::uint32_t capacity, std::string fileName,
                     std::uint32_t uniqueId);

    /// Checks and stores the next id: 0, kTableFull (after the `capacity`-th), kEmptyStringId,
    /// kStringIdTooLong or kDuplicateStringId.
    ResultCode AddId(std::string_view id);
    /// True when `id` equals a stored id byte for byte.
    bool ContainsId(std::string_view id) const;
    /// The name of the file the generator writes, as messages show it.
    const std::string& FileName() const { return fileName_; }
    /// The whole file for the ids stored so far.
    std::string FormatFile() const;

  private:
    void WriteHeader(std::string& output) const;

    const ListLanguage& language_;
    std::string fileName_;
    std::uint32_t capacity_;
    std::uint32_t uniqueId_;
    std::deque<std::string> ids_;                   // a deque never moves its strings, so
    std::unordered_set<std::string_view> idIndex_;  // the index can view them
};

/// A generator for the target language, its file named `fileName` or the language's default name;
/// none for a language that has no list.
std::unique_ptr<StringListEngine> CreateStringListEngine(TargetLanguage targetLanguage,
                                                         std::uint32_t capacity,
                                                         std::optional<std::string> fileName,
                                                         std::uint32_t uniqueId);

}  // namespace lexicorn
