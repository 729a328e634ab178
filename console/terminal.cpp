#include "terminal.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace console::terminal {

namespace {

// What signal handlers read. Each change of mode and of these flags happens
// with the handled signals blocked, so a handler never sees one without the
// other.
termios saved_mode;
termios raw_mode;
volatile std::sig_atomic_t owned_flag = 0;    // the run holds the terminal
volatile std::sig_atomic_t raw_applied = 0;   // raw_mode is in force now
volatile std::sig_atomic_t resumed_flag = 0;  // taken back after a stop

// Signals whose default action ends the program (SIGHUP has its own handler).
const int kEndingSignals[] = {SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                              SIGPROF, SIGXCPU, SIGXFSZ, SIGPIPE, SIGABRT, SIGSEGV, SIGBUS,
                              SIGFPE,  SIGILL,  SIGSYS,  SIGTRAP};

// Every signal that can arrive from outside; faults cannot wait.
sigset_t outside_signals() {
    sigset_t set;
    sigfillset(&set);
    for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGSYS, SIGTRAP}) {
        sigdelset(&set, sig);
    }
    return set;
}

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
    sigset_t previous_;
};

void restore_saved_mode() {
    if (raw_applied) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
        raw_applied = 0;
    }
}

// Only the foreground may set the terminal's mode. A terminal that is not
// the program's own (tcgetpgrp fails) has no foreground to wait for.
bool in_foreground() {
    const pid_t foreground = tcgetpgrp(STDIN_FILENO);
    return foreground == -1 || foreground == getpgrp();
}

// After a stop: take the terminal back, but only in the foreground, since a
// background process that sets the mode is stopped again.
void take_back() {
    if (owned_flag && !raw_applied && in_foreground() &&
        tcsetattr(STDIN_FILENO, TCSANOW, &raw_mode) == 0) {
        raw_applied = 1;
        resumed_flag = 1;
    }
}

// The handlers never interrupt one another.
void set_action(int sig, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = outside_signals();
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
}

// Hands the terminal back, then dies of the same signal by its default
// action, so the exit status still tells what ended the program.
extern "C" void on_ending_signal(int sig) {
    restore_saved_mode();
    set_action(sig, SIG_DFL);
    raise(sig);  // delivered as the handler returns
}

// A hang-up from the terminal itself (its window closed) ends nothing here:
// the next read finds the terminal gone and the program ends as at the end
// of input. A hang-up sent by someone else ends the program as before.
extern "C" void on_hang_up(int sig, siginfo_t* info, void*) {
    if (info != nullptr && info->si_code == SI_KERNEL) {
        return;
    }
    on_ending_signal(sig);
}

extern "C" void on_stop_signal(int sig) {
    const int saved_errno = errno;
    restore_saved_mode();
    set_action(sig, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, sig);
    sigprocmask(SIG_UNBLOCK, &stop, nullptr);
    raise(sig);  // stops here until continued
    set_action(sig, on_stop_signal);
    // An orphaned process group is never stopped, so no SIGCONT may come.
    take_back();
    errno = saved_errno;
}

extern "C" void on_continue_signal(int) {
    const int saved_errno = errno;
    take_back();
    errno = saved_errno;
}

// Only signals left at their default are taken over: one the program found
// ignored or caught stays as it was.
bool at_default(int sig) {
    struct sigaction previous {};
    return sigaction(sig, nullptr, &previous) == 0 && (previous.sa_flags & SA_SIGINFO) == 0 &&
           previous.sa_handler == SIG_DFL;
}

void install_handlers() {
    for (const int sig : kEndingSignals) {
        if (at_default(sig)) {
            set_action(sig, on_ending_signal);
        }
    }
    if (at_default(SIGHUP)) {
        struct sigaction action {};
        action.sa_sigaction = on_hang_up;
        action.sa_mask = outside_signals();
        action.sa_flags = SA_RESTART | SA_SIGINFO;
        sigaction(SIGHUP, &action, nullptr);
    }
    if (at_default(SIGTSTP)) {
        set_action(SIGTSTP, on_stop_signal);
    }
    if (at_default(SIGCONT)) {
        set_action(SIGCONT, on_continue_signal);
    }
}

}  // namespace

bool take() {
    if (owned_flag) {
        return true;
    }
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_mode) != 0) {
        return false;
    }
    raw_mode = saved_mode;
    // No echo, no line editing, no signal or flow-control keys, no Ctrl+V
    // quoting, no translation of Enter: every key reaches the program as sent.
    raw_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    raw_mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT);
    raw_mode.c_cc[VMIN] = 1;
    raw_mode.c_cc[VTIME] = 0;
    install_handlers();

    // Started in the background: stop until brought to the foreground, as
    // the terminal would stop any program setting its mode from there.
    if (!in_foreground()) {
        kill(0, SIGTTOU);
        if (!in_foreground()) {
            return false;  // told to go on in the background: leave the terminal alone
        }
    }

    const OutsideSignalsBlocked blocked;
    // TCSANOW keeps keys typed ahead; TCSAFLUSH would drop them.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw_mode) != 0) {
        return false;
    }
    raw_applied = 1;
    owned_flag = 1;
    return true;
}

bool owned() {
    return owned_flag != 0;
}

void hand_back() {
    const OutsideSignalsBlocked blocked;
    restore_saved_mode();
    owned_flag = 0;
}

void emergency_hand_back() {
    restore_saved_mode();
    owned_flag = 0;
}

void suspend() {
    // The whole process group, as the terminal itself would send it.
    kill(0, SIGTSTP);
}

bool take_resumed() {
    const OutsideSignalsBlocked blocked;
    const bool resumed = resumed_flag != 0;
    resumed_flag = 0;
    return resumed;
}

Keyboard::Wait Keyboard::read_more(int timeout_ms) {
    while (!closed_) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&input, 1, timeout_ms);
        if (ready == 0) {
            return Wait::kTimedOut;
        }
        if (ready < 0) {
            if (errno == EINTR) {
                return Wait::kInterrupted;
            }
            break;
        }
        if ((input.revents & POLLIN) != 0) {
            char bytes[256];
            const ssize_t n = read(STDIN_FILENO, bytes, sizeof bytes);
            if (n > 0) {
                pending_.append(bytes, static_cast<std::size_t>(n));
                return Wait::kBytes;
            }
            if (n < 0 && errno == EINTR) {
                return Wait::kInterrupted;
            }
            // A terminal left non-blocking says "nothing yet": wait again.
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                continue;
            }
            break;  // end of input, or a hang-up (EIO)
        }
        if ((input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            break;
        }
    }
    closed_ = true;
    return Wait::kClosed;
}

Keyboard& keyboard() {
    static Keyboard instance;
    return instance;
}

}  // namespace console::terminal
