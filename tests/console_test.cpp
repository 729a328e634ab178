#include "console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "characters.h"
#include "clock.h"
#include "display_operations.h"
#include "key_chunks.h"
#include "key_decoder.h"
#include "line_editor.h"
#include "screen.h"
#include "screen_record.h"
#include "streams.h"
#include "windows/key_events.h"
#ifndef BLACKJACK_PORTABLE_TESTS_ONLY
#include "pty_process.h"
#include "tmux_session.h"
#endif

namespace {

using console::DecodedKey;
using console::LineEditor;
using testing_support::rest_of;

// ---- Key decoding ----------------------------------------------------------------

// Every key or dropped sequence takes at least one byte, and no more than came.
std::vector<int> decode_chunks(const std::vector<std::string>& chunks, bool one_at_a_time) {
    return testing_support::decode_chunks(chunks, one_at_a_time, console::decode_key,
                                          [](const unsigned char*, std::size_t left, const DecodedKey& key) {
                                              EXPECT_NE(key.kind, DecodedKey::Kind::kNeedMore);
                                              EXPECT_GT(key.consumed, 0u);
                                              EXPECT_LE(key.consumed, left);
                                          });
}

TEST(KeyDecoder, BytesToCodes) {
    const struct {
        std::vector<std::string> chunks;  // a gap after each
        std::vector<int> codes;           // what getch returns, call by call
    } cases[] = {
        {{"aZ 9"}, {'a', 'Z', ' ', '9'}},
        {{"\r\x03\x1a\x7f\x11\x13\x04"}, {13, 3, 26, 127, 17, 19, 4}},
        // Cursor keys in their CSI and SS3 forms, with and without modifiers.
        {{"\x1b[A\x1b[B\x1b[C\x1b[D\x1bOA\x1b[1;5C\x1bO5D"}, {0, 72, 0, 80, 0, 77, 0, 75, 0, 72, 0, 77, 0, 75}},
        {{"\x1b[H\x1b[F\x1b[1~\x1b[4~\x1b[7~\x1b[8~\x1bOH\x1bOF"}, {0, 71, 0, 79, 0, 71, 0, 79, 0, 71, 0, 79, 0, 71, 0, 79}},
        {{"\x1b[2~\x1b[3~\x1b[5~\x1b[6~\x1b[3;5~"}, {0, 82, 0, 83, 0, 73, 0, 81, 0, 83}},
        {{"\x1bOP\x1bOS\x1b[11~\x1b[15~\x1b[17~\x1b[21~\x1b[23~\x1b[24~\x1b[1;2P"},
         {0, 59, 0, 62, 0, 59, 0, 63, 0, 64, 0, 68, 0, 133, 0, 134, 0, 59}},
        {{"\x1b[[A\x1b[[E"}, {0, 59, 0, 63}},  // the Linux console's F1 and F5
        // Paste marks, an unknown final byte, a focus report, F13, an
        // unknown modified key and a terminal's answer all vanish whole.
        {{"\x1b[200~a\x1b[99zb\x1b[Ic\x1b[25~e\x1b[1;2Xf\x1b[?1;2cg"}, {'a', 'b', 'c', 'e', 'f', 'g'}},
        // An old-style mouse report takes its three bytes along, whatever
        // they are; one broken off by a gap goes as far as it came.
        {{"\x1b[M !!a\x1b[M\x1b\xff\x80" "b"}, {'a', 'b'}},
        {{"\x1b[M#", "c"}, {'c'}},
        // Esc and a key that came with it (Esc typed while the game was
        // busy, then n; or Alt+n) are two keys: nothing is swallowed.
        {{"\x1bn"}, {27, 'n'}},
        {{"\x1b\xc3\xa9x"}, {27, 0xc3, 'x'}},
        {{"\x1b\x1b", "x"}, {27, 27, 'x'}},
        {{"\x1b\xf4\xa3+"}, {27, 0xf4, '+'}},  // then a character cut short
        // A lone Esc is told from a sequence by the gap after it.
        {{"\x1b"}, {27}},
        {{"\x1b", "["}, {27, '['}},
        {{"\x1b", "\x1b", "x"}, {27, 27, 'x'}},
        // Ctrl+Space and Ctrl+2 send NUL: 0, then a second code like any
        // two-code key, so a caller waiting for it is not left hanging.
        {{std::string("\0", 1)}, {0, 3}},
        // A character outside ASCII is one key: its first byte.
        {{"\xc3\xa9k\xe2\x82\xacz\xf0\x9f\x82\xa1"}, {0xc3, 'k', 0xe2, 'z', 0xf0}},
        // Bytes that do not continue a character are keys of their own.
        {{"\xe9y\r"}, {0xe9, 'y', 13}},
        {{"\xa9\xff\xc0"}, {0xa9, 0xff, 0xc0}},
        {{"\xe2\x82", "z"}, {0xe2, 'z'}},
        // Alt+Up as some terminals send it: the Up key.
        {{"\x1b\x1b[A"}, {0, 72}},
        // The start of a sequence broken off by a gap or by a byte that
        // cannot go on with it was typed key by key: each byte is a key.
        {{"\x1b[1\x03"}, {27, '[', '1', 3}},
        {{"\x1b\x1b[%1"}, {27, 27, '[', '%', '1'}},  // no parameter may follow an intermediate byte
        {{"\x1b[12", "\r"}, {27, '[', '1', '2', 13}},
        {{"\x1b[[", "q"}, {27, '[', '[', 'q'}},
        {{"\x1b\x1b[", "q"}, {27, 27, '[', 'q'}},
        {{"\x1b" "a", "\x1bO", "\x1b[", "\x1b" "b"}, {27, 'a', 27, 'O', 27, '[', 27, 'b'}},  // Alt+a, Alt+O, Alt+[, Alt+b
        {{"\x1bO\x1b[\x1b" "b"}, {27, 'O', 27, '[', 27, 'b'}},
        // A sequence that never ends is dropped in pieces, never waited for.
        {{"\x1b[" + std::string(30, '1') + "2345~x"}, {'2', '3', '4', '5', '~', 'x'}},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& chunk : c.chunks) {
            for (const unsigned char byte : chunk) {
                shown += byte >= 0x20 && byte < 0x7f ? std::string(1, static_cast<char>(byte))
                                                     : "\\x" + std::to_string(byte);
            }
            shown += " | ";
        }
        EXPECT_EQ(decode_chunks(c.chunks, false), c.codes) << shown;
        EXPECT_EQ(decode_chunks(c.chunks, true), c.codes) << shown << "(one byte at a time)";
    }
}

// ---- Character widths ------------------------------------------------------------

TEST(CharacterWidths, AsTerminalsCountThem) {
    // Marks and jamo that join the character before, wide symbols, controls.
    const std::pair<long, int> cases[] = {
        {'a', 1},     {0x00AD, 1}, {0x0301, 0}, {0x0941, 0}, {0x0F71, 0}, {0x102D, 0},  {0x17B7, 0},  {0x1160, 0},
        {0x11FF, 0},  {0x200B, 0}, {0x302A, 0}, {0x302D, 0}, {0x3099, 0}, {0x309A, 0},  {0x4DC0, 2},  {0x4E2D, 2},
        {0x1F600, 2}, {0x1F, -1},  {0x7F, -1},  {0x9F, -1},
    };
    for (const auto& [c, columns] : cases) {
        EXPECT_EQ(console::column_width(c), columns) << std::hex << c;
    }

    // Every character the C library counts in a UTF-8 locale, as it counts
    // it. Its -1 outside the controls is no answer (a character newer than
    // its Unicode version, a surrogate, a line or paragraph separator): the
    // table has one, but the player's terminal shows nothing, so the
    // console's answer is none. The console asks in the player's locale:
    // the test's own here.
    setenv("LC_ALL", "C.UTF-8", 1);
    const std::string old_locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    std::vector<long> differing;
    int compared = 0;
    for (long c = 0x20; c <= 0x10FFFF; c++) {
        const int columns = wcwidth(static_cast<wchar_t>(c));
        compared += columns >= 0 ? 1 : 0;
        if ((columns >= 0 && console::column_width(c) != columns) || console::screen::character_width(c) != columns) {
            differing.push_back(c);
        }
    }
    std::setlocale(LC_CTYPE, old_locale.c_str());
    EXPECT_GT(compared, 250000);
    std::ostringstream shown;
    for (std::size_t i = 0; i < differing.size() && i < 20; i++) {
        shown << std::hex << differing[i] << ": " << std::dec << console::column_width(differing[i]) << '/'
              << console::screen::character_width(differing[i]) << ' ';
    }
    EXPECT_TRUE(differing.empty()) << differing.size() << " differ, among them " << shown.str();
}

// ---- Line editing ----------------------------------------------------------------

struct Edited {
    std::string line;
    std::string echo;
    LineEditor::Outcome outcome;
};

// Types keys (as bytes a terminal sends) into a line editor until it stops
// editing or the keys run out.
Edited edit(const std::string& typed, const console::EditingKeys& keys = {}, int column = 1, int columns = 80) {
    LineEditor editor(keys);
    editor.start(column, columns);
    Edited result{"", "", LineEditor::Outcome::kEditing};
    const auto* bytes = reinterpret_cast<const unsigned char*>(typed.data());
    std::size_t start = 0;
    while (start < typed.size() && result.outcome == LineEditor::Outcome::kEditing) {
        const DecodedKey key = console::decode_key(bytes + start, typed.size() - start, true);
        const std::string key_bytes = typed.substr(start, key.consumed);
        start += key.consumed;
        if (key.kind == DecodedKey::Kind::kKey) {
            result.outcome = editor.apply(key.code, key_bytes, result.echo);
        }
    }
    result.line = editor.line();
    return result;
}

TEST(Utf8Character, CompleteIncompleteOrInvalidAndHowLong) {
    using Kind = console::Utf8Character::Kind;
    const struct {
        std::string bytes;
        Kind kind;
        std::size_t length;
        char32_t code;  // when complete
    } cases[] = {
        {"a\xc3", Kind::kComplete, 1, 'a'},
        {"\xc3\xa9!", Kind::kComplete, 2, 0xE9},
        {"\xe2\x82\xac", Kind::kComplete, 3, 0x20AC},
        {"\xf4\x8f\xbf\xbf", Kind::kComplete, 4, 0x10FFFF},
        {"", Kind::kIncomplete, 0, 0},
        {"\xf0\x9f\x82", Kind::kIncomplete, 3, 0},
        // Stray bytes, one at a time; a character cut short, up to the byte
        // that cannot go on with it; whole forms no character has.
        {"\x80\x80", Kind::kInvalid, 1, 0},
        {"\xc0\xaf", Kind::kInvalid, 1, 0},
        {"\xff", Kind::kInvalid, 1, 0},
        {"\xe2\x82" "a", Kind::kInvalid, 2, 0},
        {"\xe2\x1b[H", Kind::kInvalid, 1, 0},
        {"\xe0\x80\xaf", Kind::kInvalid, 3, 0},      // overlong
        {"\xed\xa0\x80", Kind::kInvalid, 3, 0},      // a surrogate
        {"\xf4\x90\x80\x80", Kind::kInvalid, 4, 0},  // past U+10FFFF
    };
    for (const auto& c : cases) {
        const console::Utf8Character found = console::utf8_character(c.bytes);
        EXPECT_EQ(found.kind, c.kind) << testing::PrintToString(c.bytes);
        EXPECT_EQ(found.length, c.length) << testing::PrintToString(c.bytes);
        if (c.kind == Kind::kComplete) {
            EXPECT_EQ(found.code, c.code) << testing::PrintToString(c.bytes);
        }
    }
}

// ---- The Windows console's pure parts --------------------------------------------

TEST(WindowsKeys, KeyEventsBecomeTheBytesATerminalSends) {
    using console::platform::windows::KeyEvent;
    constexpr std::uint32_t kShift = 0x10;
    constexpr std::uint32_t kLeftCtrl = 0x08;
    constexpr std::uint32_t kLeftAlt = 0x02;
    constexpr std::uint32_t kAltGr = 0x01 | kLeftCtrl;
    const auto down = [](std::uint16_t vk, char16_t unit, std::uint32_t modifiers = 0) {
        return KeyEvent{true, 1, vk, unit, modifiers};
    };
    const struct {
        std::vector<KeyEvent> events;
        std::string bytes;
    } cases[] = {
        // Releases and lone modifiers give nothing.
        {{down(0x10, 0, kShift), down('A', 'A', kShift), {false, 1, 'A', 'A', kShift}, {false, 1, 0x10, 0, 0}}, "A"},
        {{down(0x26, 0), down(0x28, 0), down(0x27, 0), down(0x25, 0, kShift)}, "\x1b[A\x1b[B\x1b[C\x1b[D"},
        {{down(0x24, 0), down(0x23, 0), down(0x2D, 0), down(0x2E, 0), down(0x21, 0), down(0x22, 0)},
         "\x1b[H\x1b[F\x1b[2~\x1b[3~\x1b[5~\x1b[6~"},
        {{down(0x70, 0), down(0x73, 0), down(0x74, 0), down(0x75, 0), down(0x79, 0), down(0x7A, 0), down(0x7B, 0)},
         "\x1bOP\x1bOS\x1b[15~\x1b[17~\x1b[21~\x1b[23~\x1b[24~"},
        {{down(0x0D, 13), down(0x08, 8), down(0x1B, 27), down('C', 3, kLeftCtrl), down('W', 23, kLeftCtrl)},
         "\r\b\x1b\x03\x17"},
        {{down(0x20, ' ', kLeftCtrl), down('X', 'x', kLeftAlt), {true, 3, 'H', 'h', 0}}, std::string("\0\x1bxhhh", 6)},
        {{down(0x09, '\t'), down(0x09, '\t', kShift)}, "\t\x1b[Z"},
        // Characters as UTF-8: AltGr types one, Alt and the keypad compose
        // one (given with Alt's release), and one past U+FFFF comes as two
        // events; half of one alone gives nothing.
        {{down(0xDE, 0xE9), down('E', 0x20AC, kAltGr), {false, 1, 0x12, 0xE9, 0}}, "\xc3\xa9\xe2\x82\xac\xc3\xa9"},
        {{down(0, 0xD83C), down(0, 0xDCA1), down(0, 0xD83C), down('a', 'a'), down(0, 0xDCA1)}, "\xf0\x9f\x82\xa1" "a"},
    };
    for (const auto& c : cases) {
        console::platform::windows::KeyEventBytes converter;
        std::string bytes;
        for (const KeyEvent& event : c.events) {
            bytes += converter.bytes(event);
        }
        EXPECT_EQ(bytes, c.bytes);
    }
}

std::string erased(int columns) {
    return std::string(columns, '\b') + std::string(columns, ' ') + std::string(columns, '\b');
}

TEST(LineEditor, EditsOneLineWithEcho) {
    using Outcome = LineEditor::Outcome;
    const struct {
        std::string typed;
        std::string line;
        std::string echo;
        Outcome outcome;
    } cases[] = {
        {"500\r", "500\n", "500\n", Outcome::kLineDone},
        {"500\n", "500\n", "500\n", Outcome::kLineDone},
        // Backspace, as Delete or as Ctrl+H, erases one character, all its
        // bytes and all its columns; on an empty line it does nothing.
        {"12\x7f" "3\r", "13\n", "12\b \b3\n", Outcome::kLineDone},
        {"\x7f\x7f" "ab\b\r", "a\n", "ab\b \b\n", Outcome::kLineDone},
        {"\xc3\xa9\x7f\r", "\n", "\xc3\xa9\b \b\n", Outcome::kLineDone},
        {"\xe4\xb8\xad\x7f\r", "\n", "\xe4\xb8\xad" + erased(2) + "\n", Outcome::kLineDone},
        // Ctrl+U erases the line, Ctrl+W the last word and the blanks after it.
        {"abc\x15" "7\r", "7\n", "abc\b \b\b \b\b \b7\n", Outcome::kLineDone},
        {"1 23\x17\r", "1 \n", "1 23\b \b\b \b\n", Outcome::kLineDone},
        {"1 \t\x17\r", "\n", "1 \t" + erased(6) + "\b \b\b \b\n", Outcome::kLineDone},
        // A tab is kept and reaches the next stop; erased, it gives back
        // every column it took.
        {"\t7\r", "\t7\n", "\t7\n", Outcome::kLineDone},
        {"ab\t\x7f" "c\r", "abc\n", "ab\t" + erased(6) + "c\n", Outcome::kLineDone},
        // Keys that cannot be shown as they are held are dropped: cursor
        // and function keys, Esc, Ctrl+S and Ctrl+Q, a byte that is no whole
        // character, C1 controls and marks without a character of their own.
        {"\x1b[A5\x1bOP\x1b\x13\x11" "6\r", "56\n", "56\n", Outcome::kLineDone},
        {"1\xe9" "00\r", "100\n", "100\n", Outcome::kLineDone},
        {"\xc2\x9b" "1\xcc\x81\xe2\x82" "2\r", "12\n", "12\n", Outcome::kLineDone},
        // Esc typed while the game was busy, then n: the n counts.
        {"\x1bn\r", "n\n", "n\n", Outcome::kLineDone},
        {"\x1b[12\r", "[12\n", "[12\n", Outcome::kLineDone},  // a sequence broken off: Esc goes, the rest counts
        // Ctrl+D ends the input only on an empty line; Ctrl+C always.
        {"\x04", "", "", Outcome::kEndOfInput},
        {"ab\x04" "c\r", "abc\n", "abc\n", Outcome::kLineDone},
        {"ab\x03", "ab", "ab", Outcome::kEndOfInput},
        {"1\x1a", "1", "1", Outcome::kSuspend},
        // Ctrl+R (reprint) and Ctrl+L draw the screen again.
        {"1\x12", "1", "1", Outcome::kRedraw},
        {"\x0c", "", "", Outcome::kRedraw},
        {"yes", "yes", "yes", Outcome::kEditing},
    };
    for (const auto& c : cases) {
        const Edited edited = edit(c.typed);
        EXPECT_EQ(edited.line, c.line) << c.typed;
        EXPECT_EQ(edited.echo, c.echo) << c.typed;
        EXPECT_EQ(edited.outcome, c.outcome) << c.typed;
    }
}

TEST(LineEditor, FollowsThePlayersTerminalSettings) {
    using Outcome = LineEditor::Outcome;
    // As after stty erase '#' kill '@' intr ^X susp undef eof ^A werase ^B rprnt ^E.
    console::EditingKeys keys;
    keys.erase = '#';
    keys.kill = '@';
    keys.intr = 0x18;
    keys.susp = -1;
    keys.eof = 0x01;
    keys.werase = 0x02;
    keys.reprint = 0x05;
    const struct {
        std::string typed;
        std::string line;
        Outcome outcome;
    } cases[] = {
        {"ab#c\r", "ac\n", Outcome::kLineDone},
        {"ab\x7f\bc\r", "c\n", Outcome::kLineDone},  // DEL and Ctrl+H still erase
        {"ab@7\r", "7\n", Outcome::kLineDone},
        {"ab\x15" "7\r", "ab7\n", Outcome::kLineDone},  // Ctrl+U is no longer the kill key
        {"a b\x02\r", "a \n", Outcome::kLineDone},
        {"a b\x17\r", "a \n", Outcome::kLineDone},
        {"\x05", "", Outcome::kRedraw},
        {"9\x18", "9", Outcome::kEndOfInput},
        {"9\x03\x1a" "8\r", "98\n", Outcome::kLineDone},  // plain control keys now
        {"\x01", "", Outcome::kEndOfInput},
        {"\x04" "5\r", "5\n", Outcome::kLineDone},
    };
    for (const auto& c : cases) {
        const Edited edited = edit(c.typed, keys);
        EXPECT_EQ(edited.line, c.line) << c.typed;
        EXPECT_EQ(edited.outcome, c.outcome) << c.typed;
    }
}

TEST(LineEditor, TheLineStaysOnItsRow) {
    // From column 56 of 80, characters fill columns 56 to 79; a wide one
    // that would reach column 80 is dropped, a narrow one still fits.
    const Edited narrow = edit(std::string(30, '9') + "\r", {}, 56, 80);
    EXPECT_EQ(narrow.line, std::string(24, '9') + "\n");
    const Edited wide = edit(std::string(23, '9') + "\xe4\xb8\xad" "1\r", {}, 56, 80);
    EXPECT_EQ(wide.line, std::string(23, '9') + "1\n");
    const Edited tab = edit("1234567\t", {}, 70, 80);  // the stop at 81 is off the row
    EXPECT_EQ(tab.line, "1234567");

    const Edited longest = edit(std::string(5000, '9') + "\r", {}, 1, 1 << 20);
    EXPECT_EQ(longest.line, std::string(LineEditor::kLongestLine, '9') + "\n");
    EXPECT_EQ(longest.outcome, LineEditor::Outcome::kLineDone);
}

// ---- The record of the screen ---------------------------------------------------

std::vector<std::string> rows_of(const console::ScreenRecord& record) {
    std::vector<std::string> rows;
    for (int row = 1; row <= record.rows(); row++) {
        rows.push_back(record.text(row));
    }
    return rows;
}

TEST(ScreenRecord, FollowsTextAsATerminalDoes) {
    using Rows = std::vector<std::string>;
    const struct {
        std::vector<std::string> writes;
        Rows rows;
        int column;
        int row;
    } cases[] = {
        // Line feeds go to column 1; a tab to the next stop of 8; a
        // backspace and a carriage return move back without erasing.
        {{"ab\tc\nd"}, {"ab      c", "d", "", ""}, 2, 2},
        {{"abc\bX\rY"}, {"YbX", "", "", ""}, 2, 1},
        {{"\t\t\t\t\t\t\t\t\tx"}, {"         x", "", "", ""}, 10, 1},  // tabs stop at the edge
        {{"1234567\tx"}, {"1234567 x", "", "", ""}, 10, 1},  // from the column before a stop, to the stop
        // At the bottom a line feed scrolls.
        {{"1\n2\n3\n4\n5"}, {"2", "3", "4", "5"}, 2, 4},
        // A character in the last column leaves the cursor there; the next
        // one wraps.
        {{"0123456789", "x"}, {"0123456789", "x", "", ""}, 2, 2},
        {{"012345678", "9\r"}, {"0123456789", "", "", ""}, 1, 1},
        // Wide characters take two columns; one that does not fit wraps
        // whole; writing over half of one blanks the other half.
        {{"\xe4\xb8\xad" "a"}, {"\xe4\xb8\xad" "a", "", "", ""}, 4, 1},
        {{"012345678\xe4\xb8\xad"}, {"012345678", "\xe4\xb8\xad", "", ""}, 3, 2},
        {{"\xe4\xb8\xad\xe4\xb8\xad\b\b\bx"}, {" x\xe4\xb8\xad", "", "", ""}, 3, 1},
        // A character split over writes is one character; stray bytes and
        // control characters draw what a terminal draws.
        {{"\xc3", "\xa9!"}, {"\xc3\xa9!", "", "", ""}, 3, 1},
        {{"\xe9" "a\x1b\x07" "b"}, {"\xef\xbf\xbd" "ab", "", "", ""}, 4, 1},
    };
    for (const auto& c : cases) {
        console::ScreenRecord record(10, 4);
        std::string shown;
        for (const std::string& text : c.writes) {
            record.write(text);
            shown += text + " | ";
        }
        EXPECT_EQ(rows_of(record), c.rows) << shown;
        EXPECT_EQ(std::make_pair(record.column(), record.row()), std::make_pair(c.column, c.row)) << shown;
    }
}

TEST(ScreenRecord, ClearsMovesResizesAndDrawsItselfAgain) {
    console::ScreenRecord record(10, 4);
    record.write("junk\njunk\njunk\njunk\njunk");
    record.clear();  // also what went off the top
    record.write("A");
    record.move_to(5, 3);
    record.write("B");
    for (const auto& [column, row] : {std::make_pair(0, 1), {1, 0}, {11, 1}, {1, 5}}) {
        record.move_to(column, row);  // off the grid: ignored
    }
    record.write("C");
    EXPECT_EQ(rows_of(record), (std::vector<std::string>{"A", "", "    BC", ""}));
    EXPECT_EQ(console::render(record.render()), "\x1b[H\x1b[2J\x1b[1;1HA\x1b[3;1H    BC\x1b[3;7H");

    // Narrower and shorter: the cursor's row stays in sight; taller, the
    // row that went off the top comes back.
    record.resize(5, 2);
    EXPECT_EQ(rows_of(record), (std::vector<std::string>{"", "    B"}));
    EXPECT_EQ(std::make_pair(record.column(), record.row()), std::make_pair(5, 2));
    record.resize(12, 4);
    EXPECT_EQ(rows_of(record), (std::vector<std::string>{"A", "", "    B", ""}));
    EXPECT_EQ(std::make_pair(record.column(), record.row()), std::make_pair(5, 3));
    // A wide character cut in half by the new edge goes whole; a character
    // in the last column no longer makes the next one wrap once the edge
    // has moved on.
    console::ScreenRecord edge(10, 4);
    edge.write("123\xe4\xb8\xad" "56789");
    edge.resize(4, 4);
    EXPECT_EQ(edge.text(1), "123");
    edge.resize(12, 4);
    edge.write("x");
    EXPECT_EQ(rows_of(edge), (std::vector<std::string>{"123x", "", "", ""}));

    // Shorter, then taller again, as terminals do: rows below the cursor go
    // first, then rows at the top, which come back, as do rows that line
    // feeds pushed off.
    const struct {
        const char* written;
        std::vector<int> heights;  // the window's rows, one after another
        std::vector<std::string> rows;
        int row;  // the cursor's
        int moved_to_row = 0;  // the cursor moved up first, when not 0
    } resizes[] = {
        {"a\nb\nc\n", {2, 4}, {"a", "b", "c", ""}, 4},
        {"a\nb", {2, 4}, {"a", "b", "", ""}, 2},
        {"1\n2\n3\n4\n5\n6", {2, 4}, {"3", "4", "5", "6"}, 4},
        {"1\n2\n3\n4\n5\n6", {3, 6}, {"1", "2", "3", "4", "5", "6"}, 6},
        {"1\n2\n3\n4\n5\n6", {7}, {"1", "2", "3", "4", "5", "6", ""}, 6},
        // Rows come back once: growing again brings blank rows.
        {"1\n2\n3\n4", {2, 4, 6}, {"1", "2", "3", "4", "", ""}, 4},
        {"1\n2\n3\n4\n5", {6}, {"1", "2", "3", "4", "5", ""}, 3, 2},
    };
    for (const auto& c : resizes) {
        console::ScreenRecord resized(10, 4);
        resized.write(c.written);
        if (c.moved_to_row != 0) {
            resized.move_to(1, c.moved_to_row);
        }
        for (const int height : c.heights) {
            resized.resize(10, height);
        }
        EXPECT_EQ(rows_of(resized), c.rows) << c.written;
        EXPECT_EQ(resized.row(), c.row) << c.written;
    }

    // A character in the last column is drawn again last, so the next one
    // still wraps.
    console::ScreenRecord full(3, 2);
    full.write("abc");
    EXPECT_EQ(console::render(full.render()), "\x1b[H\x1b[2J\x1b[1;1Habc\x1b[1;3Hc");

    // The cursor's row alone, where the terminal's cursor stands: back to
    // its start, its text, the cursor (past cells never written, or back).
    EXPECT_EQ(console::render(full.render_line()), "\b\babc");
    const std::pair<const char*, const char*> lines[] = {
        {"x\nab\t", "\b\b\b\b\b\b\b\bab\x1b[6C"},
        {"abc\b\b", "\babc\b\b"},
        {"", ""},
    };
    for (const auto& [written, drawn] : lines) {
        console::ScreenRecord line(10, 4);
        line.write(written);
        EXPECT_EQ(console::render(line.render_line()), drawn) << written;
    }
}

// The display and its record take the same operations; a terminal, a file
// or a pipe takes their bytes.
TEST(DisplayOperations, AreTheBytesATerminalTakesAndTheRecordFollowsThem) {
    console::DisplayOperations operations;
    operations.text("ab\n");
    operations.clear_screen();
    operations.text("c");
    operations.text("d");  // one text with the one before
    operations.move_to(7, 3);
    operations.move_right(3);
    operations.text("\xc3");  // a character cut short by the move after it
    operations.move_to(1, 4);
    operations.text("ef\b");
    operations.clear_line_right();
    operations.move_right(30);  // stops at the edge
    EXPECT_EQ(std::distance(operations.begin(), operations.end()), 10);
    EXPECT_EQ(console::render(operations), "ab\n\x1b[H\x1b[2Jcd\x1b[3;7H\x1b[3C\xc3\x1b[4;1Hef\b\x1b[K\x1b[30C");

    console::ScreenRecord record(12, 4);
    for (const console::DisplayOperation& operation : operations) {
        record.apply(operation);
    }
    EXPECT_EQ(rows_of(record), (std::vector<std::string>{"cd", "", "         \xef\xbf\xbd", "e"}));
    EXPECT_EQ(std::make_pair(record.column(), record.row()), std::make_pair(12, 4));
}

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

TEST(ReadNumber, EndOfFileOnlyWhenInputRanOutAndFailuresStick) {
    std::istringstream whole("42");
    int value = 0;
    console::read_number(whole, value);
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(whole.eof());
    EXPECT_FALSE(whole.fail());

    std::istringstream in("abc 12 34");
    value = 5;
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
    const struct {
        const char* input;
        const char* answers;  // c after each read, up to the failed one
        const char* rest;     // what the first read left
    } cases[] = {
        {"\n\n   yes\nh\n", "yesh", "es\nh\n"},
        {"hh\n", "hh", "h\n"},
        // A character outside ASCII is one answer, its first byte.
        {"\xe4\xb8\xad\n", "\xe4", "\n"},
        {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x82\xa1" "x", "\xc3\xe2\xf0x", "\xe2\x82\xac\xf0\x9f\x82\xa1" "x"},
        // Bytes that are no whole character: as far as they go together.
        {"\xe4\xb8" "x", "\xe4x", "x"},
        {"\xe9" "x\xa9\xe4", "\xe9x\xa9\xe4", "x\xa9\xe4"},
    };
    for (const auto& c : cases) {
        std::istringstream first(c.input);
        char answer = 0;
        console::read_char(first, answer);
        EXPECT_EQ(rest_of(first), c.rest) << c.input;

        std::istringstream in(c.input);
        std::string taken;
        while (console::read_char(in, answer)) {
            taken += answer;
        }
        EXPECT_EQ(taken, c.answers) << c.input;
        EXPECT_TRUE(in.eof()) << c.input;
        EXPECT_EQ(answer, taken.back()) << c.input;  // the failed read left it alone
    }
}

TEST(ToUpper, OnlyLowerCaseLettersChange) {
    const struct {
        int in;
        int out;
    } cases[] = {{'a', 'A'}, {'m', 'M'}, {'z', 'Z'}, {'A', 'A'}, {'Z', 'Z'}, {'`', '`'}, {'{', '{'},
                 {'@', '@'}, {'[', '['}, {'0', '0'}, {' ', ' '}, {0, 0},     {-1, -1},   {0xe9, 0xe9},
                 {'a' + 256, 'a' + 256}, {INT_MIN, INT_MIN}};
    for (const auto& c : cases) {
        EXPECT_EQ(console::toupper(c.in), c.out) << c.in;
    }
}

TEST(GetTime, ReadsTheLocalTimeOfDay) {
    // A zone five and a half hours east of UTC tells local time from UTC.
    const char* old_zone = std::getenv("TZ");
    const std::string saved = old_zone != nullptr ? old_zone : "";
    setenv("TZ", "XST-5:30", 1);
    tzset();
    // Bracketed by the clock gettime reads: time() reads a coarser one,
    // which may still show the second before.
    const auto wall_seconds = [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        return now.tv_sec;
    };
    console::TimeOfDay t{};
    const std::time_t before = wall_seconds();
    console::gettime(&t);
    const std::time_t after = wall_seconds();
    if (old_zone != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();

    const int day = 24 * 3600;
    const int seconds = t.ti_hour * 3600 + t.ti_min * 60 + t.ti_sec;
    const int expected = static_cast<int>((before + std::time_t{5 * 3600 + 1800}) % day);
    EXPECT_LE(t.ti_hund, 99);
    EXPECT_LE((seconds - expected + day) % day, static_cast<int>(after - before))
        << t.ti_hour << ":" << +t.ti_min << ":" << +t.ti_sec;
}

// The rest needs Linux: pseudo-terminals (forkpty) and tmux.
#ifndef BLACKJACK_PORTABLE_TESTS_ONLY

// ---- A real terminal held for a whole run ----------------------------------------

using testing_support::PtyProcess;

// The probe running scene; as "job" or "background", in a job of its own.
std::vector<std::string> probe(const std::string& scene, const std::string& as = "") {
    if (as.empty()) {
        return {CONSOLE_PROBE, scene};
    }
    return {CONSOLE_PROBE, as, scene};
}

void expect_exit_code(PtyProcess& program, int code) {
    const auto status = program.wait_exit();
    ASSERT_TRUE(status.has_value()) << "still running";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == code) << "status " << *status;
}

TEST(HeldTerminal, KeysTypedAheadComeInOrderWithoutEchoAndTheModeIsHandedBack) {
    PtyProcess program(probe("keys"));
    ASSERT_TRUE(program.wait_mode(true));
    // Typed at once, before the program reads any: signal and flow-control
    // keys are keys too.
    program.type("ab\x1b[Ac\x03\x1a\x13\x11\x7f\rq");
    EXPECT_EQ(program.reports(12), (std::vector<int>{'a', 'b', 0, 72, 'c', 3, 26, 19, 17, 127, 13, 'q'}));
    expect_exit_code(program, 0);
    EXPECT_EQ(program.output(), "");
    const termios before = testing_support::new_terminal_mode();
    const termios after = program.mode();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

TEST(HeldTerminal, LineReadsAndKeyReadsShareTheKeyboardInOrder) {
    // What a line read took stays with std::cin; the key after the line goes
    // to getch, and a byte that does not continue a character stays for the
    // line read after it.
    PtyProcess program(probe("lines"));
    program.type("12 34\rk");
    EXPECT_EQ(program.reports(3), (std::vector<int>{12, 'k', 34}));
    expect_exit_code(program, 0);

    PtyProcess latin1(probe("lines"));
    latin1.type("7\r\xe9" "5\r");
    EXPECT_EQ(latin1.reports(3), (std::vector<int>{7, 0xe9, 5}));
    expect_exit_code(latin1, 0);
    EXPECT_NE(latin1.output().find("7\r\n5\r\n"), std::string::npos);  // each line echoed as typed
}

// For its life, the programs started get a poll() that answers POLLNVAL for
// a terminal, as macOS's does: their waits go through select().
class MacosPoll {
public:
    MacosPoll() { setenv("FAKE_POLL_NVAL", "1", 1); }
    ~MacosPoll() {
        if (!already_) {
            unsetenv("FAKE_POLL_NVAL");
        }
    }
    MacosPoll(const MacosPoll&) = delete;
    MacosPoll& operator=(const MacosPoll&) = delete;

private:
    bool already_ = std::getenv("FAKE_POLL_NVAL") != nullptr;
};

// For before_exec: under AddressSanitizer, the hooks preloaded ahead of its
// runtime.
void preloaded_first() {
    const char* options = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(options != nullptr ? options : "") + ":verify_asan_link_order=0").c_str(), 1);
}

TEST(HeldTerminal, WhereSelectWaitsEachKeyOfALineIsEchoedAtOnce) {
    // The check for keys typed ahead must not wait for one.
    const MacosPoll macos;
    PtyProcess program(probe("lines"), preloaded_first);
    ASSERT_TRUE(program.wait_mode(true));
    program.type("1");
    EXPECT_TRUE(testing_support::poll_until([&] {
        const std::string& shown = program.output();  // after whatever the loader said
        return !shown.empty() && shown.back() == '1';
    })) << "the echo waits for the next key: the look for keys typed ahead waited";
    program.type("2 34\rk");
    EXPECT_EQ(program.reports(3), (std::vector<int>{12, 'k', 34}));
    expect_exit_code(program, 0);
}

// True while pid sleeps in a system call whose fifth argument is set: where
// select() waits, a wait with a time limit. Where /proc cannot tell, false.
bool waits_with_a_limit(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/syscall");
    std::vector<std::string> fields;
    for (std::string field; in >> field;) {
        fields.push_back(field);
    }
    return fields.size() > 5 && fields[0] != "-1" && fields[5] != "0x0";
}

TEST(HeldTerminal, WhereSelectWaitsAKeysBytesAFewMillisecondsApartAreOneKey) {
    using std::chrono::milliseconds;
    using std::chrono::steady_clock;
    const MacosPoll macos;
    PtyProcess program(probe("keys"), preloaded_first);
    ASSERT_TRUE(program.wait_mode(true));
    const struct {
        const char* first;
        const char* rest;
        std::vector<int> codes;
    } keys[] = {{"\x1b", "[A", {0, 72}}, {"\x1b[", "B", {0, 80}}, {"\x1bO", "C", {0, 77}}};
    // The rest comes 5 ms after the program waits for it. A try counts only
    // when the test itself, on a busy machine, typed it within 60 ms of the
    // start: well inside the 100 ms the program waits.
    for (const auto& key : keys) {
        int judged = 0;
        for (int attempt = 0; attempt < 10 && judged == 0; attempt++) {
            const auto start = steady_clock::now();
            program.type(key.first);
            std::vector<int> got;
            testing_support::poll_until(
                [&] {
                    for (const int code : program.reports(1, milliseconds(0))) {
                        got.push_back(code);
                    }
                    return !got.empty() || waits_with_a_limit(program.pid());
                },
                milliseconds(45), milliseconds(1));
            std::this_thread::sleep_for(milliseconds(5));
            program.type(std::string(key.rest) + "m");
            const bool in_time = steady_clock::now() - start < milliseconds(60);
            for (std::vector<int> report; got.empty() || got.back() != 'm'; got.push_back(report[0])) {
                report = program.reports(1);
                ASSERT_EQ(report.size(), 1u);
            }
            got.pop_back();
            if (in_time) {
                judged++;
                EXPECT_EQ(got, key.codes) << "a key's bytes 5 ms apart became keys of their own: the wait for the rest ended early";
            }
        }
        EXPECT_EQ(judged, 1) << "never typed in time";
    }
    program.type("q");
    expect_exit_code(program, 0);
}

TEST(HeldTerminal, EndingSignalsHandTheTerminalBackAndStillEndTheProgram) {
    for (const int sig : {SIGTERM, SIGHUP, SIGQUIT, SIGINT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
                          SIGPIPE, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL}) {
        PtyProcess program(probe("keys"));
        ASSERT_TRUE(program.wait_mode(true));
        kill(program.pid(), sig);
        const auto status = program.wait_exit();
        ASSERT_TRUE(status.has_value()) << strsignal(sig);
        EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == sig) << strsignal(sig) << ": " << *status;
        EXPECT_TRUE(testing_support::is_line_mode(program.mode())) << strsignal(sig);
    }
}

TEST(HeldTerminal, ASignalFoundIgnoredStaysIgnored) {
    PtyProcess program(probe("keys"), [] { signal(SIGUSR1, SIG_IGN); });
    ASSERT_TRUE(program.wait_mode(true));
    kill(program.pid(), SIGUSR1);
    program.type("q");
    EXPECT_EQ(program.reports(1), (std::vector<int>{'q'}));
    expect_exit_code(program, 0);
}

TEST(HeldTerminal, EveryOtherWayOutHandsTheTerminalBack) {
    PtyProcess failed(probe("status3"));
    expect_exit_code(failed, 3);
    EXPECT_NE(failed.output().find("Assertion failed: 0 <= k && k < myLength"), std::string::npos)
        << failed.output();
    EXPECT_TRUE(testing_support::is_line_mode(failed.mode()));

    PtyProcess thrown(probe("throw"));
    const auto status = thrown.wait_exit();
    ASSERT_TRUE(status.has_value());
    EXPECT_TRUE(WIFSIGNALED(*status) && WTERMSIG(*status) == SIGABRT) << *status;
    EXPECT_TRUE(testing_support::is_line_mode(thrown.mode()));
}

TEST(HeldTerminal, ClosedStandardDescriptorsAreNoneOfTheConsolesOwn) {
    // A closed standard input ends the input, signals or not; a closed
    // output leaves the keyboard as it is.
    const struct {
        std::vector<int> closed;
        int key;  // what getch gives after 'k' is typed
    } cases[] = {{{0}, -1}, {{1}, 'k'}, {{2}, 'k'}, {{0, 1, 2}, -1}};
    for (const auto& scene : cases) {
        SCOPED_TRACE(scene.closed.size() == 3 ? 3 : scene.closed[0]);
        PtyProcess program(probe("descriptors"), [&] {
            for (const int fd : scene.closed) {
                close(fd);
            }
        });
        program.type("k");
        EXPECT_EQ(program.reports(4), (std::vector<int>{0, 0, 0, scene.key}));
        expect_exit_code(program, 0);
    }
}

TEST(HeldTerminal, ANonBlockingTerminalIsWaitedOn) {
    PtyProcess program(probe("keys"), [] { fcntl(STDIN_FILENO, F_SETFL, O_NONBLOCK); });
    ASSERT_TRUE(program.wait_mode(true));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    program.type("x");
    EXPECT_EQ(program.reports(1), (std::vector<int>{'x'}));
    program.type("q");
    expect_exit_code(program, 0);
}

TEST(HeldTerminal, AClosedTerminalEndsTheWaitAtOnce) {
    // The hang-up the terminal sends ends nothing by itself; the wait learns
    // of it by reading, and the program goes on to its own end.
    PtyProcess program(probe("keys"), testing_support::without_leak_check);
    ASSERT_TRUE(program.wait_mode(true));
    program.hang_up();
    EXPECT_EQ(program.reports(1), (std::vector<int>{-1}));
    expect_exit_code(program, 0);
}

TEST(HeldTerminal, StoppedAndContinuedAtAnyMomentTheModeFollows) {
    // Each try types a key and stops the program a few microseconds later,
    // so the stop lands before, during and after the key is read.
    PtyProcess program(probe("keys", "job"));
    const std::vector<int> job = program.reports(1);
    ASSERT_EQ(job.size(), 1u);
    ASSERT_TRUE(program.wait_mode(true));
    std::minstd_rand random(7);
    int keys_read = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int attempt = 0; attempt < 300 && std::chrono::steady_clock::now() < give_up; attempt++) {
        program.type("k");
        const auto wait = std::chrono::microseconds(random() % 400);
        for (const auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < wait;) {
        }
        kill(job[0], SIGTSTP);
        for (bool stopped = false; !stopped;) {
            const std::vector<int> report = program.reports(1);
            ASSERT_EQ(report.size(), 1u) << "attempt " << attempt;
            stopped = report[0] == -2;
            keys_read += report[0] == 'k' ? 1 : 0;
        }
        ASSERT_TRUE(testing_support::is_line_mode(program.mode())) << "stopped while raw, attempt " << attempt;
        kill(job[0], SIGCONT);
        ASSERT_TRUE(program.wait_mode(true)) << "not taken back, attempt " << attempt;
        if (HasFailure()) {
            break;
        }
    }
    program.type("q");
    for (int report = 0; report != 'q';) {
        const std::vector<int> got = program.reports(1);
        ASSERT_EQ(got.size(), 1u);
        report = got[0];
        keys_read += report == 'k' ? 1 : 0;
    }
    expect_exit_code(program, 0);
    EXPECT_TRUE(testing_support::is_line_mode(program.mode()));
    EXPECT_GT(keys_read, 0);
}

TEST(HeldTerminal, StartedInTheBackgroundItWaitsForTheForeground) {
    // The shell's terminal is left alone until the program is brought to
    // the foreground.
    PtyProcess program(probe("keys", "background"));
    const std::vector<int> started = program.reports(2);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1], -2) << "it should stop";
    ASSERT_TRUE(program.wait_mode(true));
    program.type("q");
    EXPECT_EQ(program.reports(1), (std::vector<int>{'q'}));
    expect_exit_code(program, 0);
    EXPECT_TRUE(testing_support::is_line_mode(program.mode()));
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
        testing_support::TmuxSession term(testing_support::shell_quote(CONSOLE_PROBE) + " " + scene.scene);
        testing_support::Screen expected(24, "");
        for (const auto& [row, text] : scene.rows) {
            expected[row - 1] = text;
        }
        ASSERT_TRUE(term.wait_for([&](const testing_support::Screen& s) { return s == expected; }))
            << testing_support::join(term.screen());
        EXPECT_EQ(term.cursor(), scene.cursor);
        term.type("q");
        EXPECT_EQ(term.exit_status(), 0);
    }
}

#endif  // BLACKJACK_PORTABLE_TESTS_ONLY

}  // namespace
