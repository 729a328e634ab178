// Signals from outside: the handlers that hand the terminal back or wake a
// wait through the wake pipe (kept off the standard descriptors), and the
// news they leave for take_events().

#include "held_keyboard.h"
#include "platform.h"
#include "posix/posix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace console::platform {

namespace {

// Written by the handlers; the main line reads and clears them with the
// handled signals blocked.
volatile std::sig_atomic_t continued_flag = 0;  // continued since last asked
volatile std::sig_atomic_t resized_flag = 0;    // the window changed since last asked
volatile std::sig_atomic_t hung_up_flag = 0;    // a hang-up not yet settled
int wake_pipe[2] = {-1, -1};

// Signals whose default action ends the program (SIGHUP has its own handler).
const int kEndingSignals[] = {SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                              SIGPROF, SIGXCPU, SIGXFSZ, SIGPIPE, SIGABRT, SIGSEGV, SIGBUS,
                              SIGFPE,  SIGILL,  SIGSYS,  SIGTRAP};

// Wakes the wait, from a handler.
void wake() {
    const int saved_errno = errno;
    if (wake_pipe[1] >= 0) {
        const char news = 1;
        if (write(wake_pipe[1], &news, 1) < 0) {
            // Full: the wait has news to read already.
        }
    }
    errno = saved_errno;
}

void tell(volatile std::sig_atomic_t& flag) {
    flag = 1;
    wake();
}

// The handlers never interrupt one another.
void set_action(int sig, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = posix::outside_signals();
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
}

// Hands the terminal back, then dies of the same signal by its default
// action, so the exit status still tells what ended the program. Once input
// is over, Ctrl+C only cuts the farewell short.
extern "C" void on_ending_signal(int sig) {
    if (sig == SIGINT && held::input_ended) {
        held::interrupted = true;
        wake();
        return;
    }
    posix::restore_saved_mode();
    set_action(sig, SIG_DFL);
    raise(sig);  // delivered as the handler returns
}

// A hang-up from the terminal itself (its window closed) ends nothing here:
// the game learns the terminal is gone and goes to its own end at once. A
// hang-up sent by someone else ends the program as before. Which one it was
// is told by the terminal itself (settle_hang_up), the same on every system:
// only some can name the sender (SI_KERNEL), and none for every way a
// terminal goes. Once the terminal is known gone, a hang-up (the session's
// end, even after the hand-back) is only more of the same news. Otherwise,
// without the keyboard nothing would settle it: it ends at once.
extern "C" void on_hang_up(int sig) {
    if (held::gone) {
        return;
    }
    if (!held::owned) {
        on_ending_signal(sig);
        return;
    }
    tell(hung_up_flag);
}

extern "C" void on_stop_signal(int sig) {
    const int saved_errno = errno;
    posix::restore_saved_mode();
    set_action(sig, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, sig);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(sig);  // stops here until continued
    set_action(sig, on_stop_signal);
    errno = saved_errno;
}

// Only flags and a wake-up: the waits take the terminal back, and only once
// in the foreground.
extern "C" void on_continue_signal(int) {
    tell(continued_flag);
}

extern "C" void on_resize_signal(int) {
    tell(resized_flag);
}

// Only signals left at their default are taken over: one the program found
// ignored or caught stays as it was.
bool at_default(int sig) {
    struct sigaction previous {};
    return sigaction(sig, nullptr, &previous) == 0 && (previous.sa_flags & SA_SIGINFO) == 0 &&
           previous.sa_handler == SIG_DFL;
}

// A standard descriptor left closed would be the next one opened: the wake
// pipe would be read as typed keys, or take the game's text. Each closed one
// gets the null device, read-only as a closed one is for writing: read, it
// ends the input; written, it fails with EBADF as before.
void fill_closed_standard_descriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

}  // namespace

sigset_t posix::outside_signals() {
    sigset_t set;
    sigfillset(&set);
    for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGSYS, SIGTRAP}) {
        sigdelset(&set, sig);
    }
    return set;
}

void held::install_handlers() {
    fill_closed_standard_descriptors();
    if (pipe(wake_pipe) == 0) {
        for (int& fd : wake_pipe) {
            fd = posix::own_descriptor(fd);
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        }
    }
    for (const int sig : kEndingSignals) {
        if (at_default(sig)) {
            set_action(sig, on_ending_signal);
        }
    }
    if (at_default(SIGHUP)) {
        set_action(SIGHUP, on_hang_up);
    }
    if (at_default(SIGTSTP)) {
        set_action(SIGTSTP, on_stop_signal);
    }
    if (at_default(SIGCONT)) {
        set_action(SIGCONT, on_continue_signal);
    }
    if (at_default(SIGWINCH)) {
        set_action(SIGWINCH, on_resize_signal);
    }
}

Events take_events() {
    if (wake_pipe[0] >= 0) {
        char news[64];
        while (read(wake_pipe[0], news, sizeof news) > 0) {
        }
    }
    posix::settle_hang_up();
    const posix::OutsideSignalsBlocked blocked;
    Events events;
    events.continued = continued_flag != 0;
    events.resized = resized_flag != 0;
    continued_flag = 0;
    resized_flag = 0;
    return events;
}

int posix::own_descriptor(int fd) {
    if (fd >= 0 && fd <= STDERR_FILENO) {
        const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        return moved;
    }
    if (fd >= 0) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return fd;
}

int posix::wake_fd() {
    return wake_pipe[0];
}

void posix::settle_hang_up() {
    if (!hung_up_flag) {
        return;
    }
    hung_up_flag = 0;
    if (held::owned) {
        check_gone(STDIN_FILENO);
        // Some systems still answer tcgetattr on a closed terminal, but
        // every one gives the end of input at once. A key read instead
        // stays in the keyboard.
        if (!held::gone && keyboard().typed_ahead()) {
            keyboard().read_more(0);
        }
    }
    if (!held::gone) {
        on_ending_signal(SIGHUP);  // unblocked here: the program ends of it now
    }
}

}  // namespace console::platform
