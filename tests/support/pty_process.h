#ifndef BLACKJACK_TESTS_PTY_PROCESS_H
#define BLACKJACK_TESTS_PTY_PROCESS_H

// A program run on a new 80x24 pseudo-terminal, as if from a shell. The test
// types into the terminal, reads its mode, and reads back the numbers the
// program reports on its descriptor 3 (one a line).

#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "processes.h"
#include "wait.h"

namespace testing_support {

class PtyProcess {
public:
    // before_exec runs in the child, on the new terminal, just before the
    // program starts: a place to set a signal's disposition or a file flag.
    explicit PtyProcess(const std::vector<std::string>& argv, const std::function<void()>& before_exec = {});
    ~PtyProcess() noexcept;
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    pid_t pid() const { return pid_; }

    void type(const std::string& bytes);  // as if typed at the keyboard
    void hang_up();                       // closes the terminal, as a closed window does

    termios mode() const;  // the terminal's mode now
    bool wait_mode(bool raw, milliseconds timeout = kPatience);

    // The next count reports; fewer if the time runs out first.
    std::vector<int> reports(std::size_t count, milliseconds timeout = kPatience);

    // The waitpid status once the program has ended.
    std::optional<int> wait_exit(milliseconds timeout = kPatience);

    // Everything the program has written to the terminal so far.
    const std::string& output();

private:
    void drain_output();

    int master_ = -1;
    int report_read_ = -1;
    pid_t pid_ = -1;
    Session session_;
    bool reaped_ = false;
    std::string output_;
    std::string report_text_;
};

// For before_exec: a program whose terminal the test closes under it. The
// sanitizers' leak check at exit stops every thread to look at it, and the
// hang-up's signals can leave it waiting for a stop that never comes.
void without_leak_check();

// True when the mode reads lines with echo and signal keys, as a shell leaves it.
bool is_line_mode(const termios& mode);

// The mode a new pseudo-terminal starts in.
termios new_terminal_mode();

}  // namespace testing_support

#endif
