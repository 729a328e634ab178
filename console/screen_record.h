#ifndef BLACKJACK_CONSOLE_SCREEN_RECORD_H
#define BLACKJACK_CONSOLE_SCREEN_RECORD_H

// What a terminal shows after the output written to it: a grid of cells and
// a cursor, and the rows gone off the top that a taller window brings back,
// so that the screen can be drawn again in one go. Pure: it writes nothing.

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "display_operations.h"

namespace console {

class ScreenRecord {
public:
    // The largest grid kept; a larger window is recorded in its top-left part.
    static constexpr int kMostColumns = 1024;
    static constexpr int kMostRows = 1024;

    ScreenRecord(int columns, int rows);

    // Text as the terminal takes it: line feed to the start of the next row
    // (scrolling at the bottom), carriage return, tab stops every 8 columns,
    // backspace, and characters that wrap at the right edge. Other control
    // characters move nothing. A character may arrive split over calls.
    void write(std::string_view text);

    void clear();                      // blank cells, cursor at column 1, row 1
    void move_to(int column, int row);  // counted from 1; off the grid: ignored

    // An operation as the display carries it out.
    void apply(const DisplayOperation& operation);

    // The column a tab takes the cursor to.
    int next_tab_stop() const;

    // A window of a new size, as a terminal takes it: a shorter one loses
    // rows below the cursor first, then rows at the top; a taller one gets
    // back, at the top, rows that went off the top (by a line feed or a
    // shorter window) since the last clear. Columns that no longer fit are
    // cut.
    void resize(int columns, int rows);

    int columns() const { return columns_; }
    int rows() const { return rows_; }
    int column() const { return column_; }  // the cursor, counted from 1
    int row() const { return row_; }

    // One row as the terminal shows it, trailing blanks left out.
    std::string text(int row) const;

    // Clears the display and draws the grid and the cursor.
    DisplayOperations render() const;

    // Draws the cursor's row again on the terminal's row of the cursor,
    // clearing nothing: back to its start with backspaces, its text, the
    // cursor.
    DisplayOperations render_line() const;

private:
    static constexpr char32_t kBlank = 0;
    static constexpr char32_t kWideTail = 0xFFFFFFFF;  // the second column of a wide character

    char32_t& at(int column, int row) { return cells_[static_cast<std::size_t>((row - 1) * columns_ + column - 1)]; }
    char32_t at(int column, int row) const {
        return cells_[static_cast<std::size_t>((row - 1) * columns_ + column - 1)];
    }
    void put(char32_t c, int width);
    void blank(int column, int row);  // with the other half of a wide character
    void line_feed();
    void keep_off_screen(int row);  // into the history, before it goes

    int columns_;
    int rows_;
    int column_ = 1;
    int row_ = 1;
    bool wrap_pending_ = false;  // a character filled the last column
    std::vector<char32_t> cells_;
    std::deque<std::vector<char32_t>> history_;  // rows gone off the top, the latest last
    std::string partial_;  // the start of a character whose other bytes are still to come
};

}  // namespace console

#endif
