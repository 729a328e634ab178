#include "line_input.h"

#include "keys.h"
#include "line_editor.h"
#include "platform.h"
#include "screen.h"

namespace console {

LineReader::int_type LineReader::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    if (!platform::owned()) {
        return traits_type::eof();  // input is over
    }
    screen::push();
    // A character the terminal will not show as counted is dropped, as a
    // control key is: its echo would move the cursor into the prompt.
    LineEditor editor(platform::editing_keys(), screen::character_width);
    editor.start(screen::echo_column(), screen::echo_columns());
    DecodedKey key{};
    std::string bytes;
    std::string echo;
    for (;;) {
        if (!read_key(key, bytes)) {
            return traits_type::eof();
        }
        editor.set_keys(platform::editing_keys());  // changed with stty while stopped
        echo.clear();
        const LineEditor::Outcome outcome = editor.apply(key.code, bytes, echo);
        screen::echo(echo);
        switch (outcome) {
        case LineEditor::Outcome::kEditing:
            break;
        case LineEditor::Outcome::kRedraw:
            screen::redraw();
            break;
        case LineEditor::Outcome::kLineDone:
            screen::push();
            line_ = editor.line();
            setg(line_.data(), line_.data(), line_.data() + line_.size());
            return traits_type::to_int_type(*gptr());
        case LineEditor::Outcome::kEndOfInput:
            screen::push();
            return traits_type::eof();
        case LineEditor::Outcome::kSuspend:
            screen::push();
            platform::suspend();  // the next wait draws the screen again once back
            break;
        }
    }
}

LineReader& line_reader() {
    static LineReader instance;
    return instance;
}

}  // namespace console
