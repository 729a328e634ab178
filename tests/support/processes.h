#ifndef BLACKJACK_TESTS_PROCESSES_H
#define BLACKJACK_TESTS_PROCESSES_H

// What /proc says of a process, and the end of all a test started on a
// terminal of its own.

#include <sys/types.h>

#include <optional>

namespace testing_support {

struct ProcessStat {
    pid_t pid = -1;
    char state = '?';  // R, S, T, Z...
    pid_t session = -1;
    unsigned long long start = 0;  // clock ticks after boot: tells a pid used again from the first
};

std::optional<ProcessStat> process_stat(pid_t pid);  // none once it is gone

// Kills every process of the session pid leads (a program on a terminal of
// its own, with all it started) and waits for each to end. Noted when the
// program starts, so that its pid, once free and taken by another process,
// is not taken for it.
class Session {
public:
    explicit Session(pid_t leader = -1);
    void end() const noexcept;

private:
    pid_t leader_;
    unsigned long long start_ = 0;
};

}  // namespace testing_support

#endif
