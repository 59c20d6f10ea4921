#include "cli/Csv.h"

namespace lexicorn::cli {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted += '"';
}

}  // namespace lexicorn::cli
