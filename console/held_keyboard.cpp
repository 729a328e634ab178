// The part of the keyboard that is the same on every system; the system's
// own part is in its folder, behind the hooks of held_keyboard.h.

#include "held_keyboard.h"

#include "platform.h"

namespace console::platform {

static_assert(std::atomic<bool>::is_always_lock_free, "the flags must be safe to touch in a signal handler");

std::atomic<bool> held::owned{false};
std::atomic<bool> held::input_ended{false};
std::atomic<bool> held::interrupted{false};
std::atomic<bool> held::gone{false};

bool take() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        held::install_handlers();
    }
    if (held::owned) {
        return true;
    }
    if (held::input_ended || !held::take_keyboard()) {
        return false;
    }
    hold_mode(Events{});
    return true;
}

bool owned() {
    return held::owned;
}

// Whatever standard input is: Ctrl+C reaches the program from the terminal
// even when it reads no keys.
void end_input() {
    held::input_ended = true;
    if (held::owned) {
        hand_back();
    }
}

bool interrupted() {
    return held::interrupted;
}

bool gone() {
    return held::gone;
}

void mark_gone() {
    held::gone = true;
}

Keyboard& keyboard() {
    static Keyboard instance;
    return instance;
}

}  // namespace console::platform
