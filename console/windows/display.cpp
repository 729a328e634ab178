// The display and the standard streams on Windows. A console window shows
// the game through the console's own calls, which every Windows console
// and Wine carry out; a pipe or a file gets the same bytes as elsewhere.

#include "characters.h"
#include "platform.h"
#include "windows/win_console.h"

#include <atomic>
#include <cerrno>
#include <string>

namespace console::platform {

namespace {

HANDLE display_console = INVALID_HANDLE_VALUE;
bool owns_display = false;  // opened here, closed at the end
WORD blank_attributes = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE;  // the start-up colours
std::atomic<DWORD> saved_output_mode{0};
std::atomic<bool> output_mode_changed{false};
Size last_size{0, 0};
std::string cut_character;  // the start of a character whose other bytes are still to come

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

// Line feeds and backspaces carried out (and the tabs of an error message),
// and no wrap pending at the right edge: what the game's screens need of
// the console's output mode. With a windows::ModeLock held; marked before it
// is set, as the keyboard's.
void hold_output_mode() {
    DWORD mode = 0;
    const DWORD needed = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;
    if (GetConsoleMode(display_console, &mode) && (mode & needed) != needed) {
        saved_output_mode = mode;
        output_mode_changed = true;
        if (!SetConsoleMode(display_console, mode | needed)) {
            output_mode_changed = false;
        }
    }
}

// The text written up to its last whole character; a character cut off at
// the end waits for the rest, which the next text brings.
bool write_text(std::string_view text) {
    std::string all = cut_character + std::string(text);
    std::size_t whole = 0;
    while (whole < all.size()) {
        const Utf8Character c = utf8_character(std::string_view(all).substr(whole));
        if (c.kind == Utf8Character::Kind::kIncomplete) {
            break;
        }
        whole += c.length;
    }
    cut_character = all.substr(whole);
    all.resize(whole);
    return windows::write_console(display_console, all);
}

// Carries out one operation on the window, counted from its top-left cell
// (the console's buffer may be taller than the window).
bool carry_out(const DisplayOperation& operation) {
    using Kind = DisplayOperation::Kind;
    if (operation.kind == Kind::kText) {
        return write_text(operation.text);
    }
    if (!cut_character.empty()) {
        // Cut short by a move: a replacement where it was begun, as a
        // terminal draws.
        cut_character.clear();
        if (!windows::write_console(display_console, "\xef\xbf\xbd")) {
            return false;
        }
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(display_console, &info)) {
        return false;
    }
    const SMALL_RECT& window = info.srWindow;
    COORD cursor = info.dwCursorPosition;
    if (operation.kind == Kind::kClear) {
        const SHORT width = static_cast<SHORT>(window.Right - window.Left + 1);
        DWORD done = 0;
        for (SHORT row = window.Top; row <= window.Bottom; row++) {
            const COORD start{window.Left, row};
            FillConsoleOutputCharacterW(display_console, L' ', static_cast<DWORD>(width), start, &done);
            FillConsoleOutputAttribute(display_console, blank_attributes, static_cast<DWORD>(width), start, &done);
        }
        cursor = {window.Left, window.Top};
    } else if (operation.kind == Kind::kClearLineRight) {
        const DWORD width = cursor.X > window.Right ? 0 : static_cast<DWORD>(window.Right - cursor.X + 1);
        DWORD done = 0;
        FillConsoleOutputCharacterW(display_console, L' ', width, cursor, &done);
        FillConsoleOutputAttribute(display_console, blank_attributes, width, cursor, &done);
    } else if (operation.kind == Kind::kMoveTo) {
        cursor = {static_cast<SHORT>(window.Left + operation.column - 1),
                  static_cast<SHORT>(window.Top + operation.row - 1)};
    } else {
        // 0 moves one, as on a terminal.
        cursor.X = static_cast<SHORT>(cursor.X + (operation.count < 1 ? 1 : operation.count));
    }
    // Not past the window's edge: a terminal stops the cursor there.
    cursor.X = cursor.X > window.Right ? window.Right : cursor.X;
    cursor.Y = cursor.Y > window.Bottom ? window.Bottom : cursor.Y;
    return SetConsoleCursorPosition(display_console, cursor) != FALSE;
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

void windows::restore_output_mode() {
    if (output_mode_changed.exchange(false)) {
        SetConsoleMode(display_console, saved_output_mode);
    }
}

bool windows::size_changed() {
    Size now{0, 0};
    if (!measure(display_console, now) || (now.columns == last_size.columns && now.rows == last_size.rows)) {
        return false;
    }
    const bool changed = last_size.columns != 0;
    last_size = now;
    return changed;
}

bool windows::write_console(HANDLE console, std::string_view text) {
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

DisplayFound open_display() {
    const windows::ModeLock lock;
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DisplayFound found = DisplayFound::kNone;
    if (is_console(output)) {
        display_console = output;
        found = DisplayFound::kOnStandardOutput;
    } else if (owned()) {
        // The window the keys come from, for the echo.
        display_console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
        owns_display = display_console != INVALID_HANDLE_VALUE;
        found = owns_display ? DisplayFound::kOnKeyboardTerminal : DisplayFound::kNone;
    }
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (found != DisplayFound::kNone && window_of(display_console, info)) {
        blank_attributes = info.wAttributes;
        measure(display_console, last_size);
        hold_output_mode();
    }
    return found;
}

void close_display() {
    // Put back and let go under the lock: the control handler's restore
    // then finds either the handle open or nothing left to put back.
    const windows::ModeLock lock;
    windows::restore_output_mode();
    if (owns_display) {
        CloseHandle(display_console);
        owns_display = false;
    }
    display_console = INVALID_HANDLE_VALUE;
}

bool display_size(Size& size) {
    return measure(display_console, size);
}

bool size_of_standard_terminal(Size& size) {
    return measure(GetStdHandle(STD_OUTPUT_HANDLE), size) || measure(GetStdHandle(STD_ERROR_HANDLE), size) ||
           measure(display_console, size);
}

bool display_shows_errors() {
    // A program has one console: standard error on a console is this one.
    return display_console != INVALID_HANDLE_VALUE && is_console(GetStdHandle(STD_ERROR_HANDLE));
}

bool display_in_foreground() {
    return display_console != INVALID_HANDLE_VALUE && !gone();
}

bool write_display(const DisplayOperations& operations) {
    for (const DisplayOperation& operation : operations) {
        if (!carry_out(operation)) {
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
    return is_console(error) ? windows::write_console(error, text) : write_file(error, text) == 0;
}

bool knows_character(long) {
    return true;  // the game's table alone: the console asks nobody either
}

void wait_for_news(int timeout_ms) {
    if (WaitForSingleObject(windows::wake_event(), static_cast<DWORD>(timeout_ms)) == WAIT_FAILED ||
        !is_console(display_console)) {
        mark_gone();
    }
}

void check_gone() {
    if (display_console != INVALID_HANDLE_VALUE && !is_console(display_console)) {
        mark_gone();
    }
}

}  // namespace console::platform
