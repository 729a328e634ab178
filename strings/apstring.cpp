#include "apstring.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>

#include "abnormal_end.h"

namespace {

// Not std::quick_exit and at_quick_exit: macOS and OpenBSD lack them. A hook
// of our own and _Exit, which every system has, end the same way everywhere.
void (*undo_at_abnormal_end)() = nullptr;

// The report names this file by its own name: __FILE__ may hold a build path.
const char kSourceName[] = "apstring.cpp";

// A broken precondition ends the program at once with status 3. Nothing is
// flushed and no exit handler runs, so only stderr's unbuffered writes show;
// only what was registered for such an end runs (the terminal's mode is
// handed back there).
[[noreturn]] void assertion_failed(const char* expression, int line) {
    char report[256];
    std::snprintf(report, sizeof report, "\r\nAssertion failed: %s, file %s, line %d\r\n",
                  expression, kSourceName, line);
    std::fputs(report, stderr);
    std::fputs("\r\nAbnormal program termination\r\n", stderr);
    std::fflush(stderr);
    if (undo_at_abnormal_end != nullptr) {
        undo_at_abnormal_end();
    }
    std::_Exit(3);
}

#define APSTRING_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : assertion_failed(#condition, __LINE__))

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The longest text a value can hold: its array, terminator included, must
// have a size an int can count.
constexpr std::size_t kLongestText = INT_MAX - 1;

// A length a value can hold; a longer text is refused before anything
// changes, like a failed allocation.
int checked_length(std::size_t length) {
    if (length > kLongestText) {
        throw std::length_error("apstring: text longer than an int can count");
    }
    return static_cast<int>(length);
}

// A new array of the given size, replacing the old one only once it exists,
// so a failed allocation leaves the value as it was.
void replace_array(char*& array, int& capacity, int size) {
    char* fresh = new char[size];
    delete[] array;
    array = fresh;
    capacity = size;
}

// Element access outside the text is a broken precondition.
void check_index(int k, int myLength, const char* text) {
    if (k < 0 || myLength <= k) {
        // Built as text and written unformatted: whatever base, width or fill
        // the caller left on std::cerr, the number reads in plain decimal.
        const std::string report = "index out of range: " + std::to_string(k) + " string: " + text + "\n";
        std::cerr.write(report.data(), static_cast<std::streamsize>(report.size())).flush();
        APSTRING_ASSERT(0 <= k && k < myLength);
    }
}

}  // namespace

void abnormal_end::at_abnormal_end(void (*undo)()) {
    undo_at_abnormal_end = undo;
}

apstring::apstring() : myLength(0), myCapacity(1), myCstring(new char[1]) {
    myCstring[0] = '\0';
}

apstring::apstring(const char* s) : myLength(0), myCapacity(1), myCstring(nullptr) {
    APSTRING_ASSERT(s != 0);
    myLength = checked_length(std::strlen(s));
    myCapacity = myLength + 1;
    myCstring = new char[myCapacity];
    std::memcpy(myCstring, s, myCapacity);
}

apstring::apstring(const apstring& str)
    : myLength(str.myLength), myCapacity(str.myLength + 1), myCstring(new char[myCapacity]) {
    std::memcpy(myCstring, str.myCstring, myCapacity);
}

apstring::~apstring() {
    delete[] myCstring;
}

const apstring& apstring::operator=(const apstring& rhs) {
    if (this != &rhs) {
        if (rhs.myLength + 1 > myCapacity) {
            replace_array(myCstring, myCapacity, rhs.myLength + 1);
        }
        myLength = rhs.myLength;
        std::memcpy(myCstring, rhs.myCstring, myLength + 1);
    }
    return *this;
}

const apstring& apstring::operator=(const char* s) {
    APSTRING_ASSERT(s != 0);
    const int len = checked_length(std::strlen(s));
    if (len + 1 > myCapacity) {
        // s cannot point into our own array here: such text always fits.
        replace_array(myCstring, myCapacity, len + 1);
    }
    myLength = len;
    std::memmove(myCstring, s, len + 1);
    return *this;
}

const apstring& apstring::operator=(char ch) {
    if (myCapacity < 2) {
        replace_array(myCstring, myCapacity, 2);
    }
    myLength = 1;
    myCstring[0] = ch;
    myCstring[1] = '\0';
    return *this;
}

int apstring::length() const {
    return myLength;
}

// Both finds see the texts as they are compared and written: up to the
// first NUL.
int apstring::find(const apstring& str) const {
    const int textLength = static_cast<int>(std::strlen(myCstring));
    const int len = static_cast<int>(std::strlen(str.myCstring));
    const int lastIndex = textLength - len;
    for (int k = 0; k <= lastIndex; k++) {
        if (std::memcmp(myCstring + k, str.myCstring, static_cast<std::size_t>(len)) == 0) {
            return k;
        }
    }
    return npos;
}

int apstring::find(char ch) const {
    const int textLength = static_cast<int>(std::strlen(myCstring));
    for (int k = 0; k < textLength; k++) {
        if (myCstring[k] == ch) {
            return k;
        }
    }
    return npos;
}

apstring apstring::substr(int pos, int len) const {
    if (pos < 0) {
        pos = 0;
    }
    if (pos >= length() || len <= 0) {
        return apstring("");
    }
    // Compared as a remaining length so that a huge len cannot overflow.
    const int lastIndex = len > length() - pos ? length() - 1 : pos + len - 1;

    apstring result(*this);
    int k = 0;
    for (int j = pos; j <= lastIndex; j++) {
        result.myCstring[k++] = myCstring[j];
    }
    result.myCstring[k] = '\0';
    result.myLength = k;
    return apstring(result);  // a copy, so the result fits exactly
}

const char* apstring::c_str() const {
    return myCstring;
}

char apstring::operator[](int k) const {
    check_index(k, myLength, myCstring);
    return myCstring[k];
}

char& apstring::operator[](int k) {
    check_index(k, myLength, myCstring);
    return myCstring[k];
}

const apstring& apstring::operator+=(const apstring& str) {
    const int newLength = checked_length(static_cast<std::size_t>(length()) + static_cast<std::size_t>(str.length()));
    const apstring copystring(str);  // taken first, so s += s works
    const int lastLocation = length();

    if (newLength >= myCapacity) {
        long long newCapacity = newLength + 1LL;
        if (str.length() == 1) {
            newCapacity *= 2;  // growing one character at a time: leave room
        }
        if (newCapacity > INT_MAX) {
            newCapacity = INT_MAX;  // room for the longest text, no more
        }
        char* newBuffer = new char[static_cast<std::size_t>(newCapacity)];
        std::memcpy(newBuffer, myCstring, myLength + 1);
        delete[] myCstring;
        myCstring = newBuffer;
        myCapacity = static_cast<int>(newCapacity);
    }
    std::memcpy(myCstring + lastLocation, copystring.myCstring, copystring.myLength + 1);
    myLength = newLength;
    return *this;
}

const apstring& apstring::operator+=(char ch) {
    apstring temp;
    temp = ch;
    *this += temp;
    return *this;
}

std::ostream& operator<<(std::ostream& os, const apstring& str) {
    return os << str.c_str();
}

namespace {

// Reads into buf (MAX_LENGTH characters) until stop(c) or the limit, keeping
// the stopping character in the stream. Reports whether input ended.
template <typename Stop>
int read_until(std::istream& is, char* buf, int limit, Stop stop, bool& at_end) {
    std::streambuf* sb = is.rdbuf();
    int n = 0;
    at_end = false;
    while (n < limit) {
        const int c = sb->sgetc();
        if (c == std::char_traits<char>::eof()) {
            at_end = true;
            break;
        }
        if (stop(c)) {
            break;
        }
        buf[n++] = static_cast<char>(c);
        sb->sbumpc();
    }
    buf[n] = '\0';
    return n;
}

std::ios_base::iostate end_state(bool at_end, int stored) {
    if (!at_end) {
        return std::ios_base::goodbit;
    }
    return stored > 0 ? std::ios_base::eofbit : std::ios_base::eofbit | std::ios_base::failbit;
}

}  // namespace

std::istream& operator>>(std::istream& is, apstring& str) {
    char buf[MAX_LENGTH];
    buf[0] = '\0';
    // The caller's width may only shorten the word: the buffer is fixed.
    const std::streamsize width = is.width();
    is.width(0);
    const int limit = width > 0 && width < MAX_LENGTH ? static_cast<int>(width) - 1 : MAX_LENGTH - 1;

    const std::istream::sentry ok(is);
    if (ok) {
        bool at_end = false;
        const int n = read_until(is, buf, limit, is_space, at_end);
        is.setstate(end_state(at_end, n));
    }
    str = buf;
    return is;
}

std::istream& getline(std::istream& is, apstring& str) {
    char buf[MAX_LENGTH];
    buf[0] = '\0';
    const std::istream::sentry ok(is, true);
    if (ok) {
        bool at_end = false;
        const int n = read_until(is, buf, MAX_LENGTH - 1, [](int c) { return c == '\n'; }, at_end);
        if (!at_end && n < MAX_LENGTH - 1) {
            is.rdbuf()->sbumpc();  // the line feed ends the line and is dropped
        }
        is.setstate(end_state(at_end, n));
    }
    str = buf;
    return is;
}

apstring operator+(const apstring& lhs, const apstring& rhs) {
    apstring result(lhs);
    result += rhs;
    return apstring(result);
}

apstring operator+(char ch, const apstring& str) {
    apstring result;
    result = ch;
    result += str;
    return apstring(result);
}

apstring operator+(const apstring& str, char ch) {
    apstring result(str);
    result += ch;
    return apstring(result);
}

bool operator==(const apstring& lhs, const apstring& rhs) {
    return std::strcmp(lhs.c_str(), rhs.c_str()) == 0;
}

bool operator!=(const apstring& lhs, const apstring& rhs) {
    return !(lhs == rhs);
}

bool operator<(const apstring& lhs, const apstring& rhs) {
    return std::strcmp(lhs.c_str(), rhs.c_str()) < 0;
}

bool operator<=(const apstring& lhs, const apstring& rhs) {
    return !(rhs < lhs);
}

bool operator>(const apstring& lhs, const apstring& rhs) {
    return rhs < lhs;
}

bool operator>=(const apstring& lhs, const apstring& rhs) {
    return !(lhs < rhs);
}
