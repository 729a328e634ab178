#ifndef BLACKJACK_CONSOLE_KEYS_H
#define BLACKJACK_CONSOLE_KEYS_H

// The key reader: the pure decoder over the held terminal's keyboard bytes.
// Inside the console layer only.

#include <string>

#include "key_decoder.h"

namespace console {

enum class KeyEvent {
    kKey,      // key holds a key, bytes the bytes it came as
    kResumed,  // the program was stopped and continued: redraw what is needed
    kClosed,   // the terminal has gone away
};

// Waits for the next key on the held terminal. Sequences without a code are
// read whole and skipped.
KeyEvent read_key(DecodedKey& key, std::string& bytes);

}  // namespace console

#endif
