#include "cli/Json.h"

#include "base/Text.h"

namespace lexicorn::cli {

std::string JsonString(std::string_view text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    // Control characters are spelled as every message spells them; JSON also reserves the quote and
    // the backslash.
    while (!text.empty()) {
        const std::size_t reserved = text.find_first_of("\"\\");
        AppendShownText(quoted, text.substr(0, reserved));
        if (reserved == std::string_view::npos) break;
        quoted += '\\';
        quoted += text[reserved];
        text.remove_prefix(reserved + 1);
    }
    return quoted += '"';
}

}  // namespace lexicorn::cli
