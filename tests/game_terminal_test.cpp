// The real blackjack binary in a real 80x24 terminal (tmux): the deal screens
// cell by cell, the keys a player may press at any moment, and the terminal
// handed back at the end. The game logic itself is tested over pipes.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "game_process.h"
#include "pty_process.h"
#include "tmux_session.h"

namespace {

using testing_support::contains;
using testing_support::join;
using testing_support::Screen;
using testing_support::TmuxSession;

const char kBetPrompt[] = "How much do you want to bet?";
const char kHitPrompt[] = "Hit or Stay? (press 'h' to hit) ->";
constexpr std::chrono::milliseconds kClockStep{500};
const char kFarewell[] = "         Thank you for playing pellimo blackjack.";

// A game in a terminal. Every step waits for the screen it answers, so no
// key is ever sent ahead of the prompt it is meant for unless a test says so.
class Game {
public:
    // clock_speed: how many times faster the game's waits pass.
    explicit Game(long seed, int clock_speed = 50) : term_(testing_support::game_command(seed, clock_speed)) {}
    // On the test's clock: every wait holds until run_clock_until().
    Game(long seed, testing_support::TestClock& clock)
        : term_(testing_support::game_command(seed, clock)), clock_(&clock) {}
    explicit Game(const std::string& command, int width = 80, int height = 24) : term_(command, width, height) {}
    Game(const std::string& command, testing_support::TestClock& clock) : term_(command), clock_(&clock) {}

    TmuxSession& term() { return term_; }
    Screen screen() const { return term_.screen(); }

    void type(const std::string& text) { term_.type(text); }
    void press(const std::string& key) { term_.press(key); }
    void enter(const std::string& text) {
        term_.type(text);
        term_.press("Enter");
    }

    // Waits for the screen to satisfy pred. After a failure every later
    // step of the test would only wait out its time, so none waits at all.
    bool wait_for(const std::function<bool(const Screen&)>& pred) const {
        return !::testing::Test::HasFailure() && term_.wait_for(pred);
    }

    void expect_screen(const Screen& expected) {
        Screen padded = expected;
        padded.resize(24);
        EXPECT_TRUE(wait_for([&](const Screen& s) { return s == padded; }))
            << "expected:\n" << join(padded) << "actual:\n" << join(term_.screen());
    }

    void expect_text(const std::string& text) {
        EXPECT_TRUE(wait_for([&](const Screen& s) { return contains(s, text); }))
            << "waiting for: " << text << "\n" << join(term_.screen());
    }

    // What the terminal shows now, cursor included.
    struct Picture {
        Screen screen;
        std::pair<int, int> cursor;
    };
    Picture picture() const { return {term_.screen(), term_.cursor()}; }

    void expect_picture(const Picture& expected, const std::string& after) {
        EXPECT_TRUE(wait_for([&](const Screen& s) { return s == expected.screen; }))
            << after << ":\n" << join(term_.screen());
        EXPECT_EQ(term_.cursor(), expected.cursor) << after;
    }

    // Moves the test's clock on until the screen shows text, a step at a
    // time: short beside any wait, so none is over before the test sees it.
    void run_clock_until(const std::function<bool(const Screen&)>& pred, const std::string& what) {
        EXPECT_TRUE(wait_for([&](const Screen& s) {
            if (pred(s)) {
                return true;
            }
            clock_->advance(kClockStep);
            return false;
        })) << "waiting for: " << what << "\n" << join(term_.screen());
    }
    void run_clock_until(const std::string& text) {
        run_clock_until([&](const Screen& s) { return contains(s, text); }, text);
    }

    // The same until the game has ended.
    void run_clock_to_the_end() {
        EXPECT_TRUE(!::testing::Test::HasFailure() && testing_support::poll_until([&] {
            if (term_.exit_status(std::chrono::milliseconds(0)).has_value()) {
                return true;
            }
            clock_->advance(kClockStep);
            return false;
        })) << "still running:\n" << join(term_.screen());
    }

    void expect_row(int row, const std::string& text) {
        EXPECT_TRUE(wait_for([&](const Screen& s) { return static_cast<int>(s.size()) >= row && s[row - 1] == text; }))
            << "row " << row << " should read: " << text << "\n" << join(term_.screen());
    }

    // From the welcome line to the first bet prompt, without the rules.
    void skip_rules() {
        expect_text("Welcome to Pellimo Blackjack!  Maximize and Press any key.");
        type("x");
        expect_text("Do you need to hear the rules?  (y or n) -> ");
        enter("n");
        expect_text(kBetPrompt);
    }

    // From the bet prompt to the hit prompt.
    void bet_and_look(const std::string& bet) {
        expect_text(kBetPrompt);
        enter(bet);
        expect_text("For a total of ");
        type("k");
        expect_text(kHitPrompt);
    }

    // Exit status 0, and a terminal that reads lines with echo again.
    void expect_clean_exit() {
        if (::testing::Test::HasFailure()) {
            return;
        }
        EXPECT_EQ(term_.exit_status(), 0) << join(term_.screen());
        std::string settings = " " + term_.terminal_settings() + " ";
        std::replace(settings.begin(), settings.end(), '\n', ' ');
        for (const char* flag : {" echo ", " icanon ", " isig ", " ixon ", " icrnl ", " iexten "}) {
            EXPECT_NE(settings.find(flag), std::string::npos) << flag << " is off:" << settings;
        }
    }

    void expect_farewell() {
        expect_screen({kFarewell});
        expect_clean_exit();
    }

private:
    TmuxSession term_;
    testing_support::TestClock* clock_ = nullptr;
};

// ---- Screens ----------------------------------------------------------------------

TEST(GameScreens, WelcomeRulesAndAKeyWithTwoCodesEndingTwoPauses) {
    Game game(0);
    game.expect_screen({"Welcome to Pellimo Blackjack!  Maximize and Press any key."});
    EXPECT_EQ(game.term().cursor(), std::make_pair(59, 1));
    game.type("x");
    game.expect_screen({"Do you need to hear the rules?  (y or n) ->"});
    game.enter("Y");
    game.expect_screen({
        "Do you need to hear the rules?  (y or n) -> Y",
        "The rules of blackjack are relatively simple:  Get 21 points without",
        "going bust.  The dealer is trying to do the same thing.  Whoever",
        "is higest without going bust after the game ends is the winner.",
        "",
        "Press a key when ready ->",
    });
    EXPECT_EQ(game.term().cursor(), std::make_pair(27, 6));
    game.press("Up");  // its second code ends the wait at the player's cards
    game.expect_screen({"There are 52 cards left.", "You have $500 left.", "The current bet is $0", "How much do you want to bet?"});
    EXPECT_EQ(game.term().cursor(), std::make_pair(30, 4));
    game.enter("0");
    game.expect_text("There are 48 cards left.");
    game.press("C-d");
    game.expect_farewell();
}

TEST(GameScreens, BothDealScreensCellByCell) {
    // Seed 0 deals 9 of Diamonds, 3 of Diamonds, 3 of Spades and the King
    // of Spades face down. Also with the terminal's tab stops every 4
    // columns and its output processing off, or its line feeds left alone:
    // the game sets only what its screens need, and after it a tab and the
    // settings are the player's.
    const struct {
        std::string settings;
        std::string tab;   // a tab and T after the game
        std::string kept;  // as stty -a shows it after the game
    } runs[] = {
        {"", "        T", " opost "},
        {"tabs -4; stty -opost; ", "    T", " -opost "},
        {"stty -onlcr; ", "        T", " -onlcr "},
    };
    for (const auto& [settings, tab, kept] : runs) {
        SCOPED_TRACE(settings);
        Game game(settings + testing_support::game_command(0) + " && printf '\\tT'");
        game.skip_rules();
        game.enter("100");
        const Screen players = {
            "",
            "",
            "",
            "You have the following Cards:",
            "",
            "         __________         __________",
            "        |          |       |          |",
            "        | 9        |       | 3        |",
            "        |          |       |          |",
            "        |          |       |          |",
            "        | Diamonds |  and  | Diamonds |",
            "        |          |       |          |",
            "        |          |       |          |",
            "        |          |       |          |",
            "        |__________|       |__________|",
            "",
            "9 of Diamonds",
            "         and",
            "3 of Diamonds",
            "",
            "For a total of 12 points.",
        };
        game.expect_screen(players);
        EXPECT_EQ(game.term().cursor(), std::make_pair(1, 22));
        // Shorter: the top row goes; taller again, drawn by the game alone (the
        // terminal's cells spoilt), it comes back and the screen stands on its rows.
        game.term().resize(80, 21);
        Screen shorter(players.begin() + 1, players.end());
        shorter.emplace_back();  // the cursor's row
        EXPECT_TRUE(game.wait_for([&](const Screen& s) { return s == shorter; })) << join(game.screen());
        game.term().scribble("\x1b[H\x1b[2Jnoise");
        game.term().resize(80, 24);
        game.expect_screen(players);
        EXPECT_EQ(game.term().cursor(), std::make_pair(1, 22));
        game.type("k");
        game.expect_screen({
            "The computer has the following cards:",
            "",
            "",
            "         __________         __________",
            "        |          |       | / / / / /|",
            "        | 3        |       |/ / / / / |",
            "        |          |       | / / / / /|",
            "        |          |       |/ / / / / |",
            "        | Spades   |  and  | / / / / /|",
            "        |          |       |/ / / / / |",
            "        |          |       | / / / / /|",
            "        |          |       |/ / / / / |",
            "        |__________|       |_/_/_/_/_/|",
            "",
            "",
            "         3 of Spades and ????? of ?????",
            "",
            "There are 48 cards left.",
            "",
            "You have 12 points.  Hit or Stay? (press 'h' to hit) ->",
        });
        EXPECT_EQ(game.term().cursor(), std::make_pair(56, 20));
        game.press("C-d");
        game.expect_screen({kFarewell, tab});
        game.expect_clean_exit();
        std::string handed_back = " " + game.term().terminal_settings() + " ";
        std::replace(handed_back.begin(), handed_back.end(), '\n', ' ');
        EXPECT_NE(handed_back.find(kept), std::string::npos) << handed_back;
    }
}

// ---- Keys at any moment -------------------------------------------------------

// The tests below run the game on a clock that stands still until they move
// it, so each wait's screen stays for as long as they look at it.

TEST(GameKeys, DuringTheBustMessageKeysWaitAndDuringTheFarewellTheTerminalTakesThem) {
    testing_support::TestClock clock;
    // The shell around the game outlives a Ctrl+C, as an interactive one does.
    Game game("trap : INT; " + testing_support::game_command(0, clock), clock);
    game.skip_rules();
    game.bet_and_look("500");
    game.enter("h");
    // Each message is on the screen before its wait, alone.
    game.expect_text("BUST!... ");
    EXPECT_FALSE(contains(game.screen(), "Bummer doode.")) << join(game.screen());
    // Flow control is not the terminal's: Ctrl+S freezes nothing. Ctrl+C
    // during a wait is a key, kept for the next key wait.
    game.press("C-s");
    game.press("C-c");
    game.run_clock_until("You're broke!  Do I look like a loan shark?");
    EXPECT_FALSE(contains(game.screen(), "Better Luck Next Time!")) << join(game.screen());
    game.run_clock_until(kFarewell);
    EXPECT_FALSE(game.term().exit_status(std::chrono::milliseconds(0)).has_value()) << "the farewell's wait is over";
    // Input is over: the terminal's own mode is back and edits what is typed
    // for whoever reads next, and Ctrl+C cuts the farewell short.
    game.type("zx");
    game.press("BSpace");
    game.expect_screen({kFarewell, "z"});
    game.press("C-c");
    game.expect_clean_exit();

    // The same whatever standard input is.
    testing_support::TestClock piped_clock;
    Game piped("trap : INT; " + testing_support::game_command(0, piped_clock) + " </dev/null", piped_clock);
    piped.expect_screen({kFarewell});
    piped.press("C-c");
    piped.expect_clean_exit();
}

TEST(GameKeys, DuringTheBustMessageAKeyEndsTheNextPauseAndIsNotEchoed) {
    testing_support::TestClock clock;
    Game game(0, clock);
    game.skip_rules();
    game.bet_and_look("500");
    game.enter("h");
    game.expect_text("BUST!... ");
    game.type("k");
    game.run_clock_until("You're broke!  Do I look like a loan shark?");
    const std::string shown = join(game.screen());
    EXPECT_NE(shown.find("\nBUST!... Bummer doode.\nGame to the dealer! Too bad!\n"), std::string::npos) << shown;
    game.run_clock_until(kFarewell);  // the k ended the last pause
    game.run_clock_to_the_end();
    game.expect_farewell();
}

TEST(GameKeys, DuringATieDigitsAndBackspaceAreTheNextBet) {
    testing_support::TestClock clock;
    Game game(57, clock);
    game.skip_rules();
    game.bet_and_look("100");
    game.enter("s");
    game.run_clock_until("You tied the Computer... bets carry over");
    game.type("57");
    game.press("BSpace");
    game.type("0");
    EXPECT_FALSE(contains(game.screen(), "57")) << join(game.screen());
    game.run_clock_until("How much do you want to bet?");
    game.expect_screen({"There are 47 cards left.", "You have $400 left.", "The current bet is $100",
                        "How much do you want to bet? 50"});
    game.press("Enter");  // 150 with the carry-over
    game.expect_text("For a total of 16 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.enter("s");
    game.run_clock_until("Do you want to play again? ('n' for no) ->");
    game.enter("y");
    game.expect_row(2, "You have $550 left.");
}

TEST(GameKeys, DuringTheDealersDrawsAnAnswerWaitsForItsPrompt) {
    // Seed 13: the dealer draws twice, then stands on 18.
    testing_support::TestClock clock;
    Game game(13, clock);
    game.skip_rules();
    game.bet_and_look("100");
    game.enter("s");
    game.run_clock_until("The dealer has 7 points, and chooses to Hit!");
    game.type("n");
    game.run_clock_until("Do you want to play again? ('n' for no) ->");
    game.expect_screen({
        "You chose to stay at 16 points.",
        "",
        "The dealer has 7 points, and chooses to Hit!",
        "",
        "Dealer gets Jack of Diamonds",
        "",
        "The dealer has 17 points, and chooses to Hit!",
        "",
        "Dealer gets Ace of Hearts",
        "",
        "The dealer has 18 points, and chooses to stay!",
        "Game to the dealer! Too bad!",
        "Do you want to play again? ('n' for no) -> n",
    });
    game.press("Enter");
    game.run_clock_to_the_end();
    game.expect_farewell();
}

TEST(GameKeys, LinePromptsEditAndCtrlCSaysGoodbye) {
    Game game(0);
    game.skip_rules();
    game.type("12x");
    game.press("BSpace");
    game.expect_row(4, "How much do you want to bet? 12");
    game.press("C-u");
    // U+1FAE8, which this system's C library may not know: then the
    // terminal draws nothing for it, and the game drops it.
    game.type("\xf0\x9f\xab\xa8");
    game.press("BSpace");
    game.type("7");
    game.expect_row(4, "How much do you want to bet? 7");
    game.press("Left");  // no cursor editing: the key does nothing
    game.press("BSpace");
    game.type("1");
    game.expect_row(4, "How much do you want to bet? 1");
    game.press("C-c");
    game.expect_farewell();
}

bool has_row(const Screen& screen, const std::string& row) {
    return std::find(screen.begin(), screen.end(), row) != screen.end();
}

TEST(GameKeys, LineEditingFollowsThePlayersTerminalSettings) {
    Game game("stty werase ^B intr ^X; " + testing_support::game_command(0));
    game.skip_rules();
    game.type("12 34");
    game.press("C-b");
    game.expect_row(4, "How much do you want to bet? 12");
    game.press("C-w");
    game.type("\t5");
    game.expect_row(4, "How much do you want to bet?    5");  // the tab reaches column 33
    game.press("C-c");  // only a control key now
    game.press("Enter");
    game.expect_text("For a total of 12 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.press("C-x");
    game.expect_farewell();
}

// How many times the shell has said the game stopped.
long stops(const Screen& screen) {
    return std::count_if(screen.begin(), screen.end(),
                         [](const std::string& row) { return row.find("Stopped") != std::string::npos; });
}

// A shell of known prompt that keeps no history and tells at once when a
// job stops, for the tests of job control.
const char kShell[] = "env PS1='shell> ' HISTFILE=/dev/null bash --norc --noprofile -o notify";

TEST(GameJobs, AfterAStopTheWholeScreenComesBackWithTheLineTypedSoFar) {
    char dir_template[] = "/tmp/blackjack-pid-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string pid_file = std::string(dir_template) + "/pid";
    Game game(kShell);
    game.expect_text("shell> ");
    // The game tells its pid, for a stop from outside.
    game.enter("sh -c " + testing_support::shell_quote("echo $$ >" + testing_support::shell_quote(pid_file) +
                                                      "; exec " + testing_support::game_command(0)));
    game.skip_rules();
    const pid_t pid = std::atoi(testing_support::read_file(pid_file).c_str());
    std::remove(pid_file.c_str());
    rmdir(dir_template);
    ASSERT_GT(pid, 0);
    game.type("7");
    game.expect_row(4, "How much do you want to bet? 7");
    const Game::Picture at_bet = game.picture();

    // Settings the player changes meanwhile are the game's from then on, and
    // the ones it hands back.
    game.press("C-z");
    game.expect_text("Stopped");
    game.enter("stty erase ^A");
    game.expect_text("shell> stty erase ^A");
    game.enter("fg");
    game.expect_picture(at_bet, "fg");
    game.type("9");
    game.expect_row(4, "How much do you want to bet? 79");
    game.press("C-a");
    game.expect_picture(at_bet, "erased with the new key");

    // Continued in the background, it waits there, off the terminal, and
    // keeps what was typed.
    game.press("C-z");
    game.expect_text("Stopped");
    game.enter("bg");
    EXPECT_TRUE(game.wait_for([](const Screen& s) { return stops(s) == 2; }))
        << "it should stop again as soon as it waits for a key\n" << join(game.screen());
    game.enter("echo hi");
    EXPECT_TRUE(game.wait_for([](const Screen& s) { return has_row(s, "hi"); })) << join(game.screen());
    game.enter("fg");
    game.expect_picture(at_bet, "bg, then fg");

    game.enter("5");
    game.expect_text("For a total of 12 points.");
    // A stop no handler sees (SIGSTOP) at a pause, with the shell's mode
    // back meanwhile: once in the foreground again, the game's mode is back
    // too, so a key is not echoed and ends the pause at once.
    const Game::Picture at_pause = game.picture();
    kill(pid, SIGSTOP);
    game.expect_text("Stopped");
    game.enter("fg");
    game.expect_picture(at_pause, "fg after SIGSTOP");
    game.type("k");
    EXPECT_TRUE(game.wait_for([](const Screen& s) { return contains(s, kHitPrompt); }))
        << "after SIGSTOP and fg, the key went to the shell's mode (echoed, kept for a line):\n"
        << join(game.screen());
    game.enter("s");
    game.expect_text("Do you want to play again? ('n' for no) ->");
    game.enter("y");
    game.expect_row(2, "You have $575 left.");  // a bet of 75, won

    // The same while the window is too small for the game: the notice is
    // back with the game, and once the window is large enough, so are the
    // screen and the mode.
    game.enter("5");
    game.expect_text("For a total of ");
    const Game::Picture at_second_pause = game.picture();
    game.term().resize(60, 20);
    const Screen notice = {"This game needs a window of 80x21; this one is 60x20."};
    Screen small = notice;
    small.resize(20);
    EXPECT_TRUE(game.wait_for([&](const Screen& s) { return s == small; })) << join(game.screen());
    kill(pid, SIGSTOP);
    game.expect_text("Stopped");
    game.enter("fg");
    EXPECT_TRUE(game.wait_for([&](const Screen& s) { return s == small; })) << "fg:\n" << join(game.screen());
    game.term().resize(80, 24);
    game.expect_picture(at_second_pause, "large enough after SIGSTOP and fg");
    game.type("k");
    EXPECT_TRUE(game.wait_for([](const Screen& s) { return contains(s, kHitPrompt); }))
        << "after SIGSTOP and fg with the window too small, the key went to the shell's mode:\n"
        << join(game.screen());
    game.press("C-d");
    game.expect_text(kFarewell);
    game.expect_row(2, "shell>");
    game.enter("exit");
    game.expect_clean_exit();
    EXPECT_NE(game.term().terminal_settings().find("erase = ^A"), std::string::npos);
}

TEST(GameJobs, StartedInTheBackgroundItLeavesTheShellAloneUntilBroughtBack) {
    Game game(kShell);
    game.expect_text("shell> ");
    const std::string command = testing_support::game_command(0) + " &";
    game.enter(command);
    game.expect_text("Stopped");
    game.enter("bg");
    EXPECT_TRUE(game.wait_for([](const Screen& s) { return stops(s) == 2; })) << join(game.screen());
    EXPECT_EQ(game.screen()[0], "shell> " + command) << "the shell's screen was cleared:\n" << join(game.screen());
    // Back, it draws its line where the shell left the cursor, not over the
    // shell's lines: it has not cleared the screen yet.
    game.enter("fg");
    game.expect_text("Welcome to Pellimo Blackjack!  Maximize and Press any key.");
    EXPECT_EQ(game.screen()[0], "shell> " + command) << join(game.screen());
    // Keys are read one by one again: a key ends the wait at once.
    game.skip_rules();
    game.enter("0");
    game.expect_text("For a total of 12 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.press("C-c");
    game.expect_text(kFarewell);
    game.expect_row(2, "shell>");
    game.enter("echo $?");
    game.expect_row(3, "0");
    game.enter("exit");
    game.expect_clean_exit();
}

TEST(GameJobs, KeysTheGameNeverReadStayForTheShell) {
    // Typed after the last answer, and during the farewell's wait (which
    // lasts until the test moves the clock).
    testing_support::TestClock clock;
    Game game(kShell, clock);
    game.expect_text("shell> ");
    game.enter(testing_support::game_command(0, clock));
    game.skip_rules();
    game.enter("0");
    game.expect_text("For a total of 12 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.enter("s");
    game.run_clock_until("Do you want to play again? ('n' for no) ->");
    game.type("n\recho left\r");
    game.expect_text(kFarewell);
    game.type("echo late\r");
    game.run_clock_until([](const Screen& s) { return has_row(s, "left") && has_row(s, "late"); }, "left and late");
    game.enter("exit");
    game.expect_clean_exit();
}

TEST(GameScreens, BeforeTheFirstClearANoticeLeavesTheShellsLinesAlone) {
    Game game("seq 21; " + testing_support::game_command(0));
    Screen shell;
    for (int line = 1; line <= 21; line++) {
        shell.push_back(std::to_string(line));
    }
    shell.emplace_back("Welcome to Pellimo Blackjack!  Maximize and Press any key.");
    game.expect_screen(shell);
    game.term().resize(70, 20);
    Screen noticed(shell.begin() + 2, shell.end() - 1);
    noticed.emplace_back("This game needs a window of 80x21; this one is 70x20.");
    EXPECT_TRUE(game.wait_for([&](const Screen& s) { return s == noticed; })) << join(game.screen());
    game.term().resize(80, 24);
    game.expect_screen(shell);
    game.skip_rules();
    game.press("C-c");
    game.expect_farewell();
}

TEST(GameScreens, AResizeOrAReprintKeyDrawsTheScreenAgain) {
    Game game(0);
    game.skip_rules();
    game.enter("100");
    game.expect_text("For a total of 12 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.type("h");
    game.expect_text(std::string(kHitPrompt) + "h");  // echoed before the picture is taken
    const Game::Picture at_hit = game.picture();
    // Another program writes over the screen, so that only the game's own
    // drawing can bring the picture back.
    const auto spoil = [&] {
        EXPECT_TRUE(game.wait_for([&](const Screen& s) {
            if (s[0] == "noise") {
                return true;
            }
            game.term().scribble("\x1b[H\x1b[2Jnoise");
            return false;
        })) << join(game.screen());
    };

    for (const char* key : {"C-l", "C-r"}) {
        spoil();
        game.press(key);
        game.expect_picture(at_hit, key);
    }

    // Larger: the same screen, more blank rows; and back.
    spoil();
    game.term().resize(100, 30);
    Screen taller = at_hit.screen;
    taller.resize(30);
    EXPECT_TRUE(game.wait_for([&](const Screen& s) { return s == taller; })) << join(game.screen());
    spoil();
    game.term().resize(80, 24);
    game.expect_picture(at_hit, "back to 80x24");

    // Too small: a notice names both sizes, and keys typed meanwhile wait.
    game.term().resize(60, 20);
    game.expect_row(1, "This game needs a window of 80x21; this one is 60x20.");
    EXPECT_EQ(join(game.screen()), "This game needs a window of 80x21; this one is 60x20.\n" + std::string(19, '\n'));
    game.press("BSpace");
    game.term().resize(70, 24);
    game.expect_text("This game needs a window of 80x21; this one is 70x24.");
    game.term().resize(80, 24);
    Screen erased = at_hit.screen;
    erased[19].pop_back();
    EXPECT_TRUE(game.wait_for([&](const Screen& s) { return s == erased; })) << join(game.screen());
    game.type("h");
    game.expect_picture(at_hit, "large enough again");

    game.press("Enter");
    game.expect_text("Queen of Hearts");
    game.press("C-d");
    game.expect_farewell();
}

TEST(GameScreens, ANoticeSeesTheWindowGrowWithoutWordOfIt) {
    // The resize signal ignored, as on a console that never tells a change.
    Game game("trap '' WINCH; " + testing_support::game_command(0), 70, 20);
    game.expect_text("This game needs a window of 80x21; this one is 70x20.");
    game.term().resize(80, 24);
    game.skip_rules();
    game.press("C-c");
    game.expect_farewell();
}

TEST(GameScreens, WithOutputToAFileTheTerminalShowsWhatIsTyped) {
    char dir_template[] = "/tmp/blackjack-file-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string file = std::string(dir_template) + "/out";
    Game game("echo line-one; " + testing_support::game_command(0) + " >" + testing_support::shell_quote(file));
    EXPECT_TRUE(game.wait_for([&](const Screen&) {
        return testing_support::read_file(file) == "Welcome to Pellimo Blackjack!  Maximize and Press any key.";
    })) << testing_support::read_file(file);
    game.type("x");
    game.type("nx");
    game.press("BSpace");
    game.expect_row(2, "n");
    game.press("Enter");
    game.enter("0");
    game.expect_screen({"line-one", "n", "0"});
    game.type("k");  // the cards, unseen
    // Ctrl+L draws only the line typed, where it stands: the rows above
    // are the shell's.
    game.type("2");
    game.press("C-l");
    game.type("5");
    game.expect_screen({"line-one", "n", "0", "25"});
    game.press("C-c");
    EXPECT_EQ(game.term().exit_status(), 0);
    // Only the game's own text: no echo, no erasing.
    const std::string out = testing_support::read_file(file);
    EXPECT_EQ(out.find("-> n"), std::string::npos) << out;
    EXPECT_NE(out.find("How much do you want to bet? \x1b[H\x1b[2J\n\n\nYou have the following Cards: "),
              std::string::npos)
        << out;
    std::remove(file.c_str());
    rmdir(dir_template);
}

TEST(GameKeys, AClosedWindowEndsTheGameEvenInTheMiddleOfAWait) {
    // The game is the window's own program, and its clock stands still: a
    // wait can only end because nobody is left to watch it.
    testing_support::PtyProcess game({"/bin/sh", "-c", "exec " + testing_support::game_command(13, 0)},
                                     testing_support::without_leak_check);
    game.type("xn\r100\rks\r");
    EXPECT_TRUE(testing_support::poll_until(
        [&] { return game.output().find("The dealer has 7 points, ") != std::string::npos; }))
        << game.output();
    game.hang_up();
    const auto status = game.wait_exit();
    ASSERT_TRUE(status.has_value()) << "still waiting for a closed window";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
}

TEST(GameKeys, AClosedTerminalEndsTheGameAsTheEndOfInputDoes) {
    // The shell around the game outlives the closed window (it catches the
    // hang-up) and records how the game ended.
    char dir_template[] = "/tmp/blackjack-closed-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string status_file = std::string(dir_template) + "/status";
    // In the sanitizer build the leak check at exit stops the game's
    // threads to look at them, and the hang-up's signals to the group can
    // leave it waiting for a stop that never comes: no leak check here.
    Game game("sh -c " + testing_support::shell_quote("trap : HUP; export ASAN_OPTIONS=detect_leaks=0; " +
                                                      testing_support::game_command(0) + "; echo $? > " +
                                                      status_file));
    game.skip_rules();
    game.term().close_pane();
    int status = -1;
    EXPECT_TRUE(testing_support::poll_until([&] { return static_cast<bool>(std::ifstream(status_file) >> status); }))
        << "the game goes on without its terminal";
    EXPECT_EQ(status, 0);
    std::remove(status_file.c_str());
    rmdir(dir_template);
}

// ---- Another system's build ---------------------------------------------------

// The build under test beside the Linux build, each on a clock of its own
// that stands still, so that the farewell stays until the test has looked
// at it: every screen the Linux build shows, the other must show cell for
// cell, cursor included.
class BesideLinux {
public:
    explicit BesideLinux(long seed)
        : linux_game_(testing_support::reference_game_command(seed, linux_clock_), linux_clock_),
          // Wine leaves Ctrl+C a signal of the terminal's, to the whole group
          // (the game hears it as the console's event): the shell around the
          // game must outlive it to record the game's status.
          other_("trap : INT; " + testing_support::game_command(seed, other_clock_), other_clock_) {}

    // Once the Linux build shows `shown`, the other shows the same; then
    // both get the same keys.
    void both(const std::string& shown, const std::function<void(Game&)>& keys) {
        linux_game_.expect_text(shown);
        other_.expect_picture(linux_game_.picture(), shown);
        keys(linux_game_);
        keys(other_);
    }

    void to_the_bet() {
        both("Welcome to Pellimo Blackjack!", [](Game& g) { g.type("x"); });
        both("Do you need to hear the rules?", [](Game& g) { g.enter("n"); });
    }

    void both_end() {
        both(kFarewell, [](Game& g) { g.run_clock_to_the_end(); });
        EXPECT_EQ(linux_game_.term().exit_status(), 0);
        EXPECT_EQ(other_.term().exit_status(), 0) << join(other_.screen());
    }

private:
    testing_support::TestClock linux_clock_;
    testing_support::TestClock other_clock_;
    Game linux_game_;
    Game other_;
};

bool plays_another_system() {
    return *testing_support::game_launcher() != '\0';
}

TEST(GameOnAnotherSystem, EachScreenAndCursorAsTheLinuxBuildShowsThem) {
    if (!plays_another_system()) {
        GTEST_SKIP() << "plays another system's build only: configure with BLACKJACK_GAME_LAUNCHER (wine)";
    }
    BesideLinux games(0);
    games.to_the_bet();
    // Shift+Tab, which a terminal sends as a sequence, types nothing.
    games.both(kBetPrompt, [](Game& g) {
        g.type("10");
        g.press("BTab");
        g.enter("0");
    });
    games.both("For a total of 12 points.", [](Game& g) { g.type("k"); });
    // Ctrl+C at a line prompt: the farewell, and status 0.
    games.both(kHitPrompt, [](Game& g) { g.press("C-c"); });
    games.both_end();
}

TEST(GameOnAnotherSystem, ABetEditedRefusedAndTakenThenAHitThatBusts) {
    if (!plays_another_system()) {
        GTEST_SKIP() << "plays another system's build only: configure with BLACKJACK_GAME_LAUNCHER";
    }
    BesideLinux games(0);
    games.to_the_bet();
    games.both(kBetPrompt, [](Game& g) {
        g.type("7 34");
        g.press("C-w");
    });
    // A wide character takes two cells, and Backspace both.
    games.both(std::string(kBetPrompt) + " 7", [](Game& g) { g.type("\u5bbd"); });
    games.both("\u5bbd", [](Game& g) {
        g.press("BSpace");
        g.press("BSpace");
        g.enter("00");
    });
    games.both("Invalid bet, try again -> ", [](Game& g) { g.enter("100"); });
    games.both("For a total of 12 points.", [](Game& g) { g.type("k"); });
    games.both(kHitPrompt, [](Game& g) { g.enter("h"); });
    games.both("BUST!... ", [](Game& g) { g.run_clock_until("Do you want to play again? ('n' for no) ->"); });
    games.both("Game to the dealer! Too bad!", [](Game& g) { g.press("C-c"); });
    games.both_end();
}

}  // namespace
