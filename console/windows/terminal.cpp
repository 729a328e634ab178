// The keyboard on a Windows console: its input mode for the run, the
// console's control events, and its key events turned into the bytes a
// terminal sends. Windows has no job control: nothing stops the program.

#include "platform.h"
#include "windows/key_events.h"
#include "windows/win_console.h"

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

namespace console::platform {

namespace {

HANDLE input = INVALID_HANDLE_VALUE;
DWORD saved_mode = 0;
DWORD raw_mode = 0;
HANDLE wake = nullptr;
std::atomic<bool> owned_flag{false};
std::atomic<bool> raw_applied{false};
std::atomic<bool> resized_flag{false};
std::atomic<bool> gone_flag{false};
std::atomic<bool> input_ended{false};       // end_input() was called
std::atomic<bool> interrupted_flag{false};  // Ctrl+C came after it
windows::KeyEventBytes key_bytes;

windows::KeyEvent key_event(const KEY_EVENT_RECORD& record) {
    return {record.bKeyDown != FALSE, record.wRepeatCount, record.wVirtualKeyCode,
            static_cast<char16_t>(record.uChar.UnicodeChar), record.dwControlKeyState};
}

// Ctrl+C with line input off is a key (3) on Windows itself; a console
// that still raises the event (Wine does) gets the same key in its place,
// in order with the keys typed before it.
void put_interrupt_key() {
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = TRUE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = 'C';
    record.Event.KeyEvent.uChar.UnicodeChar = 3;
    record.Event.KeyEvent.dwControlKeyState = LEFT_CTRL_PRESSED;
    DWORD written = 0;
    WriteConsoleInputW(input, &record, 1, &written);
}

// Runs on a thread of its own, made by the system for each event.
BOOL WINAPI on_control_event(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT: {
        if (input_ended) {
            // Input is over: Ctrl+C only cuts the farewell short.
            interrupted_flag = true;
            SetEvent(wake);
            return TRUE;
        }
        win::ModeLock lock;
        if (owned_flag) {
            put_interrupt_key();
            return TRUE;
        }
        lock.unlock();
        emergency_hand_back();
        return FALSE;  // the system's own handler ends the program
    }
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // The window is going: the game goes to its end at once, as after
        // the end of input, and the system ends the program in a few
        // seconds whatever it does; returning would end it now.
        mark_gone();
        emergency_hand_back();
        SetEvent(wake);
        Sleep(INFINITE);
        return TRUE;
    default:  // Ctrl+Break
        emergency_hand_back();
        return FALSE;
    }
}

void install_handlers() {
    wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    SetConsoleCtrlHandler(on_control_event, TRUE);
    // The game's bytes as they are, as on other systems: no line ends
    // changed, and no Ctrl+Z taken as the end of input.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace

HANDLE win::wake_event() {
    return wake;
}

namespace {

std::timed_mutex& mode_mutex() {
    static std::timed_mutex mutex;
    return mutex;
}

}  // namespace

win::ModeLock::ModeLock() : held_(mode_mutex().try_lock_for(std::chrono::seconds(1))) {}

win::ModeLock::~ModeLock() {
    unlock();
}

void win::ModeLock::unlock() {
    if (held_) {
        held_ = false;
        mode_mutex().unlock();
    }
}

bool take() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        install_handlers();
    }
    if (owned_flag) {
        return true;
    }
    if (input_ended) {
        return false;
    }
    {
        const win::ModeLock lock;
        input = GetStdHandle(STD_INPUT_HANDLE);
        if (input == INVALID_HANDLE_VALUE || input == nullptr || !GetConsoleMode(input, &saved_mode)) {
            return false;
        }
        // No line input, no echo, Ctrl+C as a key; size changes told; key
        // events rather than the sequences of a virtual terminal.
        raw_mode = (saved_mode | ENABLE_WINDOW_INPUT) &
                   ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT |
                                       ENABLE_VIRTUAL_TERMINAL_INPUT);
        owned_flag = true;
    }
    hold_mode(false);
    return true;
}

bool owned() {
    return owned_flag;
}

void hand_back() {
    emergency_hand_back();
}

// On Windows nothing calls this where the lock is held already: no signal
// handler interrupts the main thread.
void emergency_hand_back() {
    const win::ModeLock lock;
    if (raw_applied.exchange(false)) {
        SetConsoleMode(input, saved_mode);
    }
    win::restore_output_mode();
    owned_flag = false;
}

// Whatever standard input is: Ctrl+C reaches the program from the console
// even when it reads no keys.
void end_input() {
    input_ended = true;
    if (owned_flag) {
        hand_back();
    }
}

bool interrupted() {
    return interrupted_flag;
}

void suspend() {}

const EditingKeys& editing_keys() {
    static const EditingKeys keys = [] {
        EditingKeys found;
        found.susp = -1;  // no job control to stop the program for
        return found;
    }();
    return keys;
}

bool hold_mode(bool checked) {
    const win::ModeLock lock;
    if (!owned_flag || gone_flag) {
        return false;
    }
    DWORD now = 0;
    if (raw_applied && checked && GetConsoleMode(input, &now) && now != raw_mode) {
        raw_applied = false;
    }
    if (raw_applied) {
        return false;
    }
    // Marked first: a handler that finds it marked puts the mode found back
    // whether or not this one took.
    raw_applied = true;
    if (!SetConsoleMode(input, raw_mode)) {
        raw_applied = false;
        return false;
    }
    return true;
}

void wait_for_foreground() {}

Events take_events() {
    Events events;
    // Both asked: the size last seen must follow a size change told, or the
    // next call tells it again.
    const bool told = resized_flag.exchange(false);
    const bool seen = win::size_changed();
    events.resized = told || seen;
    return events;
}

bool gone() {
    return gone_flag;
}

void mark_gone() {
    gone_flag = true;
}

bool Keyboard::typed_ahead() const {
    if (!owned_flag || gone_flag) {
        return false;
    }
    INPUT_RECORD records[64];
    DWORD count = 0;
    if (!PeekConsoleInputW(input, records, 64, &count)) {
        return false;
    }
    windows::KeyEventBytes ahead = key_bytes;
    for (DWORD k = 0; k < count; k++) {
        if (records[k].EventType == KEY_EVENT && !ahead.bytes(key_event(records[k].Event.KeyEvent)).empty()) {
            return true;
        }
    }
    return false;
}

Keyboard::Wait Keyboard::read_more(int timeout_ms) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms < 0 ? 0 : timeout_ms);
    for (;;) {
        if (gone_flag || !owned_flag) {
            return Wait::kClosed;
        }
        DWORD wait = INFINITE;
        if (timeout_ms >= 0) {
            const ULONGLONG now = GetTickCount64();
            wait = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        }
        const HANDLE handles[2] = {wake, input};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, wait);
        if (woken == WAIT_OBJECT_0) {
            return Wait::kWoken;
        }
        if (woken == WAIT_TIMEOUT) {
            return Wait::kTimedOut;
        }
        INPUT_RECORD record{};
        DWORD count = 0;
        if (woken != WAIT_OBJECT_0 + 1 || !ReadConsoleInputW(input, &record, 1, &count)) {
            mark_gone();
            return Wait::kClosed;
        }
        if (count == 1 && record.EventType == WINDOW_BUFFER_SIZE_EVENT) {
            resized_flag = true;
            return Wait::kWoken;
        }
        if (count == 1 && record.EventType == KEY_EVENT) {
            const std::string bytes = key_bytes.bytes(key_event(record.Event.KeyEvent));
            if (!bytes.empty()) {
                pending_ += bytes;
                return Wait::kBytes;
            }
        }
        // A release, a lone modifier, the mouse, the focus: wait on.
    }
}

Keyboard& keyboard() {
    static Keyboard instance;
    return instance;
}

std::int64_t monotonic_ns() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f{};
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    // Whole seconds and the rest apart, so that nothing overflows.
    return now.QuadPart / frequency * 1000000000 + now.QuadPart % frequency * 1000000000 / frequency;
}

}  // namespace console::platform
