#include "generate/Placeholders.h"

#include <algorithm>
#include <map>
#include <string>

namespace lexicorn {
namespace {

struct Placeholder {
    std::string written;
    std::vector<std::pair<std::size_t, std::string>> arguments;  ///< position (from 1) and type
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits at `at`; 0 when there are none.
std::size_t Number(std::string_view text, std::size_t& at) {
    std::size_t value = 0;
    while (at < text.size() && IsDigit(text[at]) && value < 100000) value = value * 10 + (text[at++] - '0');
    return value;
}

// The type of the argument a conversion takes; arguments of the same type pass the same way.
std::string ConversionType(std::string_view length, char conversion) {
    std::string type;
    switch (conversion) {
        case 'd':
        case 'i':
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            type = "int";
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            type = "double";
            break;
        case 'c':
            type = "char";
            break;
        case 's':
            type = "string";
            break;
        case 'p':
            type = "pointer";
            break;
        case 'n':
            type = "count";
            break;
        default:
            type = std::string("unknown ") + conversion;
    }
    return std::string(length) + type;
}

std::vector<Placeholder> PrintfPlaceholders(std::string_view text) {
    std::vector<Placeholder> found;
    std::size_t next = 1;  // the position of the next argument without one of its own
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') continue;
        const std::size_t start = at++;
        if (at < text.size() && text[at] == '%') continue;
        Placeholder placeholder;
        // %n$ takes argument n.
        std::size_t position = 0;
        if (const std::size_t digits = at; at < text.size() && IsDigit(text[at])) {
            const std::size_t n = Number(text, at);
            if (at < text.size() && text[at] == '$')
                position = n, ++at;
            else
                at = digits;
        }
        while (at < text.size() && std::string_view("-+ #0'").find(text[at]) != std::string_view::npos) ++at;
        // Width and precision: digits, or * (an int argument, possibly *m$).
        for (int part = 0; part < 2; ++part) {
            if (part == 1) {
                if (at >= text.size() || text[at] != '.') break;
                ++at;
            }
            if (at < text.size() && text[at] == '*') {
                ++at;
                std::size_t star = next++;
                if (const std::size_t digits = at; at < text.size() && IsDigit(text[at])) {
                    const std::size_t n = Number(text, at);
                    if (at < text.size() && text[at] == '$')
                        star = n, ++at, --next;
                    else
                        at = digits;
                }
                placeholder.arguments.emplace_back(star, "int");
            } else {
                Number(text, at);
            }
        }
        const std::size_t lengthStart = at;
        while (at < text.size() && std::string_view("hlLqjzt").find(text[at]) != std::string_view::npos) ++at;
        const std::string_view length = text.substr(lengthStart, at - lengthStart);
        if (at >= text.size()) {
            placeholder.written = std::string(text.substr(start));
            placeholder.arguments.emplace_back(position ? position : next++, "incomplete");
            found.push_back(std::move(placeholder));
            break;
        }
        placeholder.arguments.emplace_back(position ? position : next++, ConversionType(length, text[at]));
        placeholder.written = std::string(text.substr(start, at + 1 - start));
        found.push_back(std::move(placeholder));
    }
    return found;
}

std::vector<Placeholder> DotNetPlaceholders(std::string_view text) {
    std::vector<Placeholder> found;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '{' && at + 1 < text.size() && text[at + 1] == '{') {
            ++at;
            continue;
        }
        if (text[at] != '{') continue;
        const std::size_t close = text.find('}', at);
        if (close == std::string_view::npos) break;
        const std::string_view item = text.substr(at + 1, close - at - 1);
        std::size_t index = 0;
        if (std::size_t i = 0; i < item.size() && IsDigit(item[i])) {
            index = Number(item, i);
            while (i < item.size() && item[i] == ' ') ++i;
            if (i < item.size() && item[i] != ',' && item[i] != ':') {
                at = close;
                continue;  // not a format item
            }
            const std::size_t colon = item.find(':', i);
            const std::string format =
                colon == std::string_view::npos ? "" : std::string(item.substr(colon + 1));
            found.push_back({std::string(text.substr(at, close + 1 - at)), {{index + 1, format}}});
        }
        at = close;
    }
    return found;
}

std::vector<Placeholder> Placeholders(TargetLanguage language, std::string_view text) {
    return language == TargetLanguage::kC ? PrintfPlaceholders(text) : DotNetPlaceholders(text);
}

}  // namespace

std::vector<std::string> PlaceholderSignature(TargetLanguage language, std::string_view text) {
    std::multimap<std::size_t, std::string> byPosition;
    for (const Placeholder& placeholder : Placeholders(language, text))
        for (const auto& [position, type] : placeholder.arguments) byPosition.emplace(position, type);
    std::vector<std::string> signature;
    for (const auto& [position, type] : byPosition)
        signature.push_back(std::to_string(position) + ":" + type);
    // A .NET item may stand twice for one argument; printf takes each argument once.
    if (language != TargetLanguage::kC)
        signature.erase(std::unique(signature.begin(), signature.end()), signature.end());
    return signature;
}

std::string WrittenPlaceholders(TargetLanguage language, std::string_view text) {
    std::string written;
    for (const Placeholder& placeholder : Placeholders(language, text))
        written += (written.empty() ? "" : " ") + placeholder.written;
    return written.empty() ? "none" : written;
}

}  // namespace lexicorn
