#ifndef BLACKJACK_CONSOLE_WINDOWS_CONSOLE_SEQUENCES_H
#define BLACKJACK_CONSOLE_WINDOWS_CONSOLE_SEQUENCES_H

// Splits what the console layer writes to the screen into text and the few
// cursor commands it sends as terminal sequences (ESC [ H, ESC [ 2 J,
// ESC [ row ; column H, ESC [ n C), for a Windows console that carries them
// out through its own calls. Pure: no system header.

#include <string>
#include <string_view>
#include <vector>

namespace console::windows {

struct ConsoleAction {
    enum class Kind {
        kText,   // text: whole UTF-8 characters, line feeds, tabs, backspaces
        kClear,  // blank the whole window; the cursor stays
        kMove,   // cursor to column, row, counted from 1
        kRight,  // cursor count columns to the right, stopping at the edge
    };
    Kind kind;
    std::string text;
    int column = 1;
    int row = 1;
    int count = 1;
};

class SequenceSplitter {
public:
    // The actions of text, in order. A sequence or a character cut off at
    // the end waits for the rest, which the next call brings; sequences of
    // any other kind are dropped.
    std::vector<ConsoleAction> split(std::string_view text);

private:
    std::string carry_;
};

}  // namespace console::windows

#endif
