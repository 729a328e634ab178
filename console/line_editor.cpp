#include "line_editor.h"

#include "characters.h"

namespace console {

namespace {

constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kLineFeed = 10;
constexpr int kCtrlL = 12;
constexpr int kEnter = 13;
constexpr int kCtrlR = 18;
constexpr int kCtrlW = 23;
constexpr int kDelete = 127;
constexpr int kTabWidth = 8;

}  // namespace

void LineEditor::start(int column, int columns) {
    line_.clear();
    pieces_.clear();
    column_ = column;
    columns_ = columns;
}

LineEditor::Outcome LineEditor::apply(int code, const std::string& bytes, std::string& echo) {
    // A key with a code of its own (cursor keys give 0 first) is never a
    // special key, nor is a character outside ASCII.
    if (bytes.size() == 1 && code != 0) {
        // The terminal's own settings come first: they may give any key a
        // new job.
        if (is(code, keys_.intr)) {
            return Outcome::kEndOfInput;
        }
        if (is(code, keys_.susp)) {
            return Outcome::kSuspend;
        }
        if (is(code, keys_.eof)) {
            return line_.empty() ? Outcome::kEndOfInput : Outcome::kEditing;
        }
        if (is(code, keys_.kill)) {
            while (!pieces_.empty()) {
                erase_last(echo);
            }
            return Outcome::kEditing;
        }
        if (is(code, keys_.erase) || code == kBackspace || code == kDelete) {
            erase_last(echo);
            return Outcome::kEditing;
        }
        if (is(code, keys_.werase) || code == kCtrlW) {
            while (!pieces_.empty() && last_is_blank()) {
                erase_last(echo);
            }
            while (!pieces_.empty() && !last_is_blank()) {
                erase_last(echo);
            }
            return Outcome::kEditing;
        }
        if (is(code, keys_.reprint) || code == kCtrlR || code == kCtrlL) {
            return Outcome::kRedraw;
        }
        if (code == kEnter || code == kLineFeed) {
            line_ += '\n';
            echo += '\n';
            return Outcome::kLineDone;
        }
        if (code == kTab) {
            add(bytes, kTabWidth - (column_ - 1) % kTabWidth, echo);
            return Outcome::kEditing;
        }
    }
    const Utf8Character c = utf8_character(bytes);
    const bool one_character = c.kind == Utf8Character::Kind::kComplete && c.length == bytes.size();
    const int width = one_character ? width_(c.code) : -1;
    if (width > 0) {
        add(bytes, width, echo);
    }
    return Outcome::kEditing;
}

void LineEditor::add(const std::string& bytes, int width, std::string& echo) {
    if (line_.size() + bytes.size() > kLongestLine || column_ + width > columns_) {
        return;
    }
    line_ += bytes;
    pieces_.push_back({bytes.size(), width});
    column_ += width;
    echo += bytes;
}

// One character off the end of the line and the screen, all of its bytes
// and all of its columns.
void LineEditor::erase_last(std::string& echo) {
    if (pieces_.empty()) {
        return;
    }
    const Piece last = pieces_.back();
    pieces_.pop_back();
    line_.erase(line_.size() - last.bytes);
    column_ -= last.width;
    const auto width = static_cast<std::size_t>(last.width);
    echo.append(width, '\b').append(width, ' ').append(width, '\b');
}

bool LineEditor::last_is_blank() const {
    const char last = line_.back();
    return last == ' ' || last == '\t';
}

}  // namespace console
