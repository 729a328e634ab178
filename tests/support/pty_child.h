#ifndef BLACKJACK_TESTS_PTY_CHILD_H
#define BLACKJACK_TESTS_PTY_CHILD_H

// A child process whose standard streams are the far end of a new
// pseudo-terminal. The test types bytes into the terminal and reads back the
// numbers the child reports through a pipe.

#include <termios.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

class PtyChild {
public:
    // Reporter hands numbers from the child back to the test.
    using Reporter = std::function<void(int)>;

    // body runs in the child once the test calls start(); the child then
    // ends with status 0.
    explicit PtyChild(std::function<void(const Reporter&)> body);
    ~PtyChild();
    PtyChild(const PtyChild&) = delete;
    PtyChild& operator=(const PtyChild&) = delete;

    void start();                     // lets the body run
    void type(const std::string& bytes);  // as if typed at the keyboard

    // Waits until the terminal is in key-by-key mode (no ICANON), that is,
    // the child is inside getch.
    bool wait_key_mode(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // The next count reports; fewer if the deadline passes first.
    std::vector<int> reports(std::size_t count,
                             std::chrono::milliseconds timeout = std::chrono::seconds(10));

    termios mode() const;  // the terminal's current mode
    pid_t pid() const { return pid_; }

    // waitpid status of the child, waiting up to timeout.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    void drain_output();

    int master_ = -1;
    int slave_ = -1;
    int go_write_ = -1;
    int report_read_ = -1;
    pid_t pid_ = -1;
    bool reaped_ = false;
};

// True when the mode reads lines with echo, as a shell leaves it.
bool is_line_mode(const termios& mode);

}  // namespace testing_support

#endif
