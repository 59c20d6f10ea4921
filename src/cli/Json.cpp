#include "cli/Json.h"

#include <fmt/format.h>

namespace lexicorn::cli {

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
            case '"': quoted += "\\\""; break;
            case '\\': quoted += "\\\\"; break;
            case '\n': quoted += "\\n"; break;
            case '\r': quoted += "\\r"; break;
            case '\t': quoted += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20)
                    quoted += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
                else
                    quoted += c;
        }
    }
    return quoted += '"';
}

}  // namespace lexicorn::cli
