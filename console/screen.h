#ifndef BLACKJACK_CONSOLE_SCREEN_H
#define BLACKJACK_CONSOLE_SCREEN_H

// Where output goes and what the player's terminal shows. The game's text
// goes to standard output, gathered into whole screens. The player's
// terminal (standard output when that is a terminal, else the terminal the
// keys come from) keeps a record of its screen, so that a stop, a resize or
// a reprint key can draw it again. Inside the console layer only.

#include <string_view>

namespace console::screen {

// Makes std::cout and std::cerr write here, and has std::cin and std::cerr
// push before they read or write. uninstall() writes what waits and puts
// things back.
void install();
void uninstall();

// The game's clear and cursor moves, in order with its text.
void clear();
void move_to(int column, int row);

// Text for the player's terminal only: the echo of what is typed.
void echo(std::string_view text);

// Where the next echo starts on the player's terminal, and how wide it is.
int echo_column();
int echo_columns();

// Catches up with what happened meanwhile (a stop and continue, a resize, a
// window too small) and writes out what waits. Nothing goes to the
// terminal while the program is in its background; the whole screen is
// drawn again once it is back. Output that cannot be written ends the
// program here with status 1 and one line on standard error.
void push();

// Draws the whole screen again at the next push.
void redraw();

// The columns character c takes on the player's terminal: as the game's
// table counts them, or -1 (no picture) where the system does not know c.
int character_width(long c);

}  // namespace console::screen

#endif
