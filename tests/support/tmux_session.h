#ifndef BLACKJACK_TESTS_TMUX_SESSION_H
#define BLACKJACK_TESTS_TMUX_SESSION_H

// A program running in a real terminal emulator: a detached tmux session on
// a private server, typed at with send-keys and read with capture-pane.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "processes.h"
#include "wait.h"

namespace testing_support {

using Screen = std::vector<std::string>;  // one string a row, trailing blanks trimmed

class TmuxSession {
public:
    // Runs command (a shell command line) in a width x height pane with no
    // status line, so the program sees exactly that size.
    explicit TmuxSession(const std::string& command, int width = 80, int height = 24);
    ~TmuxSession() noexcept;
    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    void type(const std::string& text);     // literal text
    void press(const std::string& key_name);  // a tmux key name: Enter, Up, F1, C-c

    Screen screen() const;
    std::pair<int, int> cursor() const;  // column and row, counted from 1

    // Polls the screen until pred holds; false when the deadline passes.
    bool wait_for(const std::function<bool(const Screen&)>& pred, std::chrono::milliseconds timeout = kPatience) const;

    // The exit status once the program has ended, waiting up to timeout.
    std::optional<int> exit_status(std::chrono::milliseconds timeout = kPatience) const;

    // Closes the pane, and with it the terminal, as a player closing the window.
    void close_pane();

    // Makes the window width x height, as a player dragging its corner.
    void resize(int width, int height);

    // Writes text to the terminal from outside, as another program would.
    void scribble(const std::string& text);

    // What `stty -a` said of the terminal right after the program ended.
    std::string terminal_settings() const;

private:
    std::string tmux(const std::string& args) const;

    std::string dir_;
    std::string socket_;
    Session session_;  // the pane's: the command and all it starts
};

std::string shell_quote(const std::string& text);
std::string read_file(const std::string& path);  // empty when there is none
std::string join(const Screen& screen);  // for failure messages
bool contains(const Screen& screen, const std::string& text);

}  // namespace testing_support

#endif
