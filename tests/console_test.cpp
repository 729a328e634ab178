#include "console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <ctime>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pty_child.h"
#include "streams.h"
#include "tmux_session.h"

namespace {

using testing_support::PtyChild;
using testing_support::Screen;
using testing_support::TmuxSession;

using testing_support::rest_of;

// ---- Number and character input ------------------------------------------------

TEST(ReadNumber, ParsesLikeTheConsole) {
    const struct {
        const char* input;
        int value;  // what the variable holds afterwards; 77 when unchanged
        bool ok;
        const char* rest;
    } cases[] = {
        {"012", 10, true, ""},
        {"0x1f", 31, true, ""},
        {"0X1F\n", 31, true, "\n"},
        {"08", 0, true, "8"},
        {"09\n", 0, true, "9\n"},
        {"0\n", 0, true, "\n"},
        {"077", 63, true, ""},
        {"50abc\n", 50, true, "abc\n"},
        {"4294967296", 0, true, ""},
        {"2147483648", INT_MIN, true, ""},
        {"4294967295", -1, true, ""},
        {"-2147483648", INT_MIN, true, ""},
        {"  \n\n\t -17 more", -17, true, " more"},
        {"+500\n", 500, true, "\n"},
        {"-0x10", -16, true, ""},
        {"1.5", 1, true, ".5"},
        {"yes\n", 77, false, "yes\n"},
        {"- 5", 77, false, " 5"},
        {"0xg", 77, false, "g"},
        {"0x", 77, false, ""},
        {"+", 77, false, ""},
        {"", 77, false, ""},
        {"  \n  ", 77, false, ""},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.input);
        int value = 77;
        console::read_number(in, value);
        EXPECT_EQ(value, c.value) << '"' << c.input << '"';
        EXPECT_EQ(!in.fail(), c.ok) << '"' << c.input << '"';
        EXPECT_EQ(rest_of(in), c.rest) << '"' << c.input << '"';
    }
}

TEST(ReadNumber, SetsEndOfFileOnlyWhenInputRanOut) {
    std::istringstream whole("42");
    int value = 0;
    console::read_number(whole, value);
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(whole.eof());
    EXPECT_FALSE(whole.fail());

    std::istringstream line("42\n");
    console::read_number(line, value);
    EXPECT_TRUE(line.good());
}

TEST(ReadNumber, AFailedStreamStaysFailedUntilCleared) {
    std::istringstream in("abc 12 34");
    int value = 5;
    EXPECT_FALSE(console::read_number(in, value));
    EXPECT_FALSE(console::read_number(in, value));
    char c = 'q';
    EXPECT_FALSE(console::read_char(in, c));
    EXPECT_EQ(value, 5);
    EXPECT_EQ(c, 'q');

    in.clear();
    in.ignore(3);
    EXPECT_TRUE(console::read_number(in, value));
    EXPECT_EQ(value, 12);
    EXPECT_TRUE(console::read_number(in, value));
    EXPECT_EQ(value, 34);
}

TEST(ReadNumber, FlushesTheTiedStreamFirst) {
    // A prompt still in its stream's buffer must be out before input is read.
    struct CountingBuffer : std::stringbuf {
        int syncs = 0;
        int sync() override {
            syncs++;
            return std::stringbuf::sync();
        }
    } prompt_buffer;
    std::ostream prompt(&prompt_buffer);
    std::istringstream in("7");
    in.tie(&prompt);
    prompt << "How much? ";
    int value = 0;
    console::read_number(in, value);
    EXPECT_EQ(prompt_buffer.syncs, 1);
    EXPECT_EQ(value, 7);
}

TEST(ReadChar, TakesOneCharacterAndLeavesTheRest) {
    std::istringstream in("\n\n   yes\nh\n");
    char c = 0;
    EXPECT_TRUE(console::read_char(in, c));
    EXPECT_EQ(c, 'y');
    EXPECT_TRUE(console::read_char(in, c));
    EXPECT_EQ(c, 'e');
    EXPECT_TRUE(console::read_char(in, c));
    EXPECT_EQ(c, 's');
    EXPECT_TRUE(console::read_char(in, c));
    EXPECT_EQ(c, 'h');
    EXPECT_EQ(rest_of(in), "\n");

    std::istringstream ended(" \n ");
    c = 'k';
    EXPECT_FALSE(console::read_char(ended, c));
    EXPECT_TRUE(ended.eof());
    EXPECT_EQ(c, 'k');
}

TEST(ToUpper, OnlyLowerCaseLettersChange) {
    for (int c = -1; c < 256; c++) {
        const int expected = c >= 'a' && c <= 'z' ? c - 32 : c;
        EXPECT_EQ(console::toupper(c), expected) << c;
    }
    EXPECT_EQ(console::toupper(INT_MIN), INT_MIN);
}

TEST(GetTime, ReadsTheLocalTimeOfDay) {
    console::time_of_day t{};
    const std::time_t before = std::time(nullptr);
    console::gettime(&t);
    const std::time_t after = std::time(nullptr);
    std::tm local{};
    localtime_r(&before, &local);
    const int seconds = t.ti_hour * 3600 + t.ti_min * 60 + t.ti_sec;
    const int expected = local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
    EXPECT_LE(t.ti_hund, 99);
    EXPECT_GE(seconds, expected);
    EXPECT_LE(seconds, expected + static_cast<int>(after - before));
}

// ---- Key input through a real terminal -----------------------------------------

// The child reads count keys with getch and reports, for each, the code and
// whether the terminal's mode afterwards was the one from before the call.
void read_keys(const PtyChild::Reporter& report, int count) {
    for (int i = 0; i < count; i++) {
        termios before{};
        tcgetattr(STDIN_FILENO, &before);
        report(console::getch());
        termios after{};
        tcgetattr(STDIN_FILENO, &after);
        report(before.c_lflag == after.c_lflag && before.c_iflag == after.c_iflag &&
               before.c_cc[VMIN] == after.c_cc[VMIN]);
    }
}

// The codes of the reports above, checking that every call left the mode as
// it found it.
std::vector<int> codes_of(const std::vector<int>& reports) {
    std::vector<int> codes;
    for (std::size_t i = 0; i + 1 < reports.size(); i += 2) {
        codes.push_back(reports[i]);
        EXPECT_EQ(reports[i + 1], 1) << "mode not restored after key " << i / 2;
    }
    return codes;
}

// Types the bytes in one burst while the child waits in getch. Only for
// bytes that line mode leaves alone, since the child passes through line
// mode between calls.
std::vector<int> keys_for(const std::string& typed, int count) {
    PtyChild child([count](const PtyChild::Reporter& report) { read_keys(report, count); });
    child.start();
    EXPECT_TRUE(child.wait_key_mode());
    child.type(typed);
    const std::vector<int> codes = codes_of(child.reports(2 * count));
    EXPECT_TRUE(testing_support::is_line_mode(child.mode()));
    return codes;
}

TEST(GetCh, PlainKeysAndControlCharacters) {
    EXPECT_EQ(keys_for("aZ 9", 4), (std::vector<int>{'a', 'Z', ' ', '9'}));

    // Keys that line mode would act on go one at a time, each into getch.
    const std::vector<std::string> keys = {"\r", "\x03", "\x1a", "\x7f", "\x11", "\x13"};
    PtyChild child([&keys](const PtyChild::Reporter& report) { read_keys(report, static_cast<int>(keys.size())); });
    child.start();
    std::vector<int> codes;
    for (const std::string& key : keys) {
        ASSERT_TRUE(child.wait_key_mode());
        child.type(key);
        const std::vector<int> got = codes_of(child.reports(2));
        codes.insert(codes.end(), got.begin(), got.end());
    }
    EXPECT_EQ(codes, (std::vector<int>{13, 3, 26, 127, 17, 19}));
    EXPECT_TRUE(testing_support::is_line_mode(child.mode()));
}

TEST(GetCh, CtrlCInterruptsNothing) {
    PtyChild child([](const PtyChild::Reporter& report) {
        report(console::getch());
        report(42);
    });
    child.start();
    ASSERT_TRUE(child.wait_key_mode());
    child.type("\x03");
    EXPECT_EQ(child.reports(2), (std::vector<int>{3, 42}));
    const auto status = child.wait_exit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFEXITED(*status));
}

TEST(GetCh, CursorAndFunctionKeysGiveTwoCodes) {
    const struct {
        const char* sequence;
        int second;
    } keys[] = {
        {"\x1b[A", console::key::Up},        {"\x1b[B", console::key::Down},
        {"\x1b[C", console::key::Right},     {"\x1b[D", console::key::Left},
        {"\x1bOA", console::key::Up},        {"\x1b[1;5C", console::key::Right},
        {"\x1b[H", console::key::Home},      {"\x1b[F", console::key::End},
        {"\x1b[1~", console::key::Home},     {"\x1b[4~", console::key::End},
        {"\x1b[7~", console::key::Home},     {"\x1b[8~", console::key::End},
        {"\x1bOH", console::key::Home},      {"\x1bOF", console::key::End},
        {"\x1b[2~", console::key::Insert},   {"\x1b[3~", console::key::Delete},
        {"\x1b[5~", console::key::PageUp},   {"\x1b[6~", console::key::PageDown},
        {"\x1bOP", 59},                      {"\x1bOS", 62},
        {"\x1b[11~", 59},                    {"\x1b[15~", 63},
        {"\x1b[17~", 64},                    {"\x1b[21~", 68},
        {"\x1b[23~", console::key::F11},     {"\x1b[24~", console::key::F12},
        {"\x1b[[A", 59},                     {"\x1b[[E", 63},
        {"\x1b[1;2P", 59},                   {"\x1b[3;5~", console::key::Delete},
    };
    std::string typed;
    std::vector<int> expected;
    for (const auto& k : keys) {
        typed += k.sequence;
        expected.push_back(0);
        expected.push_back(k.second);
    }
    EXPECT_EQ(keys_for(typed, static_cast<int>(expected.size())), expected);
}

TEST(GetCh, UnknownSequencesAreSwallowedWhole) {
    // Bracketed paste marks, a made-up final byte, a focus report, Alt+x and
    // F13 all vanish; only the plain keys after them come through.
    EXPECT_EQ(keys_for("\x1b[200~a\x1b[99zb\x1b[Ic\x1bxd\x1b[25~e\x1b[1;2Xf", 6),
              (std::vector<int>{'a', 'b', 'c', 'd', 'e', 'f'}));
}

TEST(GetCh, ALoneEscIsItsOwnKey) {
    PtyChild child([](const PtyChild::Reporter& report) { read_keys(report, 2); });
    child.start();
    ASSERT_TRUE(child.wait_key_mode());
    child.type("\x1b");
    EXPECT_EQ(codes_of(child.reports(2)), (std::vector<int>{27}));
    ASSERT_TRUE(child.wait_key_mode());
    child.type("[");
    EXPECT_EQ(codes_of(child.reports(2)), (std::vector<int>{'['}));
}

TEST(GetCh, ACharacterOfSeveralBytesIsOneKey) {
    EXPECT_EQ(keys_for("\xc3\xa9k\xe2\x82\xacz", 4), (std::vector<int>{0xc3, 'k', 0xe2, 'z'}));
}

TEST(GetCh, KeysTypedBeforeTheCallComeFirstInOrder) {
    PtyChild child([](const PtyChild::Reporter& report) { read_keys(report, 3); });
    child.type("abc");
    child.start();
    EXPECT_EQ(codes_of(child.reports(6)), (std::vector<int>{'a', 'b', 'c'}));
}

TEST(GetCh, NeverTakesWhatLineInputHasBuffered) {
    PtyChild child([](const PtyChild::Reporter& report) {
        int number = 0;
        console::read_number(std::cin, number);
        report(number);
        report(console::getch());
        console::read_number(std::cin, number);
        report(number);
    });
    child.start();
    child.type("12 34\n");
    EXPECT_EQ(child.reports(1), (std::vector<int>{12}));
    ASSERT_TRUE(child.wait_key_mode());
    child.type("k");
    EXPECT_EQ(child.reports(2), (std::vector<int>{'k', 34}));
}

TEST(GetCh, ModeIsRestoredWhenTerminatedWhileWaiting) {
    for (const int sig : {SIGTERM, SIGHUP, SIGQUIT}) {
        PtyChild child([](const PtyChild::Reporter& report) { report(console::getch()); });
        child.start();
        ASSERT_TRUE(child.wait_key_mode());
        EXPECT_FALSE(testing_support::is_line_mode(child.mode()));
        kill(child.pid(), sig);
        const auto status = child.wait_exit();
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFSIGNALED(*status)) << sig;
        EXPECT_EQ(WTERMSIG(*status), sig);
        EXPECT_TRUE(testing_support::is_line_mode(child.mode())) << "signal " << sig;
    }
}

TEST(GetCh, StoppedWhileWaitingGivesTheTerminalBackUntilContinued) {
    // Stop signals to an orphaned process group are dropped, so getch runs in
    // a grandchild with its own foreground group, as a shell would start it.
    PtyChild child([](const PtyChild::Reporter& report) {
        const pid_t waiter = fork();
        if (waiter == 0) {
            setpgid(0, 0);
            while (tcgetpgrp(STDIN_FILENO) != getpgrp()) {
                usleep(1000);
            }
            report(console::getch());
            _exit(0);
        }
        setpgid(waiter, waiter);
        tcsetpgrp(STDIN_FILENO, waiter);
        report(waiter);
        int status = 0;
        waitpid(waiter, &status, WUNTRACED);
        report(WIFSTOPPED(status) ? 1 : 0);
        waitpid(waiter, &status, 0);
        report(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    });
    child.start();
    const std::vector<int> waiter = child.reports(1);
    ASSERT_EQ(waiter.size(), 1u);
    ASSERT_TRUE(child.wait_key_mode());
    kill(waiter[0], SIGTSTP);
    EXPECT_EQ(child.reports(1), (std::vector<int>{1}));
    EXPECT_TRUE(testing_support::is_line_mode(child.mode()));
    kill(waiter[0], SIGCONT);
    ASSERT_TRUE(child.wait_key_mode());
    child.type("x");
    EXPECT_EQ(child.reports(2), (std::vector<int>{'x', 0}));
    EXPECT_TRUE(testing_support::is_line_mode(child.mode()));
}

TEST(GetCh, ReturnsAtOnceWithoutATerminal) {
    PtyChild child([](const PtyChild::Reporter& report) {
        const int null_input = open("/dev/null", O_RDONLY);
        dup2(null_input, STDIN_FILENO);
        report(console::getch());
        report(console::getch());
    });
    child.start();
    EXPECT_EQ(child.reports(2), (std::vector<int>{-1, -1}));
}

// ---- The screen in a real terminal emulator -----------------------------------

TEST(Screen, ClearGotoAndOutputOrderInARealTerminal) {
    const struct {
        const char* scene;
        std::vector<std::pair<int, std::string>> rows;  // row number and text; all others blank
        std::pair<int, int> cursor;                     // column and row
    } scenes[] = {
        // Thirty lines of junk, then a clear and an X.
        {"clear", {{1, "X"}}, {2, 1}},
        // Off-screen moves are ignored, so C follows B; a tab from column 1
        // reaches column 9.
        {"goto",
         {{1, std::string(79, ' ') + "E"}, {8, std::string(10, ' ') + "A"}, {11, std::string(29, ' ') + "BC"},
          {20, std::string(8, ' ') + "T"}},
         {5, 3}},
        // Standard error lands between the standard output around it.
        {"order", {{1, "outERRput"}, {3, "row three!"}}, {1, 4}},
    };
    for (const auto& scene : scenes) {
        SCOPED_TRACE(scene.scene);
        TmuxSession term(testing_support::shell_quote(CONSOLE_PROBE) + " " + scene.scene);
        Screen expected(24, "");
        for (const auto& [row, text] : scene.rows) {
            expected[row - 1] = text;
        }
        ASSERT_TRUE(term.wait_for([&](const Screen& s) { return s == expected; }))
            << testing_support::join(term.screen());
        EXPECT_EQ(term.cursor(), scene.cursor);
        term.type("q");
        EXPECT_EQ(term.exit_status(), 0);
    }
}

}  // namespace
