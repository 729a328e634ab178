#ifndef BLACKJACK_CONSOLE_DISPLAY_OPERATIONS_H
#define BLACKJACK_CONSOLE_DISPLAY_OPERATIONS_H

// What the screen tells the player's display to do, and the bytes that say
// it to a terminal. The screen and its record speak these operations; each
// platform carries them out, a terminal (and every file or pipe) as the bytes
// render() writes, a Windows console by its own calls. Pure.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace console {

struct DisplayOperation {
    enum class Kind {
        kText,            // characters, line feeds, carriage returns, backspaces; never a tab
        kClear,           // blank the screen, the cursor to column 1, row 1
        kClearLineRight,  // blank the cursor's cell and the rest of its row; the cursor stays
        kMoveTo,          // the cursor to column, row, counted from 1
        kMoveRight,       // the cursor count columns right, not past the edge, the cells passed left as they are
    };
    Kind kind;
    std::string text;  // kText
    int column = 1;    // kMoveTo
    int row = 1;       // kMoveTo
    int count = 1;     // kMoveRight
};

// Operations in order; a text added right after a text joins it.
class DisplayOperations {
public:
    void text(std::string_view text);
    void clear_screen();
    void clear_line_right();
    void move_to(int column, int row);
    void move_right(int count);
    void add(const DisplayOperation& operation);
    void add(const DisplayOperations& operations);

    bool empty() const { return list_.empty(); }
    void forget() { list_.clear(); }
    std::vector<DisplayOperation>::const_iterator begin() const { return list_.begin(); }
    std::vector<DisplayOperation>::const_iterator end() const { return list_.end(); }

private:
    std::vector<DisplayOperation> list_;
};

// The bytes a terminal carries out as the operation(s): what goes to a
// display that takes bytes, and the game's output to a file or a pipe.
void render(const DisplayOperation& operation, std::string& out);
std::string render(const DisplayOperations& operations);

}  // namespace console

#endif
