// Windows calendar time: the CRT's _s forms fill the caller's struct, as the POSIX _r forms do.
#include "platform/CalendarTime.h"

namespace lexicorn {

std::tm UtcCalendarTime(std::time_t time) {
    std::tm parts{};
    gmtime_s(&parts, &time);
    return parts;
}

std::tm LocalCalendarTime(std::time_t time) {
    std::tm parts{};
    localtime_s(&parts, &time);
    return parts;
}

}  // namespace lexicorn
