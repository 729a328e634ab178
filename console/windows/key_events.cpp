#include "windows/key_events.h"

#include "characters.h"

namespace console::platform::windows {

namespace {

// The system's values (winuser.h, wincon.h), which this file may not include.
constexpr std::uint16_t kVkSpace = 0x20;
constexpr std::uint16_t kVkMenu = 0x12;  // Alt
constexpr std::uint16_t kVk2 = 0x32;
constexpr std::uint16_t kVkTab = 0x09;
constexpr std::uint32_t kShiftPressed = 0x0010;
constexpr std::uint32_t kAltPressed = 0x0001 | 0x0002;   // right, left
constexpr std::uint32_t kCtrlPressed = 0x0004 | 0x0008;  // right, left

struct KeySequence {
    std::uint16_t virtual_key;
    const char* bytes;
};

// Cursor, editing and function keys, as a terminal in its usual mode sends
// them.
constexpr KeySequence kSequences[] = {
    {0x26, "\x1b[A"},   {0x28, "\x1b[B"},   {0x27, "\x1b[C"},   {0x25, "\x1b[D"},   // arrows
    {0x24, "\x1b[H"},   {0x23, "\x1b[F"},                                           // Home, End
    {0x2D, "\x1b[2~"},  {0x2E, "\x1b[3~"},  {0x21, "\x1b[5~"},  {0x22, "\x1b[6~"},  // Ins Del PgUp PgDn
    {0x70, "\x1bOP"},   {0x71, "\x1bOQ"},   {0x72, "\x1bOR"},   {0x73, "\x1bOS"},   // F1-F4
    {0x74, "\x1b[15~"}, {0x75, "\x1b[17~"}, {0x76, "\x1b[18~"}, {0x77, "\x1b[19~"},  // F5-F8
    {0x78, "\x1b[20~"}, {0x79, "\x1b[21~"}, {0x7A, "\x1b[23~"}, {0x7B, "\x1b[24~"},  // F9-F12
};

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string KeyEventBytes::bytes(const KeyEvent& event) {
    // A character typed as Alt and digits on the keypad comes with the
    // release of Alt.
    const bool composed = !event.down && event.virtual_key == kVkMenu && event.unit != 0;
    if (!event.down && !composed) {
        return {};
    }
    std::string one;
    for (const KeySequence& key : kSequences) {
        if (key.virtual_key == event.virtual_key) {
            one = key.bytes;
        }
    }
    if (event.virtual_key == kVkTab && (event.modifiers & kShiftPressed) != 0) {
        one = "\x1b[Z";  // Shift+Tab: the console gives a plain tab
    }
    const bool ctrl_only = (event.modifiers & kCtrlPressed) != 0 && (event.modifiers & kAltPressed) == 0;
    if (one.empty() && ctrl_only && (event.virtual_key == kVkSpace || event.virtual_key == kVk2)) {
        one.assign(1, '\0');  // Ctrl+Space and Ctrl+2: NUL, as terminals send them
    } else if (one.empty() && event.unit != 0) {
        const char16_t high = high_surrogate_;
        high_surrogate_ = 0;
        if (is_high_surrogate(event.unit)) {
            high_surrogate_ = event.unit;
            return {};
        }
        if (is_low_surrogate(event.unit)) {
            if (high == 0) {
                return {};  // half a character: nothing to show
            }
            append_utf8(one, 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (event.unit - 0xDC00));
        } else {
            append_utf8(one, event.unit);
        }
        // Alt with a character is Esc before it, as terminals send it;
        // AltGr (right Alt with Ctrl) types the character itself.
        if (!composed && (event.modifiers & kAltPressed) != 0 && (event.modifiers & kCtrlPressed) == 0) {
            one.insert(0, 1, '\x1b');
        }
    }
    std::string out;
    for (int k = 0; k < (event.repeat > 1 ? event.repeat : 1); k++) {
        out += one;
    }
    return out;
}

}  // namespace console::platform::windows
