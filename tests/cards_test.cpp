#include "cards.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <iomanip>
#include <set>
#include <sstream>
#include <string>
#include <vector>


// The deck reads time() through this function: the binary is linked with
// --wrap=time, so the tests decide what the clock says.
namespace {
time_t fake_now = 0;
}
extern "C" time_t __wrap_time(time_t* out) {  // NOLINT(bugprone-reserved-identifier): the linker's name
    if (out != nullptr) {
        *out = fake_now;
    }
    return fake_now;
}

// And the console's clock_gettime() through this one (the C library's
// 64-bit name where a 32-bit system has it), so that a test can make the
// wall clock fail, as a 32-bit time_t's does at every reading past 2038.
#ifdef __USE_TIME_BITS64
#define REAL_CLOCK_GETTIME __real___clock_gettime64
#define WRAP_CLOCK_GETTIME __wrap___clock_gettime64
#else
#define REAL_CLOCK_GETTIME __real_clock_gettime
#define WRAP_CLOCK_GETTIME __wrap_clock_gettime
#endif
namespace {
bool wall_clock_fails = false;
}
extern "C" int REAL_CLOCK_GETTIME(clockid_t id, timespec* out);  // NOLINT(bugprone-reserved-identifier): the linker's name
extern "C" int WRAP_CLOCK_GETTIME(clockid_t id, timespec* out) {  // NOLINT(bugprone-reserved-identifier): the linker's name
    if (id == CLOCK_REALTIME && wall_clock_fails) {
        errno = EOVERFLOW;
        return -1;
    }
    return REAL_CLOCK_GETTIME(id, out);
}

namespace {

std::string name(const Card& card) {
    std::ostringstream out;
    out << card.face() << " of " << card.suit();
    return out.str();
}

std::vector<std::string> deal_names(Deck& deck, int count) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; i++) {
        names.push_back(name(deck.deal()));
    }
    return names;
}

Card make_card(int suit, int face) {
    Card card;
    card.setSuit(suit);
    card.setFace(face);
    return card;
}

// Collects what is written to std::cerr while it lives.
class CerrCapture {
public:
    CerrCapture() : old_(std::cerr.rdbuf(buffer_.rdbuf())) {}
    ~CerrCapture() { std::cerr.rdbuf(old_); }
    std::string text() const { return buffer_.str(); }

private:
    std::ostringstream buffer_;
    std::streambuf* old_;
};

// ---- Card --------------------------------------------------------------------

TEST(Card, DefaultIsTheInvalidCard) {
    const Card card;
    EXPECT_EQ(name(card), "INVALID of INVALID");
    EXPECT_EQ(card.getValue(), 0);
}

TEST(Card, NamesAndValues) {
    const struct {
        int suit;
        int face;
        const char* name;
        int value;
    } cases[] = {
        {1, 1, "Ace of Clubs", 1},      {2, 2, "2 of Diamonds", 2},    {3, 9, "9 of Hearts", 9},
        {4, 10, "10 of Spades", 10},    {1, 11, "Jack of Clubs", 10},  {2, 12, "Queen of Diamonds", 10},
        {3, 13, "King of Hearts", 10},  {4, 7, "7 of Spades", 7},
    };
    for (const auto& c : cases) {
        const Card card = make_card(c.suit, c.face);
        EXPECT_EQ(name(card), c.name);
        EXPECT_EQ(card.getValue(), c.value) << c.name;
    }
}

TEST(Card, OutOfRangeSettersComplainAndKeepTheOldValue) {
    Card card = make_card(4, 12);
    CerrCapture err;
    EXPECT_EQ(card.setSuit(5), -1);
    EXPECT_EQ(card.setSuit(-1), -1);
    EXPECT_EQ(card.setFace(14), -1);
    EXPECT_EQ(card.setFace(-1), -1);
    EXPECT_EQ(err.text(),
              "*** ERROR! INVALID SUIT ASSIGNMENT! ***\n"
              "*** ERROR! INVALID SUIT ASSIGNMENT! ***\n"
              "*** ERROR! INVALID FACE ASSIGNMENT! ***\n"
              "*** ERROR! INVALID FACE ASSIGNMENT! ***\n");
    EXPECT_EQ(name(card), "Queen of Spades");
    EXPECT_EQ(card.getValue(), 10);
}

TEST(Card, MessagesIgnoreTheFormattingLeftOnStandardError) {
    Card card;
    Deck deck;
    for (int i = 0; i < 52; i++) {
        deck.deal();
    }
    CerrCapture err;
    std::cerr << std::setw(60) << std::setfill('*') << std::hex;
    card.setFace(99);
    deck.deal();
    std::cerr << std::setw(0) << std::setfill(' ') << std::dec;
    EXPECT_EQ(err.text(),
              "*** ERROR! INVALID FACE ASSIGNMENT! ***\n"
              "*** ERROR! END OF DECK REACHED -- NO CARD DEALT! ***\n");
}

TEST(Card, ZeroIsAcceptedSilently) {
    Card card = make_card(2, 9);
    CerrCapture err;
    EXPECT_EQ(card.setSuit(0), 0);
    EXPECT_EQ(name(card), "9 of INVALID");
    EXPECT_EQ(card.setFace(0), 0);
    EXPECT_EQ(name(card), "INVALID of INVALID");
    EXPECT_EQ(card.getValue(), 0);
    EXPECT_EQ(err.text(), "");
}

TEST(Card, EachNameIsASeparateString) {
    const Card card = make_card(3, 1);
    apstring suit = card.suit();
    suit[0] = 'X';
    EXPECT_STREQ(card.suit().c_str(), "Hearts");
    EXPECT_STREQ(suit_names[3], "Hearts");
    EXPECT_STREQ(face_names[1], "Ace");
}

// ---- Random source -------------------------------------------------------------

TEST(RandomSource, KnownSequences) {
    cards::srand(1);
    EXPECT_EQ(cards::_lrand(), 5540);
    EXPECT_EQ(cards::_lrand(), 221838220);
    EXPECT_EQ(cards::_lrand(), 695693412);
    EXPECT_EQ(cards::_lrand(), 1410949376);

    cards::srand(0);
    EXPECT_EQ(cards::_lrand(), 0);
    EXPECT_EQ(cards::_lrand(), 5540);
    EXPECT_EQ(cards::_lrand(), 221838220);
    EXPECT_EQ(cards::_lrand(), 695693412);
}

TEST(RandomSource, TheSeedIsTheWholeStateAndTheTopBitIsDropped) {
    // The seed becomes the low half of a state whose high half is zero; the
    // fourth number comes from a state with its top bit set (3320430073
    // before the bit is dropped).
    cards::srand(0xFFFFFFFFu);
    EXPECT_EQ(cards::_lrand(), 14480);
    EXPECT_EQ(cards::_lrand(), 179013300);
    EXPECT_EQ(cards::_lrand(), 1975543360);
    EXPECT_EQ(cards::_lrand(), 1172946425);
    cards::srand(0xFFFFFFFFu);
    EXPECT_EQ(cards::_lrand(), 14480);
}

// ---- Deck ----------------------------------------------------------------------

TEST(Deck, ShufflesFromTheFillOrderWithTheClockAsSeed) {
    fake_now = 0;
    Deck deck;
    EXPECT_EQ(deal_names(deck, 6), (std::vector<std::string>{"7 of Diamonds", "Ace of Hearts", "Ace of Diamonds",
                                                             "10 of Spades", "9 of Hearts", "10 of Hearts"}));
    deck.shuffle();
    EXPECT_EQ(deal_names(deck, 6), (std::vector<std::string>{"9 of Diamonds", "3 of Diamonds", "3 of Spades",
                                                             "King of Spades", "Queen of Hearts", "King of Clubs"}));
}

TEST(Deck, SeedIsTheClocksLow32Bits) {
    fake_now = 12345;
    Deck plain;
    fake_now = static_cast<time_t>((std::int64_t{1} << 32) + 12345);
    Deck wrapped;
    EXPECT_EQ(deal_names(plain, 52), deal_names(wrapped, 52));

    fake_now = -1;  // a clock that cannot tell the time
    Deck unknown;
    fake_now = static_cast<time_t>(0xFFFFFFFFu);
    Deck all_ones;
    EXPECT_EQ(deal_names(unknown, 52), deal_names(all_ones, 52));

    fake_now = 12346;
    Deck next_second;
    plain.shuffle();
    next_second.shuffle();
    fake_now = 12345;
    Deck again;
    EXPECT_NE(deal_names(next_second, 52), deal_names(again, 52));
}

TEST(Deck, DecksShuffledInTheSameSecondAgree) {
    fake_now = 1700000000;
    Deck first;
    Deck second;
    EXPECT_EQ(deal_names(first, 52), deal_names(second, 52));
}

TEST(Deck, DealsDownToTheInvalidCard) {
    fake_now = 42;
    Deck deck;
    EXPECT_EQ(deck.cardsLeft(), 52);
    deck.deal();
    EXPECT_EQ(deck.cardsLeft(), 51);
    for (int i = 0; i < 51; i++) {
        deck.deal();
    }
    EXPECT_EQ(deck.cardsLeft(), 0);

    for (int extra = 0; extra < 2; extra++) {
        CerrCapture err;
        const Card card = deck.deal();
        EXPECT_EQ(err.text(), "*** ERROR! END OF DECK REACHED -- NO CARD DEALT! ***\n");
        EXPECT_EQ(name(card), "INVALID of INVALID");
        EXPECT_EQ(card.getValue(), 0);
        EXPECT_EQ(deck.cardsLeft(), 0);
    }

    deck.shuffle();
    EXPECT_EQ(deck.cardsLeft(), 52);
}

TEST(Deck, ShuffleRestartsFromTheTopOfThePermutedArray) {
    fake_now = 7;
    Deck dealt;
    Deck fresh;
    for (int i = 0; i < 20; i++) {
        dealt.deal();
    }
    dealt.shuffle();  // dealing copies and never reorders, so both match again
    fresh.shuffle();
    EXPECT_EQ(deal_names(dealt, 52), deal_names(fresh, 52));
}

TEST(Deck, AlwaysHoldsEachCardOnce) {
    Deck deck;
    for (time_t second = 0; second < 40; second++) {
        fake_now = second * 977;
        deck.shuffle();
        for (int i = 0; i < static_cast<int>(second % 5); i++) {
            deck.deal();
        }
        deck.shuffle();
        const std::vector<std::string> names = deal_names(deck, 52);
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 52u);
        EXPECT_EQ(std::count(names.begin(), names.end(), "INVALID of INVALID"), 0);
    }
}

// ---- Pacing --------------------------------------------------------------------

// A made-up clock: each reading returns the next count of hundredths since
// midnight from a script, then keeps stepping one hundredth at a time.
struct ScriptedClock {
    std::vector<int> script;
    std::size_t readings = 0;
    int last = 0;

    int next() {
        last = readings < script.size() ? script[readings] : last + 1;
        readings++;
        return last % 8640000;
    }
};
ScriptedClock* clock_in_use = nullptr;

void read_scripted(console::TimeOfDay* t) {
    const int count = clock_in_use->next();
    t->ti_hour = static_cast<std::uint8_t>(count / 360000);
    t->ti_min = static_cast<std::uint8_t>(count / 6000 % 60);
    t->ti_sec = static_cast<std::uint8_t>(count / 100 % 60);
    t->ti_hund = static_cast<std::uint8_t>(count % 100);
}

// How many readings the wait lets pass before it gives up; -1 never.
long readings_until_gone = -1;

bool terminal_still_there() {
    return readings_until_gone < 0 || static_cast<long>(clock_in_use->readings) < readings_until_gone;
}

// Number of clock readings a delay takes on the scripted clock.
std::size_t readings_for(int delay_factor, std::vector<int> script, long gone_after = -1) {
    ScriptedClock clock{std::move(script)};
    clock_in_use = &clock;
    readings_until_gone = gone_after;
    cards::detail::delay_on(delay_factor, read_scripted, terminal_still_there);
    clock_in_use = nullptr;
    return clock.readings;
}

TEST(Delay, EndsAtTheFirstReadingThatReachesTheTarget) {
    // Begun at 12:00:00.50, it ends at the first reading of 12:00:01.50.
    EXPECT_EQ(readings_for(100, {4320050, 4320050, 4320100, 4320149, 4320150, 4320151}), 5u);
    EXPECT_EQ(readings_for(100, {4320050, 4320149, 4320300}), 3u);
}

TEST(Delay, ATerminalGoneEndsTheWaitAtOnce) {
    // A clock that stands still would hold the wait forever.
    EXPECT_EQ(readings_for(300, std::vector<int>(100, 4320050), 5), 5u);
}

TEST(Delay, ZeroAndNegativeFactorsReadTheClockTwice) {
    EXPECT_EQ(readings_for(0, {100, 100}), 2u);
    EXPECT_EQ(readings_for(-50, {100, 100}), 2u);
    EXPECT_EQ(readings_for(-2147483647 - 1, {100, 100}), 2u);
}

TEST(Delay, CrossingMidnightStillEnds) {
    // 23:59:59.95, then one hundredth a reading through midnight.
    EXPECT_EQ(readings_for(10, {8639995}), 11u);
    EXPECT_EQ(readings_for(300, {8639900}), 301u);
}

TEST(Delay, AClockSetBackOrForwardDoesNotChangeTheWait) {
    // Set back an hour after 5 hundredths: the wait still lasts 10 in all.
    EXPECT_EQ(readings_for(10, {4320000, 4320001, 4320002, 4320003, 4320004, 4320005, 3960005}), 12u);
    // Set forward an hour: the jump does not count as time waited.
    EXPECT_EQ(readings_for(10, {4320000, 4320005, 4680005}), 8u);
}

std::chrono::steady_clock::time_point give_up;

bool before_giving_up() {
    return std::chrono::steady_clock::now() < give_up;
}

TEST(Delay, AWallClockThatFailsStillMovesOn) {
    // From the first reading on: the time of day goes on with the monotonic
    // clock, so the wait still ends.
    wall_clock_fails = true;
    give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    cards::detail::delay_on(10, console::gettime, before_giving_up);
    wall_clock_fails = false;
    EXPECT_TRUE(before_giving_up()) << "with the wall clock failing, the time of day stood still";
}

TEST(Delay, WaitsOnTheRealClock) {
    const auto start = std::chrono::steady_clock::now();
    cards::delay(20);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(190));  // the first hundredth may be nearly over
    EXPECT_LT(waited, std::chrono::seconds(10));
}

}  // namespace
