#include "cards.h"

#include <cstring>
#include <ctime>
#include <iostream>

#include "console.h"

const char* const suit_names[5] = {"INVALID", "Clubs", "Diamonds", "Hearts", "Spades"};

const char* const face_names[14] = {"INVALID", "Ace", "2",  "3",    "4",     "5",   "6",
                                    "7",       "8",   "9",  "10",   "Jack", "Queen", "King"};

Card::Card() : mySuit(0), myFace(0) {}

apstring Card::suit() const {
    return apstring(suit_names[mySuit]);
}

apstring Card::face() const {
    return apstring(face_names[myFace]);
}

int Card::getValue() const {
    return myFace >= 10 ? 10 : myFace;
}

namespace {

// One line on std::cerr, written unformatted so that no width or fill the
// caller left there pads it.
void complain(const char* message) {
    std::cerr.write(message, static_cast<std::streamsize>(std::strlen(message))).put('\n').flush();
}

// Stores value when it lies in 0..highest; otherwise complains and keeps the
// old one.
int set_in_range(int& field, int value, int highest, const char* complaint) {
    if (value < 0 || value > highest) {
        complain(complaint);
        return -1;
    }
    field = value;
    return 0;
}

}  // namespace

int Card::setSuit(int new_suit) {
    return set_in_range(mySuit, new_suit, 4, "*** ERROR! INVALID SUIT ASSIGNMENT! ***");
}

int Card::setFace(int new_face) {
    return set_in_range(myFace, new_face, 13, "*** ERROR! INVALID FACE ASSIGNMENT! ***");
}

Deck::Deck() : current_card(0) {
    int loc = 0;
    for (int st = 1; st <= 4; st++) {
        for (int fc = 1; fc <= 13; fc++) {
            deck[loc].setSuit(st);
            deck[loc].setFace(fc);
            loc++;
        }
    }
    shuffle();
}

int Deck::shuffle() {
    // Only the low 32 bits of the clock seed the generator.
    cards::srand(static_cast<std::uint32_t>(std::time(nullptr)));
    for (int i = 1; i <= 1000; i++) {
        const int loc = cards::_lrand() % 52;
        const int loc2 = cards::_lrand() % 52;
        const Card temp = deck[loc];
        deck[loc] = deck[loc2];
        deck[loc2] = temp;
    }
    current_card = 0;
    return 0;
}

Card Deck::deal() {
    if (current_card < 52) {
        return deck[current_card++];
    }
    complain("*** ERROR! END OF DECK REACHED -- NO CARD DEALT! ***");
    return INVALID_CARD;
}

int Deck::cardsLeft() const {
    return 52 - current_card;
}

namespace cards {

namespace {
std::uint64_t generator_state = 0;
}

void srand(std::uint32_t seed) {
    generator_state = seed;
}

std::int32_t _lrand() {
    generator_state = generator_state * 0x000015A400004E35ULL + 1;
    return static_cast<std::int32_t>((generator_state >> 32) & 0x7FFFFFFF);
}

namespace {

const int kHundredthsPerDay = 8640000;

// A step between two readings longer than this is a clock jump, not time that
// passed while we spun; it is not counted.
const int kLargestStep = 6000;

int hundredths_since_midnight(const console::TimeOfDay& t) {
    return t.ti_hour * 360000 + t.ti_min * 6000 + t.ti_sec * 100 + t.ti_hund;
}

}  // namespace

namespace detail {

// Counts the time that passes between readings rather than comparing against
// the first one, so that midnight or a clock set back cannot make it hang.
void delay_on(int delay_factor, void (*read_clock)(console::TimeOfDay*), bool (*keep_waiting)()) {
    console::TimeOfDay curr_time{};
    read_clock(&curr_time);
    const int start100s = hundredths_since_midnight(curr_time);
    int previous = start100s;
    long long waited = 0;  // wide enough for any int factor plus one step
    do {
        read_clock(&curr_time);
        const int time100s = hundredths_since_midnight(curr_time);
        int step = time100s - previous;
        if (step < 0) {
            step += kHundredthsPerDay;  // passed midnight
        }
        if (step <= kLargestStep) {
            waited += step;
        }
        previous = time100s;
    } while (waited < delay_factor && keep_waiting());
}

}  // namespace detail

void delay(int delay_factor) {
    console::flush();  // what the player reads during the wait
    detail::delay_on(delay_factor, console::gettime, console::attend);
}

void pause() {
    console::getch();
}

}  // namespace cards
