#include "cli/Json.h"

#include <fmt/format.h>

#include <algorithm>

namespace lexicorn::cli {

std::string JsonString(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    const auto needsEscape = [](char c) {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
    };
    while (!text.empty()) {
        // Plain runs go in whole; only the characters JSON reserves are spelled out.
        const auto plain = std::find_if(text.begin(), text.end(), needsEscape);
        quoted.append(text.begin(), plain);
        text.remove_prefix(static_cast<std::size_t>(plain - text.begin()));
        if (text.empty()) break;
        switch (const char c = text.front()) {
            case '"':
                quoted += "\\\"";
                break;
            case '\\':
                quoted += "\\\\";
                break;
            case '\n':
                quoted += "\\n";
                break;
            case '\r':
                quoted += "\\r";
                break;
            case '\t':
                quoted += "\\t";
                break;
            default:
                quoted += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        }
        text.remove_prefix(1);
    }
    return quoted += '"';
}

}  // namespace lexicorn::cli
