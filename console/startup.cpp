// Start-up and every way out: the console takes the terminal once and hands
// it back however the program ends.

#include <cstdlib>
#include <exception>
#include <iostream>

#include "abnormal_end.h"
#include "console.h"
#include "line_input.h"
#include "platform.h"
#include "screen.h"

namespace console {

namespace {

std::streambuf* original_cin = nullptr;
std::terminate_handler previous_terminate = nullptr;

// Normal exit, std::exit and the end of main.
void finish() {
    if (original_cin != nullptr) {
        std::cin.rdbuf(original_cin);
        original_cin = nullptr;
    }
    screen::uninstall();
    platform::hand_back();
}

// An exception nobody caught: hand back, then let the usual report and
// abort follow.
[[noreturn]] void on_terminate() {
    screen::uninstall();
    platform::hand_back();
    if (previous_terminate != nullptr) {
        previous_terminate();
    }
    std::abort();
}

}  // namespace

void input_over() {
    // Without the keyboard held, Ctrl+C is a signal all along: from the
    // farewell's first text on, it only cuts the farewell short.
    if (!platform::owned()) {
        platform::end_input();
    }
    flush();
    platform::end_input();
}

void start() {
    static bool started = false;
    if (started) {
        return;
    }
    started = true;
    line_reader();  // built now, so it outlives the exit handler below
    if (platform::take()) {
        original_cin = std::cin.rdbuf(&line_reader());
    }
    screen::install();
    std::atexit(finish);
    // A broken precondition of the text type runs no exit handler and
    // flushes nothing: only the mode goes back.
    abnormal_end::at_abnormal_end(platform::emergency_hand_back);
    previous_terminate = std::set_terminate(on_terminate);
}

}  // namespace console
