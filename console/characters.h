#ifndef BLACKJACK_CONSOLE_CHARACTERS_H
#define BLACKJACK_CONSOLE_CHARACTERS_H

// Characters as a terminal shows them: UTF-8 byte classes, whole characters
// and the columns each takes. Pure.

#include <cstddef>
#include <string>
#include <string_view>

namespace console {

// The one UTF-8 rule of the console: how the bytes at the front of text
// make a character, as a terminal reads them. A lead byte announces how many
// continuation bytes (80-BF) follow; the ones that do belong to it.
struct Utf8Character {
    enum class Kind {
        kComplete,    // a well-formed character: code
        kIncomplete,  // the start of one, cut off by the end of text: more may come
        // A stray byte, a character cut short by a byte that cannot go on
        // with it, an overlong form, a surrogate, past U+10FFFF: a terminal
        // draws one replacement for it.
        kInvalid,
    };
    Kind kind;
    std::size_t length;  // bytes it takes; kIncomplete: all of text (0 for none)
    char32_t code;       // kComplete only
};
Utf8Character utf8_character(std::string_view text);

// Appends character c as UTF-8.
void append_utf8(std::string& out, char32_t c);

// The columns character c takes, as the C library's wcwidth counts them in a
// UTF-8 locale and so the terminals: 1, 2 for wide characters (CJK, emoji),
// 0 for marks that combine with the character before and for format
// characters, and -1 for control characters (C0, DEL and C1), which have no
// picture of their own. Characters not yet assigned take 1.
int column_width(long c);

}  // namespace console

#endif
