#include "apstring.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>

#include "streams.h"

// ---- Allocation tracking ---------------------------------------------------
// This binary replaces the global array new and delete: each array carries
// its size in a header just before it, so the tests can see how large a
// value's array is, and how many arrays it allocates.

namespace {

// Keeps the array that follows as aligned as new[] must.
constexpr std::size_t kHeader = alignof(std::max_align_t);

long array_news = 0;
long array_news_before_failure = -1;  // counts down; the allocation at 0 throws

// The size of the array new that returned p: a value's capacity.
int capacity_of(const apstring& s) {
    std::size_t size = 0;
    std::memcpy(&size, s.c_str() - kHeader, sizeof size);
    return static_cast<int>(size);
}

}  // namespace

void* operator new[](std::size_t size) {
    if (array_news_before_failure >= 0 && array_news_before_failure-- == 0) {
        throw std::bad_alloc();
    }
    auto* block = static_cast<char*>(std::malloc(kHeader + size));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    ++array_news;
    std::memcpy(block, &size, sizeof size);
    return block + kHeader;
}

void operator delete[](void* p) noexcept {
    if (p != nullptr) {
        std::free(static_cast<char*>(p) - kHeader);
    }
}

void operator delete[](void* p, std::size_t) noexcept {
    operator delete[](p);
}

namespace {

// Counts the array allocations made while it lives.
struct NewCounter {
    long start = array_news;
    long count() const { return array_news - start; }
};

using testing_support::rest_of;

// ---- Construction and assignment -------------------------------------------

TEST(ApstringConstruction, EveryValueOwnsAnExactFitArray) {
    const apstring empty;
    EXPECT_EQ(empty.length(), 0);
    EXPECT_EQ(capacity_of(empty), 1);
    EXPECT_STREQ(empty.c_str(), "");

    const apstring from_empty("");
    EXPECT_EQ(from_empty.length(), 0);
    EXPECT_EQ(capacity_of(from_empty), 1);

    const apstring diamonds("Diamonds");
    EXPECT_EQ(diamonds.length(), 8);
    EXPECT_EQ(capacity_of(diamonds), 9);
    EXPECT_STREQ(diamonds.c_str(), "Diamonds");

    apstring grown("abc");
    grown += 'd';  // leaves spare room
    ASSERT_GT(capacity_of(grown), 5);
    const apstring copy(grown);
    EXPECT_EQ(capacity_of(copy), 5);
    EXPECT_STREQ(copy.c_str(), "abcd");
    EXPECT_NE(copy.c_str(), grown.c_str());
}

TEST(ApstringConstruction, CopiesNeverShareText) {
    apstring original("Hearts");
    apstring copy(original);
    copy[0] = 'h';
    EXPECT_STREQ(original.c_str(), "Hearts");
    apstring assigned;
    assigned = original;
    assigned[1] = 'E';
    EXPECT_STREQ(original.c_str(), "Hearts");
    EXPECT_STREQ(assigned.c_str(), "HEarts");
}

TEST(ApstringAssignment, ReusesALargeEnoughArrayAndOtherwiseFitsExactly) {
    apstring s("Diamonds");
    const char* array = s.c_str();
    NewCounter counter;
    s = apstring("Ace");
    EXPECT_EQ(counter.count(), 1);  // only the temporary
    EXPECT_EQ(s.c_str(), array);
    EXPECT_EQ(capacity_of(s), 9);
    EXPECT_STREQ(s.c_str(), "Ace");
    EXPECT_EQ(s.length(), 3);

    s = "Queen of Hearts";
    EXPECT_EQ(capacity_of(s), 16);
    EXPECT_EQ(s.length(), 15);

    const apstring longer("a much longer text than before");
    s = longer;
    EXPECT_EQ(capacity_of(s), longer.length() + 1);
    EXPECT_STREQ(s.c_str(), longer.c_str());
}

TEST(ApstringAssignment, SelfAndOwnTextLeaveTheValueAlone) {
    apstring s("Spades");
    const char* array = s.c_str();
    NewCounter counter;
    const apstring& same = s;
    s = same;
    s = s.c_str();
    EXPECT_EQ(counter.count(), 0);
    EXPECT_EQ(s.c_str(), array);
    EXPECT_STREQ(s.c_str(), "Spades");

    s = s.c_str() + 2;  // a later position in its own array
    EXPECT_EQ(counter.count(), 0);
    EXPECT_STREQ(s.c_str(), "ades");
    EXPECT_EQ(s.length(), 4);
}

TEST(ApstringAssignment, ACharacterNeedsTwoCharacters) {
    apstring s;
    s = 'x';
    EXPECT_EQ(s.length(), 1);
    EXPECT_EQ(capacity_of(s), 2);
    EXPECT_STREQ(s.c_str(), "x");

    apstring big("Diamonds");
    big = 'y';
    EXPECT_EQ(capacity_of(big), 9);
    EXPECT_STREQ(big.c_str(), "y");

    apstring nul("abc");
    nul = '\0';
    EXPECT_EQ(nul.length(), 1);
    EXPECT_STREQ(nul.c_str(), "");
}

TEST(ApstringAllocation, AFailedAllocationLeavesTheValueAsItWas) {
    const apstring longer("a much longer text");
    for (long survivors = 0; survivors < 2; survivors++) {
        apstring s("abc");
        array_news_before_failure = 0;
        EXPECT_THROW(s = longer, std::bad_alloc);
        array_news_before_failure = 0;
        EXPECT_THROW(s = "another long text", std::bad_alloc);
        array_news_before_failure = survivors;  // the copy of the argument, then the array
        EXPECT_THROW(s += longer, std::bad_alloc);
        array_news_before_failure = -1;
        EXPECT_STREQ(s.c_str(), "abc");
        EXPECT_EQ(s.length(), 3);
        EXPECT_EQ(capacity_of(s), 4);
        s += longer;  // and it still works
        EXPECT_EQ(s.length(), 3 + longer.length());
    }
}

#ifdef BLACKJACK_LARGE_TESTS
// Texts longer than an int can count take gigabytes of address space, and
// the copy below a real 1.2 GB: built only with BLACKJACK_LARGE_TESTS.

// A NUL-terminated text of length 'x' characters that costs almost no
// memory: one block of 'x' mapped again and again, the NUL in the last.
class HugeText {
public:
    explicit HugeText(std::size_t length) : size_((length / kBlock + 1) * kBlock) {
        base_ = static_cast<char*>(mmap(nullptr, size_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
        const int xs = block_with_nul_at(kBlock);
        const int last = block_with_nul_at(length % kBlock);
        for (std::size_t at = 0; at < size_; at += kBlock) {
            if (mmap(base_ + at, kBlock, PROT_READ, MAP_SHARED | MAP_FIXED, at + kBlock < size_ ? xs : last, 0) ==
                MAP_FAILED) {
                ADD_FAILURE() << "cannot map the text";
                break;
            }
        }
        close(xs);
        close(last);
    }
    ~HugeText() { munmap(base_, size_); }
    HugeText(const HugeText&) = delete;
    HugeText& operator=(const HugeText&) = delete;

    const char* c_str() const { return base_; }

private:
    static constexpr std::size_t kBlock = 1 << 20;

    // A block of 'x', with a NUL at nul unless nul is past its end.
    static int block_with_nul_at(std::size_t nul) {
        const int fd = memfd_create("huge-text", 0);
        if (fd < 0 || ftruncate(fd, kBlock) != 0) {
            return -1;
        }
        auto* block = static_cast<char*>(mmap(nullptr, kBlock, PROT_WRITE, MAP_SHARED, fd, 0));
        std::memset(block, 'x', kBlock);
        if (nul < kBlock) {
            block[nul] = '\0';
        }
        munmap(block, kBlock);
        return fd;
    }

    std::size_t size_;
    char* base_;
};

TEST(ApstringLength, TextAnIntCannotCountIsRefusedAndNothingChanges) {
    for (const std::size_t length : {std::size_t{INT_MAX}, std::size_t{0xFFFFFFFFu}, (std::size_t{1} << 32) + 3}) {
        const HugeText huge(length);
        ASSERT_EQ(std::strlen(huge.c_str()), length);
        EXPECT_THROW(apstring{huge.c_str()}, std::length_error) << length;
        apstring kept("kept");
        EXPECT_THROW(kept = huge.c_str(), std::length_error) << length;
        EXPECT_STREQ(kept.c_str(), "kept");
        EXPECT_EQ(kept.length(), 4);
    }

    // Two texts of 1.2e9 characters each would make one longer than INT_MAX.
    const HugeText source(1200000000);
    apstring big(source.c_str());
    ASSERT_EQ(big.length(), 1200000000);
    EXPECT_THROW(big += big, std::length_error);
    EXPECT_EQ(big.length(), 1200000000);
    EXPECT_EQ(capacity_of(big), 1200000001);
}

#endif

// ---- Element access ----------------------------------------------------------

TEST(ApstringAccess, ReadsAndWritesInsideTheText) {
    apstring s("King");
    const apstring& view = s;
    EXPECT_EQ(view[0], 'K');
    EXPECT_EQ(view[3], 'g');
    s[0] = 'k';
    EXPECT_STREQ(s.c_str(), "king");
    EXPECT_EQ(s.length(), 4);
}

// ---- Appending and concatenation --------------------------------------------

TEST(ApstringAppend, SingleCharactersGrowGeometrically) {
    apstring s;
    std::string expected;
    int reallocations = 0;
    for (int n = 1; n <= 50; n++) {
        const char* before = s.c_str();
        const int old_capacity = capacity_of(s);
        const char c = static_cast<char>('a' + n % 26);
        s += c;
        expected += c;
        if (s.c_str() != before) {
            reallocations++;
            EXPECT_EQ(capacity_of(s), 2 * (old_capacity + 1)) << "append " << n;
            EXPECT_TRUE(n == 1 || n == 4 || n == 10 || n == 22 || n == 46) << "append " << n;
        }
    }
    EXPECT_EQ(reallocations, 5);
    EXPECT_EQ(capacity_of(s), 94);
    EXPECT_EQ(s.c_str(), expected);
    EXPECT_EQ(s.length(), 50);

    apstring one_char_value("abc");
    one_char_value += apstring("d");  // a one-character value doubles too
    EXPECT_EQ(capacity_of(one_char_value), 10);
}

TEST(ApstringAppend, LongerAppendsFitExactlyAndAlwaysCopyFirst) {
    apstring s("abc");
    ASSERT_EQ(capacity_of(s), 4);
    const apstring two("de");
    NewCounter counter;
    s += two;
    EXPECT_EQ(counter.count(), 2);  // the copy of the argument, then the new array
    EXPECT_EQ(s.length(), 5);
    EXPECT_EQ(capacity_of(s), 6);
    EXPECT_STREQ(s.c_str(), "abcde");

    apstring roomy("Diamonds");
    roomy = "ab";
    NewCounter fits;
    roomy += two;
    EXPECT_EQ(fits.count(), 1);  // the copy only: the array has room
    EXPECT_STREQ(roomy.c_str(), "abde");
}

TEST(ApstringAppend, ToItselfAndNothing) {
    apstring s("xyz");
    s += s;
    EXPECT_STREQ(s.c_str(), "xyzxyz");
    EXPECT_EQ(s.length(), 6);

    const char* array = s.c_str();
    const int capacity = capacity_of(s);
    s += apstring();
    EXPECT_EQ(s.c_str(), array);
    EXPECT_EQ(capacity_of(s), capacity);
    EXPECT_EQ(s.length(), 6);
}

TEST(ApstringConcatenation, ResultsAreExactFits) {
    const apstring ace_of = apstring("Ace") + apstring(" of ");
    EXPECT_STREQ(ace_of.c_str(), "Ace of ");
    EXPECT_EQ(ace_of.length(), 7);
    EXPECT_EQ(capacity_of(ace_of), 8);

    const apstring prefixed = 'Q' + apstring("ueen");
    EXPECT_STREQ(prefixed.c_str(), "Queen");
    EXPECT_EQ(capacity_of(prefixed), 6);

    const apstring suffixed = apstring("Spade") + 's';
    EXPECT_STREQ(suffixed.c_str(), "Spades");
    EXPECT_EQ(capacity_of(suffixed), 7);

    const apstring lhs("10");
    const apstring both = lhs + lhs;
    EXPECT_STREQ(both.c_str(), "1010");
    EXPECT_STREQ(lhs.c_str(), "10");
}

// ---- Substrings and searching ------------------------------------------------

TEST(ApstringSubstr, ClampsToTheText) {
    const apstring diamonds("Diamonds");
    const struct {
        int pos;
        int len;
        const char* expected;
    } cases[] = {
        {2, 3, "amo"},   {-5, 3, "Dia"},     {5, 100, "nds"},      {8, 1, ""},
        {0, 0, ""},      {3, -2, ""},        {0, 8, "Diamonds"},   {7, 1, "s"},
        {2, INT_MAX, "amonds"}, {INT_MAX, INT_MAX, ""}, {INT_MIN, 2, "Di"}, {1, INT_MIN, ""},
        {0, INT_MIN, ""},       {-5, INT_MIN, ""},      {7, INT_MIN + 1, ""}, {INT_MIN, INT_MIN, ""},
    };
    for (const auto& c : cases) {
        const apstring part = diamonds.substr(c.pos, c.len);
        EXPECT_STREQ(part.c_str(), c.expected) << c.pos << ", " << c.len;
        EXPECT_EQ(capacity_of(part), part.length() + 1) << c.pos << ", " << c.len;
    }
    EXPECT_STREQ(apstring().substr(0, 5).c_str(), "");
    EXPECT_STREQ(apstring().substr(-1, 1).c_str(), "");
}

TEST(ApstringFind, ReturnsTheLowestPositionOrNpos) {
    const apstring diamonds("Diamonds");
    EXPECT_EQ(diamonds.find(apstring("mon")), 3);
    EXPECT_EQ(diamonds.find(apstring("")), 0);
    EXPECT_EQ(apstring().find(apstring("")), 0);
    EXPECT_EQ(diamonds.find(apstring("Diamonds!")), npos);
    EXPECT_EQ(diamonds.find(apstring("dia")), npos);
    EXPECT_EQ(apstring("abcabc").find(apstring("bc")), 1);
    EXPECT_EQ(diamonds.find(apstring("s")), 7);

    EXPECT_EQ(apstring("Hearts").find('s'), 5);
    EXPECT_EQ(apstring("Hearts").find('e'), 1);
    EXPECT_EQ(apstring("Hearts").find('z'), -1);
    EXPECT_EQ(apstring("Hearts").find('\0'), -1);
    EXPECT_EQ(npos, -1);
}

TEST(ApstringFind, StopsAtTheFirstNulLikeComparisonAndOutput) {
    apstring text("a");
    text += '\0';
    text += 'b';
    ASSERT_EQ(text.length(), 3);
    EXPECT_EQ(text.find(apstring("b")), npos);
    EXPECT_EQ(text.find('b'), npos);
    EXPECT_EQ(text.find('\0'), npos);
    EXPECT_EQ(text.find(apstring("a")), 0);
    EXPECT_TRUE(text == apstring("a"));

    apstring needle("b");
    needle += '\0';
    needle += 'z';
    EXPECT_EQ(apstring("abc").find(needle), 1);  // the needle is "b"
}

TEST(ApstringCompare, OrdersByUnsignedBytes) {
    const apstring ace("Ace");
    const apstring jack("Jack");
    EXPECT_TRUE(ace < jack);
    EXPECT_TRUE(ace <= jack);
    EXPECT_TRUE(jack > ace);
    EXPECT_TRUE(jack >= ace);
    EXPECT_FALSE(jack < ace);
    EXPECT_TRUE(jack < apstring("Jacks"));
    EXPECT_TRUE(apstring("Z") < apstring("a"));
    EXPECT_TRUE(apstring("z") < apstring("\x80"));
    EXPECT_TRUE(apstring("\xff") > apstring("~"));
    EXPECT_TRUE(ace == apstring("Ace"));
    EXPECT_TRUE(ace != apstring("ace"));
    EXPECT_FALSE(ace != apstring("Ace"));
    EXPECT_TRUE(ace <= ace);
    EXPECT_TRUE(ace >= ace);
    EXPECT_FALSE(ace < ace);
    EXPECT_FALSE(ace > ace);
}

// ---- Streams -----------------------------------------------------------------

TEST(ApstringOutput, WritesTheTextAndHonoursWidth) {
    std::ostringstream out;
    out << apstring("Queen") << apstring(" of ") << apstring("Hearts");
    EXPECT_EQ(out.str(), "Queen of Hearts");

    std::ostringstream padded;
    padded << std::setw(6) << std::setfill('*') << apstring("Ace") << apstring("|");
    EXPECT_EQ(padded.str(), "***Ace|");
}

TEST(ApstringInput, WordsSkipSpaceAndStopAtSpace) {
    std::istringstream in("  Better Luck Next Time!\n");
    apstring word("old");
    in >> word;
    EXPECT_STREQ(word.c_str(), "Better");
    EXPECT_TRUE(in.good());
    EXPECT_EQ(rest_of(in), " Luck Next Time!\n");

    std::istringstream tail("last");
    tail >> word;
    EXPECT_STREQ(word.c_str(), "last");
    EXPECT_TRUE(tail.eof());
    EXPECT_FALSE(tail.fail());
}

TEST(ApstringInput, LinesKeepLeadingSpaceAndDropTheLineFeed) {
    std::istringstream in("  Better Luck Next Time!\n\nnext");
    apstring line;
    getline(in, line);
    EXPECT_STREQ(line.c_str(), "  Better Luck Next Time!");
    getline(in, line);
    EXPECT_STREQ(line.c_str(), "");
    EXPECT_TRUE(in.good());
    getline(in, line);
    EXPECT_STREQ(line.c_str(), "next");
    EXPECT_TRUE(in.eof());
    EXPECT_FALSE(in.fail());
}

TEST(ApstringInput, LongLinesAreReadIn1023CharacterPieces) {
    const std::string long_line(1500, 'x');
    std::istringstream in(long_line + "\n");
    apstring line;
    getline(in, line);
    EXPECT_EQ(line.length(), 1023);
    EXPECT_TRUE(in.good());
    getline(in, line);
    EXPECT_EQ(line.length(), 477);
    EXPECT_EQ(rest_of(in), "");

    std::istringstream exact(std::string(1023, 'y') + "\nz\n");
    getline(exact, line);
    EXPECT_EQ(line.length(), 1023);
    getline(exact, line);
    EXPECT_STREQ(line.c_str(), "");
    getline(exact, line);
    EXPECT_STREQ(line.c_str(), "z");

    std::istringstream shorter(std::string(1022, 'w') + "\nz");
    getline(shorter, line);
    EXPECT_EQ(line.length(), 1022);
    EXPECT_EQ(rest_of(shorter), "z");
}

TEST(ApstringInput, AVeryLongWordNeverOverrunsTheBuffer) {
    const std::string word(5000, 'q');
    for (const std::streamsize width : {std::streamsize{0}, std::streamsize{5000}, std::streamsize{1025}}) {
        std::istringstream in(word + " after");
        in.width(width);
        apstring s;
        in >> s;
        EXPECT_EQ(s.length(), 1023) << "width " << width;
        EXPECT_EQ(in.width(), 0);
        EXPECT_FALSE(in.fail());
        EXPECT_EQ(rest_of(in), std::string(5000 - 1023, 'q') + " after");
    }

    apstring s;
    // A width of 1 leaves no room: the read stops there, even at the end.
    for (const char* text : {"Diamonds", ""}) {
        std::istringstream none(text);
        none >> std::noskipws >> std::setw(1) >> s;
        EXPECT_STREQ(s.c_str(), "") << text;
        EXPECT_FALSE(none.fail()) << text;
        EXPECT_EQ(rest_of(none), text);
    }

    std::istringstream narrow("Diamonds");
    narrow >> std::setw(4) >> s;
    EXPECT_STREQ(s.c_str(), "Dia");
    EXPECT_EQ(narrow.width(), 0);
    EXPECT_EQ(rest_of(narrow), "monds");
}

TEST(ApstringInput, FailuresLeaveTheTargetEmpty) {
    apstring s("full");
    std::istringstream blank("   \n  ");
    blank >> s;
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_TRUE(blank.eof());
    EXPECT_TRUE(blank.fail());

    s = "full";
    std::istringstream empty("");
    getline(empty, s);
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_TRUE(empty.eof());
    EXPECT_TRUE(empty.fail());

    s = "full";
    std::istringstream failed("words here");
    failed.setstate(std::ios::failbit);
    failed >> s;
    EXPECT_STREQ(s.c_str(), "");
    s = "full";
    getline(failed, s);
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_EQ(rest_of(failed), "words here");

    s = "full";
    std::istringstream ended("x");
    ended.setstate(std::ios::eofbit);
    ended >> s;
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_TRUE(ended.fail());

    s = "full";
    std::istringstream spaced(" word");
    spaced >> std::noskipws >> s;
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_FALSE(spaced.fail());
    EXPECT_EQ(rest_of(spaced), " word");
}

// ---- Broken preconditions ------------------------------------------------------

// The exact report on stderr, the line number left open.
std::string report(const std::string& before, const char* expression) {
    std::string pattern = "^";
    for (const char c : before + "\r\nAssertion failed: " + expression + ", file apstring.cpp, line ") {
        if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) {
            pattern += '\\';
        }
        pattern += c;
    }
    return pattern + "[0-9]+\r\n\r\nAbnormal program termination\r\n$";
}

// An exit handler and buffered output both go to stderr, where the death test
// looks; neither may show, since the program must end without them.
void leave_traces_that_must_not_show() {
    std::atexit([] { std::fputs("exit handler ran", stderr); });
    // Only the exit-time flush of all streams would write this.
    FILE* buffered = fdopen(dup(STDERR_FILENO), "w");
    static char buffer[BUFSIZ];
    std::setvbuf(buffered, buffer, _IOFBF, sizeof buffer);
    std::fputs("unflushed output", buffered);
}

TEST(ApstringDeathTest, IndexOutOfRangeReportsAndEndsWithStatus3) {
    const apstring s("abc");
    EXPECT_EXIT(
        {
            leave_traces_that_must_not_show();
            (void)s[-1];
        },
        testing::ExitedWithCode(3), report("index out of range: -1 string: abc\n", "0 <= k && k < myLength"));
    EXPECT_EXIT((void)s[3], testing::ExitedWithCode(3),
                report("index out of range: 3 string: abc\n", "0 <= k && k < myLength"));
    apstring writable("xy");
    EXPECT_EXIT(writable[2] = 'z', testing::ExitedWithCode(3),
                report("index out of range: 2 string: xy\n", "0 <= k && k < myLength"));
    apstring empty;
    EXPECT_EXIT(empty[0] = 'z', testing::ExitedWithCode(3),
                report("index out of range: 0 string: \n", "0 <= k && k < myLength"));
    // Whatever formatting the caller left on std::cerr, the report is plain.
    EXPECT_EXIT(
        {
            std::cerr << std::hex << std::showbase << std::setw(30) << std::setfill('*');
            (void)s[-20];
        },
        testing::ExitedWithCode(3), report("index out of range: -20 string: abc\n", "0 <= k && k < myLength"));
}

TEST(ApstringDeathTest, NullTextReportsAndEndsWithStatus3) {
    const char* null_text = nullptr;
    EXPECT_EXIT(apstring s(null_text), testing::ExitedWithCode(3), report("", "s != 0"));
    apstring target("kept");
    EXPECT_EXIT(target = null_text, testing::ExitedWithCode(3), report("", "s != 0"));
}

}  // namespace
