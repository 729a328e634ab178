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
#include "display_operations.h"
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
    platform::size_of_standard_terminal(size);
    return size;
}

// The player's display and what it shows.
struct PlayerView {
    bool present = false;      // there is a terminal to show things on
    bool shows_game = false;   // it is standard output
    bool shows_errors = false;  // standard error writes to it too
    bool stale = false;        // it may not show the record: draw it whole next
    // Its rows are the record's: the game has cleared it.
    // Before, the rows above the cursor are the shell's, and the terminal
    // alone knows where the game's text stands.
    bool cleared = false;
    ScreenRecord record{kGameColumns, 25};
    DisplayOperations pending;  // carried out at the next push
};

PlayerView view;
std::string game_pending;  // the game's text, when standard output is not the display
Size game_size{80, 25};    // the screen gotoxy knows, when standard output is not the display
int output_error = 0;      // why the game's text could not be written
std::streambuf* original_cout = nullptr;
std::streambuf* original_cerr = nullptr;

void find_display() {
    const platform::DisplayFound found = platform::open_display();
    view.present = found != platform::DisplayFound::kNone;
    view.shows_game = found == platform::DisplayFound::kOnStandardOutput;
    game_size = size_for_game();
    Size size = game_size;
    if (view.present && platform::display_size(size)) {
        view.record.resize(size.columns, size.rows);
    }
    view.shows_errors = platform::display_shows_errors();
}

bool visible() {
    return platform::display_in_foreground();
}

// An operation for the display, which the record follows.
void show(const DisplayOperation& operation) {
    view.record.apply(operation);
    view.pending.add(operation);
}

// A tab goes to the display as a move to the game's next stop: the
// terminal's own stops are the player's (tabs -4), and the move leaves the
// cells it passes as they are, as a tab does.
void to_display(std::string_view text) {
    for (std::size_t tab = text.find('\t'); tab != std::string_view::npos; tab = text.find('\t')) {
        show({DisplayOperation::Kind::kText, std::string(text.substr(0, tab))});
        // At the right edge it moves nothing, as a tab there does.
        const int columns = std::max(1, view.record.next_tab_stop() - view.record.column());
        show({DisplayOperation::Kind::kMoveRight, {}, 1, 1, columns});
        text.remove_prefix(tab + 1);
    }
    show({DisplayOperation::Kind::kText, std::string(text)});
}

void game_text(std::string_view text) {
    if (view.shows_game) {
        to_display(text);
    } else {
        game_pending.append(text);
    }
}

// A clear or a cursor move of the game's, in order with its text.
void game_control(const DisplayOperation& operation) {
    if (view.shows_game) {
        show(operation);
    } else {
        render(operation, game_pending);
    }
}

// How many columns the notice took on the game's own line, before the
// game's first clear; 0 when it does not stand there.
std::size_t notice_on_line = 0;

void show_notice(const Size& size) {
    const std::string notice = "This game needs a window of " + std::to_string(kGameColumns) + "x" +
                               std::to_string(kGameRows) + "; this one is " + std::to_string(size.columns) + "x" +
                               std::to_string(size.rows) + ".";
    DisplayOperations out;
    if (view.cleared) {
        out.clear_screen();
    } else {
        // The rows above the game's line are the shell's: the notice takes
        // that line alone, from where it starts.
        const std::size_t back =
            notice_on_line > 0 ? notice_on_line : static_cast<std::size_t>(view.record.column() - 1);
        out.text(std::string(back, '\b'));
        out.clear_line_right();
        notice_on_line = notice.size();
    }
    out.text(notice);
    if (!platform::write_display(out)) {
        platform::mark_gone();
    }
}

// After a notice on the game's line: the line empty again, and the cursor
// where the game's line has it, as drawing that line again expects.
DisplayOperations leave_notice() {
    DisplayOperations out;
    if (notice_on_line == 0) {
        return out;
    }
    out.text(std::string(notice_on_line, '\b'));
    out.clear_line_right();
    if (view.record.column() > 1) {
        out.move_right(view.record.column() - 1);
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
    while (view.shows_game && (size.columns < kGameColumns || size.rows < kGameRows) && visible()) {
        if (size.columns != noticed.columns || size.rows != noticed.rows) {
            show_notice(size);
            noticed = size;
            view.stale = true;
        }
        platform::wait_for_news(kNoticeLookMs);
        const platform::Events events = platform::take_events();
        if (platform::hold_mode(events) || events.continued || events.resized) {
            noticed = Size{0, 0};  // the screen may show another program's text now: the notice again
        }
        platform::display_size(size);
    }
    // A window still too small (the program went to the background
    // meanwhile) leaves the record as it is, for the window made larger.
    const bool fits = !view.shows_game || (size.columns >= kGameColumns && size.rows >= kGameRows);
    if (fits && (size.columns != view.record.columns() || size.rows != view.record.rows())) {
        view.record.resize(size.columns, size.rows);
        view.stale = true;
    }
}

// Catches up with the signals' news.
void catch_up() {
    const platform::Events events = platform::take_events();
    const bool mode_taken = platform::hold_mode(events);
    if (!visible()) {
        view.stale = view.stale || view.present;
        return;
    }
    if (mode_taken || events.continued || events.resized || view.stale) {
        // A window made smaller and larger again between two looks has the
        // same size, but the terminal may have moved or cut its rows.
        view.stale = view.stale || mode_taken || events.continued || events.resized;
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
        view.pending.forget();  // the record has it, for the redraw once back
        return;
    }
    DisplayOperations whole;
    if (view.stale) {
        // Before the game has cleared the screen, only its own line again,
        // where it stands: the rows above are the shell's.
        if (view.cleared) {
            whole = view.record.render();
        } else {
            whole = leave_notice();
            whole.add(view.record.render_line());
        }
    }
    const DisplayOperations& out = view.stale ? whole : view.pending;
    if (!out.empty() && !platform::write_display(out)) {
        platform::mark_gone();  // the terminal went away: the game ends as at the end of input
    }
    view.stale = false;
    view.pending.forget();
}

void write_error(std::string_view text) {
    write_out();  // what waits goes first, then the message, where the cursor stands
    if (view.shows_errors) {
        view.record.write(text);
        if (!visible() || view.stale) {
            view.stale = true;  // shown with the whole screen once back
            return;
        }
    }
    if (!platform::write_error(text) && view.shows_errors) {
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
    view.present = false;
}

void clear() {
    game_control({DisplayOperation::Kind::kClear, {}});
    view.cleared = view.cleared || view.shows_game;
}

void move_to(int column, int row) {
    const int columns = view.shows_game ? view.record.columns() : game_size.columns;
    const int rows = view.shows_game ? view.record.rows() : game_size.rows;
    if (column < 1 || row < 1 || column > columns || row > rows) {
        return;
    }
    game_control({DisplayOperation::Kind::kMoveTo, {}, column, row});
}

void echo(std::string_view text) {
    if (view.present) {
        to_display(text);
    }
}

int echo_column() {
    return view.present ? view.record.column() : 1;
}

int echo_columns() {
    return view.present ? std::min(kGameColumns, view.record.columns()) : INT_MAX;
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
    view.stale = view.present;
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
