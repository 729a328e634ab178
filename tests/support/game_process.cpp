#include "game_process.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tmux_session.h"

namespace testing_support {

namespace {

// The hooks by a path that LD_PRELOAD takes whole: it splits at blanks and
// colons, so from a checkout whose path has one they are linked from a
// folder without.
class PreloadablePath {
public:
    PreloadablePath() {
        const std::string library = PRELOAD_HOOKS_LIBRARY;
        path_ = library;
        char dir_template[] = "/tmp/blackjack-hooks-XXXXXX";
        if (library.find_first_of(" \t:") != std::string::npos && mkdtemp(dir_template) != nullptr) {
            dir_ = dir_template;
            path_ = dir_ + "/libpreload_hooks.so";
            if (symlink(library.c_str(), path_.c_str()) != 0) {
                throw std::runtime_error("cannot link the test hooks from " + dir_);
            }
        }
    }
    ~PreloadablePath() noexcept {
        if (!dir_.empty()) {
            std::remove(path_.c_str());
            rmdir(dir_.c_str());
        }
    }
    PreloadablePath(const PreloadablePath&) = delete;
    PreloadablePath& operator=(const PreloadablePath&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

const std::string& preloadable_hooks() {
    static const PreloadablePath hooks;
    return hooks.path();
}

std::string command_with(const std::string& binary, const std::string& launcher, long seed, const std::string& clock,
                         const std::string& arguments) {
    const std::string settings = "env FAKE_CLOCK_SECONDS=" + std::to_string(seed) + " " + clock + " ";
    const std::string tail = shell_quote(binary) + (arguments.empty() ? "" : " " + arguments);
    if (!launcher.empty()) {
        // A build for another system keeps its test clock itself.
        return settings + launcher + " " + tail;
    }
    // A sanitized game would refuse a library preloaded ahead of its runtime;
    // options the caller gives the sanitizer still count. A run standing in
    // for macOS's poll() gives the game that poll too.
    const std::string macos_poll = std::getenv("FAKE_POLL_NVAL") != nullptr ? "FAKE_POLL_NVAL=1 " : "";
    return settings + macos_poll + "LD_PRELOAD=" + shell_quote(preloadable_hooks()) +
           " ASAN_OPTIONS=verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS} " + tail;
}

std::string command_with(long seed, const std::string& clock, const std::string& arguments) {
    return command_with(BLACKJACK_BINARY, BLACKJACK_LAUNCHER, seed, clock, arguments);
}

std::string clock_setting(const TestClock& clock) {
    return "FAKE_CLOCK_FILE=" + shell_quote(clock.file());
}

}  // namespace

TestClock::TestClock() {
    char dir_template[] = "/tmp/blackjack-clock-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = dir_template;
    file_ = dir_ + "/clock";
    const int fd = open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ftruncate(fd, sizeof(std::int64_t)) != 0) {
        throw std::runtime_error("cannot make the clock's file");
    }
    void* mapped = mmap(nullptr, sizeof(std::int64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) {
        throw std::runtime_error("cannot map the clock's file");
    }
    moved_ = static_cast<std::int64_t*>(mapped);
}

TestClock::~TestClock() noexcept {
    munmap(moved_, sizeof(std::int64_t));
    std::remove(file_.c_str());
    rmdir(dir_.c_str());
}

void TestClock::advance(std::chrono::milliseconds by) {
    __atomic_add_fetch(moved_, std::chrono::nanoseconds(by).count(), __ATOMIC_RELEASE);
}

std::string game_command(long seed, int clock_speed, const std::string& arguments) {
    return command_with(seed, "FAKE_CLOCK_SPEED=" + std::to_string(clock_speed), arguments);
}

std::string game_command(long seed, const TestClock& clock) {
    return command_with(seed, clock_setting(clock), "");
}

std::string reference_game_command(long seed, const TestClock& clock) {
    return command_with(BLACKJACK_REFERENCE_BINARY, "", seed, clock_setting(clock), "");
}

const char* game_launcher() {
    return BLACKJACK_LAUNCHER;
}

PlayedGame play(long seed, const std::string& input, const std::string& arguments) {
    char dir_template[] = "/tmp/blackjack-play-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    const std::string dir = dir_template;
    std::ofstream(dir + "/in", std::ios::binary) << input;
    const std::string command = "WRITE_COUNT_FILE=" + shell_quote(dir + "/writes") + " " +
                                game_command(seed, 1000, arguments) + " <" + shell_quote(dir + "/in") + " >" +
                                shell_quote(dir + "/out") + " 2>" + shell_quote(dir + "/err");
    const int status = std::system(command.c_str());

    PlayedGame game;
    game.out = read_file(dir + "/out");
    game.err = read_file(dir + "/err");
    game.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream(read_file(dir + "/writes")) >> game.writes;
    for (const char* name : {"/in", "/out", "/err", "/writes"}) {
        std::remove((dir + name).c_str());
    }
    rmdir(dir.c_str());
    return game;
}

}  // namespace testing_support
