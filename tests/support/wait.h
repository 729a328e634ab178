#ifndef BLACKJACK_TESTS_WAIT_H
#define BLACKJACK_TESTS_WAIT_H

#include <chrono>
#include <thread>

namespace testing_support {

using std::chrono::milliseconds;

// How long a test waits for something that should come at once. Generous,
// since CI machines are slow and busy; a test that passes never waits it out.
constexpr milliseconds kPatience{10000};

// Asks done() until it holds or the time is up; says which. Each ask of a
// costly done() (one that starts a program) should wait longer between.
template <typename Done>
bool poll_until(Done done, milliseconds timeout = kPatience, milliseconds between = milliseconds(2)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(between);
    }
}

}  // namespace testing_support

#endif
