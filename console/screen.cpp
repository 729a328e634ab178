#include "screen.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "console.h"
#include "screen_record.h"
#include "terminal.h"

namespace console {

namespace screen {

namespace {

// What the game's screens need.
constexpr int kGameColumns = 80;
constexpr int kGameRows = 21;

struct Size {
    int columns;
    int rows;
};

bool measure(int fd, Size& size) {
    winsize ws{};
    if (fd >= 0 && ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
        size = {ws.ws_col, ws.ws_row};
        return true;
    }
    return false;
}

Size measure_any() {
    Size size{80, 25};  // what a plain text console offers
    for (const int fd : {STDOUT_FILENO, STDIN_FILENO, STDERR_FILENO}) {
        if (measure(fd, size)) {
            break;
        }
    }
    return size;
}

bool same_terminal(int a, int b) {
    struct stat first {};
    struct stat second {};
    return isatty(a) && isatty(b) && fstat(a, &first) == 0 && fstat(b, &second) == 0 &&
           first.st_rdev == second.st_rdev;
}

// Writes all of text to fd, waiting while it is full. 0, or the error that
// stopped it.
int write_all(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, text, size);
        if (n > 0) {
            text += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Left non-blocking by someone else: wait until it takes more.
            pollfd output{fd, POLLOUT, 0};
            if (poll(&output, 1, -1) < 0 && errno != EINTR) {
                return errno;
            }
        } else {
            return n < 0 ? errno : EIO;
        }
    }
    return 0;
}

// The player's terminal and what its screen shows.
struct Display {
    int fd = -1;
    bool owns_fd = false;      // opened here, closed at the end
    bool shows_game = false;   // it is standard output
    bool shows_errors = false;  // standard error writes to it too
    bool stale = false;        // it may not show the record: draw it whole next
    ScreenRecord record{kGameColumns, 25};
    std::string pending;  // written at the next push
};

Display display;
std::string game_pending;  // the game's text, when standard output is not the display
Size game_size{80, 25};    // the screen gotoxy knows, when standard output is not the display
int output_error = 0;      // why the game's text could not be written
std::streambuf* original_cout = nullptr;
std::streambuf* original_cerr = nullptr;

// The terminal the keys come from, for the echo, when standard output is
// not a terminal.
int open_keyboard_terminal() {
    const int flags = fcntl(STDIN_FILENO, F_GETFL);
    if (flags >= 0 && (flags & O_ACCMODE) == O_RDWR) {
        return STDIN_FILENO;
    }
    return open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
}

void find_display() {
    if (isatty(STDOUT_FILENO)) {
        display.fd = STDOUT_FILENO;
        display.shows_game = true;
    } else if (terminal::owned()) {
        display.fd = open_keyboard_terminal();
        display.owns_fd = display.fd > STDERR_FILENO;
    }
    game_size = measure_any();
    Size size = game_size;
    if (display.fd >= 0 && measure(display.fd, size)) {
        display.record.resize(size.columns, size.rows);
    }
    display.shows_errors = display.fd >= 0 && same_terminal(display.fd, STDERR_FILENO);
}

bool visible() {
    return display.fd >= 0 && !terminal::gone() && terminal::in_foreground(display.fd);
}

void to_display(std::string_view text) {
    display.record.write(text);
    display.pending.append(text);
}

void game_text(std::string_view text) {
    if (display.shows_game) {
        to_display(text);
    } else {
        game_pending.append(text);
    }
}

// A control sequence of the game's: the record follows it by itself.
void game_control(const std::string& sequence) {
    (display.shows_game ? display.pending : game_pending).append(sequence);
}

void show_notice(const Size& size) {
    const std::string notice = "\x1b[H\x1b[2JThis game needs a window of " + std::to_string(kGameColumns) + "x" +
                               std::to_string(kGameRows) + "; this one is " + std::to_string(size.columns) +
                               "x" + std::to_string(size.rows) + ".";
    if (write_all(display.fd, notice.data(), notice.size()) != 0) {
        terminal::mark_gone();
    }
}

// Makes the record the window's size. Too small a window for the game's
// screens gets a notice instead, until it is made large enough; keys typed
// meanwhile wait for the game.
void fit_window() {
    Size size{};
    if (!measure(display.fd, size)) {
        return;
    }
    Size noticed{0, 0};
    while (display.shows_game && (size.columns < kGameColumns || size.rows < kGameRows) && visible()) {
        if (size.columns != noticed.columns || size.rows != noticed.rows) {
            show_notice(size);
            noticed = size;
            display.stale = true;
        }
        pollfd fds[2] = {{terminal::wake_fd(), POLLIN, 0}, {display.fd, 0, 0}};
        if (poll(fds, 2, -1) > 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            terminal::mark_gone();
        }
        terminal::hold_mode(terminal::take_events().continued);
        measure(display.fd, size);
    }
    // A window still too small (the program went to the background
    // meanwhile) leaves the record as it is, for the window made larger.
    const bool fits = !display.shows_game || (size.columns >= kGameColumns && size.rows >= kGameRows);
    if (fits && (size.columns != display.record.columns() || size.rows != display.record.rows())) {
        display.record.resize(size.columns, size.rows);
        display.stale = true;
    }
}

// Catches up with the signals' news.
void catch_up() {
    const terminal::Events events = terminal::take_events();
    const bool mode_taken = terminal::hold_mode(events.continued);
    if (!visible()) {
        display.stale = display.stale || display.fd >= 0;
        return;
    }
    if (mode_taken || events.continued || events.resized || display.stale) {
        display.stale = display.stale || mode_taken || events.continued;
        fit_window();
    }
}

// Writes out what waits, without judging a failure.
void write_out() {
    if (!game_pending.empty()) {
        const int error = write_all(STDOUT_FILENO, game_pending.data(), game_pending.size());
        if (error != 0 && output_error == 0) {
            output_error = error;
        }
        game_pending.clear();
    }
    if (!visible()) {
        display.pending.clear();  // the record has it, for the redraw once back
        return;
    }
    const std::string whole = display.stale ? display.record.render() : std::string();
    const std::string& out = display.stale ? whole : display.pending;
    if (!out.empty() && write_all(display.fd, out.data(), out.size()) != 0) {
        terminal::mark_gone();  // the terminal went away: the game ends as at the end of input
    }
    display.stale = false;
    display.pending.clear();
}

void write_error(std::string_view text) {
    write_out();  // what waits goes first, then the message, where the cursor stands
    if (display.shows_errors) {
        display.record.write(text);
        if (!visible() || display.stale) {
            display.stale = true;  // shown with the whole screen once back
            return;
        }
    }
    if (write_all(STDERR_FILENO, text.data(), text.size()) != 0 && display.shows_errors) {
        terminal::mark_gone();
    }
}

// A stream buffer that hands all text on at once. As std::cout's, its
// sync() keeps collecting, so std::endl does not write: push() does.
class PassOn : public std::streambuf {
public:
    explicit PassOn(void (*take)(std::string_view)) : take_(take) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            take_(std::string_view(&ch, 1));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* text, std::streamsize size) override {
        take_(std::string_view(text, static_cast<std::size_t>(size)));
        return size;
    }

private:
    void (*take_)(std::string_view);
};

// A stream whose flush pushes the screen: std::cin is tied to it, so a
// prompt shows before a read.
class PushOnSync : public std::streambuf {
protected:
    int sync() override {
        push();
        return 0;
    }
};

std::ostream& pusher() {
    static PushOnSync push_buffer;
    static std::ostream stream(&push_buffer);
    return stream;
}

PassOn game_buffer(game_text);
PassOn error_buffer(write_error);

}  // namespace

void install() {
    if (original_cout != nullptr) {
        return;
    }
    find_display();
    std::cout.flush();  // anything written before goes first
    original_cout = std::cout.rdbuf(&game_buffer);
    original_cerr = std::cerr.rdbuf(&error_buffer);
    std::cin.tie(&pusher());
    std::cerr.tie(nullptr);
    if (visible()) {
        fit_window();
    }
}

void uninstall() {
    if (original_cout == nullptr) {
        return;
    }
    write_out();
    std::cout.rdbuf(original_cout);
    std::cerr.rdbuf(original_cerr);
    original_cout = nullptr;
    std::cin.tie(&std::cout);
    std::cerr.tie(&std::cout);
    if (display.owns_fd) {
        close(display.fd);
    }
    display.fd = -1;
}

void clear() {
    game_control("\x1b[H\x1b[2J");
    if (display.shows_game) {
        display.record.clear();
    }
}

void move_to(int column, int row) {
    const int columns = display.shows_game ? display.record.columns() : game_size.columns;
    const int rows = display.shows_game ? display.record.rows() : game_size.rows;
    if (column < 1 || row < 1 || column > columns || row > rows) {
        return;
    }
    game_control("\x1b[" + std::to_string(row) + ';' + std::to_string(column) + 'H');
    if (display.shows_game) {
        display.record.move_to(column, row);
    }
}

void echo(std::string_view text) {
    if (display.fd >= 0) {
        to_display(text);
    }
}

int echo_column() {
    return display.fd >= 0 ? display.record.column() : 1;
}

int echo_columns() {
    return display.fd >= 0 ? std::min(kGameColumns, display.record.columns()) : INT_MAX;
}

void push() {
    catch_up();
    write_out();
    if (output_error != 0) {
        const std::string report =
            std::string("blackjack: cannot write the game's output: ") + std::strerror(output_error) + "\n";
        if (write(STDERR_FILENO, report.data(), report.size()) < 0) {
            // Nowhere left to tell it; the status still does.
        }
        std::exit(1);
    }
}

void redraw() {
    display.stale = display.fd >= 0;
}


}  // namespace screen

void flush() {
    std::cout.flush();  // for a std::cout that is not the screen's own
    screen::push();
}

void clrscr() {
    screen::clear();
}

void gotoxy(int x, int y) {
    screen::move_to(x, y);
}

bool attend() {
    if (terminal::gone()) {
        return false;
    }
    // Often enough to be seen at once, seldom enough to cost nothing.
    constexpr std::int64_t kEveryNs = 10'000'000;
    static std::int64_t last_ns = 0;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const std::int64_t now_ns = static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    if (now_ns - last_ns < kEveryNs) {
        return true;
    }
    last_ns = now_ns;
    if (terminal::owned()) {
        terminal::check_gone(STDIN_FILENO);
    }
    if (screen::display.fd >= 0) {
        terminal::check_gone(screen::display.fd);
    }
    screen::push();
    return !terminal::gone();
}

}  // namespace console
