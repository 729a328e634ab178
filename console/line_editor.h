#ifndef BLACKJACK_CONSOLE_LINE_EDITOR_H
#define BLACKJACK_CONSOLE_LINE_EDITOR_H

// Editing of one input line, key by key: what the line holds and what to echo.
// Pure: the line reader feeds it keys and writes the echo.

#include <cstddef>
#include <string>

namespace console {

class LineEditor {
public:
    enum class Outcome {
        kEditing,     // go on reading keys
        kLineDone,    // Enter: line() ends with a line feed
        kEndOfInput,  // Ctrl+D on an empty line, or Ctrl+C
        kSuspend,     // Ctrl+Z: stop the program, then redraw the line
    };

    // The longest line kept; keys past it are dropped, as a terminal does.
    static constexpr std::size_t kLongestLine = 4095;

    // Applies one key: its code (as getch gives it) and the bytes it came
    // as. What the screen must show is appended to echo.
    Outcome apply(int code, const std::string& bytes, std::string& echo);

    const std::string& line() const { return line_; }
    void clear() { line_.clear(); }

private:
    void erase_last(std::string& echo);

    std::string line_;
};

}  // namespace console

#endif
