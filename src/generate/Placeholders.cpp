#include "generate/Placeholders.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lexicorn {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads decimal digits at `at`; 0 when there are none.
std::size_t Number(std::string_view text, std::size_t& at) {
    std::size_t value = 0;
    while (at < text.size() && IsDigit(text[at]) && value < 100000) value = value * 10 + (text[at++] - '0');
    return value;
}

// The type of the argument a conversion takes, arguments of the same type passing the same way;
// none for a character that is no conversion (such as the ) of "(50%)"), which printf does not
// take as one.
std::optional<std::string> ConversionType(std::string_view length, char conversion) {
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
        // %C and %S are %lc and %ls.
        case 'C':
            return "lchar";
        case 'S':
            return "lstring";
        default:
            return std::nullopt;
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
        const std::size_t nextBefore = next;
        Placeholder placeholder;
        // %n$ takes argument n; %0$ names one that no call has, and is kept so, for the comparison
        // to refuse.
        std::optional<std::size_t> position;
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
            placeholder.offset = start;
            placeholder.arguments.emplace_back(position ? *position : next++, "incomplete");
            found.push_back(std::move(placeholder));
            break;
        }
        const std::optional<std::string> type = ConversionType(length, text[at]);
        if (!type) {
            // Text after all: what follows the % is read again as text.
            next = nextBefore;
            at = start;
            continue;
        }
        placeholder.arguments.emplace_back(position ? *position : next++, *type);
        placeholder.written = std::string(text.substr(start, at + 1 - start));
        placeholder.offset = start;
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
            found.push_back({std::string(text.substr(at, close + 1 - at)), at, {{index + 1, format}}});
        }
        at = close;
    }
    return found;
}

// One argument that a text's placeholders take, with the placeholder that takes it.
struct Argument {
    std::size_t position;  ///< from 1
    std::string type;
    std::string written;
};

bool SameArgument(const Argument& a, const Argument& b) {
    return a.position == b.position && a.type == b.type;
}

// The arguments of `text` by position, in a form where two strings that take the same arguments
// compare equal: for printf the type of each argument (`%1$s` and `%s` alike); for .NET each item's
// index and format.
std::vector<Argument> Arguments(const PlaceholderSyntax& syntax, std::string_view text) {
    std::vector<Argument> arguments;
    for (const Placeholder& placeholder : syntax.find(text))
        for (const auto& [position, type] : placeholder.arguments)
            arguments.push_back({position, type, placeholder.written});
    std::stable_sort(arguments.begin(), arguments.end(),
                     [](const Argument& a, const Argument& b) { return a.position < b.position; });
    // A .NET item may stand twice for one argument; printf takes each argument once.
    if (syntax.positionsWritten)
        arguments.erase(std::unique(arguments.begin(), arguments.end(), SameArgument), arguments.end());
    return arguments;
}

}  // namespace

std::optional<std::string> PlaceholderDifference(const PlaceholderSyntax& syntax, std::string_view text,
                                                 std::string_view standard) {
    const std::vector<Argument> own = Arguments(syntax, text);
    const std::vector<Argument> expected = Arguments(syntax, standard);
    // printf counts its arguments from 1: argument 0 is none (gcc: "operand number out of range").
    // Sorted by position, it would come first.
    if (!own.empty() && own.front().position == 0)
        return fmt::format("the placeholder {} takes argument 0, which no call has: arguments count from 1",
                           own.front().written);
    if (!expected.empty() && expected.front().position == 0)
        return fmt::format(
            "the default string's placeholder {} takes argument 0, which no call has: arguments count from 1",
            expected.front().written);
    const auto [mine, theirs] =
        std::mismatch(own.begin(), own.end(), expected.begin(), expected.end(), SameArgument);
    if (mine == own.end() && theirs == expected.end()) return std::nullopt;
    // A numbered printf conversion may take an argument a second time (%1$s %1$s); a string that takes
    // it more often or less often than the default string is told so, not that the argument is missing.
    const auto repeats = [](const std::vector<Argument>& arguments, auto at, auto other, auto otherEnd) {
        return at != arguments.end() && at != arguments.begin() && std::prev(at)->position == at->position &&
               (other == otherEnd || other->position != at->position);
    };
    const auto times = [](const std::vector<Argument>& arguments, std::size_t position) {
        const auto count = std::count_if(arguments.begin(), arguments.end(), [&](const Argument& argument) {
            return argument.position == position;
        });
        return count == 1   ? std::string("once")
               : count == 2 ? std::string("twice")
                            : fmt::format("{} times", count);
    };
    if (!syntax.positionsWritten && repeats(own, mine, theirs, expected.end()))
        return fmt::format(
            "the placeholder {} takes argument {} again: this string takes it {}, the default "
            "string {}",
            mine->written, mine->position, times(own, mine->position), times(expected, mine->position));
    if (!syntax.positionsWritten && repeats(expected, theirs, mine, own.end()))
        return fmt::format(
            "the default string's placeholder {} takes argument {} again: the default string "
            "takes it {}, this string {}",
            theirs->written, theirs->position, times(expected, theirs->position),
            times(own, theirs->position));
    // A printf conversion does not show which argument it takes unless it is numbered.
    const auto named = [&syntax](const Argument& argument) {
        return syntax.positionsWritten ? argument.written
                                       : fmt::format("{} (argument {})", argument.written, argument.position);
    };
    if (mine != own.end() && theirs != expected.end() && mine->position == theirs->position)
        return fmt::format("the placeholder {} differs from the default string's {}", named(*mine),
                           theirs->written);
    if (theirs == expected.end() || (mine != own.end() && mine->position < theirs->position))
        return fmt::format("the placeholder {} is not in the default string", named(*mine));
    return fmt::format("the default string's placeholder {} is missing", named(*theirs));
}

constinit const PlaceholderSyntax kPrintfPlaceholders = {.marker = '%',
                                                         .find = PrintfPlaceholders,
                                                         .positionsWritten = false,
                                                         .gettextFlag = "c-format",
                                                         .xliffType = "x-printf"};
constinit const PlaceholderSyntax kDotNetPlaceholders = {.marker = '{',
                                                         .find = DotNetPlaceholders,
                                                         .positionsWritten = true,
                                                         .gettextFlag = "csharp-format",
                                                         .xliffType = "x-dotnet-format"};

}  // namespace lexicorn
