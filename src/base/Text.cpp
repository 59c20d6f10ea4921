#include "base/Text.h"

#include <fmt/format.h>

#include <algorithm>

namespace lexicorn {

std::string WithLineFeeds(std::string text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            text[kept++] = '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            text[kept++] = text[i];
        }
    }
    text.resize(kept);
    return text;
}

void AppendShownText(std::string& output, std::string_view text) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20; };
    while (!text.empty()) {
        // Plain runs go in whole.
        const auto plain = std::find_if(text.begin(), text.end(), isControl);
        output.append(text.begin(), plain);
        text.remove_prefix(static_cast<std::size_t>(plain - text.begin()));
        if (text.empty()) break;
        switch (const char c = text.front()) {
            case '\n':
                output += "\\n";
                break;
            case '\r':
                output += "\\r";
                break;
            case '\t':
                output += "\\t";
                break;
            default:
                output += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
        }
        text.remove_prefix(1);
    }
}

std::string ShownText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    AppendShownText(shown, text);
    return shown;
}

}  // namespace lexicorn
