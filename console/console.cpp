#include "console.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <iostream>
#include <string>

namespace console {

namespace {

// ---- Start-up --------------------------------------------------------------

struct screen_size {
    int columns;
    int rows;
};

screen_size measure_screen() {
    winsize ws{};
    for (const int fd : {STDOUT_FILENO, STDIN_FILENO, STDERR_FILENO}) {
        if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
            return {ws.ws_col, ws.ws_row};
        }
    }
    return {80, 25};  // what a plain text console offers
}

struct startup {
    screen_size screen;
    startup() : screen(measure_screen()) {
        // Every insertion reaches the screen before it returns: prompts and
        // messages must show while the game waits or spins.
        std::cout.setf(std::ios::unitbuf);
        std::cerr.tie(&std::cout);
    }
};

const startup& state() {
    static const startup s;
    return s;
}

// Runs the start-up before main, so the size is read once, at start.
const startup& early_startup = state();

// ---- Raw key mode ----------------------------------------------------------

termios saved_mode;
termios raw_mode;
volatile std::sig_atomic_t raw_active = 0;

const int kRestoreSignals[] = {SIGTERM, SIGHUP, SIGQUIT, SIGINT};

// Restores the terminal, then dies of the same signal with its default action
// so the exit status still tells what ended the program.
extern "C" void restore_and_die(int sig) {
    if (raw_active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

// Ctrl+Z from outside: give the shell a sane terminal while stopped, and take
// key mode back when continued.
extern "C" void restore_and_stop(int sig) {
    const int saved_errno = errno;
    if (raw_active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
    }
    std::signal(sig, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(sig);  // stops here until SIGCONT
    std::signal(sig, restore_and_stop);
    if (raw_active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &raw_mode);
    }
    errno = saved_errno;
}

// Puts the terminal into key-by-key mode for one getch and always takes it
// back out. TCSANOW keeps keys typed ahead; TCSAFLUSH would drop them.
class KeyMode {
public:
    KeyMode() {
        if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) {
            return;
        }
        raw_mode = saved_mode;
        raw_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
        raw_mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
        raw_mode.c_cc[VMIN] = 1;
        raw_mode.c_cc[VTIME] = 0;

        install(restore_and_die, kRestoreSignals, previous_, kSignalCount);
        install(restore_and_stop, &kStopSignal, &previous_stop_, 1);
        raw_active = 1;
        if (tcsetattr(STDIN_FILENO, TCSANOW, &raw_mode) != 0) {
            raw_active = 0;
            return;
        }
        active_ = true;
    }

    ~KeyMode() {
        if (raw_active) {
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
            raw_active = 0;
        }
        if (installed_) {
            for (int i = 0; i < kSignalCount; i++) {
                sigaction(kRestoreSignals[i], &previous_[i], nullptr);
            }
            sigaction(kStopSignal, &previous_stop_, nullptr);
        }
    }

    KeyMode(const KeyMode&) = delete;
    KeyMode& operator=(const KeyMode&) = delete;

    bool active() const { return active_; }

private:
    static constexpr int kSignalCount = sizeof kRestoreSignals / sizeof kRestoreSignals[0];
    static constexpr int kStopSignal = SIGTSTP;

    // Takes over only signals left at their default: an ignored SIGHUP, for
    // one, stays ignored.
    void install(void (*handler)(int), const int* signals, struct sigaction* previous, int count) {
        installed_ = true;
        for (int i = 0; i < count; i++) {
            sigaction(signals[i], nullptr, &previous[i]);
            if (previous[i].sa_handler == SIG_DFL) {
                struct sigaction action {};
                action.sa_handler = handler;
                sigemptyset(&action.sa_mask);
                sigaction(signals[i], &action, nullptr);
            }
        }
    }

    bool active_ = false;
    bool installed_ = false;
    struct sigaction previous_[kSignalCount] {};
    struct sigaction previous_stop_ {};
};

// ---- Key decoding ----------------------------------------------------------

const int kEsc = 27;
const int kTimedOut = -2;
const int kClosed = -1;
const int kForever = -1;

// Bytes of one sequence arrive together; a longer gap after Esc means the Esc
// key itself.
const int kSequenceGapMs = 100;

int pending_code = -1;

int read_byte(int timeout_ms) {
    if (timeout_ms != kForever) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        int ready;
        do {
            ready = poll(&p, 1, timeout_ms);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            return kTimedOut;
        }
        if (ready < 0) {
            return kClosed;
        }
    }
    unsigned char byte;
    ssize_t n;
    do {
        n = read(STDIN_FILENO, &byte, 1);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? byte : kClosed;
}

// What one key press decodes to: a code and maybe a second one, or nothing.
struct key_press {
    int first;
    int second;
};
const key_press kNoKey{-1, -1};

key_press extended(int second) {
    return {0, second};
}

key_press key_from_tilde(int number) {
    switch (number) {
    case 1: case 7: return extended(key::Home);
    case 2: return extended(key::Insert);
    case 3: return extended(key::Delete);
    case 4: case 8: return extended(key::End);
    case 5: return extended(key::PageUp);
    case 6: return extended(key::PageDown);
    case 11: case 12: case 13: case 14: case 15: return extended(key::F1 + number - 11);
    case 17: case 18: case 19: case 20: case 21: return extended(key::F1 + 5 + number - 17);
    case 23: return extended(key::F11);
    case 24: return extended(key::F12);
    default: return kNoKey;
    }
}

// The final letter of ESC [ or ESC O sequences without a number.
key_press key_from_letter(int letter) {
    switch (letter) {
    case 'A': return extended(key::Up);
    case 'B': return extended(key::Down);
    case 'C': return extended(key::Right);
    case 'D': return extended(key::Left);
    case 'H': return extended(key::Home);
    case 'F': return extended(key::End);
    case 'P': case 'Q': case 'R': case 'S': return extended(key::F1 + letter - 'P');
    default: return kNoKey;
    }
}

// ESC [ parameters intermediates final. Every byte read here is consumed, so
// an unknown or cut-off sequence leaves nothing behind.
key_press read_csi() {
    int byte = read_byte(kSequenceGapMs);
    if (byte == '[') {  // the Linux console's F1 to F5: ESC [ [ A .. E
        byte = read_byte(kSequenceGapMs);
        return byte >= 'A' && byte <= 'E' ? extended(key::F1 + byte - 'A') : kNoKey;
    }
    std::string params;
    while (byte >= 0x20 && byte <= 0x3F) {
        if (params.size() < 32) {
            params += static_cast<char>(byte);
        }
        byte = read_byte(kSequenceGapMs);
    }
    if (byte < 0x40 || byte > 0x7E) {
        return kNoKey;
    }
    // Modifiers (";5" for Ctrl and so on) do not change the key's code.
    const std::string first = params.substr(0, params.find(';'));
    if (first.find_first_not_of("0123456789") != std::string::npos) {
        return kNoKey;
    }
    if (byte == '~') {
        return first.empty() || first.size() > 3 ? kNoKey : key_from_tilde(std::stoi(first));
    }
    if (first.empty() || first == "1") {
        return key_from_letter(byte);
    }
    return kNoKey;
}

key_press read_escape() {
    const int byte = read_byte(kSequenceGapMs);
    if (byte == kTimedOut || byte == kClosed) {
        return {kEsc, -1};
    }
    if (byte == '[') {
        return read_csi();
    }
    if (byte == 'O') {
        return key_from_letter(read_byte(kSequenceGapMs));
    }
    return kNoKey;  // Alt with a key: no code of its own
}

// One character typed outside ASCII arrives as several bytes; it is one key.
int continuation_count(int lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF4) return 3;
    return 0;
}

int pushed_back = -1;

int next_byte() {
    if (pushed_back >= 0) {
        const int byte = pushed_back;
        pushed_back = -1;
        return byte;
    }
    return read_byte(kForever);
}

key_press read_key() {
    for (;;) {
        const int byte = next_byte();
        if (byte < 0) {
            return {kClosed, -1};
        }
        if (byte == kEsc) {
            const key_press press = read_escape();
            if (press.first >= 0) {
                return press;
            }
            continue;  // swallowed whole, like a key with no code
        }
        for (int i = continuation_count(byte); i > 0; i--) {
            const int next = read_byte(kSequenceGapMs);
            if (next < 0x80 || next > 0xBF) {
                if (next >= 0) {
                    pushed_back = next;  // not part of this character
                }
                break;
            }
        }
        return {byte, -1};
    }
}

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space across lines. False, with the stream's state set, when
// the stream was not good or ended first.
bool skip_space(std::istream& is) {
    if (!is.good()) {
        is.setstate(std::ios::failbit);
        return false;
    }
    if (is.tie() != nullptr) {
        is.tie()->flush();
    }
    std::streambuf* sb = is.rdbuf();
    for (;;) {
        const int c = sb->sgetc();
        if (c == std::char_traits<char>::eof()) {
            is.setstate(std::ios::eofbit | std::ios::failbit);
            return false;
        }
        if (!is_space(c)) {
            return true;
        }
        sb->sbumpc();
    }
}

int digit_value(int c, int base) {
    int d = 99;
    if (c >= '0' && c <= '9') {
        d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
    }
    return d < base ? d : -1;
}

}  // namespace

void clrscr() {
    std::cout << "\x1b[H\x1b[2J" << std::flush;
}

void gotoxy(int x, int y) {
    const screen_size& screen = state().screen;
    if (x < 1 || y < 1 || x > screen.columns || y > screen.rows) {
        return;
    }
    std::cout << "\x1b[" << y << ';' << x << 'H' << std::flush;
}

int getch() {
    if (pending_code >= 0) {
        const int code = pending_code;
        pending_code = -1;
        return code;
    }
    std::cout.flush();
    if (!isatty(STDIN_FILENO)) {
        return -1;
    }
    const KeyMode mode;
    if (!mode.active()) {
        return -1;
    }
    const key_press press = read_key();
    pending_code = press.second;
    return press.first;
}

int toupper(int c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

void gettime(time_of_day* t) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm local{};
    localtime_r(&now.tv_sec, &local);
    t->ti_min = static_cast<std::uint8_t>(local.tm_min);
    t->ti_hour = static_cast<std::uint8_t>(local.tm_hour);
    t->ti_hund = static_cast<std::uint8_t>(now.tv_nsec / 10000000);
    // A leap second shows as 60; the record holds 0 to 59.
    t->ti_sec = static_cast<std::uint8_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
}

std::istream& read_number(std::istream& is, int& value) {
    if (!skip_space(is)) {
        return is;
    }
    std::streambuf* sb = is.rdbuf();
    const int eof = std::char_traits<char>::eof();
    int c = sb->sgetc();
    const bool negative = c == '-';
    if (c == '+' || c == '-') {
        c = sb->snextc();
    }

    int base = 10;
    bool have_digit = false;
    bool more_digits = true;
    if (c == '0') {
        have_digit = true;
        c = sb->snextc();
        if (c == 'x' || c == 'X') {
            base = 16;
            have_digit = false;  // "0x" needs a digit after it
            c = sb->snextc();
        } else if (c >= '0' && c <= '7') {
            base = 8;
        } else {
            more_digits = false;  // a lone 0; what follows stays in the stream
        }
    }

    std::uint32_t accumulated = 0;  // wraps like 32-bit two's complement
    for (int d = digit_value(c, base); more_digits && d >= 0; d = digit_value(c, base)) {
        accumulated = accumulated * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
        have_digit = true;
        c = sb->snextc();
    }
    if (c == eof) {
        is.setstate(std::ios::eofbit);
    }
    if (!have_digit) {
        is.setstate(std::ios::failbit);
        return is;
    }
    if (negative) {
        accumulated = 0u - accumulated;
    }
    value = static_cast<std::int32_t>(accumulated);
    return is;
}

std::istream& read_char(std::istream& is, char& c) {
    if (skip_space(is)) {
        c = static_cast<char>(is.rdbuf()->sbumpc());
    }
    return is;
}

}  // namespace console
