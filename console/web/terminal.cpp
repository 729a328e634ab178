// The keyboard in a browser page: the bytes the page's terminal emulator
// sends for each key, as a terminal sends them, queued by the page until the
// game reads them. A wait hands the page its turn (Asyncify) and resumes
// when a key comes or the window changes size. A page has no job control
// and no signals: Ctrl+C and Ctrl+Z are keys like any other.

#include "held_keyboard.h"
#include "platform.h"

#include <emscripten.h>

namespace console::platform {

namespace {

// The page's side, in the page's script: Module.keys holds the bytes typed
// and not yet taken, Module.resized whether the size changed since the
// game last asked, Module.news() a promise of either.
EM_JS(int, page_take_byte, (), { return Module.keys.length > 0 ? Module.keys.shift() : -1; });
EM_JS(int, page_typed_ahead, (), { return Module.keys.length > 0 ? 1 : 0; });
EM_JS(int, page_resized, (), { return Module.resized ? 1 : 0; });
EM_JS(int, page_take_resized, (), {
    const was = Module.resized;
    Module.resized = false;
    return was ? 1 : 0;
});
EM_JS(int, page_interrupted, (), { return Module.interrupted ? 1 : 0; });
EM_JS(void, page_input_ended, (), { Module.inputEnded = true; });
// Resolves at the next key or size change, or after timeout_ms (-1: never):
// 1 for news, 0 for the time out.
EM_ASYNC_JS(int, page_news, (int timeout_ms), { return await Module.news(timeout_ms); });

}  // namespace

void held::install_handlers() {}

bool held::take_keyboard() {
    held::owned = !held::gone;
    return held::owned;
}

// The keys are the page's again: from now on Ctrl+C there only cuts the
// farewell short.
void hand_back() {
    page_input_ended();
    held::owned = false;
}

void emergency_hand_back() {
    held::owned = false;
}

void suspend() {}

const EditingKeys& editing_keys() {
    static const EditingKeys keys = [] {
        EditingKeys found;
        found.susp = -1;  // nothing to stop the program for
        return found;
    }();
    return keys;
}

// The page's terminal has no modes to set or lose.
bool hold_mode(const Events&) {
    return false;
}

void wait_for_foreground() {}

// The page's news: a size change, and Ctrl+C once the keys are its own.
Events take_events() {
    Events events;
    events.resized = page_take_resized() != 0;
    if (page_interrupted() != 0) {
        held::interrupted = true;
    }
    return events;
}

// The page closes only with the program.
void check_gone() {}

bool Keyboard::typed_ahead() const {
    return held::owned && page_typed_ahead() != 0;
}

Keyboard::Wait Keyboard::read_more(int timeout_ms) {
    if (held::gone || !held::owned) {
        return Wait::kClosed;
    }
    for (bool waited = false;; waited = true) {
        const int byte = page_take_byte();
        if (byte >= 0) {
            pending_ += static_cast<char>(byte);
            return Wait::kBytes;
        }
        if (page_resized() != 0) {
            return Wait::kWoken;
        }
        if (waited && timeout_ms >= 0) {
            return Wait::kTimedOut;
        }
        if (page_news(timeout_ms) == 0) {
            return Wait::kTimedOut;
        }
    }
}

void wait_for_news(int timeout_ms) {
    page_news(timeout_ms);
}

// The page's terminal counts columns by the game's table (display.cpp).
bool knows_character(long) {
    return true;
}

}  // namespace console::platform
