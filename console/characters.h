#ifndef BLACKJACK_CONSOLE_CHARACTERS_H
#define BLACKJACK_CONSOLE_CHARACTERS_H

// Characters as a terminal shows them: UTF-8 byte classes, whole characters
// and the columns each takes. Pure.

#include <cstddef>
#include <string>
#include <string_view>

namespace console {

// A character outside ASCII comes as a lead byte and continuation bytes.
bool is_continuation(unsigned char byte);
int continuation_count(unsigned char lead);  // what a lead byte announces; 0 for any other byte

// The character that bytes holds whole and alone, or -1 when it is not
// exactly one well-formed UTF-8 character (a stray byte, a character cut
// short, an overlong form, a surrogate).
long decode_character(std::string_view bytes);

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
