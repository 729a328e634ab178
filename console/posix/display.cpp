// The display and the standard streams on a POSIX system, by descriptor.

#include "platform.h"
#include "posix/posix.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace console::platform {

namespace {

int display_fd = -1;
bool owns_display_fd = false;  // opened here, closed at the end

bool measure(int fd, Size& size) {
    winsize ws{};
    if (fd >= 0 && ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        size = {ws.ws_col, ws.ws_row};
        return true;
    }
    return false;
}

bool same_terminal(int a, int b) {
    struct stat first {};
    struct stat second {};
    return isatty(a) && isatty(b) && fstat(a, &first) == 0 && fstat(b, &second) == 0 &&
           first.st_rdev == second.st_rdev;
}

// Writes all of text to fd, waiting while it is full. 0, or the error that
// stopped it.
int write_all(int fd, std::string_view text) {
    const char* data = text.data();
    std::size_t size = text.size();
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Left non-blocking by someone else: wait until it takes more.
            posix::Watch output{fd, false, true};
            if (posix::wait_for(&output, 1, -1) < 0 && errno != EINTR) {
                return errno;
            }
        } else {
            return n < 0 ? errno : EIO;
        }
    }
    return 0;
}

// The terminal the keys come from, for the echo, when standard output is
// not a terminal.
int open_keyboard_terminal() {
    const int flags = fcntl(STDIN_FILENO, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) == O_RDWR) {
        return STDIN_FILENO;
    }
    return posix::own_descriptor(open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC));
}

}  // namespace

DisplayFound open_display() {
    if (isatty(STDOUT_FILENO)) {
        display_fd = STDOUT_FILENO;
        return DisplayFound::kOnStandardOutput;
    }
    if (owned()) {
        display_fd = open_keyboard_terminal();
        owns_display_fd = display_fd > STDERR_FILENO;
    }
    return display_fd >= 0 ? DisplayFound::kOnKeyboardTerminal : DisplayFound::kNone;
}

void close_display() {
    if (owns_display_fd) {
        close(display_fd);
        owns_display_fd = false;
    }
    display_fd = -1;
}

bool display_size(Size& size) {
    return measure(display_fd, size);
}

bool size_of_standard_terminal(Size& size) {
    for (const int fd : {STDOUT_FILENO, STDIN_FILENO, STDERR_FILENO}) {
        if (measure(fd, size)) {
            return true;
        }
    }
    return false;
}

bool display_shows_errors() {
    return display_fd >= 0 && same_terminal(display_fd, STDERR_FILENO);
}

bool display_in_foreground() {
    return display_fd >= 0 && !gone() && posix::in_foreground(display_fd);
}

bool write_display(const DisplayOperations& operations) {
    return write_all(display_fd, render(operations)) == 0;
}

int write_output(std::string_view text) {
    return write_all(STDOUT_FILENO, text);
}

bool write_error(std::string_view text) {
    return write_all(STDERR_FILENO, text) == 0;
}

void wait_for_news(int timeout_ms) {
    // The display's hang-up ends the wait where poll() watches it; where
    // select() waits instead, the hang-up signal wakes it. A wait that
    // cannot watch at all (select() and a descriptor beyond its reach) is
    // as a display gone: asked again, it would fail again at once.
    posix::Watch watches[2] = {{posix::wake_fd(), true, false}, {display_fd, false, false}};
    const int ready = posix::wait_for(watches, 2, timeout_ms);
    if ((ready > 0 && watches[1].hung_up) || (ready < 0 && errno != EINTR && errno != EAGAIN)) {
        mark_gone();
    }
}

void check_gone() {
    posix::settle_hang_up();
    if (owned()) {
        posix::check_gone(STDIN_FILENO);
    }
    if (display_fd >= 0) {
        posix::check_gone(display_fd);
    }
}

}  // namespace console::platform
