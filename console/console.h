#ifndef BLACKJACK_CONSOLE_H
#define BLACKJACK_CONSOLE_H

// The game's only way to the screen, the keyboard and the clock.
//
// Standard output is made unit-buffered at start-up, so every insertion is on
// the screen before it returns, and cursor moves, key waits and input reads
// all follow what was written before them.

#include <cstdint>
#include <iosfwd>

namespace console {

// Clears the screen and puts the cursor at column 1, row 1.
void clrscr();

// Moves the cursor to column x, row y, counted from 1 at the top left.
// A position off the screen (measured once at start-up) is ignored.
void gotoxy(int x, int y);

// Waits for one key press, without echo and without Enter, and returns its
// code. Ctrl+C gives 3. Cursor and function keys give 0 and hold a second
// code (see key below) that the next call returns at once. Returns -1 at once
// when standard input is not a terminal, or when the terminal goes away.
int getch();

// Second codes of the keys that give 0 first.
namespace key {
constexpr int F1 = 59;  // F1 to F10 are 59 to 68
constexpr int F10 = 68;
constexpr int Home = 71;
constexpr int Up = 72;
constexpr int PageUp = 73;
constexpr int Left = 75;
constexpr int Right = 77;
constexpr int End = 79;
constexpr int Down = 80;
constexpr int PageDown = 81;
constexpr int Insert = 82;
constexpr int Delete = 83;
constexpr int F11 = 133;
constexpr int F12 = 134;
}  // namespace key

// 'a'..'z' become 'A'..'Z'; every other value is returned as it is.
int toupper(int c);

// The local time of day.
struct time_of_day {
    std::uint8_t ti_min;   // 0-59
    std::uint8_t ti_hour;  // 0-23
    std::uint8_t ti_hund;  // hundredths of a second, 0-99
    std::uint8_t ti_sec;   // 0-59
};

void gettime(time_of_day* t);

// Reads a whole number: white space skipped across lines, an optional sign,
// 0x or 0X for hexadecimal, a leading 0 for octal, else decimal; 32-bit
// wrap-around, no overflow check. The first character that is not a digit
// stays in the stream. On failure value keeps its old contents and the
// stream stays failed until cleared.
std::istream& read_number(std::istream& is, int& value);

// Reads the first character that is not white space; the rest of the line
// stays in the stream. On failure c keeps its old value.
std::istream& read_char(std::istream& is, char& c);

}  // namespace console

#endif
