// The display and the standard streams on Windows. A console window shows
// the game through the console's own calls, which every Windows console
// and Wine carry out; a pipe or a file gets the same bytes as elsewhere.

#include "platform.h"
#include "windows/console_sequences.h"
#include "windows/win_console.h"

#include <atomic>
#include <cerrno>
#include <string>

namespace console::platform {

namespace {

HANDLE display = INVALID_HANDLE_VALUE;
bool owns_display = false;  // opened here, closed at the end
WORD blank_attributes = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;  // the start-up colours
std::atomic<DWORD> saved_output_mode{0};
std::atomic<bool> output_mode_changed{false};
Size last_size{0, 0};
windows::SequenceSplitter splitter;

bool is_console(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

bool window_of(HANDLE console, CONSOLE_SCREEN_BUFFER_INFO& info) {
    return is_console(console) && GetConsoleScreenBufferInfo(console, &info);
}

bool measure(HANDLE console, Size& size) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!window_of(console, info)) {
        return false;
    }
    size = {info.srWindow.Right - info.srWindow.Left + 1, info.srWindow.Bottom - info.srWindow.Top + 1};
    return size.columns > 0 && size.rows > 0;
}

// Line feeds, tabs and backspaces carried out, and no wrap pending at the
// right edge: what the game's screens need of the console's output mode.
// With a win::ModeLock held; marked before it is set, as the keyboard's.
void hold_output_mode() {
    DWORD mode = 0;
    const DWORD needed = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    if (GetConsoleMode(display, &mode) && (mode & needed) != needed) {
        saved_output_mode = mode;
        output_mode_changed = true;
        if (!SetConsoleMode(display, mode | needed)) {
            output_mode_changed = false;
        }
    }
}

// Carries out one command of the game's on the window, counted from its
// top-left cell (the console's buffer may be taller than the window).
bool carry_out(const windows::ConsoleAction& action) {
    using Kind = windows::ConsoleAction::Kind;
    if (action.kind == Kind::kText) {
        return win::write_console(display, action.text);
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(display, &info)) {
        return false;
    }
    const SMALL_RECT& window = info.srWindow;
    COORD cursor = info.dwCursorPosition;
    switch (action.kind) {
    case Kind::kClear: {
        const SHORT width = static_cast<SHORT>(window.Right - window.Left + 1);
        DWORD done = 0;
        for (SHORT row = window.Top; row <= window.Bottom; row++) {
            const COORD start{window.Left, row};
            FillConsoleOutputCharacterW(display, L' ', static_cast<DWORD>(width), start, &done);
            FillConsoleOutputAttribute(display, blank_attributes, static_cast<DWORD>(width), start, &done);
        }
        return true;
    }
    case Kind::kMove:
        cursor = {static_cast<SHORT>(window.Left + action.column - 1), static_cast<SHORT>(window.Top + action.row - 1)};
        break;
    case Kind::kRight:
        cursor.X = static_cast<SHORT>(cursor.X + action.count > window.Right ? window.Right : cursor.X + action.count);
        break;
    case Kind::kText:
        break;
    }
    if (cursor.X > window.Right || cursor.Y > window.Bottom) {
        return true;  // off the window: ignored, as by a terminal
    }
    return SetConsoleCursorPosition(display, cursor) != FALSE;
}

// A Windows error as the error number strerror describes.
int error_number(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return EPIPE;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    default:
        return EIO;
    }
}

// 0, or the error that stopped it.
int write_file(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = text.size() > 65536 ? 65536 : static_cast<DWORD>(text.size());
        DWORD written = 0;
        if (!WriteFile(file, text.data(), chunk, &written, nullptr)) {
            return error_number(GetLastError());
        }
        if (written == 0) {
            return EIO;
        }
        text.remove_prefix(written);
    }
    return 0;
}

}  // namespace

void win::restore_output_mode() {
    if (output_mode_changed.exchange(false)) {
        SetConsoleMode(display, saved_output_mode);
    }
}

bool win::size_changed() {
    Size now{0, 0};
    if (!measure(display, now) || (now.columns == last_size.columns && now.rows == last_size.rows)) {
        return false;
    }
    const bool changed = last_size.columns != 0;
    last_size = now;
    return changed;
}

bool win::write_console(HANDLE console, std::string_view text) {
    if (text.empty()) {
        return true;
    }
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), units);
    const wchar_t* data = wide.data();
    DWORD left = static_cast<DWORD>(wide.size());
    while (left > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(console, data, left, &written, nullptr) || written == 0) {
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

Display open_display() {
    const win::ModeLock lock;
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    Display found = Display::kNone;
    if (is_console(output)) {
        display = output;
        found = Display::kOutput;
    } else if (owned()) {
        // The window the keys come from, for the echo.
        display = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
        owns_display = display != INVALID_HANDLE_VALUE;
        found = owns_display ? Display::kKeyboard : Display::kNone;
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (found != Display::kNone && window_of(display, info)) {
        blank_attributes = info.wAttributes;
        measure(display, last_size);
        hold_output_mode();
    }
    return found;
}

void close_display() {
    // Put back and let go under the lock: the control handler's restore
    // then finds either the handle open or nothing left to put back.
    const win::ModeLock lock;
    win::restore_output_mode();
    if (owns_display) {
        CloseHandle(display);
        owns_display = false;
    }
    display = INVALID_HANDLE_VALUE;
}

bool display_size(Size& size) {
    return measure(display, size);
}

bool standard_size(Size& size) {
    return measure(GetStdHandle(STD_OUTPUT_HANDLE), size) || measure(GetStdHandle(STD_ERROR_HANDLE), size) ||
           measure(display, size);
}

bool display_shows_errors() {
    // A program has one console: standard error on a console is this one.
    return display != INVALID_HANDLE_VALUE && is_console(GetStdHandle(STD_ERROR_HANDLE));
}

bool display_in_foreground() {
    return display != INVALID_HANDLE_VALUE && !gone();
}

bool write_display(std::string_view text) {
    for (const windows::ConsoleAction& action : splitter.split(text)) {
        if (!carry_out(action)) {
            return false;
        }
    }
    return true;
}

int write_output(std::string_view text) {
    return write_file(GetStdHandle(STD_OUTPUT_HANDLE), text);
}

bool write_error(std::string_view text) {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    return is_console(error) ? win::write_console(error, text) : write_file(error, text) == 0;
}

bool knows_character(long) {
    return true;  // the game's table alone: the console asks nobody either
}

void wait_for_news(int timeout_ms) {
    if (WaitForSingleObject(win::wake_event(), static_cast<DWORD>(timeout_ms)) == WAIT_FAILED ||
        !is_console(display)) {
        mark_gone();
    }
}

void check_gone() {
    if (display != INVALID_HANDLE_VALUE && !is_console(display)) {
        mark_gone();
    }
}

}  // namespace console::platform
