#ifndef BLACKJACK_CONSOLE_CLOCK_H
#define BLACKJACK_CONSOLE_CLOCK_H

// The local time of day, to the hundredth of a second.

#include <cstdint>

namespace console {

struct TimeOfDay {
    std::uint8_t ti_min;   // 0-59
    std::uint8_t ti_hour;  // 0-23
    std::uint8_t ti_hund;  // hundredths of a second, 0-99
    std::uint8_t ti_sec;   // 0-59
};

void gettime(TimeOfDay* t);

}  // namespace console

#endif
