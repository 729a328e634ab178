// The real blackjack binary, played in a real 80x24 terminal (tmux). A small
// preloaded library fixes the clock second, and so the order of the deck, and
// runs the clock fast so that the game's waits pass quickly.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tmux_session.h"

namespace {

using testing_support::Screen;
using testing_support::TmuxSession;
using testing_support::shell_quote;

const char kBetPrompt[] = "How much do you want to bet? ";
const char kHitPrompt[] = "Hit or Stay? (press 'h' to hit) ->";
const char kAgainPrompt[] = "Do you want to play again? ('n' for no) ->";
const char kFarewell[] = "         Thank you for playing pellimo blackjack.";

class Game {
public:
    // piped_input, when given, is the game's standard input instead of the
    // terminal; before is shell commands run ahead of the game.
    explicit Game(long seed, const std::string& piped_input = "", const std::string& arguments = "",
                  const std::string& before = "")
        : term_(command(seed, piped_input, arguments, before)) {}

    TmuxSession& term() { return term_; }

    void type(const std::string& text) { term_.type(text); }
    void enter(const std::string& text) {
        term_.type(text);
        term_.press("Enter");
    }

    Screen screen() const { return term_.screen(); }

    // Waits for the exact screen; on failure reports both.
    void expect_screen(const Screen& expected) {
        Screen padded = expected;
        padded.resize(24);
        const bool seen = term_.wait_for([&](const Screen& s) { return s == padded; });
        EXPECT_TRUE(seen) << "expected:\n" << testing_support::join(padded) << "actual:\n"
                          << testing_support::join(term_.screen());
    }

    void expect_text(const std::string& text) {
        EXPECT_TRUE(term_.wait_for_text(text)) << "waiting for: " << text << "\n"
                                               << testing_support::join(term_.screen());
    }

    void expect_row(int row, const std::string& text) {
        const bool seen = term_.wait_for([&](const Screen& s) {
            return static_cast<int>(s.size()) >= row && s[row - 1] == text;
        });
        EXPECT_TRUE(seen) << "row " << row << " should read: " << text << "\n"
                          << testing_support::join(term_.screen());
    }

    // From the welcome line to the first bet prompt, without the rules.
    void skip_rules() {
        expect_text("Welcome to Pellimo Blackjack!  Maximize and Press any key.");
        type("x");
        expect_text("Do you need to hear the rules?  (y or n) -> ");
        enter("n");
        expect_text(kBetPrompt);
    }

    // From the player's cards, which must total `total`, to staying.
    void stay_with(int total) {
        expect_text("For a total of " + std::to_string(total) + " points.");
        type("k");
        expect_text(kHitPrompt);
        enter("s");
    }

    // Bets, looks at the cards, stays, and answers the play-again question
    // when one comes (a tie goes on by itself).
    void play_hand_staying(const std::string& bet, const std::string& answer) {
        expect_text(kBetPrompt);
        enter(bet);
        expect_text("For a total of ");
        type("k");
        expect_text(kHitPrompt);
        enter("s");
        ASSERT_TRUE(term_.wait_for([](const Screen& s) {
            return testing_support::contains(s, kAgainPrompt) ||
                   testing_support::contains(s, "You tied the Computer... bets carry over");
        })) << testing_support::join(term_.screen());
        if (testing_support::contains(screen(), kAgainPrompt)) {
            enter(answer);
        } else {
            expect_text(kBetPrompt);
        }
    }

    // The game's exit status, and whether the terminal reads lines with
    // echo again afterwards.
    void expect_clean_exit() {
        EXPECT_EQ(term_.exit_status(), 0) << testing_support::join(term_.screen());
        std::string text = " " + term_.terminal_settings() + " ";
        std::replace(text.begin(), text.end(), '\n', ' ');
        EXPECT_NE(text.find(" echo "), std::string::npos) << text;
        EXPECT_NE(text.find(" icanon "), std::string::npos) << text;
        EXPECT_NE(text.find(" isig "), std::string::npos) << text;
    }

    void expect_farewell() {
        expect_screen({kFarewell});
        expect_clean_exit();
    }

private:
    static std::string command(long seed, const std::string& piped_input, const std::string& arguments,
                               const std::string& before) {
        std::string game = "env FAKE_CLOCK_SECONDS=" + std::to_string(seed) +
                           " FAKE_CLOCK_SPEED=50 LD_PRELOAD=" + shell_quote(FAKE_CLOCK_LIBRARY) +
                           " ASAN_OPTIONS=verify_asan_link_order=0 " + shell_quote(BLACKJACK_BINARY) + " " +
                           arguments;
        if (!piped_input.empty()) {
            game = "printf %s " + shell_quote(piped_input) + " | " + game;
        }
        return before + game;
    }

    TmuxSession term_;
};

// ---- Start-up -------------------------------------------------------------------

TEST(GameStart, WelcomeFollowsEarlierOutputThenTheRules) {
    Game game(0, "", "", "printf 'earlier output\\n'; ");
    game.expect_screen({"earlier output", "Welcome to Pellimo Blackjack!  Maximize and Press any key."});
    EXPECT_EQ(game.term().cursor(), std::make_pair(59, 2));
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
    game.term().press("Up");  // two codes: the second ends the next wait too
    game.expect_screen({
        "There are 52 cards left.",
        "You have $500 left.",
        "The current bet is $0",
        "How much do you want to bet?",
    });
    game.enter("0");
    game.expect_text("There are 48 cards left.");  // no key pressed at the player's cards
    game.term().press("C-d");
    game.expect_farewell();
}

TEST(GameStart, AnswersOtherThanYesSkipTheRulesAndArgumentsAreIgnored) {
    Game game(0, "", "--help -n 5");
    game.expect_text("Maximize and Press any key.");
    game.type("x");
    game.expect_text("(y or n) -> ");
    game.enter("   n");
    game.expect_screen({
        "There are 52 cards left.",
        "You have $500 left.",
        "The current bet is $0",
        "How much do you want to bet?",
    });
    EXPECT_EQ(game.term().cursor(), std::make_pair(30, 4));
}

// ---- Betting ---------------------------------------------------------------------

TEST(GameBetting, OutOfRangeAndNonNumericBetsAreAskedAgain) {
    Game game(0);
    game.skip_rules();
    game.enter("501");
    game.expect_row(5, "Invalid bet, try again ->");
    game.enter("-1");
    game.expect_row(6, "Invalid bet, try again ->");
    game.enter("ten dollars");
    game.expect_row(7, "Invalid bet, try again ->");
    game.enter("500");
    game.expect_text("You have the following Cards:");
}

TEST(GameBetting, ExtraLettersAtTheRulesQuestionMeetTheBetPrompt) {
    Game game(0);
    game.expect_text("Maximize and Press any key.");
    game.type("x");
    game.enter("yes");
    game.expect_text("Press a key when ready -> ");
    game.type("k");
    // "es" is left over from the answer: not a number, so the line is dropped.
    game.expect_screen({
        "There are 52 cards left.",
        "You have $500 left.",
        "The current bet is $0",
        "How much do you want to bet? Invalid bet, try again ->",
    });
    game.enter("0");
    game.expect_text("You have the following Cards:");
}

TEST(GameBetting, EndOfInputAtAnyPromptSaysGoodbye) {
    SCOPED_TRACE("at rules");
    Game at_rules(0);
    at_rules.expect_text("Maximize and Press any key.");
    at_rules.type("x");
    at_rules.expect_text("(y or n) -> ");
    at_rules.term().press("C-d");
    at_rules.expect_farewell();

    SCOPED_TRACE("at retry");
    Game at_retry(0);
    at_retry.skip_rules();
    at_retry.enter("9999");
    at_retry.expect_text("Invalid bet, try again -> ");
    at_retry.term().press("C-d");
    at_retry.expect_farewell();

    SCOPED_TRACE("at hit");
    Game at_hit(0);
    at_hit.skip_rules();
    at_hit.enter("10");
    at_hit.expect_text("For a total of ");
    at_hit.type("k");
    at_hit.expect_text(kHitPrompt);
    at_hit.term().press("C-d");
    at_hit.expect_farewell();
}

TEST(GameBetting, PipedInputPlaysWithoutATerminalAndEndsWhenItRunsOut) {
    // Seed 0: 9 and 3 of Diamonds against a 3 of Spades; the dealer busts.
    Game whole(0, "n\n100\ns\nx\n0\n");
    whole.expect_farewell();

    Game cut_short(0, "n\n");
    cut_short.expect_farewell();
}

// ---- Every byte of a game --------------------------------------------------------

// Runs the game with input from a pipe and output to a file, and returns
// what it wrote to standard output, control sequences and all.
std::string transcript(long seed, const std::string& input, int* status) {
    char dir_template[] = "/tmp/blackjack-transcript-XXXXXX";
    const std::string dir = mkdtemp(dir_template);
    const std::string out = dir + "/out";
    const std::string command = "printf %s " + shell_quote(input) + " | env FAKE_CLOCK_SECONDS=" +
                                std::to_string(seed) + " FAKE_CLOCK_SPEED=50 LD_PRELOAD=" +
                                shell_quote(FAKE_CLOCK_LIBRARY) + " ASAN_OPTIONS=verify_asan_link_order=0 " +
                                shell_quote(BLACKJACK_BINARY) + " >" + shell_quote(out) + " 2>" +
                                shell_quote(dir + "/err");
    *status = std::system(command.c_str());
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(out.c_str());
    std::remove((dir + "/err").c_str());
    rmdir(dir.c_str());
    return text.str();
}

TEST(GameTranscript, EveryByteOfOneHandWithoutATerminal) {
    // Seed 0 as in the screen tests: the player stays at 12 and the dealer
    // busts on the Queen of Hearts. Without a terminal the pauses do not wait.
    int status = -1;
    const std::string written = transcript(0, "n\n100\ns\nn\n", &status);
    const std::string clear = "\x1b[H\x1b[2J";
    const std::string expected =
        "Welcome to Pellimo Blackjack!  Maximize and Press any key." + clear +
        "Do you need to hear the rules?  (y or n) -> " + clear +
        "There are 52 cards left.\n"
        "You have $500 left. \n"
        "The current bet is $0\n"
        "How much do you want to bet? " + clear +
        "\n\n\n"
        "You have the following Cards: \n"
        "\n"
        "\t __________         __________   \n"
        "\t|          |       |          |  \n"
        "\t|          |       |          |  \n"
        "\t|          |       |          |  \n"
        "\t|          |       |          |  \n"
        "\t|          |  and  |          |  \n"
        "\t|          |       |          |  \n"
        "\t|          |       |          |  \n"
        "\t|          |       |          |  \n"
        "\t|__________|       |__________|  \n"
        "\n"
        "9 of Diamonds\n"
        "\t and"
        "\x1b[8;11H9\x1b[11;11HDiamonds"
        "\x1b[8;30H3\x1b[11;30HDiamonds\n"
        "\x1b[19;1H3 of Diamonds\n"
        "\n"
        "For a total of 12 points.\n" + clear +
        "The computer has the following cards: \n"
        "\n"
        "\n"
        "\t __________         __________   \n"
        "\t|          |       | / / / / /|  \n"
        "\t|          |       |/ / / / / |  \n"
        "\t|          |       | / / / / /|  \n"
        "\t|          |       |/ / / / / |  \n"
        "\t|          |  and  | / / / / /|  \n"
        "\t|          |       |/ / / / / |  \n"
        "\t|          |       | / / / / /|  \n"
        "\t|          |       |/ / / / / |  \n"
        "\t|__________|       |_/_/_/_/_/|  \n"
        "\x1b[6;11H3\x1b[9;11HSpades"
        "\x1b[16;10H3 of Spades and ????? of ?????\n"
        "\n"
        "There are 48 cards left.\n"
        "\n"
        "You have 12 points.  Hit or Stay? (press 'h' to hit) ->" + clear +
        "You chose to stay at 12 points. \n"
        "\n"
        "The dealer has 13 points, and chooses to Hit! \n"
        "\n"
        "Dealer gets Queen of Hearts\n"
        "\n"
        "The dealer has 23 points, and busts!\n"
        "You win!  You sly dog you.\n"
        "Do you want to play again? ('n' for no) -> " + clear +
        "\t Thank you for playing pellimo blackjack. \n";
    EXPECT_EQ(written, expected);
    EXPECT_EQ(status, 0);
}

TEST(GameTranscript, BustAndBrokeEndingByteForByte) {
    int status = -1;
    const std::string written = transcript(0, "n\n500\nh\n", &status);
    const std::string tail = "You have 12 points.  Hit or Stay? (press 'h' to hit) ->"
                             "Queen of Hearts\n"
                             "\n"
                             "BUST!... Bummer doode.  \n"
                             "Game to the dealer! Too bad!\n"
                             "You're broke!  Do I look like a loan shark?\n"
                             "Better Luck Next Time!\n"
                             "\x1b[H\x1b[2J"
                             "\t Thank you for playing pellimo blackjack. \n";
    ASSERT_GE(written.size(), tail.size());
    EXPECT_EQ(written.substr(written.size() - tail.size()), tail);
    EXPECT_EQ(status, 0);
}

// ---- One hand, screen by screen ----------------------------------------------------

TEST(GameHand, DealScreensThenTheDealerBusts) {
    // Seed 0 deals 9 of Diamonds, 3 of Diamonds, 3 of Spades, King of Spades,
    // then Queen of Hearts.
    Game game(0);
    game.skip_rules();
    game.enter("100");
    game.expect_screen({
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
    });
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
    game.enter("s");
    game.expect_screen({
        "You chose to stay at 12 points.",
        "",
        "The dealer has 13 points, and chooses to Hit!",
        "",
        "Dealer gets Queen of Hearts",
        "",
        "The dealer has 23 points, and busts!",
        "You win!  You sly dog you.",
        "Do you want to play again? ('n' for no) ->",
    });
    game.enter("y");
    game.expect_screen({
        "There are 47 cards left.",
        "You have $600 left.",
        "The current bet is $0",
        "How much do you want to bet?",
    });
}

TEST(GameHand, DealerDrawsAt17AndStandsAt18) {
    // Seed 13: the player holds 6 and Queen; the dealer 2 and 5, then draws
    // the Jack of Diamonds and the Ace of Hearts.
    Game game(13);
    game.skip_rules();
    game.enter("100");
    game.expect_text("For a total of 16 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.enter("S");
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
        "Do you want to play again? ('n' for no) ->",
    });
    game.enter("n");
    game.expect_farewell();
}

TEST(GameHand, BustingHidesTheDealersHandAndLosingEverythingEndsTheGame) {
    Game game(0);
    game.skip_rules();
    game.enter("500");
    game.expect_text("For a total of 12 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.enter("h");
    game.expect_text("You're broke!  Do I look like a loan shark?");
    game.expect_text("Better Luck Next Time!");
    const Screen screen = game.screen();
    const std::string shown = testing_support::join(screen);
    EXPECT_NE(shown.find("You have 12 points.  Hit or Stay? (press 'h' to hit) ->h\n"
                         "Queen of Hearts\n"
                         "\n"
                         "BUST!... Bummer doode.\n"
                         "Game to the dealer! Too bad!\n"
                         "You're broke!  Do I look like a loan shark?\n"
                         "Better Luck Next Time!\n"),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.find("The dealer has"), std::string::npos);
    EXPECT_EQ(shown.find("King of Spades"), std::string::npos);
    EXPECT_EQ(shown.find(kAgainPrompt), std::string::npos);
    game.type("k");
    game.expect_farewell();
}

TEST(GameHand, TwoHitsTypedOnOneLineDrawTwoCardsAndTwentyOneIsAskedAgain) {
    // Seed 1: 2 and Jack of Hearts make 12; the next cards are the Ace of
    // Diamonds and 10 of Clubs for the dealer, then 3 of Hearts and 6 of
    // Diamonds for the player.
    Game game(1);
    game.skip_rules();
    game.enter("0");
    game.expect_text("For a total of 12 points.");
    game.type("k");
    game.expect_text(kHitPrompt);
    game.enter("hh");  // the second h is read without a new wait
    game.expect_text("You have 21 points.  Hit or Stay? (press 'h' to hit) ->");
    const std::string shown = testing_support::join(game.screen());
    EXPECT_NE(shown.find("You have 12 points.  Hit or Stay? (press 'h' to hit) ->hh\n"
                         "3 of Hearts\n"
                         "\n"
                         "You have 15 points.  Hit or Stay? (press 'h' to hit) ->6 of Diamonds\n"
                         "\n"
                         "You have 21 points.  Hit or Stay? (press 'h' to hit) ->\n"),
              std::string::npos)
        << shown;
    game.enter("x");
    game.expect_row(1, "You chose to stay at 21 points.");
}

// ---- Ties and the carried-over bet ---------------------------------------------------

TEST(GameTie, TheBetCarriesIntoTheNextHandWithoutAQuestion) {
    // Seed 57: 9 and Jack of Hearts against 6, 6 and a drawn 7: 19 all. The
    // next hand the player's 16 beats a dealer who busts.
    Game game(57);
    game.skip_rules();
    game.enter("100");
    game.stay_with(19);
    game.expect_text("You tied the Computer... bets carry over");
    game.expect_screen({
        "There are 47 cards left.",
        "You have $400 left.",
        "The current bet is $100",
        "How much do you want to bet?",
    });
    game.enter("50");  // 150 in all, against $400
    game.stay_with(16);
    game.expect_text("You win!  You sly dog you.");
    game.expect_text(kAgainPrompt);
    game.enter("y");
    game.expect_row(2, "You have $550 left.");
    game.expect_row(3, "The current bet is $0");
}

TEST(GameTie, ARetriedBetIsTheWholeBet) {
    Game game(57);
    game.skip_rules();
    game.enter("100");
    game.stay_with(19);
    game.expect_row(3, "The current bet is $100");
    game.enter("350");  // 450 with the carry-over: more than the $400 left
    game.expect_row(5, "Invalid bet, try again ->");
    game.enter("400");  // taken as it stands
    game.stay_with(16);
    game.expect_text(kAgainPrompt);
    game.enter("y");
    game.expect_row(2, "You have $800 left.");
}

// ---- Many hands ------------------------------------------------------------------------

TEST(GameLoop, OnlyNEndsTheGame) {
    Game game(0);
    game.skip_rules();
    game.play_hand_staying("0", "x");
    game.expect_row(1, "There are 47 cards left.");
    game.play_hand_staying("0", "1");
    game.expect_row(2, "You have $500 left.");
    game.play_hand_staying("0", "Y");
    game.expect_row(2, "You have $500 left.");
    game.play_hand_staying("0", "N");
    game.expect_farewell();
}

TEST(GameLoop, FifteenCardsLeftPlaysOnFourteenReshuffles) {
    // With every hand stayed, seed 270 starts its seventh hand with exactly 15
    // cards and seed 457 its seventh with 14.
    Game fifteen(270);
    fifteen.skip_rules();
    for (int hand = 1; hand <= 6; hand++) {
        fifteen.play_hand_staying("0", "y");
    }
    fifteen.expect_row(1, "There are 15 cards left.");

    Game fourteen(457);
    fourteen.skip_rules();
    for (int hand = 1; hand <= 6; hand++) {
        fourteen.play_hand_staying("0", "y");
    }
    fourteen.expect_row(1, "There are 52 cards left.");
}

}  // namespace
