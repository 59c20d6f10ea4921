#include "generate/Identifiers.h"

#include "base/Unicode.h"

namespace lexicorn::identifiers {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWideLetter(char c) { return IsAsciiLetter(c) || static_cast<unsigned char>(c) >= 0x80; }

std::string ExactName(std::string_view id) { return std::string(id); }

std::string CaselessName(std::string_view id) {
    std::string lower(id);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string CountNameProblem() {
    return std::string(kCountName) + " is the name of the count that ends the list";
}

std::optional<std::string> Characters(std::string_view id, bool (*letter)(char)) {
    if (id.empty()) return "it is empty";
    if (!letter(id.front()) && id.front() != '_') return "it must begin with a letter or an underscore";
    for (std::size_t at = 0; at < id.size(); ++at)
        if (!letter(id[at]) && !IsDigit(id[at]) && id[at] != '_')
            // The whole character: its first byte alone is no text a message can show.
            return "it holds '" + std::string(id.substr(at, Utf8SequenceLength(id, at))) +
                   "', which a name cannot";
    return std::nullopt;
}

}  // namespace lexicorn::identifiers
