#include "characters.h"

#include <algorithm>
#include <iterator>

#include "console.h"

namespace console {

namespace {

struct Widths {
    long first;
    long last;
    int columns;
};

// Sorted; every character not in it takes one column.
constexpr Widths kWidths[] = {
#include "character_widths.inc"
};

}  // namespace

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

Utf8Character utf8_character(std::string_view text) {
    using Kind = Utf8Character::Kind;
    if (text.empty()) {
        return {Kind::kIncomplete, 0, 0};
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return {Kind::kComplete, 1, lead};
    }
    int more = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
    } else {
        return {Kind::kInvalid, 1, 0};  // a continuation byte alone, or no lead byte at all
    }
    char32_t code = lead & (0x3FU >> more);
    std::size_t length = 1;
    for (; length <= static_cast<std::size_t>(more); length++) {
        if (length == text.size()) {
            return {Kind::kIncomplete, length, 0};
        }
        const auto byte = static_cast<unsigned char>(text[length]);
        if (byte < 0x80 || byte > 0xBF) {
            return {Kind::kInvalid, length, 0};
        }
        code = (code << 6) | (byte & 0x3FU);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return {Kind::kInvalid, length, 0};
    }
    return {Kind::kComplete, length, code};
}

int column_width(long c) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
        return -1;
    }
    const Widths* found = std::upper_bound(std::begin(kWidths), std::end(kWidths), c,
                                           [](long value, const Widths& w) { return value < w.first; });
    return found != std::begin(kWidths) && c <= std::prev(found)->last ? std::prev(found)->columns : 1;
}

int toupper(int c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

}  // namespace console
