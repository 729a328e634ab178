// Blackjack against the computer: $500 to start, one hand per pass of the
// loop in main, an ace always worth 1, the dealer drawing on 17 or less.

#include <climits>
#include <cstdlib>
#include <iostream>
#include <limits>

#include "cards.h"
#include "console.h"

namespace {

using cards::delay;
using cards::pause;
using console::clrscr;
using console::gotoxy;

const char* const kPlayerFrame[10] = {
    "\t __________         __________   ",
    "\t|          |       |          |  ",
    "\t|          |       |          |  ",
    "\t|          |       |          |  ",
    "\t|          |       |          |  ",
    "\t|          |  and  |          |  ",
    "\t|          |       |          |  ",
    "\t|          |       |          |  ",
    "\t|          |       |          |  ",
    "\t|__________|       |__________|  ",
};

const char* const kDealerFrame[10] = {
    "\t __________         __________   ",
    "\t|          |       | / / / / /|  ",
    "\t|          |       |/ / / / / |  ",
    "\t|          |       | / / / / /|  ",
    "\t|          |       |/ / / / / |  ",
    "\t|          |  and  | / / / / /|  ",
    "\t|          |       |/ / / / / |  ",
    "\t|          |       | / / / / /|  ",
    "\t|          |       |/ / / / / |  ",
    "\t|__________|       |_/_/_/_/_/|  ",
};

void write_frame(const char* const (&frame)[10]) {
    for (const char* line : frame) {
        std::cout << line << std::endl;
    }
}

void write_name(const Card& card) {
    std::cout << card.face() << " of " << card.suit();
}

// Keys typed during the farewell are the shell's, and Ctrl+C cuts it short.
void farewell() {
    clrscr();
    std::cout << "\t Thank you for playing pellimo blackjack. \n";
    console::input_over();
    delay(300);
}

// Nothing more can be asked of a player whose input has ended.
[[noreturn]] void farewell_at_end_of_input() {
    farewell();
    std::exit(0);
}

void read_answer(char& answer) {
    if (!console::read_char(std::cin, answer)) {
        farewell_at_end_of_input();
    }
}

// False when the player typed something that is not a whole number; that
// line is dropped so the next read sees new input.
bool read_bet(int& bet) {
    if (console::read_number(std::cin, bet)) {
        return true;
    }
    if (std::cin.eof() || std::cin.bad()) {
        farewell_at_end_of_input();
    }
    std::cin.clear();
    std::cin.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    return false;
}

}  // namespace

int main() {
    console::start();  // holds the keyboard from the first output to the last
    Card my_card;
    Deck my_deck;
    int money = 0;
    int bet = 0;
    int validbet = 0;
    int tie = 0;
    int betagain = 0;
    int oldbet = 0;
    char rules = 0;
    char again = 0;
    char hit = 0;
    int sum = 0;
    int compsum = 0;
    int bust = 0;
    int compbust = 0;

    std::cout << "Welcome to Pellimo Blackjack!  Maximize and Press any key.";
    pause();
    clrscr();
    std::cout << "Do you need to hear the rules?  (y or n) -> ";
    read_answer(rules);
    if (rules == 'y' || rules == 'Y') {
        std::cout << "The rules of blackjack are relatively simple:  Get 21 points without" << std::endl;
        std::cout << "going bust.  The dealer is trying to do the same thing.  Whoever " << std::endl;
        std::cout << "is higest without going bust after the game ends is the winner. " << std::endl;
        std::cout << std::endl;
        std::cout << "Press a key when ready -> ";
        pause();
    }
    money = 500;
    my_deck.shuffle();
    betagain = 0;
    oldbet = 0;
    tie = 0;

    do {
        // The bet.
        if (tie != 1) {
            oldbet = 0;
        }
        sum = 0;
        compsum = 0;
        clrscr();
        if (my_deck.cardsLeft() < 15) {
            my_deck.shuffle();
        }
        std::cout << "There are " << my_deck.cardsLeft() << " cards left." << std::endl;
        std::cout << "You have $" << money << " left. \n";
        std::cout << "The current bet is $" << oldbet << std::endl;
        std::cout << "How much do you want to bet? ";
        bool typed = read_bet(bet);
        if (typed && betagain == 1) {
            // The carried-over bet joins the first amount typed, never a retry.
            if (bet > INT_MAX - oldbet) {
                typed = false;  // more than any bankroll can cover
            } else {
                bet += oldbet;
            }
        }
        validbet = 0;
        tie = 0;
        while (validbet == 0) {
            if (typed && bet <= money && bet >= 0) {
                validbet = 1;
            } else {
                std::cout << "Invalid bet, try again -> ";
                typed = read_bet(bet);
            }
        }

        // The player's two cards.
        clrscr();
        std::cout << std::endl << std::endl << std::endl;
        std::cout << "You have the following Cards: " << std::endl << std::endl;
        write_frame(kPlayerFrame);
        my_card = my_deck.deal();
        std::cout << std::endl;
        write_name(my_card);
        std::cout << std::endl << "\t and";
        gotoxy(11, 8);
        std::cout << my_card.face();
        gotoxy(11, 11);
        std::cout << my_card.suit();
        sum += my_card.getValue();
        my_card = my_deck.deal();
        sum += my_card.getValue();
        gotoxy(30, 8);
        std::cout << my_card.face();
        gotoxy(30, 11);
        std::cout << my_card.suit() << std::endl;
        gotoxy(1, 19);
        write_name(my_card);
        std::cout << std::endl << std::endl;
        std::cout << "For a total of " << sum << " points." << std::endl;
        pause();

        // The dealer's two cards, one of them face down.
        clrscr();
        std::cout << "The computer has the following cards: \n" << std::endl << std::endl;
        write_frame(kDealerFrame);
        my_card = my_deck.deal();
        gotoxy(11, 6);
        std::cout << my_card.face();
        gotoxy(11, 9);
        std::cout << my_card.suit();
        gotoxy(10, 16);
        write_name(my_card);
        std::cout << " and ????? of ?????" << std::endl;
        compsum += my_card.getValue();
        my_card = my_deck.deal();
        compsum += my_card.getValue();
        std::cout << std::endl;
        std::cout << "There are " << my_deck.cardsLeft() << " cards left." << std::endl;
        std::cout << std::endl;

        // The player's turn.
        bust = 0;
        compbust = 0;
        for (;;) {
            if (sum > 21) {
                bust = 1;
                break;
            }
            std::cout << "You have " << sum << " points.  Hit or Stay? (press 'h' to hit) ->";
            read_answer(hit);
            if (hit != 'h' && hit != 'H') {
                break;
            }
            my_card = my_deck.deal();
            write_name(my_card);
            std::cout << std::endl;
            sum += my_card.getValue();
            std::cout << std::endl;
        }

        if (bust == 1) {
            sum = -1;
            std::cout << "BUST!... ";
            delay(200);
            std::cout << "Bummer doode.  " << std::endl;
        } else {
            clrscr();
            std::cout << "You chose to stay at " << sum << " points. \n" << std::endl;

            // The dealer's turn: draw on 17 or less. An empty deck deals
            // cards worth nothing, so the dealer stands once it meets one.
            int deckout = 0;
            hit = 1;
            while (hit != 0) {
                std::cout << "The dealer has " << compsum << " points, ";
                if (compsum >= 18 || deckout == 1) {
                    if (compsum <= 21) {
                        std::cout << "and chooses to stay! \n";
                    } else {
                        std::cout << "and busts!" << std::endl;
                    }
                    hit = 0;
                } else {
                    delay(100);
                    std::cout << "and chooses to Hit! " << std::endl;
                    delay(200);
                    std::cout << std::endl;
                    my_card = my_deck.deal();
                    std::cout << "Dealer gets ";
                    write_name(my_card);
                    std::cout << std::endl;
                    compsum += my_card.getValue();
                    std::cout << std::endl;
                    if (compsum > 21) {
                        compbust = 1;
                    }
                    if (my_card.getValue() == 0) {
                        deckout = 1;
                    }
                }
            }
        }

        // The outcome.
        if (compbust == 1) {
            compsum = 0;
        }
        if (compsum < sum) {
            std::cout << "You win!  You sly dog you." << std::endl;
            money = bet > INT_MAX - money ? INT_MAX : money + bet;
        } else if (compsum == sum) {
            tie = 1;
            std::cout << "You tied the Computer... bets carry over" << std::endl;
            betagain = 1;
            oldbet = bet;
            money -= bet;
        } else {
            std::cout << "Game to the dealer! Too bad!" << std::endl;
            money -= bet;
        }

        // The end of the hand.
        if (tie == 1) {
            delay(300);
            again = 'y';
        } else if (money > 0) {
            std::cout << "Do you want to play again? ('n' for no) -> ";
            read_answer(again);
        } else {
            std::cout << "You're broke!  Do I look like a loan shark?" << std::endl;
            again = 'n';
            delay(150);
            std::cout << "Better Luck Next Time!" << std::endl;
            pause();
        }
        again = static_cast<char>(console::toupper(again));
    } while (again != 'N');

    farewell();
    return 0;
}
