#ifndef BLACKJACK_CONSOLE_PLATFORM_H
#define BLACKJACK_CONSOLE_PLATFORM_H

// What the console needs of the system, and all it may ask of it: the
// keyboard held for the run, the display the player watches, the standard
// streams, the waits and the clocks. The shared code (keys, line input,
// screen, start-up) calls nothing else; each system has its own folder
// implementing this (posix/, windows/, web/), beside what held_keyboard.cpp
// does the same for all of them. Inside the console layer only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "display_operations.h"
#include "line_editor.h"

namespace console::platform {

// ---- The keyboard ---------------------------------------------------------

// Installs the handlers of outside events for the rest of the run and, when
// standard input is a terminal, takes it: the mode found and the player's
// editing keys are recorded, and the key-by-key mode is set at once in the
// foreground, or later by hold_mode(). The key-by-key mode changes only
// what the keys need, and one thing of the output: a line feed goes to
// column 1 of the next row. True when the keyboard is held.
bool take();

// True while the run holds the keyboard (between take() and hand_back()).
bool owned();

// Hands the terminal back as it was found. Safe to call more than once.
void hand_back();

// The same, for a program ending at once: async-signal-safe, no locks
// where a signal may call it (Windows has none: there it waits a bounded
// time for the console control handler's thread).
void emergency_hand_back();

// No key will be read again: hands the terminal back for good, so that keys
// typed from now on are the terminal's to process for whoever reads next.
// From then on Ctrl+C ends nothing; interrupted() tells that it came.
void end_input();
bool interrupted();

// Stops the program as Ctrl+Z does in a shell; the mode found is in force
// while it is stopped.
void suspend();

// The editing keys of the terminal's settings, as last found.
const EditingKeys& editing_keys();

// Stops the program, as the terminal stops a job that reads from the
// background, until it is in the foreground.
void wait_for_foreground();

// What the outside told since the last call.
struct Events {
    bool continued = false;  // continued after a stop, maybe in the background
    bool resized = false;    // the window changed size
};
Events take_events();

// In the foreground, makes sure the key-by-key mode is in force; when the
// news says the program was continued, it reads the mode to find out. Before
// it sets the mode it reads the terminal's settings again: the player may
// have changed them while the program was stopped, and they are the ones to
// hand back. True when the mode had to be set: whatever was on the screen
// meanwhile was not the game's. In the background it touches nothing.
bool hold_mode(const Events& news);

// The terminal has gone away (its window closed): for good.
bool gone();
void mark_gone();
// Asks the keyboard's terminal (when held) and the display, without
// waiting, whether they have gone away.
void check_gone();

// Bytes read from the terminal and not yet used, oldest first, as a
// terminal sends them. They are read one at a time, so that keys nobody
// asked for stay with the terminal for whoever reads next, the shell
// included.
class Keyboard {
public:
    enum class Wait { kBytes, kTimedOut, kWoken, kClosed };

    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(pending_.data()); }
    std::size_t size() const { return pending_.size(); }
    void consume(std::size_t count) { pending_.erase(0, count); }

    // True when a key is waiting to be read now.
    bool typed_ahead() const;

    // Waits up to timeout_ms (-1: no limit) for one more byte and appends
    // it. kWoken: there is news for take_events() first, or nothing yet
    // (wait again). kClosed: the terminal has gone away.
    Wait read_more(int timeout_ms);

private:
    std::string pending_;
};

Keyboard& keyboard();

// ---- The display ------------------------------------------------------------

struct Size {
    int columns;
    int rows;
};

// Where the player's screen is: standard output when it is a terminal, else
// (while the keyboard is held) the terminal the keys come from, for the
// echo; kNone when there is neither.
enum class DisplayFound { kNone, kOnStandardOutput, kOnKeyboardTerminal };
DisplayFound open_display();
void close_display();

// The display's size now. False when it cannot be told.
bool display_size(Size& size);

// The size of whichever standard stream is a terminal. False when none is.
bool size_of_standard_terminal(Size& size);

// True when standard error writes to the display too.
bool display_shows_errors();

// True when the display is there, not gone, and this program is in its
// foreground (so writing to it neither stops the program nor disturbs
// another's screen).
bool display_in_foreground();

// Carries out the operations on the display, in order, waiting while it is
// full. A display that takes bytes writes render(operations). False when
// the display has gone.
bool write_display(const DisplayOperations& operations);

// Writes all of text, waiting while the receiver is full. write_output: 0 or
// the error number (for strerror) that stopped it.
int write_output(std::string_view text);
bool write_error(std::string_view text);

// Waits up to timeout_ms until there is news for take_events(), or the
// display goes away (then marks it gone).
void wait_for_news(int timeout_ms);

// False where the system does not know character c (the C library's
// wcwidth, in the player's UTF-8 locale, has no answer): its terminals
// will not show it as the game counts it. Where nothing can be asked, true.
bool knows_character(long c);

// ---- Clocks -------------------------------------------------------------------

// Nanoseconds from some fixed moment, never going back.
std::int64_t monotonic_ns();

}  // namespace console::platform

#endif
