#include "image/UniqueId.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/CalendarTime.h"

namespace lexicorn {

std::uint32_t PackUniqueId(const std::tm& time) {
    const auto field = [](int value, int mask) { return static_cast<std::uint32_t>(value) & mask; };
    return field(time.tm_sec, 0x3F) | field(time.tm_min, 0x3F) << 6 | field(time.tm_hour, 0x1F) << 12 |
           field(time.tm_mday, 0x1F) << 17 | field(time.tm_mon + 1, 0x0F) << 24 |
           field((time.tm_year + 1900) % 10, 0x0F) << 28;
}

std::optional<std::time_t> SourceDateEpoch() {
    const char* value = std::getenv("SOURCE_DATE_EPOCH");
    if (value == nullptr || *value == '\0') return std::nullopt;
    long long seconds = 0;
    const char* end = value + std::strlen(value);
    auto [stop, error] = std::from_chars(value, end, seconds);
    if (error != std::errc() || stop != end || seconds < 0)
        throw std::invalid_argument(std::string("SOURCE_DATE_EPOCH is not a number of seconds: ") + value);
    return static_cast<std::time_t>(seconds);
}

std::uint32_t UniqueIdFromClock() {
    if (const std::optional<std::time_t> epoch = SourceDateEpoch())
        return PackUniqueId(UtcCalendarTime(*epoch));
    return PackUniqueId(LocalCalendarTime(std::time(nullptr)));
}

}  // namespace lexicorn
