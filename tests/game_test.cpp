// The real blackjack binary played with its input from a pipe: every byte it
// writes, exactly. Standard input is not a terminal here, so the key waits
// return at once; the game logic is the same.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>

#include "cards.h"
#include "game_process.h"
#include "processes.h"
#include "tmux_session.h"
#include "wait.h"

// The deck seeds itself from time(); this binary routes that call to the
// seed the game under test gets, so a test can lay out the game's deck.
static time_t deck_seed = 0;

extern "C" time_t __wrap_time(time_t* out) {  // NOLINT(bugprone-reserved-identifier): the linker's name
    if (out != nullptr) {
        *out = deck_seed;
    }
    return deck_seed;
}

namespace {

using testing_support::play;
using testing_support::PlayedGame;

const std::string kClear = "\x1b[H\x1b[2J";
const std::string kStart = "Welcome to Pellimo Blackjack!  Maximize and Press any key." + kClear +
                           "Do you need to hear the rules?  (y or n) -> " + kClear;
const std::string kBetPrompt = "How much do you want to bet? ";
const std::string kInvalidBet = "Invalid bet, try again -> ";
const std::string kHitPrompt = " points.  Hit or Stay? (press 'h' to hit) ->";
const std::string kAgainPrompt = "Do you want to play again? ('n' for no) -> ";
const std::string kFarewell = kClear + "\t Thank you for playing pellimo blackjack. \n";

std::string bet_screen(int cards, int money, int carried) {
    return "There are " + std::to_string(cards) + " cards left.\nYou have $" + std::to_string(money) +
           " left. \nThe current bet is $" + std::to_string(carried) + "\n" + kBetPrompt;
}

// Fails with both texts when text does not hold part.
void expect_contains(const std::string& text, const std::string& part) {
    EXPECT_NE(text.find(part), std::string::npos) << "missing:\n" << part << "\nin:\n" << text;
}

void expect_ends_with(const std::string& text, const std::string& tail) {
    EXPECT_TRUE(text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0)
        << "should end with:\n" << tail << "\nbut is:\n" << text;
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        n++;
    }
    return n;
}

TEST(GameTranscript, EveryByteOfOneHandInAFewWrites) {
    // Seed 0: 9 and 3 of Diamonds against a 3 of Spades and the King of
    // Spades face down; the player stays at 12 and the dealer busts on the
    // Queen of Hearts.
    const PlayedGame game = play(0, "n\n100\ns\nn\n");
    const std::string expected =
        kStart + bet_screen(52, 500, 0) + kClear +
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
        "For a total of 12 points.\n" + kClear +
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
        "You have 12" + kHitPrompt + kClear +
        "You chose to stay at 12 points. \n"
        "\n"
        "The dealer has 13 points, and chooses to Hit! \n"
        "\n"
        "Dealer gets Queen of Hearts\n"
        "\n"
        "The dealer has 23 points, and busts!\n"
        "You win!  You sly dog you.\n" + kAgainPrompt + kFarewell;
    EXPECT_EQ(game.out, expected);
    EXPECT_EQ(game.err, "");
    EXPECT_EQ(game.status, 0);
    // Output goes out whole at each point the player must see it: two key
    // waits, four line reads and three timed waits here, then the exit.
    EXPECT_GE(game.writes, 1);
    EXPECT_LE(game.writes, 2 + 4 + 3 + 1);
}

TEST(GameTranscript, CommandLineArgumentsAreIgnored) {
    EXPECT_EQ(play(0, "n\n100\ns\nn\n", "--help -n 5").out, play(0, "n\n100\ns\nn\n").out);
}

TEST(GameBetting, OutOfRangeAndNonNumericBetsAreAskedAgain) {
    const PlayedGame game = play(0, "n\n501\n-1\nten dollars\n500\n");
    expect_contains(game.out, kBetPrompt + kInvalidBet + kInvalidBet + kInvalidBet + kClear +
                                  "\n\n\nYou have the following Cards: \n");
}

TEST(GameBetting, ExtraLettersAtTheRulesQuestionMeetTheBetPrompt) {
    // "es" is left over from the answer: not a number, so the line is dropped.
    const PlayedGame game = play(0, "yes\n0\n");
    expect_contains(game.out,
                    "Do you need to hear the rules?  (y or n) -> "
                    "The rules of blackjack are relatively simple:  Get 21 points without\n"
                    "going bust.  The dealer is trying to do the same thing.  Whoever \n"
                    "is higest without going bust after the game ends is the winner. \n"
                    "\n"
                    "Press a key when ready -> " + kClear + bet_screen(52, 500, 0) + kInvalidBet + kClear +
                    "\n\n\nYou have the following Cards: \n");
}

TEST(GameBetting, EndOfInputAtAnyPromptSaysGoodbye) {
    const struct {
        const char* where;
        const char* input;
        std::string last_prompt;
    } cases[] = {
        {"rules", "", "Do you need to hear the rules?  (y or n) -> "},
        {"bet", "n\n", kBetPrompt},
        {"retry", "n\n9999\n", kInvalidBet},
        {"hit", "n\n10\n", "You have 12" + kHitPrompt},
        {"again", "n\n100\ns\n", kAgainPrompt},
    };
    for (const auto& c : cases) {
        const PlayedGame game = play(0, c.input);
        expect_ends_with(game.out, c.last_prompt + kFarewell);
        EXPECT_EQ(game.status, 0) << c.where;
    }
}

TEST(GameHand, DealerDrawsOn17AndStandsOn18) {
    // Seed 13: the player holds 6 and Queen; the dealer 2 and 5, then draws
    // the Jack of Diamonds and the Ace of Hearts.
    const PlayedGame game = play(13, "n\n100\nS\nn\n");
    expect_contains(game.out, kClear +
                                  "You chose to stay at 16 points. \n"
                                  "\n"
                                  "The dealer has 7 points, and chooses to Hit! \n"
                                  "\n"
                                  "Dealer gets Jack of Diamonds\n"
                                  "\n"
                                  "The dealer has 17 points, and chooses to Hit! \n"
                                  "\n"
                                  "Dealer gets Ace of Hearts\n"
                                  "\n"
                                  "The dealer has 18 points, and chooses to stay! \n"
                                  "Game to the dealer! Too bad!\n" +
                                  kAgainPrompt + kFarewell);
}

TEST(GameHand, BustingHidesTheDealersHandAndLosingEverythingEndsTheGame) {
    const PlayedGame game = play(0, "n\n500\nh\n");
    expect_ends_with(game.out, "You have 12" + kHitPrompt +
                                   "Queen of Hearts\n"
                                   "\n"
                                   "BUST!... Bummer doode.  \n"
                                   "Game to the dealer! Too bad!\n"
                                   "You're broke!  Do I look like a loan shark?\n"
                                   "Better Luck Next Time!\n" +
                                   kFarewell);
    EXPECT_EQ(count(game.out, "The dealer has"), 0);
    EXPECT_EQ(count(game.out, "King of Spades"), 0);
    EXPECT_EQ(game.status, 0);
}

TEST(GameHand, TwoHitsTypedOnOneLineDrawTwoCardsAndTwentyOneIsAskedAgain) {
    // Seed 1: 2 and Jack of Hearts make 12; the dealer gets the Ace of
    // Diamonds and 10 of Clubs; then 3 of Hearts and 6 of Diamonds.
    const PlayedGame game = play(1, "n\n0\nhh\nx\nn\n");
    expect_contains(game.out, "You have 12" + kHitPrompt +
                                  "3 of Hearts\n\n"
                                  "You have 15" + kHitPrompt +
                                  "6 of Diamonds\n\n"
                                  "You have 21" + kHitPrompt + kClear +
                                  "You chose to stay at 21 points. \n");
}

TEST(GameTie, TheBetCarriesIntoTheNextHandWithoutAQuestion) {
    // Seed 57: 9 and Jack of Hearts against 6, 6 and a drawn 7: 19 all. The
    // next hand the player's 16 beats a dealer who busts.
    const PlayedGame game = play(57, "n\n100\ns\n50\ns\ny\n");
    expect_contains(game.out, "The dealer has 19 points, and chooses to stay! \n"
                              "You tied the Computer... bets carry over\n" +
                                  kClear + bet_screen(47, 400, 100) + kClear);
    // 50 typed makes a bet of 150.
    expect_contains(game.out, "You win!  You sly dog you.\n" + kAgainPrompt + kClear + bet_screen(42, 550, 0));
}

TEST(GameTie, ARetriedBetIsTheWholeBet) {
    // 350 with the carry-over is more than the $400 left; 400 is taken as
    // it stands.
    const PlayedGame game = play(57, "n\n100\ns\n350\n400\ns\ny\n");
    expect_contains(game.out, bet_screen(47, 400, 100) + kInvalidBet + kClear);
    expect_contains(game.out, kAgainPrompt + kClear + bet_screen(42, 800, 0));
}

TEST(GameLoop, OnlyNEndsTheGame) {
    const PlayedGame game = play(0, "n\n0\ns\nx\n0\ns\n1\n0\ns\nY\n0\ns\nN\n");
    EXPECT_EQ(count(game.out, kBetPrompt), 4);
    EXPECT_EQ(count(game.out, kAgainPrompt), 4);
    expect_ends_with(game.out, kAgainPrompt + kFarewell);
    EXPECT_EQ(game.status, 0);
}

TEST(GameLoop, FifteenCardsLeftPlaysOnFourteenReshuffles) {
    // With every hand stayed, seed 270 starts its seventh hand with exactly
    // 15 cards and seed 457 its seventh with 14.
    std::string six_hands = "n\n";
    for (int hand = 1; hand <= 6; hand++) {
        six_hands += "0\ns\ny\n";
    }
    expect_ends_with(play(270, six_hands).out, kAgainPrompt + kClear + bet_screen(15, 500, 0) + kFarewell);
    expect_ends_with(play(457, six_hands).out, kAgainPrompt + kClear + bet_screen(52, 500, 0) + kFarewell);
}

TEST(GameTie, ACarriedBetAndATypedOneThatOverflowTogetherAreRefused) {
    // 100 carried over plus the largest int is more than any bankroll; the
    // sum itself must never be formed (the sanitizer build stops on it).
    const PlayedGame game = play(57, "n\n100\ns\n2147483647\n0\ns\nn\n");
    expect_contains(game.out, bet_screen(47, 400, 100) + kInvalidBet + kClear);
    EXPECT_EQ(game.status, 0);
}

// ---- A bankroll that outgrows an int ----------------------------------------------

// The player's side of a game that wins every hand it bets on: it knows the
// deck, so it bets everything on the hands it can win (hitting as often as
// that takes) and nothing on the others, until the bankroll is capped.
std::string input_that_wins_up_to(int target) {
    Deck deck;  // as the game: built and shuffled, then shuffled again
    deck.shuffle();
    std::string input = "n\n";
    long long money = 500;
    for (int hand = 0; hand < 1000 && money < target; hand++) {
        if (deck.cardsLeft() < 15) {
            deck.shuffle();
        }
        // The outcome with a given number of hits, on a copy of the deck:
        // 1 a win, 0 a tie, -1 a loss.
        const auto play_out = [](Deck cards, int hits) {
            const int player = cards.deal().getValue() + cards.deal().getValue();
            int dealer = cards.deal().getValue() + cards.deal().getValue();
            int sum = player;
            for (int k = 0; k < hits; k++) {
                sum += cards.deal().getValue();
            }
            if (sum > 21) {
                return std::make_pair(-1, cards);
            }
            for (int drawn = 1; dealer < 18 && drawn != 0;) {
                drawn = cards.deal().getValue();
                dealer += drawn;
            }
            const int counted = dealer > 21 ? 0 : dealer;
            return std::make_pair(counted < sum ? 1 : counted == sum ? 0 : -1, cards);
        };
        int hits = 0;
        while (hits < 6 && play_out(deck, hits).first != 1) {
            hits++;
        }
        const bool wins = hits < 6;
        if (!wins) {
            hits = 0;
        }
        const auto [outcome, rest] = play_out(deck, hits);
        deck = rest;
        input += (wins ? std::to_string(money) : "0") + "\n";
        input += std::string(static_cast<std::size_t>(hits), 'h') + "s\n";  // one answer a line is enough
        if (wins) {
            money *= 2;
        }
        if (outcome != 0) {
            input += "y\n";  // a tie goes on by itself
        }
    }
    return input;
}

TEST(GameMoney, AWinPastTheLargestIntKeepsTheLargestInt) {
    // 23 wins of the whole bankroll make 500 * 2^23, past 2147483647.
    deck_seed = 0;
    const std::string input = input_that_wins_up_to(INT_MAX);
    const PlayedGame game = play(deck_seed, input);
    expect_contains(game.out, "You win!  You sly dog you.\n" + kAgainPrompt + kClear + "There are ");
    expect_contains(game.out, "You have $2097152000 left. \n");
    expect_contains(game.out, "You have $2147483647 left. \n");
    EXPECT_EQ(count(game.out, "You're broke!"), 0);
    EXPECT_EQ(game.status, 0);
}

TEST(GameOutput, ANonBlockingPipeReadSlowlyGetsEveryByte) {
    // A pipe of one page, non-blocking on the game's side, read only when
    // the game has to wait for it (it sleeps only then: its input is a
    // file) or has ended: every write after the first meets a full pipe.
    std::string input = "n\n";
    for (int hand = 0; hand < 6; hand++) {
        input += "0\ns\ny\n";
    }
    char dir_template[] = "/tmp/blackjack-slow-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string in_file = std::string(dir_template) + "/in";
    std::ofstream(in_file) << input;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    ASSERT_GT(fcntl(out[1], F_SETPIPE_SZ, 4096), 0);
    ASSERT_EQ(fcntl(out[1], F_SETFL, O_NONBLOCK), 0);
    // Made before the fork: the child ends by exec, and so cleans up nothing.
    const std::string command =
        "exec " + testing_support::game_command(0, 1000) + " <" + testing_support::shell_quote(in_file);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string got;
    int status = -1;
    for (bool ended = false;;) {
        ASSERT_TRUE(testing_support::poll_until([&] {
            int waiting = 0;
            ended = ended || waitpid(pid, &status, WNOHANG) == pid;
            const auto game = testing_support::process_stat(pid);
            return ended || (ioctl(out[0], FIONREAD, &waiting) == 0 && waiting > 0 && game && game->state == 'S');
        })) << "the game neither fills the pipe nor ends; so far:\n" << got;
        char bytes[8192];
        const ssize_t n = read(out[0], bytes, sizeof bytes);
        if (n <= 0) {
            break;
        }
        got.append(bytes, static_cast<std::size_t>(n));
    }
    close(out[0]);
    std::remove(in_file.c_str());
    rmdir(dir_template);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_GT(got.size(), 2 * 4096u);  // more than the pipe holds, twice over
    EXPECT_EQ(got, play(0, input).out);
}

TEST(GameOutput, OutputThatCannotBeWrittenIsAFailure) {
    char dir_template[] = "/tmp/blackjack-full-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string err = std::string(dir_template) + "/err";
    const int status = std::system((testing_support::game_command(0) + " </dev/null >/dev/full 2>" +
                                    testing_support::shell_quote(err))
                                       .c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(testing_support::read_file(err), "blackjack: cannot write the game's output: No space left on device\n");
    std::remove(err.c_str());
    rmdir(dir_template);
}

}  // namespace
