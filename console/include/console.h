#ifndef BLACKJACK_CONSOLE_H
#define BLACKJACK_CONSOLE_H

// The game's only way to the screen and the keyboard.
//
// From start() to the end of the run the console holds the keyboard: no key
// is echoed, edited or turned into a signal by the terminal behind the game's
// back, and every key waits, in order, for the game's next read. Key waits
// take keys one by one (getch); std::cin reads edited lines with echo. Keys
// the game never read stay with the terminal when it ends.
//
// std::cout collects whole screens. What it holds reaches the terminal at
// each key wait, line read and delay, before anything goes to std::cerr, and
// at exit; flush() sends it at any other moment. The console keeps what the
// screen shows and draws it again after a stop, a resize or a reprint key.
// Output that cannot be written ends the program with status 1.

#include <iosfwd>

namespace console {

// Takes the terminal for the rest of the run and sets up std::cout, std::cin
// and std::cerr as above. Call once, before the first output; later calls do
// nothing. Every way out of the program hands the terminal back as found.
void start();

// Sends what std::cout holds to the terminal now.
void flush();

// Clears the screen and puts the cursor at column 1, row 1.
void clrscr();

// Moves the cursor to column x, row y, counted from 1 at the top left.
// A position off the screen, as large as it is now, is ignored.
void gotoxy(int x, int y);

// Waits for one key press, without echo and without Enter, and returns its
// code. Ctrl+C gives 3. Cursor and function keys give 0 and hold a second
// code (see key below) that the next call returns at once. Esc gives 27,
// also when a key came right behind it (Alt+x gives 27, then 'x'), so that
// no key is ever swallowed. Returns -1 at once when standard input is not a
// terminal, or when the terminal goes away.
int getch();

// Second codes of the keys that give 0 first.
namespace key {
constexpr int kCtrl2 = 3;  // Ctrl+2 or Ctrl+Space, which terminals send as NUL
constexpr int kF1 = 59;    // F1 to F10 are 59 to 68
constexpr int kF10 = 68;
constexpr int kHome = 71;
constexpr int kUp = 72;
constexpr int kPageUp = 73;
constexpr int kLeft = 75;
constexpr int kRight = 77;
constexpr int kEnd = 79;
constexpr int kDown = 80;
constexpr int kPageDown = 81;
constexpr int kInsert = 82;
constexpr int kDelete = 83;
constexpr int kF11 = 133;
constexpr int kF12 = 134;
}  // namespace key

// For a busy wait, called as often as it likes: now and then it catches up
// with the terminal (a stop, a resize) as a key wait does. False once the
// terminal has gone away (nobody is left to wait for), or once Ctrl+C came
// after input_over().
bool attend();

// The game reads no more keys or lines. What waits is written (under the
// console's mode, so its line ends still go to column 1), then the terminal
// gets its own mode back at once, so that keys typed from now on (during a
// farewell) are the terminal's to process for whoever reads next; Ctrl+C
// then only cuts the waits short. Key waits and line reads end at once
// from then on.
void input_over();

// 'a'..'z' become 'A'..'Z'; every other value is returned as it is.
int toupper(int c);

// Reads a whole number: white space skipped across lines, an optional sign,
// 0x or 0X for hexadecimal, a leading 0 for octal, else decimal; 32-bit
// wrap-around, no overflow check. The first character that is not a digit
// stays in the stream. On failure value keeps its old contents and the
// stream stays failed until cleared.
std::istream& read_number(std::istream& is, int& value);

// Reads the first character that is not white space into c: one byte, or
// for a character outside ASCII its first byte, its other bytes read with
// it. The rest of the line stays in the stream. On failure c keeps its old
// value.
std::istream& read_char(std::istream& is, char& c);

}  // namespace console

#endif
