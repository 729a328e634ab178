#ifndef BLACKJACK_CONSOLE_POSIX_POSIX_H
#define BLACKJACK_CONSOLE_POSIX_POSIX_H

// What the POSIX keyboard (terminal.cpp) shares with the POSIX display
// (display.cpp), by descriptor.

namespace console::platform::posix {

// True when this program is in the foreground of the terminal on fd, or fd
// is no terminal of ours and so has no foreground to wait for.
bool in_foreground(int fd);

// Asks the terminal on fd without waiting whether it has gone away.
void check_gone(int fd);

// Becomes readable when a signal handler has news: a wait watches it beside
// its own descriptor, so no news waits for a read that restarts.
int wake_fd();

}  // namespace console::platform::posix

#endif
