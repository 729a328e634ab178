#include "line_input.h"

#include <cstdint>
#include <istream>

#include "console.h"
#include "keys.h"
#include "screen.h"
#include "terminal.h"

namespace console {

LineReader::int_type LineReader::underflow() {
    if (gptr() < egptr()) {
        return traits_type::to_int_type(*gptr());
    }
    screen::ScreenBuffer& screen = screen::buffer();
    screen.push();
    const std::string prompt = screen.prompt();
    // Echo is written when no more typed keys are waiting, so a burst of
    // keys typed ahead shows in one write.
    std::string echo;
    const auto show = [&screen, &echo] {
        screen.append(echo);
        screen.push();
        echo.clear();
    };
    const auto redraw = [this, &echo, &prompt] { echo += "\r\x1b[K" + prompt + editor_.line(); };

    DecodedKey key{};
    std::string bytes;
    for (;;) {
        if (terminal::keyboard().size() == 0) {
            show();
        }
        const KeyEvent event = read_key(key, bytes);
        if (event == KeyEvent::kClosed) {
            show();
            return traits_type::eof();
        }
        if (event == KeyEvent::kResumed) {
            redraw();
            continue;
        }
        switch (editor_.apply(key.code, bytes, echo)) {
        case LineEditor::Outcome::kEditing:
            break;
        case LineEditor::Outcome::kLineDone:
            show();
            line_ = editor_.line();
            editor_.clear();
            setg(line_.data(), line_.data(), line_.data() + line_.size());
            return traits_type::to_int_type(*gptr());
        case LineEditor::Outcome::kEndOfInput:
            show();
            return traits_type::eof();
        case LineEditor::Outcome::kSuspend:
            show();
            terminal::suspend();
            if (terminal::take_resumed()) {
                redraw();
            }
            break;
        }
    }
}

LineReader& line_reader() {
    static LineReader instance;
    return instance;
}

namespace {

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Skips white space across lines. False, with the stream's state set, when
// the stream was not good or ended first.
bool skip_space(std::istream& is) {
    if (!is.good()) {
        is.setstate(std::ios::failbit);
        return false;
    }
    if (is.tie() != nullptr) {
        is.tie()->flush();
    }
    std::streambuf* sb = is.rdbuf();
    for (;;) {
        const int c = sb->sgetc();
        if (c == std::char_traits<char>::eof()) {
            is.setstate(std::ios::eofbit | std::ios::failbit);
            return false;
        }
        if (!is_space(c)) {
            return true;
        }
        sb->sbumpc();
    }
}

int digit_value(int c, int base) {
    int d = 99;
    if (c >= '0' && c <= '9') {
        d = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        d = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        d = c - 'A' + 10;
    }
    return d < base ? d : -1;
}

}  // namespace

std::istream& read_number(std::istream& is, int& value) {
    if (!skip_space(is)) {
        return is;
    }
    std::streambuf* sb = is.rdbuf();
    const int eof = std::char_traits<char>::eof();
    int c = sb->sgetc();
    const bool negative = c == '-';
    if (c == '+' || c == '-') {
        c = sb->snextc();
    }

    int base = 10;
    bool have_digit = false;
    bool more_digits = true;
    if (c == '0') {
        have_digit = true;
        c = sb->snextc();
        if (c == 'x' || c == 'X') {
            base = 16;
            have_digit = false;  // "0x" needs a digit after it
            c = sb->snextc();
        } else if (c >= '0' && c <= '7') {
            base = 8;
        } else {
            more_digits = false;  // a lone 0; what follows stays in the stream
        }
    }

    std::uint32_t accumulated = 0;  // wraps like 32-bit two's complement
    for (int d = digit_value(c, base); more_digits && d >= 0; d = digit_value(c, base)) {
        accumulated = accumulated * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);
        have_digit = true;
        c = sb->snextc();
    }
    if (c == eof) {
        is.setstate(std::ios::eofbit);
    }
    if (!have_digit) {
        is.setstate(std::ios::failbit);
        return is;
    }
    if (negative) {
        accumulated = 0u - accumulated;
    }
    value = static_cast<std::int32_t>(accumulated);
    return is;
}

std::istream& read_char(std::istream& is, char& c) {
    if (skip_space(is)) {
        c = static_cast<char>(is.rdbuf()->sbumpc());
    }
    return is;
}

}  // namespace console
