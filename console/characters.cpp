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

bool is_continuation(unsigned char byte) {
    return byte >= 0x80 && byte <= 0xBF;
}

int continuation_count(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 1;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 2;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 3;
    }
    return 0;
}

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

long decode_character(std::string_view bytes) {
    if (bytes.empty()) {
        return -1;
    }
    const auto lead = static_cast<unsigned char>(bytes[0]);
    if (lead < 0x80) {
        return bytes.size() == 1 ? lead : -1;
    }
    const int more = continuation_count(lead);
    if (more == 0 || bytes.size() != static_cast<std::size_t>(more) + 1) {
        return -1;
    }
    long c = lead & (0x3F >> more);
    for (std::size_t i = 1; i < bytes.size(); i++) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!is_continuation(byte)) {
            return -1;
        }
        c = (c << 6) | (byte & 0x3F);
    }
    constexpr long kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return -1;
    }
    return c;
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
