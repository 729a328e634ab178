// The clocks on a POSIX system.

#include "clock.h"
#include "platform.h"

#include <ctime>

namespace console {

void gettime(TimeOfDay* t) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    t->ti_min = static_cast<std::uint8_t>(local.tm_min);
    t->ti_hour = static_cast<std::uint8_t>(local.tm_hour);
    t->ti_hund = static_cast<std::uint8_t>(now.tv_nsec / 10000000);
    // A leap second shows as 60; the record holds 0 to 59.
    t->ti_sec = static_cast<std::uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
}

std::int64_t platform::monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace console
