// The local time of day on Windows. Alone in its file, so that a test build
// can link a clock of its own in its place.

#include "clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace console {

void gettime(TimeOfDay* t) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    t->ti_min = static_cast<std::uint8_t>(now.wMinute);
    t->ti_hour = static_cast<std::uint8_t>(now.wHour);
    t->ti_hund = static_cast<std::uint8_t>(now.wMilliseconds / 10);
    t->ti_sec = static_cast<std::uint8_t>(now.wSecond > 59 ? 59 : now.wSecond);
}

}  // namespace console
