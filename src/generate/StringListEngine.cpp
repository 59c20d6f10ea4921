#include "generate/StringListEngine.h"

#include <fmt/format.h>

#include <iterator>

namespace lexicorn {

StringListEngine::StringListEngine(const ListLanguage& language, std::uint32_t capacity, std::string fileName,
                                   std::uint32_t uniqueId)
    : language_(language), fileName_(std::move(fileName)), capacity_(capacity), uniqueId_(uniqueId) {}

bool StringListEngine::ContainsId(std::string_view id) const { return idIndex_.contains(id); }

ResultCode StringListEngine::AddId(std::string_view id) {
    if (ids_.size() >= capacity_) return kTableFull;
    if (id.empty()) return kEmptyStringId;
    if (id.size() > kMaxIdLength) return kStringIdTooLong;
    if (ContainsId(id)) return kDuplicateStringId;
    idIndex_.insert(ids_.emplace_back(id));
    return kSuccess;
}

void StringListEngine::WriteHeader(std::string& output) const {
    fmt::format_to(std::back_inserter(output), "{} StringList of Lexicorn with uniqueID 0x{:x}\r\n",
                   language_.commentPrefix, uniqueId_);
    fmt::format_to(std::back_inserter(output), "{} Auto-generated file. Do not edit!\r\n\r\n",
                   language_.commentPrefix);
}

std::string StringListEngine::FormatFile() const {
    std::string output;
    output.reserve(200 + ids_.size() * 24);
    WriteHeader(output);
    language_.writeBody(ids_, output);
    return output;
}

std::unique_ptr<StringListEngine> CreateStringListEngine(TargetLanguage targetLanguage,
                                                         std::uint32_t capacity,
                                                         std::optional<std::string> fileName,
                                                         std::uint32_t uniqueId) {
    const ListLanguage* language = FindListLanguage(targetLanguage);
    if (!language) return nullptr;
    return std::make_unique<StringListEngine>(
        *language, capacity, fileName.value_or(std::string(language->listFileName)), uniqueId);
}

}  // namespace lexicorn
