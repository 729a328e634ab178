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

#include <mutex>
#include <string_view>

namespace console::platform::win {

// Signalled when an outside event (a size seen to change, the window
// closed) has news for a wait.
HANDLE wake_event();

// Held while a mode or a handle the console control handler uses is
// changed or put back: the handler runs on a thread of its own.
std::mutex& mode_lock();

// Puts the display's output mode back as found; with mode_lock() held.
void restore_output_mode();

// True once when the display's size differs from the last one seen.
bool size_changed();

// Writes UTF-8 text to a console with the wide call, whatever its code
// page. False when the console has gone.
bool write_console(HANDLE console, std::string_view text);

}  // namespace console::platform::win

#endif
