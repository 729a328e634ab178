#ifndef BLACKJACK_TESTS_GAME_PROCESS_H
#define BLACKJACK_TESTS_GAME_PROCESS_H

// The real blackjack binary under test, with the preloaded hooks that fix the
// deck's seed and speed up its clock.

#include <chrono>
#include <cstdint>
#include <string>

namespace testing_support {

// A clock for the game under test that stands still until the test moves
// it, so that a test sees each wait's screen for as long as it likes.
class TestClock {
public:
    TestClock();
    ~TestClock() noexcept;
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    void advance(std::chrono::milliseconds by);
    const std::string& file() const { return file_; }

private:
    std::string dir_;
    std::string file_;
    std::int64_t* moved_ = nullptr;  // nanoseconds, shared with the game
};

// The one shell command line that starts the game under test: the clock's
// second (and so the deck) fixed at seed, its waits clock_speed times shorter
// (0: they never end), or on the test's own clock. Short, and the same
// length wherever the checkout is.
std::string game_command(long seed, int clock_speed = 50, const std::string& arguments = "");
std::string game_command(long seed, const TestClock& clock);

// The same for the game built here, when the game under test is another
// build: what that one must look like.
std::string reference_game_command(long seed, const TestClock& clock);

// What the game under test is started through (wine for a Windows build),
// or "" for a program of this system.
const char* game_launcher();

// The test hooks to preload, by a path without blanks.
const std::string& preload_hooks();

struct PlayedGame {
    std::string out;  // every byte written to standard output
    std::string err;
    int status = -1;  // the exit status, or 128 + the signal that ended it
    long writes = -1;  // write() calls to standard output
};

// Plays a whole game with input from a pipe (so no key waits) and output to
// files.
PlayedGame play(long seed, const std::string& input, const std::string& arguments = "");

}  // namespace testing_support

#endif
