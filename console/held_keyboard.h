#ifndef BLACKJACK_CONSOLE_HELD_KEYBOARD_H
#define BLACKJACK_CONSOLE_HELD_KEYBOARD_H

// What every system holds the same way behind platform.h (held_keyboard.cpp):
// the keyboard taken once and owned, input ended, Ctrl+C after that, the
// terminal gone, and the bytes read. Each system's folder gives the hooks.
// The system's handlers of outside events (a signal handler, the console's
// control thread) read and write the flags too, so each is a lock-free
// atomic.

#include <atomic>

namespace console::platform::held {

extern std::atomic<bool> owned;        // the run holds the keyboard
extern std::atomic<bool> input_ended;  // end_input() was called
extern std::atomic<bool> interrupted;  // Ctrl+C came after that
extern std::atomic<bool> gone;         // the terminal has gone away

// ---- Hooks, one of each per system ------------------------------------------

// Installs the handlers of outside events, at the first take().
void install_handlers();

// Takes standard input as the keyboard: finds its mode, makes the key-by-key
// mode from it and sets owned (the mode is set by hold_mode() afterwards).
// False when standard input is no terminal to take.
bool take_keyboard();

}  // namespace console::platform::held

#endif
