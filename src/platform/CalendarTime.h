#pragma once

#include <ctime>

namespace lexicorn {

/// The calendar fields of `time` in UTC.
std::tm UtcCalendarTime(std::time_t time);

/// The calendar fields of `time` in the local time zone.
std::tm LocalCalendarTime(std::time_t time);

}  // namespace lexicorn
