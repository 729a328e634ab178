#ifndef BLACKJACK_CONSOLE_POSIX_POSIX_H
#define BLACKJACK_CONSOLE_POSIX_POSIX_H

// What the POSIX files share: the signals (signals.cpp), the terminal's mode
// (terminal.cpp), the keyboard (keyboard.cpp), the display (display.cpp) and
// the waits (wait.cpp), by descriptor.

#include <signal.h>

namespace console::platform::posix {

// Every signal that can arrive from outside; faults cannot wait.
sigset_t outside_signals();

// Blocks the signals from outside while it lives.
class OutsideSignalsBlocked {
public:
    OutsideSignalsBlocked() {
        const sigset_t blocked = outside_signals();
        sigprocmask(SIG_BLOCK, &blocked, &previous_);
    }
    ~OutsideSignalsBlocked() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    OutsideSignalsBlocked(const OutsideSignalsBlocked&) = delete;
    OutsideSignalsBlocked& operator=(const OutsideSignalsBlocked&) = delete;

private:
    sigset_t previous_{};
};

// Puts back the mode found, if the key-by-key mode is in force, for a
// handler. Async-signal-safe. In the background the mode is the shell's
// business: with the signals blocked in a handler, a mode set from there
// would not even stop the program first.
void restore_saved_mode();

// True when this program is in the foreground of the terminal on fd, or fd
// is no terminal of ours and so has no foreground to wait for.
bool in_foreground(int fd);

// Asks the terminal on fd without waiting whether it has gone away.
void check_gone(int fd);

// A descriptor the console opened, moved above the standard ones if it
// landed on one (a standard descriptor closed, with no null device to fill
// it), close-on-exec. -1 when it cannot be moved.
int own_descriptor(int fd);

// Becomes readable when a signal handler has news: a wait watches it beside
// its own descriptor, so no news waits for a read that restarts.
int wake_fd();

// Judges a hang-up the handler only noted: a terminal that is gone marks
// the end; one that still answers was hung up by someone else, and the
// program ends of the signal as it would have.
void settle_hang_up();

// One descriptor to wait on, and what the wait found.
struct Watch {
    int fd;
    bool read;             // wait until it can be read (or is at its end)
    bool write;            // wait until it takes more
    bool ready = false;    // as asked
    bool hung_up = false;  // poll() says it hung up or failed
};

// Waits up to timeout_ms (-1: no limit) until one of count watches is
// ready or hung up. The number ready, 0 on a timeout, -1 with errno set.
// Where poll() cannot watch a terminal (macOS answers POLLNVAL for every
// device), select() does the waiting, and a hang-up shows only as a read
// at the end or a failing call.
int wait_for(Watch* watches, int count, int timeout_ms);

}  // namespace console::platform::posix

#endif
