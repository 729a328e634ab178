// The keyboard: bytes read from the terminal one at a time, and a terminal
// found gone.

#include "held_keyboard.h"
#include "platform.h"
#include "posix/posix.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace console::platform {

using posix::wait_for;
using posix::Watch;

// A terminal gone fails where every system fails it: tcgetattr, or a read
// at its end. POLLNVAL alone says nothing (macOS answers it for every
// terminal).
void posix::check_gone(int fd) {
    Watch watch{fd, false, false};
    termios mode{};
    if ((wait_for(&watch, 1, 0) > 0 && watch.hung_up) || (tcgetattr(fd, &mode) != 0 && errno != ENOTTY)) {
        mark_gone();
    }
}

bool Keyboard::typed_ahead() const {
    Watch input{STDIN_FILENO, true, false};
    return !held::gone && wait_for(&input, 1, 0) > 0 && input.ready;
}

Keyboard::Wait Keyboard::read_more(int timeout_ms) {
    posix::settle_hang_up();
    if (held::gone) {
        return Wait::kClosed;
    }
    const int wake_fd = posix::wake_fd();
    Watch watches[2] = {{STDIN_FILENO, true, false}, {wake_fd, true, false}};
    const int ready = wait_for(watches, wake_fd >= 0 ? 2 : 1, timeout_ms);
    if (ready == 0) {
        return Wait::kTimedOut;
    }
    if (ready < 0) {
        if (errno == EINTR || errno == EAGAIN) {
            return Wait::kWoken;
        }
        mark_gone();
        return Wait::kClosed;
    }
    if (watches[0].ready) {
        char byte = 0;
        const ssize_t n = read(STDIN_FILENO, &byte, 1);
        if (n == 1) {
            pending_ += byte;
            return Wait::kBytes;
        }
        // A terminal left non-blocking says "nothing yet": wait again.
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Wait::kWoken;
        }
        mark_gone();  // end of input, or a hang-up (EIO)
        return Wait::kClosed;
    }
    if (watches[0].hung_up) {
        mark_gone();
        return Wait::kClosed;
    }
    return Wait::kWoken;
}

}  // namespace console::platform
