// The clocks in a browser page: the monotonic one is the page's, and the
// local time of day is the wall clock read once, moved on by it, so that
// the player's clock being set meanwhile changes no wait.

#include "clock.h"
#include "platform.h"

#include <emscripten.h>

#include <time.h>

#include <ctime>

namespace console {

void gettime(TimeOfDay* t) {
    // The game's waits read the clock in a loop: each reading gives the
    // page its turn, so that it draws what was written and takes keys.
    emscripten_sleep(0);
    static const std::int64_t wall_then_ms = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }();
    static const std::int64_t monotonic_then_ns = platform::monotonic_ns();
    const std::int64_t now_ms = wall_then_ms + (platform::monotonic_ns() - monotonic_then_ns) / 1000000;
    const std::time_t seconds = static_cast<std::time_t>(now_ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    t->ti_min = static_cast<std::uint8_t>(local.tm_min);
    t->ti_hour = static_cast<std::uint8_t>(local.tm_hour);
    t->ti_hund = static_cast<std::uint8_t>(now_ms % 1000 / 10);
    t->ti_sec = static_cast<std::uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
}

std::int64_t platform::monotonic_ns() {
    return static_cast<std::int64_t>(emscripten_get_now() * 1e6);
}

}  // namespace console
