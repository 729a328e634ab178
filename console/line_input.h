#ifndef BLACKJACK_CONSOLE_LINE_INPUT_H
#define BLACKJACK_CONSOLE_LINE_INPUT_H

// std::cin's buffer while the console holds the terminal. Inside the console
// layer only.

#include <streambuf>
#include <string>

namespace console {

// Fills itself with one edited line at a time, read key by key from the held
// terminal with echo. Only what it holds belongs to the stream: keys after
// the line stay with the terminal for whoever reads next.
class LineReader : public std::streambuf {
protected:
    int_type underflow() override;

private:
    std::string line_;
};

LineReader& line_reader();

}  // namespace console

#endif
