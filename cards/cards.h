#ifndef BLACKJACK_CARDS_H
#define BLACKJACK_CARDS_H

#include <cstdint>

#include "apstring.h"
#include "clock.h"

// Names indexed by suit number (0 none, 1 Clubs .. 4 Spades) and face number
// (0 none, 1 Ace, 2..10, 11 Jack, 12 Queen, 13 King).
extern const char* const suit_names[5];
extern const char* const face_names[14];

// One playing card. Suit 0 and face 0 make the invalid card.
class Card {
public:
    Card();

    apstring suit() const;
    apstring face() const;
    int getValue() const;  // an ace is 1, tens and pictures 10

    // Each returns 0, or -1 with a message on stderr when the value is out
    // of range; the card then keeps its old value.
    int setSuit(int new_suit);
    int setFace(int new_face);

private:
    int mySuit;
    int myFace;
};

// The 52-card deck, dealt from position 0 onwards.
class Deck {
public:
    Deck();  // fills the deck in suit and face order, then shuffles

    int shuffle();  // reseeds from the clock; always returns 0
    Card deal();    // the invalid card, with a message, once exhausted
    int cardsLeft() const;

private:
    Card deck[52];
    int current_card;
    Card INVALID_CARD;
};

namespace cards {

// The deck's own random source: a 64-bit linear congruential generator.
void srand(std::uint32_t seed);
std::int32_t _lrand();  // 0 .. 2147483647

// Shows what was written, then busy-waits delay_factor hundredths of a
// second on the time of day. A terminal that goes away ends the wait: nobody
// is left to watch.
void delay(int delay_factor);

// Waits for one key press and drops it.
void pause();

namespace detail {
// delay with the clock passed in, so a wait can be checked on a made-up
// clock. keep_waiting is asked after each reading; false ends the wait.
void delay_on(int delay_factor, void (*read_clock)(console::TimeOfDay*), bool (*keep_waiting)());
}  // namespace detail

}  // namespace cards

#endif
