#include "key_decoder.h"

#include "characters.h"
#include "console.h"

namespace console {

namespace {

using Kind = DecodedKey::Kind;

constexpr unsigned char kEsc = 0x1b;

// A sequence this long without its final byte is garbage; it is dropped in
// pieces of this size so that nothing waits for it forever.
constexpr std::size_t kLongestSequence = 32;

DecodedKey need_more() {
    return {Kind::kNeedMore, 0, -1, -1};
}

DecodedKey plain(int code, std::size_t consumed) {
    return {Kind::kKey, consumed, code, -1};
}

DecodedKey extended(int second, std::size_t consumed) {
    return {Kind::kKey, consumed, 0, second};
}

DecodedKey ignored(std::size_t consumed) {
    return {Kind::kIgnored, consumed, -1, -1};
}

// Terminals send a sequence's bytes together. The start of one that a gap
// or a byte that cannot go on with it broke off was typed key by key (Alt+O,
// Alt+[, Esc and then more): Esc is a key, and so is each byte after it.
DecodedKey typed_esc() {
    return plain(kEsc, 1);
}

// What an unknown key decodes to: swallowed, or a key when the code is known.
DecodedKey extended_or_ignored(int second, std::size_t consumed) {
    return second >= 0 ? extended(second, consumed) : ignored(consumed);
}

int key_from_tilde(int number) {
    switch (number) {
    case 1: case 7: return key::kHome;
    case 2: return key::kInsert;
    case 3: return key::kDelete;
    case 4: case 8: return key::kEnd;
    case 5: return key::kPageUp;
    case 6: return key::kPageDown;
    case 11: case 12: case 13: case 14: case 15: return key::kF1 + number - 11;
    case 17: case 18: case 19: case 20: case 21: return key::kF1 + 5 + number - 17;
    case 23: return key::kF11;
    case 24: return key::kF12;
    default: return -1;
    }
}

// The final letter of ESC [ or ESC O sequences without a number.
int key_from_letter(int letter) {
    switch (letter) {
    case 'A': return key::kUp;
    case 'B': return key::kDown;
    case 'C': return key::kRight;
    case 'D': return key::kLeft;
    case 'H': return key::kHome;
    case 'F': return key::kEnd;
    case 'P': case 'Q': case 'R': case 'S': return key::kF1 + letter - 'P';
    default: return -1;
    }
}

// ESC [ or ESC O, then parameter bytes, intermediate bytes and a final byte;
// bytes[start] is the first byte after the introducer.
DecodedKey decode_sequence(const unsigned char* bytes, std::size_t size, bool gap_passed, std::size_t start,
                           bool csi) {
    const std::size_t limit = size < kLongestSequence ? size : kLongestSequence;
    std::size_t i = start;
    while (i < limit && bytes[i] >= 0x30 && bytes[i] <= 0x3F) {
        i++;
    }
    const std::size_t params_end = i;
    while (i < limit && bytes[i] >= 0x20 && bytes[i] <= 0x2F) {
        i++;
    }
    if (i == limit) {
        if (limit == kLongestSequence) {
            return ignored(limit);
        }
        return gap_passed ? typed_esc() : need_more();
    }
    const unsigned char final_byte = bytes[i];
    if (final_byte < 0x40 || final_byte > 0x7E) {
        return typed_esc();
    }
    const std::size_t consumed = i + 1;
    if (csi && final_byte == 'M' && i == start) {
        // An old-style mouse report (a program before left mouse tracking
        // on): three bytes of button and place follow, whatever they are.
        // One broken off by a gap is dropped as far as it came.
        constexpr std::size_t kReport = 3;
        if (size >= consumed + kReport) {
            return ignored(consumed + kReport);
        }
        return gap_passed ? ignored(size) : need_more();
    }
    if (params_end != i) {
        return ignored(consumed);
    }

    // Only the first parameter names the key; modifiers (";5" for Ctrl) do
    // not change its code.
    int number = -1;
    for (std::size_t k = start; k < params_end && bytes[k] != ';'; k++) {
        if (bytes[k] < '0' || bytes[k] > '9' || number > 999) {
            return ignored(consumed);
        }
        number = (number < 0 ? 0 : number * 10) + (bytes[k] - '0');
    }
    if (csi && final_byte == '~') {
        return extended_or_ignored(key_from_tilde(number), consumed);
    }
    if (!csi || number <= 1) {
        return extended_or_ignored(key_from_letter(final_byte), consumed);
    }
    return ignored(consumed);
}

DecodedKey decode_escape(const unsigned char* bytes, std::size_t size, bool gap_passed) {
    if (size == 1) {
        return gap_passed ? typed_esc() : need_more();
    }
    const unsigned char next = bytes[1];
    if (next == '[') {
        if (size > 2 && bytes[2] == '[') {  // the Linux console's F1 to F5
            if (size == 3) {
                return gap_passed ? typed_esc() : need_more();
            }
            if (bytes[3] >= 'A' && bytes[3] <= 'E') {
                return extended(key::kF1 + bytes[3] - 'A', 4);
            }
            return bytes[3] >= 0x40 && bytes[3] <= 0x7E ? ignored(4) : typed_esc();
        }
        return decode_sequence(bytes, size, gap_passed, 2, true);
    }
    if (next == 'O') {
        return decode_sequence(bytes, size, gap_passed, 2, false);
    }
    if (next == kEsc) {
        // Alt with a cursor key: the key's own codes.
        if (size == 2) {
            return gap_passed ? typed_esc() : need_more();
        }
        if (bytes[2] != '[' && bytes[2] != 'O') {
            return typed_esc();
        }
        const DecodedKey inner = decode_escape(bytes + 1, size - 1, gap_passed);
        if (inner.kind == Kind::kNeedMore) {
            return inner;
        }
        if (inner.kind == Kind::kKey && inner.code == kEsc) {
            return typed_esc();  // no sequence behind the second Esc either
        }
        return {inner.kind, inner.consumed + 1, inner.code, inner.second};
    }
    // Esc and a key typed later may reach us together when the game was
    // busy; nothing tells them from Alt with that key. So Esc is a key of
    // its own, and so is what follows it: no key is ever swallowed.
    return typed_esc();
}

}  // namespace

DecodedKey decode_key(const unsigned char* bytes, std::size_t size, bool gap_passed) {
    if (size == 0) {
        return need_more();
    }
    const unsigned char first = bytes[0];
    if (first == kEsc) {
        return decode_escape(bytes, size, gap_passed);
    }
    if (first == 0) {
        return extended(key::kCtrl2, 1);  // Ctrl+Space or Ctrl+2
    }
    // A character is one key, however many bytes it takes; one cut short
    // (or broken off by a gap) is a key of what came of it.
    const Utf8Character character = utf8_character({reinterpret_cast<const char*>(bytes), size});
    if (character.kind == Utf8Character::Kind::kIncomplete && !gap_passed) {
        return need_more();
    }
    return plain(first, character.length);
}

}  // namespace console
