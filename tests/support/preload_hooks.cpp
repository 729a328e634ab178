// Preloaded into the game under test, never into the shipped program.
//   FAKE_CLOCK_SECONDS=N  every time() call returns N, fixing the deck's seed
//   FAKE_CLOCK_SPEED=K    the real-time clock runs K times faster, so the
//                         game's waits pass quickly; 0 stops it, so a wait
//                         never ends by itself
//   FAKE_CLOCK_FILE=F     the real-time clock moves only when the test moves
//                         it: F holds the nanoseconds it has been moved, as
//                         one 64-bit number the test changes in place
//   WRITE_COUNT_FILE=F    at exit, the number of write() calls to standard
//                         output is written to F
//   FAKE_CLOCK_FAILS=1    the real-time clock fails with EOVERFLOW, as a
//                         32-bit time_t's does after January 2038
//   FAKE_POLL_NVAL=1      poll() answers POLLNVAL at once for a terminal, as
//                         macOS's does for every device

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

#include "write_count.h"

namespace {

using clock_gettime_fn = int (*)(clockid_t, timespec*);
using write_fn = ssize_t (*)(int, const void*, size_t);

// With a 64-bit time_t on a 32-bit C library, the calls defined here take
// these names (the headers rename them), and so must the real ones.
#ifdef __USE_TIME_BITS64
const char kClockGettime[] = "__clock_gettime64";
#else
const char kClockGettime[] = "clock_gettime";
#endif

clock_gettime_fn real_clock_gettime() {
    static const auto real = reinterpret_cast<clock_gettime_fn>(dlsym(RTLD_NEXT, kClockGettime));
    return real;
}

std::int64_t to_ns(const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

// The C library declares these with other parameter names.
extern "C" time_t time(time_t* out) {  // NOLINT(readability-inconsistent-declaration-parameter-name)
    time_t now;
    if (const char* fixed = std::getenv("FAKE_CLOCK_SECONDS")) {
        now = static_cast<time_t>(std::strtoll(fixed, nullptr, 10));
    } else {
        timespec t{};
        real_clock_gettime()(CLOCK_REALTIME, &t);
        now = t.tv_sec;
    }
    if (out != nullptr) {
        *out = now;
    }
    return now;
}

// The test's own clock, when it keeps one: mapped once, read at every call.
const std::int64_t* test_clock() {
    static const std::int64_t* moved = [] {
        const char* file = std::getenv("FAKE_CLOCK_FILE");
        const int fd = file != nullptr ? open(file, O_RDONLY | O_CLOEXEC) : -1;
        if (fd < 0) {
            return static_cast<const std::int64_t*>(nullptr);
        }
        void* mapped = mmap(nullptr, sizeof(std::int64_t), PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        return mapped == MAP_FAILED ? nullptr : static_cast<const std::int64_t*>(mapped);
    }();
    return moved;
}

extern "C" int clock_gettime(clockid_t id, timespec* out) {  // NOLINT(readability-inconsistent-declaration-parameter-name)
    if (id == CLOCK_REALTIME && std::getenv("FAKE_CLOCK_FAILS") != nullptr) {
        errno = EOVERFLOW;
        return -1;
    }
    const int result = real_clock_gettime()(id, out);
    const char* speed_text = std::getenv("FAKE_CLOCK_SPEED");
    if (result != 0 || id != CLOCK_REALTIME || (speed_text == nullptr && test_clock() == nullptr)) {
        return result;
    }
    static const std::int64_t start = to_ns(*out);
    std::int64_t now = 0;
    if (const std::int64_t* moved = test_clock()) {
        now = start + __atomic_load_n(moved, __ATOMIC_ACQUIRE);
    } else {
        const std::int64_t speed = std::strtoll(speed_text, nullptr, 10);
        now = start + (to_ns(*out) - start) * (speed >= 0 ? speed : 1);
    }
    out->tv_sec = static_cast<time_t>(now / 1000000000);
    out->tv_nsec = static_cast<long>(now % 1000000000);
    return 0;
}

extern "C" ssize_t write(int fd, const void* data, size_t size) {  // NOLINT(readability-inconsistent-declaration-parameter-name)
    static const auto real = reinterpret_cast<write_fn>(dlsym(RTLD_NEXT, "write"));
    if (fd == STDOUT_FILENO) {
        ++write_count::output_writes;
    }
    return real(fd, data, size);
}

namespace {

using poll_fn = int (*)(pollfd*, nfds_t, int);

// macOS's poll(): any terminal among the descriptors makes it answer at once,
// POLLNVAL for each terminal.
int macos_poll(pollfd* fds, nfds_t count, int timeout) {
    static const auto real = reinterpret_cast<poll_fn>(dlsym(RTLD_NEXT, "poll"));
    if (std::getenv("FAKE_POLL_NVAL") == nullptr) {
        return real(fds, count, timeout);
    }
    int terminals = 0;
    for (nfds_t i = 0; i < count; ++i) {
        fds[i].revents = isatty(fds[i].fd) ? POLLNVAL : 0;
        terminals += fds[i].revents != 0 ? 1 : 0;
    }
    return terminals > 0 ? terminals : real(fds, count, timeout);
}

}  // namespace

extern "C" int poll(pollfd* fds, nfds_t count, int timeout) {  // NOLINT(readability-inconsistent-declaration-parameter-name)
    return macos_poll(fds, count, timeout);
}

// What a fortified poll() with a descriptor count known only at run time calls.
extern "C" int __poll_chk(pollfd* fds, nfds_t count, int timeout, size_t) {  // NOLINT(bugprone-reserved-identifier): the C library's name
    return macos_poll(fds, count, timeout);
}
