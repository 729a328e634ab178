#include "game_process.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tmux_session.h"

namespace testing_support {

std::string game_command(long seed, int clock_speed, const std::string& arguments) {
    // A sanitized game would refuse a library preloaded ahead of its runtime.
    return "env FAKE_CLOCK_SECONDS=" + std::to_string(seed) + " FAKE_CLOCK_SPEED=" + std::to_string(clock_speed) +
           " LD_PRELOAD=" + shell_quote(PRELOAD_HOOKS_LIBRARY) + " ASAN_OPTIONS=verify_asan_link_order=0 " +
           shell_quote(BLACKJACK_BINARY) + (arguments.empty() ? "" : " " + arguments);
}

PlayedGame play(long seed, const std::string& input, const std::string& arguments) {
    char dir_template[] = "/tmp/blackjack-play-XXXXXX";
    if (mkdtemp(dir_template) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    const std::string dir = dir_template;
    std::ofstream(dir + "/in", std::ios::binary) << input;
    const std::string command = "WRITE_COUNT_FILE=" + shell_quote(dir + "/writes") + " " +
                                game_command(seed, 50, arguments) + " <" + shell_quote(dir + "/in") + " >" +
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
