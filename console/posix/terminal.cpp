// The keyboard on a POSIX terminal: its mode for the run, job control, the
// signals that must hand it back or wake a wait, and the bytes read from it.

#include "platform.h"
#include "posix/posix.h"

#include <fcntl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace console::platform {

using posix::wait_for;
using posix::Watch;

namespace {

// What signal handlers read and write. Each change of mode and of these
// flags in the main line happens with the handled signals blocked, so a
// handler never sees one without the other.
termios saved_mode;
termios raw_mode;
EditingKeys keys;
volatile std::sig_atomic_t owned_flag = 0;      // the run holds the keyboard
volatile std::sig_atomic_t raw_applied = 0;     // raw_mode is in force now
volatile std::sig_atomic_t continued_flag = 0;  // continued since last asked
volatile std::sig_atomic_t resized_flag = 0;    // the window changed since last asked
volatile std::sig_atomic_t gone_flag = 0;       // the terminal has gone away
volatile std::sig_atomic_t hung_up_flag = 0;    // a hang-up not yet settled
volatile std::sig_atomic_t input_ended = 0;     // end_input() was called
volatile std::sig_atomic_t interrupted_flag = 0;  // Ctrl+C came after it
int wake_pipe[2] = {-1, -1};

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

// Async-signal-safe. In the background the mode is the shell's business:
// with the signals blocked in a handler, a mode set from there would not
// even stop the program first.
void restore_saved_mode() {
    if (raw_applied && posix::in_foreground(STDIN_FILENO)) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    }
    raw_applied = 0;
}

// Raises a flag and wakes the wait, from a handler.
void tell(volatile std::sig_atomic_t& flag) {
    const int saved_errno = errno;
    flag = 1;
    if (wake_pipe[1] >= 0) {
        const char news = 1;
        if (write(wake_pipe[1], &news, 1) < 0) {
            // Full: the wait has news to read already.
        }
    }
    errno = saved_errno;
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
// action, so the exit status still tells what ended the program. Once input
// is over, Ctrl+C only cuts the farewell short.
extern "C" void on_ending_signal(int sig) {
    if (sig == SIGINT && input_ended) {
        tell(interrupted_flag);
        return;
    }
    restore_saved_mode();
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
    if (gone_flag) {
        return;
    }
    if (!owned_flag) {
        on_ending_signal(sig);
        return;
    }
    tell(hung_up_flag);
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

void install_handlers() {
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

int key_of(const termios& mode, int slot, long disabled) {
    const cc_t key = mode.c_cc[slot];
    return static_cast<long>(key) == disabled ? -1 : key;
}

void read_editing_keys() {
    const long disabled = fpathconf(STDIN_FILENO, _PC_VDISABLE);
    keys = EditingKeys{};
    keys.erase = key_of(saved_mode, VERASE, disabled);
    keys.kill = key_of(saved_mode, VKILL, disabled);
    keys.eof = key_of(saved_mode, VEOF, disabled);
    keys.intr = key_of(saved_mode, VINTR, disabled);
    keys.susp = key_of(saved_mode, VSUSP, disabled);
#ifdef VWERASE
    keys.werase = key_of(saved_mode, VWERASE, disabled);
#endif
#ifdef VREPRINT
    keys.reprint = key_of(saved_mode, VREPRINT, disabled);
#endif
}

bool is_raw(const termios& mode) {
    return mode.c_lflag == raw_mode.c_lflag && mode.c_iflag == raw_mode.c_iflag && mode.c_oflag == raw_mode.c_oflag;
}

// Takes the terminal's mode as the player has it now (the first time, or
// back after a stop, when they may have changed it with stty) as the mode
// to hand back and to edit lines by, and makes the key-by-key mode from it.
// A mode that is still our own key-by-key one is no news. False when the
// mode cannot be read.
bool read_found_mode() {
    termios found{};
    if (tcgetattr(STDIN_FILENO, &found) != 0) {
        return false;
    }
    if (owned_flag && is_raw(found)) {
        return true;
    }
    saved_mode = found;
    raw_mode = found;
    // No echo, no line editing, no signal or flow-control keys, no Ctrl+V
    // quoting, no translation of Enter: every key reaches the program as sent.
    raw_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | ISIG | IEXTEN);
    raw_mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | BRKINT);
    // A line feed the game writes goes to column 1 of the next row, whatever
    // output processing the player chose.
    raw_mode.c_oflag |= OPOST | ONLCR;
    raw_mode.c_cc[VMIN] = 1;
    raw_mode.c_cc[VTIME] = 0;
    read_editing_keys();
    return true;
}

}  // namespace

bool take() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        install_handlers();
    }
    if (owned_flag) {
        return true;
    }
    if (input_ended || !isatty(STDIN_FILENO) || !read_found_mode()) {
        return false;
    }
    {
        // The handlers must never see the flag before the modes it names.
        const OutsideSignalsBlocked blocked;
        owned_flag = 1;
    }
    hold_mode(false);
    return true;
}

bool owned() {
    return owned_flag != 0;
}

void hand_back() {
    // A stop between the restore and clearing the flags would make the
    // continue set the raw mode again on the way out. Too narrow to aim at
    // in a test, as above.
    const OutsideSignalsBlocked blocked;
    restore_saved_mode();
    owned_flag = 0;
}

// Whatever standard input is: Ctrl+C reaches the program from the terminal
// even when it reads no keys.
void end_input() {
    input_ended = 1;
    if (owned_flag) {
        hand_back();
    }
}

bool interrupted() {
    return interrupted_flag != 0;
}

void emergency_hand_back() {
    restore_saved_mode();
    owned_flag = 0;
}

void suspend() {
    // The whole process group, as the terminal itself would send it.
    kill(0, SIGTSTP);
}

const EditingKeys& editing_keys() {
    return keys;
}

bool posix::in_foreground(int fd) {
    const pid_t foreground = tcgetpgrp(fd);
    return foreground == -1 || foreground == getpgrp();
}

bool hold_mode(bool checked) {
    if (!owned_flag || gone_flag) {
        return false;
    }
    // From the foreground check to the flag, no signal may land: a stop
    // between tcsetattr and raw_applied would leave the raw mode on while
    // stopped (its handler restores only what the flag says is set), and a
    // stop before the check would set the mode from the background. The
    // window is a few instructions wide and no test can aim a signal at
    // it; the stop-and-continue test of the console probe aims at random.
    const OutsideSignalsBlocked blocked;
    if (!posix::in_foreground(STDIN_FILENO)) {
        if (checked) {
            raw_applied = 0;  // while away, the terminal's mode was the shell's
        }
        return false;
    }
    if (raw_applied && checked) {
        // A stop no handler saw (SIGSTOP) may have left another mode.
        termios now{};
        if (tcgetattr(STDIN_FILENO, &now) == 0 && !is_raw(now)) {
            raw_applied = 0;
        }
    }
    if (raw_applied) {
        return false;
    }
    read_found_mode();
    // The flag goes first: a fault signal (not blocked here) landing right
    // after the mode is set must still find it to restore. Restoring a mode
    // not yet changed does no harm.
    raw_applied = 1;
    // TCSANOW keeps keys typed ahead; TCSAFLUSH would drop them.
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw_mode) != 0) {
        raw_applied = 0;
        return false;
    }
    return true;
}

void wait_for_foreground() {
    while (owned_flag && !gone_flag && !posix::in_foreground(STDIN_FILENO)) {
        kill(0, SIGTTIN);
        if (!posix::in_foreground(STDIN_FILENO)) {
            // Continued in the background, or in an orphaned group that no
            // stop signal stops: look again in a while.
            const timespec pause{0, 100'000'000L};
            nanosleep(&pause, nullptr);
        }
    }
}

Events take_events() {
    if (wake_pipe[0] >= 0) {
        char news[64];
        while (read(wake_pipe[0], news, sizeof news) > 0) {
        }
    }
    posix::settle_hang_up();
    const OutsideSignalsBlocked blocked;
    Events events;
    events.continued = continued_flag != 0;
    events.resized = resized_flag != 0;
    continued_flag = 0;
    resized_flag = 0;
    return events;
}

bool gone() {
    return gone_flag != 0;
}

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

void mark_gone() {
    gone_flag = 1;
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
    if (owned_flag) {
        check_gone(STDIN_FILENO);
        // Some systems still answer tcgetattr on a closed terminal, but
        // every one gives the end of input at once. A key read instead
        // stays in the keyboard.
        if (!gone_flag && keyboard().typed_ahead()) {
            keyboard().read_more(0);
        }
    }
    if (!gone_flag) {
        on_ending_signal(SIGHUP);  // unblocked here: the program ends of it now
    }
}

bool Keyboard::typed_ahead() const {
    Watch input{STDIN_FILENO, true, false};
    return !gone_flag && wait_for(&input, 1, 0) > 0 && input.ready;
}

Keyboard::Wait Keyboard::read_more(int timeout_ms) {
    posix::settle_hang_up();
    if (gone_flag) {
        return Wait::kClosed;
    }
    Watch watches[2] = {{STDIN_FILENO, true, false}, {wake_pipe[0], true, false}};
    const int ready = wait_for(watches, wake_pipe[0] >= 0 ? 2 : 1, timeout_ms);
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

Keyboard& keyboard() {
    static Keyboard instance;
    return instance;
}

}  // namespace console::platform
