#ifndef BLACKJACK_CONSOLE_KEYS_H
#define BLACKJACK_CONSOLE_KEYS_H

// The key reader: the pure decoder over the held terminal's keyboard bytes.
// Inside the console layer only.

#include <string>

#include "key_decoder.h"

namespace console {

// Waits for the next key on the held terminal; key holds it, bytes the
// bytes it came as. Before it waits, everything written is shown, and the
// screen is drawn again when the program has been away. Sequences without
// a code are read whole and skipped. False when the terminal has gone away.
bool read_key(DecodedKey& key, std::string& bytes);

}  // namespace console

#endif
