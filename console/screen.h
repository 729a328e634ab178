#ifndef BLACKJACK_CONSOLE_SCREEN_H
#define BLACKJACK_CONSOLE_SCREEN_H

// What std::cout writes, gathered into whole screens. Inside the console
// layer only.

#include <streambuf>
#include <string>

namespace console::screen {

// std::cout's buffer while the console runs. Its sync() keeps collecting, so
// std::endl does not write; push() writes everything at once.
class ScreenBuffer : public std::streambuf {
public:
    void append(const char* text, std::size_t size);
    void append(const std::string& text) { append(text.data(), text.size()); }

    // Writes out what was collected. A terminal that has gone away drops it.
    void push();

    // The text on the cursor's row since the last line end, clear or cursor
    // move, without control sequences: the prompt a line read answers.
    std::string prompt() const;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize size) override;
    int sync() override { return 0; }

private:
    std::string pending_;
    std::string row_;
};

ScreenBuffer& buffer();

// Makes the buffer std::cout's, and has std::cin and std::cerr push it before
// they read or write. uninstall() pushes and puts things back.
void install();
void uninstall();

}  // namespace console::screen

#endif
