// The display in a browser page: the page's terminal emulator takes the
// display's operations as the bytes a terminal takes (render()). Standard
// output and standard error are that same terminal.

#include "characters.h"
#include "platform.h"

#include <emscripten.h>

namespace console::platform {

namespace {

EM_JS(void, page_write, (const char* text, int size), { Module.write(HEAPU8.slice(text, text + size)); });
EM_JS(int, page_columns, (), { return Module.size()[0]; });
EM_JS(int, page_rows, (), { return Module.size()[1]; });

bool write_to_page(std::string_view text) {
    if (!text.empty()) {
        page_write(text.data(), static_cast<int>(text.size()));
    }
    return true;
}

}  // namespace

DisplayFound open_display() {
    return DisplayFound::kOnStandardOutput;
}

void close_display() {}

bool display_size(Size& size) {
    size = {page_columns(), page_rows()};
    return size.columns > 0 && size.rows > 0;
}

bool size_of_standard_terminal(Size& size) {
    return display_size(size);
}

bool display_shows_errors() {
    return true;
}

bool display_in_foreground() {
    return !gone();
}

bool write_display(const DisplayOperations& operations) {
    return write_to_page(render(operations));
}

int write_output(std::string_view text) {
    write_to_page(text);
    return 0;
}

bool write_error(std::string_view text) {
    return write_to_page(text);
}

}  // namespace console::platform

// The page's terminal counts a character's columns by the game's own table
// (the page registers it with the emulator), so that what the game counts
// is what the page draws, whatever the emulator's Unicode version.
extern "C" EMSCRIPTEN_KEEPALIVE int blackjack_column_width(int c) {
    return console::column_width(c);
}
