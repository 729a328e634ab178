#include "line_editor.h"

#include "key_decoder.h"

namespace console {

namespace {

constexpr int kCtrlC = 3;
constexpr int kCtrlD = 4;
constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kLineFeed = 10;
constexpr int kEnter = 13;
constexpr int kCtrlU = 21;
constexpr int kCtrlZ = 26;
constexpr int kDelete = 127;

unsigned char byte_at(const std::string& text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

}  // namespace

LineEditor::Outcome LineEditor::apply(int code, const std::string& bytes, std::string& echo) {
    switch (code) {
    case kEnter:
    case kLineFeed:
        line_ += '\n';
        echo += '\n';
        return Outcome::kLineDone;
    case kBackspace:
    case kDelete:
        erase_last(echo);
        return Outcome::kEditing;
    case kCtrlU:
        while (!line_.empty()) {
            erase_last(echo);
        }
        return Outcome::kEditing;
    case kCtrlD:
        return line_.empty() ? Outcome::kEndOfInput : Outcome::kEditing;
    case kCtrlC:
        line_.clear();
        return Outcome::kEndOfInput;
    case kCtrlZ:
        return Outcome::kSuspend;
    case kTab:
        // A blank to the reader all the same, and one column to erase.
        return apply(' ', " ", echo);
    default:
        break;
    }
    // Cursor keys (code 0), Esc and other control keys do not edit the line.
    if (code < 0x20 || code == kDelete || bytes.empty() || line_.size() + bytes.size() > kLongestLine) {
        return Outcome::kEditing;
    }
    line_ += bytes;
    echo += bytes;
    return Outcome::kEditing;
}

// One character off the end of the line and the screen, all of its bytes.
void LineEditor::erase_last(std::string& echo) {
    if (line_.empty()) {
        return;
    }
    std::size_t start = line_.size() - 1;
    while (start > 0 && line_.size() - start < 4 && is_continuation(byte_at(line_, start))) {
        start--;
    }
    if (line_.size() - start != 1 + static_cast<std::size_t>(continuation_count(byte_at(line_, start)))) {
        start = line_.size() - 1;  // not one whole character: one byte only
    }
    line_.erase(start);
    echo += "\b \b";
}

}  // namespace console
