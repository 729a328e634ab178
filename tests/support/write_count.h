#ifndef BLACKJACK_TESTS_WRITE_COUNT_H
#define BLACKJACK_TESTS_WRITE_COUNT_H

// The count of the game's writes to standard output, kept by the test hooks
// of every system (preload_hooks.cpp, windows_hooks.cpp) and written at exit
// to the file WRITE_COUNT_FILE names.

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace write_count {

inline std::atomic<long> output_writes{0};

struct ReportAtExit {
    ReportAtExit() = default;
    ReportAtExit(const ReportAtExit&) = delete;
    ReportAtExit& operator=(const ReportAtExit&) = delete;
    ~ReportAtExit() {
        if (const char* file = std::getenv("WRITE_COUNT_FILE")) {
            if (FILE* out = std::fopen(file, "w")) {
                std::fprintf(out, "%ld\n", output_writes.load());
                std::fclose(out);
            }
        }
    }
};
inline ReportAtExit report_at_exit;

}  // namespace write_count

#endif
