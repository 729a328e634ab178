// Waiting on descriptors, with poll() where it works and select() where it
// cannot watch a terminal.

#include "posix/posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/select.h>

#include <cerrno>

namespace console::platform::posix {

namespace {

// Set once poll() has answered POLLNVAL for a descriptor that is open: it
// will for every terminal.
bool poll_cannot_watch_terminals = false;

int wait_with_poll(Watch* watches, int count, int timeout_ms) {
    constexpr int kMost = 4;
    if (count > kMost) {
        errno = EINVAL;
        return -1;
    }
    pollfd fds[kMost] = {};
    for (int i = 0; i < count; ++i) {
        fds[i].fd = watches[i].fd;
        fds[i].events = static_cast<short>((watches[i].read ? POLLIN : 0) | (watches[i].write ? POLLOUT : 0));
    }
    const int ready = poll(fds, static_cast<nfds_t>(count), timeout_ms);
    if (ready <= 0) {
        return ready;
    }
    for (int i = 0; i < count; ++i) {
        if ((fds[i].revents & POLLNVAL) != 0 && fcntl(fds[i].fd, F_GETFD) != -1) {
            poll_cannot_watch_terminals = true;
            return -2;
        }
    }
    for (int i = 0; i < count; ++i) {
        watches[i].ready = (watches[i].read && (fds[i].revents & POLLIN) != 0) ||
                           (watches[i].write && (fds[i].revents & POLLOUT) != 0);
        watches[i].hung_up = (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
    return ready;
}

int wait_with_select(Watch* watches, int count, int timeout_ms) {
    fd_set readable;
    fd_set writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    int top = -1;
    for (int i = 0; i < count; ++i) {
        const int fd = watches[i].fd;
        if (fd < 0 || (!watches[i].read && !watches[i].write)) {
            continue;
        }
        if (fd >= FD_SETSIZE) {
            // Beyond what select() can watch: refused, as poll() refuses
            // too many watches. Skipped, it would wait for nothing until a
            // signal.
            errno = EINVAL;
            return -1;
        }
        if (watches[i].read) {
            FD_SET(fd, &readable);
        }
        if (watches[i].write) {
            FD_SET(fd, &writable);
        }
        top = fd > top ? fd : top;
    }
    timeval timeout{};
    timeout.tv_sec = timeout_ms / 1000;
    timeout.tv_usec = static_cast<suseconds_t>(timeout_ms % 1000) * 1000;
    const int ready = select(top + 1, &readable, &writable, nullptr, timeout_ms < 0 ? nullptr : &timeout);
    if (ready <= 0) {
        return ready;
    }
    for (int i = 0; i < count; ++i) {
        const int fd = watches[i].fd;
        const bool watched = fd >= 0 && fd < FD_SETSIZE;
        watches[i].ready = watched && ((watches[i].read && FD_ISSET(fd, &readable)) ||
                                       (watches[i].write && FD_ISSET(fd, &writable)));
    }
    return ready;
}

}  // namespace

int wait_for(Watch* watches, int count, int timeout_ms) {
    for (int i = 0; i < count; ++i) {
        watches[i].ready = false;
        watches[i].hung_up = false;
    }
    if (!poll_cannot_watch_terminals) {
        const int ready = wait_with_poll(watches, count, timeout_ms);
        if (ready != -2) {
            return ready;
        }
    }
    return wait_with_select(watches, count, timeout_ms);
}

}  // namespace console::platform::posix
