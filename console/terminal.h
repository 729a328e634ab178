#ifndef BLACKJACK_CONSOLE_TERMINAL_H
#define BLACKJACK_CONSOLE_TERMINAL_H

// The terminal behind standard input: its mode for the run, job control, the
// signals that must hand it back or wake a wait, and the keyboard bytes read
// from it. Inside the console layer only.

#include <cstddef>
#include <string>

#include "line_editor.h"

namespace console::terminal {

// Installs the signal handlers for the rest of the run and, when standard
// input is a terminal, takes it: the mode found and the player's editing
// keys are recorded, and the key-by-key mode is set at once in the
// foreground, or later by hold_mode(). True when the keyboard is held.
bool take();

// True while the run holds the keyboard (between take() and hand_back()).
bool owned();

// Hands the terminal back as it was found. Safe to call more than once.
void hand_back();

// The same, for a program ending at once: async-signal-safe, no locks.
void emergency_hand_back();

// Stops the program as Ctrl+Z does in a shell; the mode found is in force
// while it is stopped.
void suspend();

// The editing keys of the terminal's settings found at take().
const EditingKeys& editing_keys();

// True when this program is in the foreground of the terminal on fd, or fd
// is no terminal of ours and so has no foreground to wait for.
bool in_foreground(int fd);

// In the foreground, makes sure the key-by-key mode is in force; after a
// continue (`checked`) it reads the mode to find out. True when the mode had
// to be set: whatever was on the screen meanwhile was not the game's.
// In the background it touches nothing.
bool hold_mode(bool checked);

// Stops the program, as the terminal stops a job that reads from the
// background, until it is in the foreground.
void wait_for_foreground();

// What the signal handlers saw since the last call.
struct Events {
    bool continued = false;  // continued after a stop, maybe in the background
    bool resized = false;    // the window changed size
};
Events take_events();

// The terminal has gone away (its window closed): for good.
bool gone();
// Asks the terminal on fd without waiting whether it has gone away.
void check_gone(int fd);
void mark_gone();

// Becomes readable when a signal handler has news: a wait polls it beside
// its own descriptor, so no news waits for a read that restarts.
int wake_fd();

// Bytes read from the terminal and not yet used, oldest first. They are
// read one at a time, so that keys nobody asked for stay with the terminal
// for whoever reads next, the shell included.
class Keyboard {
public:
    enum class Wait { kBytes, kTimedOut, kWoken, kClosed };

    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(pending_.data()); }
    std::size_t size() const { return pending_.size(); }
    void consume(std::size_t count) { pending_.erase(0, count); }

    // True when a key is waiting to be read now.
    bool typed_ahead() const;

    // Waits up to timeout_ms (-1: no limit) for one more byte and appends
    // it. kWoken: a signal handler has news first. kClosed: the terminal
    // has gone away.
    Wait read_more(int timeout_ms);

private:
    std::string pending_;
};

Keyboard& keyboard();

}  // namespace console::terminal

#endif
