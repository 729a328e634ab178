#include "keys.h"

#include "console.h"
#include "platform.h"
#include "screen.h"

namespace console {

bool read_key(DecodedKey& key, std::string& bytes) {
    platform::Keyboard& keyboard = platform::keyboard();
    for (;;) {
        key = decode_key(keyboard.data(), keyboard.size(), false);
        if (key.kind == DecodedKey::Kind::kNeedMore) {
            // Keys typed ahead are taken before anything is shown, so that
            // a burst of them shows in one write.
            if (!keyboard.typed_ahead()) {
                screen::push();
            }
            platform::wait_for_foreground();
            // Nothing at all: wait as long as it takes. Part of a sequence:
            // wait only for the rest of it.
            const int timeout = keyboard.size() == 0 ? -1 : kSequenceGapMs;
            switch (keyboard.read_more(timeout)) {
            case platform::Keyboard::Wait::kBytes:
            case platform::Keyboard::Wait::kWoken:
                continue;
            case platform::Keyboard::Wait::kTimedOut:
            case platform::Keyboard::Wait::kClosed:
                if (keyboard.size() == 0) {
                    return false;
                }
                key = decode_key(keyboard.data(), keyboard.size(), true);
                break;
            }
        }
        bytes.assign(reinterpret_cast<const char*>(keyboard.data()), key.consumed);
        keyboard.consume(key.consumed);
        if (key.kind == DecodedKey::Kind::kKey) {
            return true;
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
    DecodedKey key{};
    std::string bytes;
    if (!platform::owned() || !read_key(key, bytes)) {
        return -1;
    }
    held_code = key.second;
    return key.code;
}

}  // namespace console
