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

// Puts the display's output mode back as found; callable from any thread.
void restore_output_mode();

// True once when the display's size differs from the last one seen.
bool size_changed();

// Writes UTF-8 text to a console with the wide call, whatever its code
// page. False when the console has gone.
bool write_console(HANDLE console, std::string_view text);

}  // namespace console::platform::windows

#endif
