#include "screen.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "characters.h"
#include "console.h"
#include "platform.h"
#include "screen_record.h"

namespace console {

namespace screen {

namespace {

// What the game's screens need.
constexpr int kGameColumns = 80;
constexpr int kGameRows = 21;

// How often the size is asked again while the small-window notice stands,
// beside the events: some consoles never tell a change.
constexpr int kNoticeLookMs = 250;

using platform::Size;

// The size gotoxy knows when standard output is not the display.
Size size_for_game() {
    Size size{80, 25};  // what a plain text console offers
    platform::standard_size(size);
    return size;
}

// The player's terminal and what its screen shows.
struct Display {
    bool present = false;      // there is a terminal to show things on
    bool shows_game = false;   // it is standard output
    bool shows_errors = false;  // standard error writes to it too
    bool stale = false;        // it may not show the record: draw it whole next
    // Its rows are the record's: the game has cleared it.
    // Before, the rows above the cursor are the shell's, and the terminal
    // alone knows where the game's text stands.
    bool cleared = false;
    ScreenRecord record{kGameColumns, 25};
    std::string pending;  // written at the next push
};

Display display;
std::string game_pending;  // the game's text, when standard output is not the display
Size game_size{80, 25};    // the screen gotoxy knows, when standard output is not the display
int output_error = 0;      // why the game's text could not be written
std::streambuf* original_cout = nullptr;
std::streambuf* original_cerr = nullptr;

void find_display() {
    const platform::Display found = platform::open_display();
    display.present = found != platform::Display::kNone;
    display.shows_game = found == platform::Display::kOutput;
    game_size = size_for_game();
    Size size = game_size;
    if (display.present && platform::display_size(size)) {
        display.record.resize(size.columns, size.rows);
    }
    display.shows_errors = platform::display_shows_errors();
}

bool visible() {
    return platform::display_in_foreground();
}

// A tab goes to the display as a move to the game's next stop: the
// terminal's own stops are the player's (tabs -4), and the move leaves the
// cells it passes as they are, as a tab does.
void to_display(std::string_view text) {
    for (std::size_t tab = text.find('\t'); tab != std::string_view::npos; tab = text.find('\t')) {
        display.record.write(text.substr(0, tab));
        display.pending.append(text.substr(0, tab));
        const int from = display.record.column();
        display.record.write("\t");
        // At the right edge it moves nothing, as a tab there does.
        display.pending += "\x1b[" + std::to_string(std::max(1, display.record.column() - from)) + 'C';
        text.remove_prefix(tab + 1);
    }
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

// How many columns the notice took on the game's own line, before the
// game's first clear; 0 when it does not stand there.
std::size_t notice_on_line = 0;

void show_notice(const Size& size) {
    const std::string notice = "This game needs a window of " + std::to_string(kGameColumns) + "x" +
                               std::to_string(kGameRows) + "; this one is " + std::to_string(size.columns) + "x" +
                               std::to_string(size.rows) + ".";
    std::string out = "\x1b[H\x1b[2J";
    if (!display.cleared) {
        // The rows above the game's line are the shell's: the notice takes
        // that line alone, from where it starts.
        const std::size_t back =
            notice_on_line > 0 ? notice_on_line : static_cast<std::size_t>(display.record.column() - 1);
        out = std::string(back, '\b') + "\x1b[K";
        notice_on_line = notice.size();
    }
    if (!platform::write_display(out + notice)) {
        platform::mark_gone();
    }
}

// After a notice on the game's line: the line empty again, and the cursor
// where the game's line has it, as drawing that line again expects.
std::string leave_notice() {
    if (notice_on_line == 0) {
        return "";
    }
    std::string out = std::string(notice_on_line, '\b') + "\x1b[K";
    if (display.record.column() > 1) {
        out += "\x1b[" + std::to_string(display.record.column() - 1) + 'C';
    }
    notice_on_line = 0;
    return out;
}

// Makes the record the window's size. Too small a window for the game's
// screens gets a notice instead, until it is made large enough; keys typed
// meanwhile wait for the game.
void fit_window() {
    Size size{};
    if (!platform::display_size(size)) {
        return;
    }
    Size noticed{0, 0};
    while (display.shows_game && (size.columns < kGameColumns || size.rows < kGameRows) && visible()) {
        if (size.columns != noticed.columns || size.rows != noticed.rows) {
            show_notice(size);
            noticed = size;
            display.stale = true;
        }
        platform::wait_for_news(kNoticeLookMs);
        const platform::Events events = platform::take_events();
        if (platform::hold_mode(events.continued) || events.continued || events.resized) {
            noticed = Size{0, 0};  // the screen may show another program's text now: the notice again
        }
        platform::display_size(size);
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
    const platform::Events events = platform::take_events();
    const bool mode_taken = platform::hold_mode(events.continued);
    if (!visible()) {
        display.stale = display.stale || display.present;
        return;
    }
    if (mode_taken || events.continued || events.resized || display.stale) {
        // A window made smaller and larger again between two looks has the
        // same size, but the terminal may have moved or cut its rows.
        display.stale = display.stale || mode_taken || events.continued || events.resized;
        fit_window();
    }
}

// Writes out what waits, without judging a failure.
void write_out() {
    if (!game_pending.empty()) {
        const int error = platform::write_output(game_pending);
        if (error != 0 && output_error == 0) {
            output_error = error;
        }
        game_pending.clear();
    }
    if (!visible()) {
        display.pending.clear();  // the record has it, for the redraw once back
        return;
    }
    std::string whole;
    if (display.stale) {
        // Before the game has cleared the screen, only its own line again,
        // where it stands: the rows above are the shell's.
        whole = display.cleared ? display.record.render() : leave_notice() + display.record.render_line();
    }
    const std::string& out = display.stale ? whole : display.pending;
    if (!out.empty() && !platform::write_display(out)) {
        platform::mark_gone();  // the terminal went away: the game ends as at the end of input
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
    if (!platform::write_error(text) && display.shows_errors) {
        platform::mark_gone();
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
    platform::close_display();
    display.present = false;
}

void clear() {
    game_control("\x1b[H\x1b[2J");
    if (display.shows_game) {
        display.record.clear();
        display.cleared = true;
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
    if (display.present) {
        to_display(text);
    }
}

int echo_column() {
    return display.present ? display.record.column() : 1;
}

int echo_columns() {
    return display.present ? std::min(kGameColumns, display.record.columns()) : INT_MAX;
}

void push() {
    catch_up();
    write_out();
    if (output_error != 0) {
        const std::string report =
            std::string("blackjack: cannot write the game's output: ") + std::strerror(output_error) + "\n";
        platform::write_error(report);  // failing, nowhere left to tell it; the status still does
        std::exit(1);
    }
}

void redraw() {
    display.stale = display.present;
}

int character_width(long c) {
    const int width = column_width(c);
    return width >= 0 && !platform::knows_character(c) ? -1 : width;
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
    if (platform::gone() || platform::interrupted()) {
        return false;
    }
    // Often enough to be seen at once, seldom enough to cost nothing.
    constexpr std::int64_t kEveryNs = 10'000'000;
    static std::int64_t last_ns = 0;
    const std::int64_t now_ns = platform::monotonic_ns();
    if (now_ns - last_ns < kEveryNs) {
        return true;
    }
    last_ns = now_ns;
    platform::check_gone();
    screen::push();
    return !platform::gone();
}

}  // namespace console
