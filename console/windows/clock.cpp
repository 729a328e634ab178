// The clock that never goes back, on Windows.

#include "platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace console::platform {

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
