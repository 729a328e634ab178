#include "pty_child.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace testing_support {

namespace {

bool wait_readable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

}  // namespace

bool is_line_mode(const termios& mode) {
    return (mode.c_lflag & ICANON) != 0 && (mode.c_lflag & ECHO) != 0 && (mode.c_lflag & ISIG) != 0;
}

PtyChild::PtyChild(std::function<void(const Reporter&)> body) {
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) {
        throw std::runtime_error("openpty failed");
    }
    int go[2];
    int report[2];
    if (pipe(go) != 0 || pipe(report) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        close(master_);
        close(go[1]);
        close(report[0]);
        setsid();
        ioctl(slave_, TIOCSCTTY, 0);
        dup2(slave_, STDIN_FILENO);
        dup2(slave_, STDOUT_FILENO);
        dup2(slave_, STDERR_FILENO);
        char start = 0;
        if (read(go[0], &start, 1) != 1) {
            _exit(2);
        }
        const int out = report[1];
        body([out](int value) {
            if (write(out, &value, sizeof value) != sizeof value) {
                _exit(2);
            }
        });
        _exit(0);
    }
    close(go[0]);
    close(report[1]);
    go_write_ = go[1];
    report_read_ = report[0];
}

PtyChild::~PtyChild() {
    if (!reaped_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {master_, slave_, go_write_, report_read_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void PtyChild::start() {
    const char go = 1;
    if (write(go_write_, &go, 1) != 1) {
        throw std::runtime_error("cannot start the child");
    }
}

void PtyChild::type(const std::string& bytes) {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("cannot type into the terminal");
    }
}

// The child's echo and output go to the master; reading it keeps the
// terminal's buffers from filling up.
void PtyChild::drain_output() {
    char buf[1024];
    while (wait_readable(master_, std::chrono::milliseconds(0))) {
        if (read(master_, buf, sizeof buf) <= 0) {
            return;
        }
    }
}

bool PtyChild::wait_key_mode(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        drain_output();
        if ((mode().c_lflag & ICANON) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

std::vector<int> PtyChild::reports(std::size_t count, std::chrono::milliseconds timeout) {
    std::vector<int> values;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (values.size() < count) {
        drain_output();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        if (!wait_readable(report_read_, std::min(left, std::chrono::milliseconds(20)))) {
            continue;
        }
        int value = 0;
        if (read(report_read_, &value, sizeof value) != sizeof value) {
            break;
        }
        values.push_back(value);
    }
    return values;
}

termios PtyChild::mode() const {
    termios mode{};
    tcgetattr(slave_, &mode);
    return mode;
}

std::optional<int> PtyChild::wait_exit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        drain_output();
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            reaped_ = true;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::nullopt;
}

}  // namespace testing_support
