#ifndef BLACKJACK_CONSOLE_WINDOWS_KEY_EVENTS_H
#define BLACKJACK_CONSOLE_WINDOWS_KEY_EVENTS_H

// Turns a Windows console's key events into the bytes a terminal sends for
// the same keys, so that the shared key decoder and line editor serve both.
// Pure: the fields of a KEY_EVENT_RECORD, without the system's header.

#include <cstdint>
#include <string>

namespace console::platform::windows {

struct KeyEvent {
    bool down;
    std::uint16_t repeat;        // wRepeatCount
    std::uint16_t virtual_key;   // wVirtualKeyCode
    char16_t unit;               // uChar.UnicodeChar: one UTF-16 unit, or 0
    std::uint32_t modifiers;     // dwControlKeyState
};

class KeyEventBytes {
public:
    // The bytes of one event: empty for key releases, lone Shift, Ctrl or
    // Alt, keys that give nothing, and the first half of a character that
    // comes as two UTF-16 units (the second event gives the whole of it).
    std::string bytes(const KeyEvent& event);

private:
    char16_t high_surrogate_ = 0;
};

}  // namespace console::platform::windows

#endif
