#ifndef BLACKJACK_CONSOLE_LINE_EDITOR_H
#define BLACKJACK_CONSOLE_LINE_EDITOR_H

// Editing of one input line, key by key: what the line holds and what to echo.
// Pure: the line reader feeds it keys and writes the echo.

#include <climits>
#include <cstddef>
#include <string>
#include <vector>

#include "characters.h"

namespace console {

// The keys the player's terminal settings give for editing a line; -1 for a
// key switched off. The defaults are a new terminal's.
struct EditingKeys {
    int erase = 0x7F;    // erases a character; DEL and Ctrl+H always do too
    int kill = 0x15;     // erases the line (Ctrl+U)
    int werase = 0x17;   // erases a word; Ctrl+W always does too
    int reprint = 0x12;  // draws the screen again; Ctrl+R and Ctrl+L always do too
    int eof = 0x04;      // ends the input on an empty line (Ctrl+D)
    int intr = 0x03;     // ends the input (Ctrl+C)
    int susp = 0x1A;     // stops the program (Ctrl+Z)
};

class LineEditor {
public:
    enum class Outcome {
        kEditing,     // go on reading keys
        kLineDone,    // Enter: line() ends with a line feed
        kEndOfInput,  // eof on an empty line, or intr
        kSuspend,     // susp: stop the program; the line stays as it is
        kRedraw,      // reprint: draw the whole screen again
    };

    // The longest line kept, in bytes; keys past it are dropped, as a
    // terminal does.
    static constexpr std::size_t kLongestLine = 4095;

    // width: the columns a character takes on the screen, -1 for none.
    explicit LineEditor(const EditingKeys& keys = {}, int (*width)(long) = column_width)
        : keys_(keys), width_(width) {}

    void set_keys(const EditingKeys& keys) { keys_ = keys; }

    // Begins a new, empty line whose first character will stand in column
    // `column` of a row `columns` wide. The line stays on that row: a
    // character that would reach its last column is dropped.
    void start(int column = 1, int columns = INT_MAX);

    // Applies one key: its code (as getch gives it) and the bytes it came
    // as. What the screen must show is appended to echo. Keys that cannot
    // be shown as they are held (cursor keys, Esc, control keys, bytes that
    // are not a whole character, characters of no width) are dropped, so
    // the line shows exactly what it holds.
    Outcome apply(int code, const std::string& bytes, std::string& echo);

    const std::string& line() const { return line_; }

private:
    struct Piece {
        std::size_t bytes;
        int width;  // columns on the screen
    };

    bool is(int code, int key) const { return key >= 0 && code == key; }
    void add(const std::string& bytes, int width, std::string& echo);
    void erase_last(std::string& echo);
    bool last_is_blank() const;

    EditingKeys keys_;
    int (*width_)(long);
    std::string line_;
    std::vector<Piece> pieces_;
    int column_ = 1;
    int columns_ = INT_MAX;
};

}  // namespace console

#endif
