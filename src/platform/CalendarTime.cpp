// POSIX calendar time: the reentrant forms, since the standard ones share one result between threads.
#include "platform/CalendarTime.h"

namespace lexicorn {

std::tm UtcCalendarTime(std::time_t time) {
    std::tm parts{};
    gmtime_r(&time, &parts);
    return parts;
}

std::tm LocalCalendarTime(std::time_t time) {
    std::tm parts{};
    localtime_r(&time, &parts);
    return parts;
}

}  // namespace lexicorn
