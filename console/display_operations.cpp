// The one place that spells the terminal's output sequences.

#include "display_operations.h"

namespace console {

void DisplayOperations::text(std::string_view text) {
    if (text.empty()) {
        return;
    }
    if (!list_.empty() && list_.back().kind == DisplayOperation::Kind::kText) {
        list_.back().text.append(text);
    } else {
        list_.push_back({DisplayOperation::Kind::kText, std::string(text)});
    }
}

void DisplayOperations::clear_screen() {
    list_.push_back({DisplayOperation::Kind::kClear, {}});
}

void DisplayOperations::clear_line_right() {
    list_.push_back({DisplayOperation::Kind::kClearLineRight, {}});
}

void DisplayOperations::move_to(int column, int row) {
    list_.push_back({DisplayOperation::Kind::kMoveTo, {}, column, row});
}

void DisplayOperations::move_right(int count) {
    list_.push_back({DisplayOperation::Kind::kMoveRight, {}, 1, 1, count});
}

void DisplayOperations::add(const DisplayOperation& operation) {
    if (operation.kind == DisplayOperation::Kind::kText) {
        text(operation.text);
    } else {
        list_.push_back(operation);
    }
}

void DisplayOperations::add(const DisplayOperations& operations) {
    for (const DisplayOperation& operation : operations) {
        add(operation);
    }
}

void render(const DisplayOperation& operation, std::string& out) {
    switch (operation.kind) {
    case DisplayOperation::Kind::kText:
        out += operation.text;
        break;
    case DisplayOperation::Kind::kClear:
        out += "\x1b[H\x1b[2J";  // home first: a clear alone leaves the cursor where it was
        break;
    case DisplayOperation::Kind::kClearLineRight:
        out += "\x1b[K";
        break;
    case DisplayOperation::Kind::kMoveTo:
        out += "\x1b[" + std::to_string(operation.row) + ';' + std::to_string(operation.column) + 'H';
        break;
    case DisplayOperation::Kind::kMoveRight:
        out += "\x1b[" + std::to_string(operation.count) + 'C';
        break;
    }
}

std::string render(const DisplayOperations& operations) {
    std::string out;
    for (const DisplayOperation& operation : operations) {
        render(operation, out);
    }
    return out;
}

}  // namespace console
