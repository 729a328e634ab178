// The clocks on a POSIX system.

#include "clock.h"
#include "platform.h"

#include <ctime>
#include <limits>

namespace console {

namespace {

constexpr std::int64_t kNsPerSecond = 1000000000;

// The wall clock can fail: with a 32-bit time_t, past January 2038, it does
// at every reading (EOVERFLOW). The last good reading moved on by the
// monotonic clock (or, with none, the monotonic clock from 1970) keeps time
// going, so every delay still ends.
timespec wall_clock() {
    static std::int64_t last_good_ns = 0;
    static std::int64_t monotonic_then = platform::monotonic_ns();
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) == 0) {
        last_good_ns = static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
        monotonic_then = platform::monotonic_ns();
        return now;
    }
    const std::int64_t moved_ns = last_good_ns + platform::monotonic_ns() - monotonic_then;
    std::int64_t seconds = moved_ns / kNsPerSecond;
    const std::int64_t most = std::numeric_limits<std::time_t>::max();
    if (seconds > most) {
        // Beyond what time_t holds: the same time of day, whole days earlier.
        constexpr std::int64_t kDay = 86400;
        seconds -= ((seconds - most) / kDay + 1) * kDay;
    }
    now.tv_sec = static_cast<std::time_t>(seconds);
    now.tv_nsec = static_cast<long>(moved_ns % kNsPerSecond);
    return now;
}

}  // namespace

void gettime(TimeOfDay* t) {
    const timespec now = wall_clock();
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
    return static_cast<std::int64_t>(now.tv_sec) * kNsPerSecond + now.tv_nsec;
}

}  // namespace console
