// The number and character readers the game's prompts use, on any stream.

#include <cstdint>
#include <istream>
#include <string>

#include "characters.h"
#include "console.h"

namespace console {

namespace {

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
    // The sentry flushes the tied stream and skips white space across lines.
    const std::istream::sentry ready(is);
    if (!ready) {
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
    const std::istream::sentry ready(is);
    if (!ready) {
        return is;
    }
    // One character typed is one answer, however many bytes it takes: the
    // bytes that belong to it go with its first one.
    std::streambuf* sb = is.rdbuf();
    std::string character(1, static_cast<char>(sb->sbumpc()));
    c = character[0];
    while (utf8_character(character).kind == Utf8Character::Kind::kIncomplete) {
        const int next = sb->sgetc();
        if (next == std::char_traits<char>::eof()) {
            break;
        }
        character += static_cast<char>(next);
        if (utf8_character(character).length < character.size()) {
            break;  // not part of it: stays for the next read
        }
        sb->sbumpc();
    }
    return is;
}

}  // namespace console
