#include "keys.h"

#include "console.h"
#include "terminal.h"

namespace console {

KeyEvent read_key(DecodedKey& key, std::string& bytes) {
    terminal::Keyboard& keyboard = terminal::keyboard();
    for (;;) {
        key = decode_key(keyboard.data(), keyboard.size(), false);
        if (key.kind == DecodedKey::Kind::kNeedMore) {
            // Nothing at all: wait as long as it takes. Part of a sequence:
            // wait only for the rest of it.
            const int timeout = keyboard.size() == 0 ? -1 : kSequenceGapMs;
            switch (keyboard.read_more(timeout)) {
            case terminal::Keyboard::Wait::kBytes:
                continue;
            case terminal::Keyboard::Wait::kInterrupted:
                if (terminal::take_resumed()) {
                    return KeyEvent::kResumed;
                }
                continue;
            case terminal::Keyboard::Wait::kTimedOut:
            case terminal::Keyboard::Wait::kClosed:
                if (keyboard.size() == 0) {
                    return KeyEvent::kClosed;
                }
                key = decode_key(keyboard.data(), keyboard.size(), true);
                break;
            }
        }
        bytes.assign(reinterpret_cast<const char*>(keyboard.data()), key.consumed);
        keyboard.consume(key.consumed);
        if (key.kind == DecodedKey::Kind::kKey) {
            return KeyEvent::kKey;
        }
    }
}

int getch() {
    static int held_code = -1;  // the second code of the last key
    if (held_code >= 0) {
        const int code = held_code;
        held_code = -1;
        return code;
    }
    start();
    flush();
    if (!terminal::owned()) {
        return -1;
    }
    DecodedKey key{};
    std::string bytes;
    for (;;) {
        switch (read_key(key, bytes)) {
        case KeyEvent::kKey:
            held_code = key.second;
            return key.code;
        case KeyEvent::kResumed:
            continue;
        case KeyEvent::kClosed:
            return -1;
        }
    }
}

int toupper(int c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

}  // namespace console
