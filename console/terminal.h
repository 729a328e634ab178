#ifndef BLACKJACK_CONSOLE_TERMINAL_H
#define BLACKJACK_CONSOLE_TERMINAL_H

// The terminal behind standard input: its mode for the run, the signals that
// must hand it back, and the keyboard bytes read from it. Inside the console
// layer only.

#include <cstddef>
#include <string>

namespace console::terminal {

// Puts the terminal into key-by-key mode for the rest of the run, with the
// handlers that hand it back on every signal that ends or stops the program.
// False when standard input is not a terminal.
bool take();

// True while the run holds the terminal (between take() and hand_back()).
bool owned();

// Hands the terminal back as it was found. Safe to call more than once.
void hand_back();

// The same, for a program ending at once: async-signal-safe, no locks.
void emergency_hand_back();

// Stops the program as Ctrl+Z does in a shell: the terminal is handed back
// while stopped and taken back when continued in the foreground.
void suspend();

// True, once, after the program was continued from a stop and took the
// terminal back: whatever the screen showed may be gone.
bool take_resumed();

// Bytes read from the terminal and not yet used, oldest first. Shared by the
// key reader and the line reader, so neither holds keys the other cannot see.
class Keyboard {
public:
    enum class Wait { kBytes, kTimedOut, kInterrupted, kClosed };

    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(pending_.data()); }
    std::size_t size() const { return pending_.size(); }
    void consume(std::size_t count) { pending_.erase(0, count); }

    // Waits up to timeout_ms (-1: no limit) for more bytes and appends them.
    // kInterrupted: a signal came first. kClosed: the terminal has gone away,
    // for good.
    Wait read_more(int timeout_ms);

private:
    std::string pending_;
    bool closed_ = false;
};

Keyboard& keyboard();

}  // namespace console::terminal

#endif
