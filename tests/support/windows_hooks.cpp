// Linked into a test build of the Windows game (blackjack_hooked.exe) in
// place of its clock, never into the shipped program. It reads what the
// Linux build's preloaded hooks read (preload_hooks.cpp):
//   FAKE_CLOCK_SECONDS, FAKE_CLOCK_SPEED, FAKE_CLOCK_FILE, WRITE_COUNT_FILE
// time() and WriteFile() are taken over through their import slots, which
// the linker fills from this file before the system's import libraries.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "clock.h"
#include "write_count.h"

namespace {

constexpr std::int64_t kDayMs = 24LL * 60 * 60 * 1000;

std::int64_t steady_ms() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER now{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency.QuadPart * 1000 + now.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}

std::int64_t local_ms_of_day() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return ((now.wHour * 60LL + now.wMinute) * 60 + now.wSecond) * 1000 + now.wMilliseconds;
}

// The test's own clock, when it keeps one: nanoseconds it has been moved,
// in a file the test changes in place.
const std::int64_t* test_clock() {
    static const std::int64_t* moved = [] {
        const char* file = std::getenv("FAKE_CLOCK_FILE");
        const HANDLE handle = file == nullptr ? INVALID_HANDLE_VALUE
                                              : CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                            nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return static_cast<const std::int64_t*>(nullptr);
        }
        const HANDLE mapping = CreateFileMappingA(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
        CloseHandle(handle);
        return mapping == nullptr ? nullptr
                                  : static_cast<const std::int64_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    }();
    return moved;
}

__time64_t fixed_time(__time64_t* out) {
    __time64_t now = 0;
    if (const char* fixed = std::getenv("FAKE_CLOCK_SECONDS")) {
        now = std::strtoll(fixed, nullptr, 10);
    } else {
        FILETIME file_time{};
        GetSystemTimeAsFileTime(&file_time);
        const std::int64_t ticks = (static_cast<std::int64_t>(file_time.dwHighDateTime) << 32) | file_time.dwLowDateTime;
        now = ticks / 10000000 - 11644473600LL;  // 100 ns steps since 1601
    }
    if (out != nullptr) {
        *out = now;
    }
    return now;
}

BOOL WINAPI counted_write(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
    using write_fn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static const auto real =
        reinterpret_cast<write_fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "WriteFile")));
    if (file == GetStdHandle(STD_OUTPUT_HANDLE)) {
        ++write_count::output_writes;
    }
    return real(file, data, size, written, overlapped);
}

}  // namespace

// The slots the compiler calls _time64 (time() is an inline wrapper of it)
// and WriteFile through.
extern "C" {
// NOLINTNEXTLINE(bugprone-reserved-identifier,cppcoreguidelines-avoid-non-const-global-variables)
void* __imp__time64 = reinterpret_cast<void*>(&fixed_time);
// NOLINTNEXTLINE(bugprone-reserved-identifier,cppcoreguidelines-avoid-non-const-global-variables)
void* __imp_WriteFile = reinterpret_cast<void*>(&counted_write);
}

namespace console {

void gettime(TimeOfDay* t) {
    static const std::int64_t start_ms = local_ms_of_day();
    static const std::int64_t start_steady_ms = steady_ms();
    const char* speed_text = std::getenv("FAKE_CLOCK_SPEED");
    std::int64_t ms = 0;
    if (const std::int64_t* moved = test_clock()) {
        ms = start_ms + __atomic_load_n(moved, __ATOMIC_ACQUIRE) / 1000000;
    } else if (speed_text != nullptr) {
        const std::int64_t speed = std::strtoll(speed_text, nullptr, 10);
        ms = start_ms + (steady_ms() - start_steady_ms) * (speed >= 0 ? speed : 1);
    } else {
        ms = local_ms_of_day();
    }
    ms %= kDayMs;
    t->ti_hour = static_cast<std::uint8_t>(ms / 3600000);
    t->ti_min = static_cast<std::uint8_t>(ms / 60000 % 60);
    t->ti_sec = static_cast<std::uint8_t>(ms / 1000 % 60);
    t->ti_hund = static_cast<std::uint8_t>(ms % 1000 / 10);
}

}  // namespace console
