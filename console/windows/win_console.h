#ifndef BLACKJACK_CONSOLE_WINDOWS_WIN_CONSOLE_H
#define BLACKJACK_CONSOLE_WINDOWS_WIN_CONSOLE_H

// What the Windows keyboard (terminal.cpp) shares with the Windows display
// (display.cpp).

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string_view>

namespace console::platform::windows {

// Signalled when an outside event (a size seen to change, the window
// closed) has news for a wait.
HANDLE wake_event();

// Held for its scope while a mode or a handle the console control handler
// uses is changed or put back: the handler runs on a thread of its own.
// The wait is bounded: at the exit, a thread the system has ended may
// still hold it, and the hand-back must go on regardless.
class ModeLock {
public:
    ModeLock();
    ~ModeLock();
    ModeLock(const ModeLock&) = delete;
    ModeLock& operator=(const ModeLock&) = delete;
    void unlock();

private:
    bool held_;
};

// Puts the display's output mode back as found; with a ModeLock held.
void restore_output_mode();

// True once when the display's size differs from the last one seen.
bool size_changed();

// Writes UTF-8 text to a console with the wide call, whatever its code
// page. False when the console has gone.
bool write_console(HANDLE console, std::string_view text);

}  // namespace console::platform::windows

#endif
