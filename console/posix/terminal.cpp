// The terminal's mode for the run, and job control: the key-by-key mode
// set and handed back, the program stopped and waiting for the foreground.

#include "held_keyboard.h"
#include "platform.h"
#include "posix/posix.h"

#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <csignal>

namespace console::platform {

namespace {

// What the signal handlers read (through restore_saved_mode). Each change of
// mode and of these in the main line happens with the handled signals
// blocked, so a handler never sees one without the other.
termios saved_mode;
termios raw_mode;
EditingKeys keys;
volatile std::sig_atomic_t raw_applied = 0;  // raw_mode is in force now

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
    if (held::owned && is_raw(found)) {
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

void posix::restore_saved_mode() {
    if (raw_applied && in_foreground(STDIN_FILENO)) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    }
    raw_applied = 0;
}

bool held::take_keyboard() {
    if (!isatty(STDIN_FILENO) || !read_found_mode()) {
        return false;
    }
    // The handlers must never see the flag before the modes it names.
    const posix::OutsideSignalsBlocked blocked;
    held::owned = true;
    return true;
}

void hand_back() {
    // A stop between the restore and clearing the flags would make the
    // continue set the raw mode again on the way out. The window is a few
    // instructions wide: no test can aim a signal at it.
    const posix::OutsideSignalsBlocked blocked;
    emergency_hand_back();
}

void emergency_hand_back() {
    posix::restore_saved_mode();
    held::owned = false;
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

bool hold_mode(const Events& news) {
    if (!held::owned || held::gone) {
        return false;
    }
    // From the foreground check to the flag, no signal may land: a stop
    // between tcsetattr and raw_applied would leave the raw mode on while
    // stopped (its handler restores only what the flag says is set), and a
    // stop before the check would set the mode from the background. The
    // window is a few instructions wide and no test can aim a signal at
    // it; the stop-and-continue test of the console probe aims at random.
    const posix::OutsideSignalsBlocked blocked;
    if (!posix::in_foreground(STDIN_FILENO)) {
        if (news.continued) {
            raw_applied = 0;  // while away, the terminal's mode was the shell's
        }
        return false;
    }
    if (raw_applied && news.continued) {
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
    while (held::owned && !held::gone && !posix::in_foreground(STDIN_FILENO)) {
        kill(0, SIGTTIN);
        if (!posix::in_foreground(STDIN_FILENO)) {
            // Continued in the background, or in an orphaned group that no
            // stop signal stops: look again in a while.
            const timespec pause{0, 100'000'000L};
            nanosleep(&pause, nullptr);
        }
    }
}

}  // namespace console::platform
