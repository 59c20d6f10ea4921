#include "generate/StringListEngine.h"

#include <fmt/format.h>

#include <iterator>

namespace lexicorn {

StringListEngine::StringListEngine(std::uint32_t capacity, std::string fileName, std::uint32_t uniqueId,
                                   const char* commentPrefix)
    : fileName_(std::move(fileName)),
      commentPrefix_(commentPrefix),
      capacity_(capacity),
      uniqueId_(uniqueId) {}

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
                   commentPrefix_, uniqueId_);
    fmt::format_to(std::back_inserter(output), "{} Auto-generated file. Do not edit!\r\n\r\n",
                   commentPrefix_);
}

std::string StringListEngine::FormatFile() const {
    std::string output;
    output.reserve(200 + ids_.size() * 24);
    WriteHeader(output);
    WriteBody(output);
    return output;
}

StringListEngine_C::StringListEngine_C(std::uint32_t capacity, std::string fileName, std::uint32_t uniqueId)
    : StringListEngine(capacity, std::move(fileName), uniqueId, "//") {}

void StringListEngine_C::WriteBody(std::string& output) const {
    auto out = std::back_inserter(output);
    output += "#ifndef STRINGLIST_H\r\n#define STRINGLIST_H\r\n\r\ntypedef enum {\r\n\r\n";
    for (std::size_t i = 0; i < Ids().size(); ++i) fmt::format_to(out, "\t{},\t//{}\r\n", Ids()[i], i);
    fmt::format_to(out, "\tNUMBER_OF_STRINGS\t//{}\r\n", Ids().size());
    output += "\r\n} STRING_ID;\r\n\r\n#endif //STRINGLIST_H\r\n\r\n";
}

StringListEngine_CSharp::StringListEngine_CSharp(std::uint32_t capacity, std::string fileName,
                                                 std::uint32_t uniqueId)
    : StringListEngine(capacity, std::move(fileName), uniqueId, "//") {}

void StringListEngine_CSharp::WriteBody(std::string& output) const {
    auto out = std::back_inserter(output);
    output += "enum STRING_ID{\r\n\r\n";
    for (std::size_t i = 0; i < Ids().size(); ++i) fmt::format_to(out, "\t{}, \t//{}\r\n", Ids()[i], i);
    fmt::format_to(out, "\tNUMBER_OF_STRINGS\t//{}\r\n", Ids().size());
    output += "\r\n};";
}

StringListEngine_VBasic::StringListEngine_VBasic(std::uint32_t capacity, std::string fileName,
                                                 std::uint32_t uniqueId)
    : StringListEngine(capacity, std::move(fileName), uniqueId, "' ") {}

void StringListEngine_VBasic::WriteBody(std::string& output) const {
    auto out = std::back_inserter(output);
    output += "Module StringList\r\n\r\n\tEnum STRING_ID\r\n\r\n";
    for (std::size_t i = 0; i < Ids().size(); ++i) fmt::format_to(out, "\t\t{}\t '{}\r\n", Ids()[i], i);
    fmt::format_to(out, "\t\tNUMBER_OF_STRINGS\t '{}\r\n\r\n", Ids().size());
    output += "\tEnd Enum\r\n\r\nEnd Module\r\n\r\n";
}

std::unique_ptr<StringListEngine> CreateStringListEngine(TargetLanguage targetLanguage,
                                                         std::uint32_t capacity,
                                                         std::optional<std::string> fileName,
                                                         std::uint32_t uniqueId) {
    const SettingChoice<TargetLanguage>* language = FindChoice(kTargetLanguages, targetLanguage);
    if (!language) return nullptr;
    std::string name = fileName.value_or(std::string(language->fileName));
    switch (targetLanguage) {
        case TargetLanguage::kC:
            return std::make_unique<StringListEngine_C>(capacity, std::move(name), uniqueId);
        case TargetLanguage::kCSharp:
            return std::make_unique<StringListEngine_CSharp>(capacity, std::move(name), uniqueId);
        case TargetLanguage::kVisualBasic:
            return std::make_unique<StringListEngine_VBasic>(capacity, std::move(name), uniqueId);
    }
    return nullptr;
}

}  // namespace lexicorn
