#include "pty_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "game_process.h"

namespace testing_support {

bool is_line_mode(const termios& mode) {
    return (mode.c_lflag & ICANON) != 0 && (mode.c_lflag & ECHO) != 0 && (mode.c_lflag & ISIG) != 0;
}

void without_leak_check() {
    const char* options = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(options != nullptr ? options : "") + ":detect_leaks=0").c_str(), 1);
}

termios new_terminal_mode() {
    int master = -1;
    int slave = -1;
    termios mode{};
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) == 0) {
        tcgetattr(slave, &mode);
        close(slave);
        close(master);
    }
    return mode;
}

PtyProcess::PtyProcess(const std::vector<std::string>& argv, const std::function<void()>& before_exec) {
    int report[2];
    if (pipe(report) != 0) {
        throw std::runtime_error("pipe failed");
    }
    // A run standing in for macOS's poll() gives the program that poll.
    const std::string preload = std::getenv("FAKE_POLL_NVAL") != nullptr ? preload_hooks() : "";
    winsize size{};
    size.ws_col = 80;
    size.ws_row = 24;
    pid_ = forkpty(&master_, nullptr, nullptr, &size);
    if (pid_ < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (pid_ == 0) {
        close(report[0]);
        if (report[1] != 3) {
            dup2(report[1], 3);
            close(report[1]);
        }
        std::vector<char*> args;
        args.reserve(argv.size() + 1);
        for (const std::string& arg : argv) {
            args.push_back(const_cast<char*>(arg.c_str()));
        }
        args.push_back(nullptr);
        // Let faults reach the program's own handlers under the sanitizers.
        setenv("ASAN_OPTIONS", "handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0", 1);
        if (!preload.empty()) {
            setenv("LD_PRELOAD", preload.c_str(), 1);
        }
        if (before_exec) {
            before_exec();
        }
        execv(args[0], args.data());
        _exit(127);
    }
    session_ = Session(pid_);
    close(report[1]);
    report_read_ = report[0];
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyProcess::~PtyProcess() noexcept {
    // Everything on the terminal ends before the terminal goes.
    session_.end();
    if (!reaped_ && pid_ > 0) {
        waitpid(pid_, nullptr, 0);
    }
    for (const int fd : {master_, report_read_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void PtyProcess::type(const std::string& bytes) {
    if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("cannot type into the terminal");
    }
}

void PtyProcess::hang_up() {
    close(master_);
    master_ = -1;
}

// The program's output must be read, or a full terminal would stop it.
void PtyProcess::drain_output() {
    char bytes[1024];
    ssize_t n;
    while (master_ >= 0 && (n = read(master_, bytes, sizeof bytes)) > 0) {
        output_.append(bytes, static_cast<std::size_t>(n));
    }
}

const std::string& PtyProcess::output() {
    drain_output();
    return output_;
}

termios PtyProcess::mode() const {
    termios mode{};
    tcgetattr(master_, &mode);
    return mode;
}

bool PtyProcess::wait_mode(bool raw, milliseconds timeout) {
    return poll_until(
        [&] {
            drain_output();
            return ((mode().c_lflag & ICANON) == 0) == raw;
        },
        timeout);
}

std::vector<int> PtyProcess::reports(std::size_t count, milliseconds timeout) {
    std::vector<int> values;
    poll_until(
        [&] {
            drain_output();
            pollfd ready{report_read_, POLLIN, 0};
            char bytes[256];
            ssize_t n;
            if (poll(&ready, 1, 0) > 0 && (n = read(report_read_, bytes, sizeof bytes)) > 0) {
                report_text_.append(bytes, static_cast<std::size_t>(n));
            }
            std::size_t line_end;
            while (values.size() < count && (line_end = report_text_.find('\n')) != std::string::npos) {
                values.push_back(std::atoi(report_text_.substr(0, line_end).c_str()));
                report_text_.erase(0, line_end + 1);
            }
            return values.size() >= count;
        },
        timeout);
    return values;
}

std::optional<int> PtyProcess::wait_exit(milliseconds timeout) {
    int status = 0;
    const bool ended = poll_until(
        [&] {
            drain_output();
            return waitpid(pid_, &status, WNOHANG) == pid_;
        },
        timeout);
    if (!ended) {
        return std::nullopt;
    }
    reaped_ = true;
    return status;
}

}  // namespace testing_support
