#include "screen_record.h"

#include <algorithm>
#include <cstddef>

#include "characters.h"

namespace console {

namespace {

constexpr int kTabWidth = 8;
constexpr char32_t kReplacement = 0xFFFD;  // what a terminal draws for a stray byte

int clamp(int value, int most) {
    return std::clamp(value, 1, most);
}

}  // namespace

ScreenRecord::ScreenRecord(int columns, int rows)
    : columns_(clamp(columns, kMostColumns)),
      rows_(clamp(rows, kMostRows)),
      cells_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), kBlank) {}

void ScreenRecord::write(std::string_view text) {
    std::string joined;  // a character begun in an earlier write, and what follows it
    if (!partial_.empty()) {
        joined = partial_ + std::string(text);
        text = joined;
        partial_.clear();
    }
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text[0]);
        if (byte >= 0x80) {
            const Utf8Character c = utf8_character(text);
            if (c.kind == Utf8Character::Kind::kIncomplete) {
                partial_.assign(text);
                return;
            }
            const bool drawn = c.kind == Utf8Character::Kind::kComplete;
            put(drawn ? c.code : kReplacement, drawn ? column_width(c.code) : 1);
            text.remove_prefix(c.length);
            continue;
        }
        text.remove_prefix(1);
        switch (byte) {
        case '\n':
            line_feed();
            column_ = 1;
            break;
        case '\r':
            column_ = 1;
            wrap_pending_ = false;
            break;
        case '\t':
            column_ = next_tab_stop();
            wrap_pending_ = false;
            break;
        case '\b':
            column_ = std::max(1, column_ - 1);
            wrap_pending_ = false;
            break;
        default:
            if (byte >= 0x20 && byte != 0x7F) {
                put(byte, 1);
            }
            break;
        }
    }
}

int ScreenRecord::next_tab_stop() const {
    return std::min(columns_, (column_ - 1) / kTabWidth * kTabWidth + kTabWidth + 1);
}

void ScreenRecord::apply(const DisplayOperation& operation) {
    if (operation.kind == DisplayOperation::Kind::kText) {
        write(operation.text);
        return;
    }
    // A character cut short by a move shows where it was begun, as on a
    // terminal.
    if (!partial_.empty()) {
        partial_.clear();
        put(kReplacement, 1);
    }
    switch (operation.kind) {
    case DisplayOperation::Kind::kClear:
        clear();
        break;
    case DisplayOperation::Kind::kClearLineRight:
        for (int column = column_; column <= columns_; column++) {
            blank(column, row_);
        }
        wrap_pending_ = false;
        break;
    case DisplayOperation::Kind::kMoveTo:
        move_to(operation.column, operation.row);
        break;
    case DisplayOperation::Kind::kMoveRight:
        column_ = std::min(columns_, column_ + std::max(1, operation.count));
        wrap_pending_ = false;
        break;
    case DisplayOperation::Kind::kText:
        break;
    }
}

void ScreenRecord::put(char32_t c, int width) {
    if (width <= 0) {
        return;  // nothing of its own to draw
    }
    if (wrap_pending_ || column_ + width - 1 > columns_) {
        if (width > columns_) {
            return;
        }
        line_feed();
        column_ = 1;
    }
    for (int i = 0; i < width; i++) {
        blank(column_ + i, row_);
    }
    at(column_, row_) = c;
    if (width == 2) {
        at(column_ + 1, row_) = kWideTail;
    }
    if (column_ + width - 1 == columns_) {
        column_ = columns_ - width + 1;
        wrap_pending_ = true;
    } else {
        column_ += width;
    }
}

void ScreenRecord::blank(int column, int row) {
    char32_t& cell = at(column, row);
    if (cell == kWideTail && column > 1) {
        at(column - 1, row) = kBlank;
    } else if (cell != kWideTail && cell != kBlank && column < columns_ && at(column + 1, row) == kWideTail) {
        at(column + 1, row) = kBlank;
    }
    cell = kBlank;
}

void ScreenRecord::line_feed() {
    wrap_pending_ = false;
    if (row_ < rows_) {
        row_++;
        return;
    }
    keep_off_screen(1);
    std::copy(cells_.begin() + columns_, cells_.end(), cells_.begin());
    std::fill(cells_.end() - columns_, cells_.end(), kBlank);
}

void ScreenRecord::keep_off_screen(int row) {
    const auto start = cells_.begin() + static_cast<std::ptrdiff_t>(row - 1) * columns_;
    history_.emplace_back(start, start + columns_);
    if (history_.size() > static_cast<std::size_t>(kMostRows)) {
        history_.pop_front();
    }
}

void ScreenRecord::clear() {
    std::fill(cells_.begin(), cells_.end(), kBlank);
    history_.clear();
    column_ = 1;
    row_ = 1;
    wrap_pending_ = false;
    partial_.clear();
}

void ScreenRecord::move_to(int column, int row) {
    if (column < 1 || row < 1 || column > columns_ || row > rows_) {
        return;
    }
    column_ = column;
    row_ = row;
    wrap_pending_ = false;
}

void ScreenRecord::resize(int columns, int rows) {
    columns = clamp(columns, kMostColumns);
    rows = clamp(rows, kMostRows);
    if (columns == columns_ && rows == rows_) {
        return;
    }
    // Shorter: rows below the cursor go first, then rows at the top, into
    // the history. Taller: rows come back from the history at the top.
    const int dropped = std::max(0, row_ - rows);
    for (int row = 1; row <= dropped; row++) {
        keep_off_screen(row);
    }
    const int restored = std::min(std::max(0, rows - rows_), static_cast<int>(history_.size()));
    std::vector<char32_t> cells(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), kBlank);
    const auto place = [&](const char32_t* from, int from_columns, int row) {
        char32_t* to = &cells[static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns)];
        std::copy(from, from + std::min(columns, from_columns), to);
        // A wide character cut in half by the new edge goes whole.
        if (columns < from_columns && from[columns] == kWideTail) {
            to[columns - 1] = kBlank;
        }
    };
    for (int row = 1; row <= restored; row++) {
        const std::vector<char32_t>& kept = history_[history_.size() - static_cast<std::size_t>(restored - row + 1)];
        place(kept.data(), static_cast<int>(kept.size()), row);
    }
    history_.resize(history_.size() - static_cast<std::size_t>(restored));
    for (int row = restored + 1; row <= rows && row - restored + dropped <= rows_; row++) {
        place(&at(1, row - restored + dropped), columns_, row);
    }
    cells_.swap(cells);
    columns_ = columns;
    rows_ = rows;
    row_ += restored - dropped;
    if (column_ > columns_) {
        column_ = columns_;
    }
    wrap_pending_ = wrap_pending_ && column_ == columns_;
}

std::string ScreenRecord::text(int row) const {
    std::string out;
    int drawn = 0;  // columns in out
    for (int column = 1; column <= columns_; column++) {
        const char32_t c = at(column, row);
        if (c == kBlank || c == kWideTail) {
            continue;
        }
        out.append(static_cast<std::size_t>(column - 1 - drawn), ' ');
        append_utf8(out, c);
        drawn = column - 1 + (column < columns_ && at(column + 1, row) == kWideTail ? 2 : 1);
    }
    return out;
}

DisplayOperations ScreenRecord::render_line() const {
    std::string line(static_cast<std::size_t>(column_ - 1), '\b');
    int end = 0;  // the last column the row's text takes
    for (int column = 1; column <= columns_; column++) {
        if (at(column, row_) != kBlank) {
            end = column;
        }
    }
    line += text(row_);
    if (column_ <= end + 1 && !wrap_pending_) {
        line.append(static_cast<std::size_t>(end + 1 - column_), '\b');
    }
    DisplayOperations out;
    out.text(line);
    if (column_ > end + 1) {
        out.move_right(column_ - end - 1);
    }
    return out;
}

DisplayOperations ScreenRecord::render() const {
    DisplayOperations out;
    out.clear_screen();
    for (int row = 1; row <= rows_; row++) {
        const std::string line = text(row);
        if (!line.empty()) {
            out.move_to(1, row);
            out.text(line);
        }
    }
    out.move_to(column_, row_);
    if (wrap_pending_) {
        // Draw the last character again, so that the next one wraps.
        std::string last;
        append_utf8(last, at(column_, row_) == kBlank ? U' ' : at(column_, row_));
        out.text(last);
    }
    return out;
}

}  // namespace console
