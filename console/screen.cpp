#include "screen.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string_view>

#include "console.h"

namespace console {

namespace screen {

namespace {

// Enough of a row to hold any prompt; older text is dropped.
constexpr std::size_t kLongestRow = 1024;

struct Size {
    int columns;
    int rows;
};

Size measure() {
    winsize ws{};
    for (const int fd : {STDOUT_FILENO, STDIN_FILENO, STDERR_FILENO}) {
        if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
            return {ws.ws_col, ws.ws_row};
        }
    }
    return {80, 25};  // what a plain text console offers
}

// Read once, at the first use: the game never resizes the terminal.
const Size& size() {
    static const Size measured = measure();
    return measured;
}

// A stream whose flush pushes the screen: std::cin and std::cerr are tied to
// it, so a prompt shows before a read and the screen before an error message.
class PushOnSync : public std::streambuf {
protected:
    int sync() override {
        buffer().push();
        return 0;
    }
};

std::ostream& pusher() {
    static PushOnSync push_buffer;
    static std::ostream stream(&push_buffer);
    return stream;
}

std::streambuf* original_cout = nullptr;

// Writes all of text to descriptor fd, waiting while it is full; gives up
// when the descriptor fails for good (a terminal that went away).
void write_all(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, text, size);
        if (n > 0) {
            text += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // Left non-blocking by someone else: wait until it takes more.
            pollfd output{fd, POLLOUT, 0};
            if ((poll(&output, 1, -1) < 0 && errno != EINTR) || (output.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                return;
            }
        } else {
            return;
        }
    }
}

}  // namespace

void ScreenBuffer::append(const char* text, std::size_t size) {
    pending_.append(text, size);
    const std::string_view added(text, size);
    const std::size_t line_end = added.rfind('\n');
    if (line_end == std::string_view::npos) {
        row_.append(text, size);
    } else {
        row_.assign(added.substr(line_end + 1));
    }
    if (row_.size() > kLongestRow) {
        row_.erase(0, row_.size() - kLongestRow);
    }
}

ScreenBuffer::int_type ScreenBuffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        const char ch = traits_type::to_char_type(c);
        append(&ch, 1);
    }
    return traits_type::not_eof(c);
}

std::streamsize ScreenBuffer::xsputn(const char* text, std::streamsize size) {
    append(text, static_cast<std::size_t>(size));
    return size;
}

void ScreenBuffer::push() {
    if (!pending_.empty()) {
        write_all(STDOUT_FILENO, pending_.data(), pending_.size());
        pending_.clear();
    }
}

std::string ScreenBuffer::prompt() const {
    std::string text;
    for (std::size_t i = 0; i < row_.size(); i++) {
        const char c = row_[i];
        if (c == '\r') {
            text.clear();
        } else if (c == '\x1b' && i + 1 < row_.size() && row_[i + 1] == '[') {
            i += 2;
            while (i < row_.size() && (row_[i] < 0x40 || row_[i] > 0x7e)) {
                i++;
            }
            if (i < row_.size() && (row_[i] == 'H' || row_[i] == 'J' || row_[i] == 'f')) {
                text.clear();  // the cursor moved: what came before is elsewhere
            }
        } else if (c == '\x1b') {
            i++;
        } else {
            text += c;
        }
    }
    return text;
}

ScreenBuffer& buffer() {
    static ScreenBuffer instance;
    return instance;
}

void install() {
    if (original_cout != nullptr) {
        return;
    }
    size();
    std::cout.flush();  // anything written before goes first
    original_cout = std::cout.rdbuf(&buffer());
    std::cin.tie(&pusher());
    std::cerr.tie(&pusher());
}

void uninstall() {
    if (original_cout == nullptr) {
        return;
    }
    buffer().push();
    std::cout.rdbuf(original_cout);
    original_cout = nullptr;
    std::cin.tie(&std::cout);
    std::cerr.tie(&std::cout);
}

}  // namespace screen

void flush() {
    std::cout.flush();  // for a std::cout that is not the screen's own
    screen::buffer().push();
}

void clrscr() {
    std::cout << "\x1b[H\x1b[2J";
}

void gotoxy(int x, int y) {
    const screen::Size& size = screen::size();
    if (x < 1 || y < 1 || x > size.columns || y > size.rows) {
        return;
    }
    std::cout << "\x1b[" << y << ';' << x << 'H';
}

}  // namespace console
