#include "processes.h"

#include <dirent.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tmux_session.h"
#include "wait.h"

namespace testing_support {

namespace {

// Kills the processes and waits until each has ended: gone, a zombie, or
// its pid taken by another.
void kill_and_wait(const std::vector<ProcessStat>& processes) noexcept {
    for (const ProcessStat& process : processes) {
        kill(process.pid, SIGKILL);
    }
    for (const ProcessStat& process : processes) {
        const bool ended = poll_until([&] {
            const auto now = process_stat(process.pid);
            return !now || now->state == 'Z' || now->state == 'X' || now->start != process.start;
        });
        if (!ended) {
            std::fprintf(stderr, "process %d outlives SIGKILL\n", static_cast<int>(process.pid));
        }
    }
}

}  // namespace

std::optional<ProcessStat> process_stat(pid_t pid) {
    const std::string line = read_file("/proc/" + std::to_string(pid) + "/stat");
    // The fields after the program's name, which may hold blanks and brackets.
    const std::size_t after_name = line.rfind(") ");
    if (after_name == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(line.substr(after_name + 2));
    ProcessStat stat;
    stat.pid = pid;
    long parent = 0;
    long group = 0;
    fields >> stat.state >> parent >> group >> stat.session;
    std::string skipped;
    for (int field = 7; field < 22; field++) {  // up to the start time, the 22nd
        fields >> skipped;
    }
    fields >> stat.start;
    return fields ? std::optional<ProcessStat>(stat) : std::nullopt;
}

Session::Session(pid_t leader) : leader_(leader) {
    if (const auto stat = process_stat(leader)) {
        start_ = stat->start;
    }
}

void Session::end() const noexcept {
    if (leader_ <= 0) {
        return;
    }
    const auto leader = process_stat(leader_);
    if (leader && leader->start != start_) {
        return;  // the pid is another's now
    }
    std::vector<ProcessStat> members;
    if (DIR* proc = opendir("/proc")) {
        while (const dirent* entry = readdir(proc)) {
            const pid_t pid = static_cast<pid_t>(std::atol(entry->d_name));
            const auto stat = pid > 0 && pid != leader_ ? process_stat(pid) : std::nullopt;
            if (stat && stat->session == leader_ && stat->state != 'Z') {
                members.push_back(*stat);
            }
        }
        closedir(proc);
    }
    // The leader last: its end hangs up the terminal, and the hang-up must
    // not reach a program still running (a sanitized one's leak check at
    // exit can stop for good meeting it).
    kill_and_wait(members);
    if (leader && leader->state != 'Z') {
        kill_and_wait({*leader});
    }
}

}  // namespace testing_support
