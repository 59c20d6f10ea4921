#pragma once

#include <cstdint>
#include <ctime>
#include <optional>

namespace lexicorn {

/// Packs a date and time into the image's 32-bit unique id: bits 0-5 second, 6-11 minute, 12-16 hour,
/// 17-21 day of the month, 24-27 month, 28-31 the last decimal digit of the year.
std::uint32_t PackUniqueId(const std::tm& time);

/// The SOURCE_DATE_EPOCH value when it is a valid count of seconds, none when it is unset; throws
/// std::invalid_argument for a value that is set but not a non-negative decimal number.
std::optional<std::time_t> SourceDateEpoch();

/// The unique id of a build started now: packed from SOURCE_DATE_EPOCH in UTC when that is set (so
/// that builds can be reproduced), else from the local time. Throws as SourceDateEpoch.
std::uint32_t UniqueIdFromClock();

}  // namespace lexicorn
