#include "tmux_session.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "wait.h"

namespace testing_support {

namespace {

std::string run(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("cannot run: " + command);
    }
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.append(buf, n);
    }
    pclose(pipe);
    return out;
}

}  // namespace

std::string shell_quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string join(const Screen& screen) {
    std::string text;
    for (const auto& row : screen) {
        text += row + "\n";
    }
    return text;
}

bool contains(const Screen& screen, const std::string& text) {
    // Rows come without their trailing blanks, so the text is matched without its.
    const std::string trimmed = text.substr(0, text.find_last_not_of(' ') + 1);
    for (const auto& row : screen) {
        if (row.find(trimmed) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TmuxSession::TmuxSession(const std::string& command, int width, int height) {
    char dir_template[] = "/tmp/blackjack-tmux-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = dir_template;
    socket_ = dir_ + "/socket";
    const std::string config = dir_ + "/tmux.conf";
    // The panes' shell is sh, whatever the user's login shell reads at start.
    std::ofstream(config) << "set -g default-shell /bin/sh\n"
                             "set -g status off\n"
                             "set -g remain-on-exit on\n"
                             "set -g remain-on-exit-format ''\n"
                             "set -g escape-time 0\n";
    // The shell around the program records how it ended and how it left the
    // terminal; tmux's own record of the status is not always there in time.
    const std::string status = dir_ + "/status";
    const std::string wrapped = command + "\ns=$?; stty -a > " + shell_quote(dir_ + "/stty") + " 2>&1; echo $s > " +
                                shell_quote(status + ".new") + "; mv " + shell_quote(status + ".new") + " " +
                                shell_quote(status);
    const std::string start = "tmux -f " + shell_quote(config) + " -S " + shell_quote(socket_) +
                              " new-session -d -P -F '#{pane_pid}' -x " + std::to_string(width) + " -y " +
                              std::to_string(height) + " " + shell_quote("sh -c " + shell_quote(wrapped)) +
                              " </dev/null 2>&1";
    session_ = Session(static_cast<pid_t>(std::atol(run(start).c_str())));
}

TmuxSession::~TmuxSession() noexcept {
    // The game ends, and is waited for, before its window goes: closing the
    // window under it would send it into its exit with nobody left to see
    // how that goes.
    session_.end();
    const std::string clean_up = "tmux -S " + shell_quote(socket_) + " kill-server >/dev/null 2>&1; rm -rf " +
                                 shell_quote(dir_);
    if (std::system(clean_up.c_str()) != 0) {
        // Nothing left to clean: the server had already gone.
    }
}

std::string TmuxSession::tmux(const std::string& args) const {
    return run("tmux -S " + shell_quote(socket_) + " " + args + " 2>/dev/null");
}

void TmuxSession::type(const std::string& text) {
    tmux("send-keys -l -- " + shell_quote(text));
}

void TmuxSession::press(const std::string& key_name) {
    tmux("send-keys " + shell_quote(key_name));
}

Screen TmuxSession::screen() const {
    Screen rows;
    std::istringstream in(tmux("capture-pane -p"));
    for (std::string row; std::getline(in, row);) {
        rows.push_back(row);
    }
    return rows;
}

std::pair<int, int> TmuxSession::cursor() const {
    std::istringstream in(tmux("display -p '#{cursor_x} #{cursor_y}'"));
    int x = -1;
    int y = -1;
    in >> x >> y;
    return {x + 1, y + 1};
}

bool TmuxSession::wait_for(const std::function<bool(const Screen&)>& pred, std::chrono::milliseconds timeout) const {
    // Each look starts a tmux client; looking less often leaves the
    // processors to the game and to the other tests.
    return poll_until([&] { return pred(screen()); }, timeout, std::chrono::milliseconds(10));
}

std::optional<int> TmuxSession::exit_status(std::chrono::milliseconds timeout) const {
    int status = -1;
    const bool ended = poll_until(
        [&] {
            std::ifstream in(dir_ + "/status");
            return static_cast<bool>(in >> status);
        },
        timeout);
    return ended ? std::optional<int>(status) : std::nullopt;
}

void TmuxSession::close_pane() {
    tmux("kill-pane");
}

void TmuxSession::resize(int width, int height) {
    tmux("resize-window -x " + std::to_string(width) + " -y " + std::to_string(height));
}

void TmuxSession::scribble(const std::string& text) {
    std::string tty = tmux("display -p '#{pane_tty}'");
    tty.erase(tty.find_last_not_of('\n') + 1);
    std::ofstream(tty) << text;
}

std::string TmuxSession::terminal_settings() const {
    return read_file(dir_ + "/stty");
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace testing_support
