// The text type against std::string doing the same: a run of operations
// decoded from the input, each result compared.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <sstream>
#include <string>

#include "apstring.h"
#include "byte_reader.h"

namespace {

constexpr int kSlots = 4;
constexpr std::size_t kLongest = 1 << 14;  // keeps runs fast

[[noreturn]] void mismatch(const char* what) {
    std::fprintf(stderr, "mismatch: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what) {
    if (!ok) {
        mismatch(what);
    }
}

// Text as comparison, output and find see it: up to the first NUL.
std::string view(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

void check_same(const apstring& value, const std::string& model) {
    check(value.length() == static_cast<int>(model.size()), "length");
    check(std::memcmp(value.c_str(), model.c_str(), model.size() + 1) == 0, "text");
}

// What a stream holds after a read, and its state.
std::string rest(std::istream& in) {
    const std::ios::iostate state = in.rdstate();
    in.clear();
    std::ostringstream left;
    left << in.rdbuf();
    return std::to_string(state) + ":" + left.str();
}

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Marks the end of input met after taking `taken` characters.
void met_end(std::istream& in, std::size_t taken) {
    in.clear();
    in.setstate(taken == 0 ? std::ios::eofbit | std::ios::failbit : std::ios::eofbit);
}

// Word input as the type promises it: blanks skipped unless the caller
// turned that off, then up to the next blank, the end of input, or the
// limit the width sets (1023 at most).
std::string reference_word(std::istream& in, int width, bool skip) {
    std::string word;
    if (!in.good()) {
        in.setstate(std::ios::failbit);
        return word;
    }
    if (skip) {
        while (is_space(in.peek())) {
            in.get();
        }
        if (in.peek() == EOF) {
            met_end(in, 0);
            return word;
        }
    }
    // The limit ends the read before it looks any further.
    const std::size_t limit = width > 0 && width < MAX_LENGTH ? width - 1 : MAX_LENGTH - 1;
    while (word.size() < limit) {
        const int c = in.peek();
        if (c == EOF) {
            met_end(in, word.size());
            break;
        }
        if (is_space(c)) {
            break;
        }
        word += static_cast<char>(in.get());
    }
    return word;
}

// Line input as the type promises it: up to a line feed (dropped), the end
// of input, or 1023 characters.
std::string reference_getline(std::istream& in) {
    std::string line;
    if (!in.good()) {
        in.setstate(std::ios::failbit);
        return line;
    }
    while (line.size() < MAX_LENGTH - 1) {
        const int c = in.peek();
        if (c == EOF) {
            met_end(in, line.size());
            break;
        }
        in.get();
        if (c == '\n') {
            break;
        }
        line += static_cast<char>(c);
    }
    return line;
}

void run(ByteReader& input) {
    apstring values[kSlots];
    std::string models[kSlots];
    while (!input.empty()) {
        const int op = input.byte() % 14;
        const int i = input.byte() % kSlots;
        const int j = input.byte() % kSlots;
        apstring& a = values[i];
        std::string& m = models[i];
        switch (op) {
        case 0: {  // construct from text
            const std::string text = view(input.text(64));
            a = apstring(text.c_str());
            m = text;
            break;
        }
        case 1:  // assign a value, maybe itself
            a = values[j];
            m = models[j];
            break;
        case 2: {  // assign a character
            const char ch = static_cast<char>(input.byte());
            a = ch;
            m = std::string(1, ch);
            break;
        }
        case 3:  // append a value, maybe itself
            if (m.size() + models[j].size() <= kLongest) {
                a += values[j];
                m += models[j];
            }
            break;
        case 4: {  // append a character
            const char ch = static_cast<char>(input.byte());
            if (m.size() < kLongest) {
                a += ch;
                m += ch;
            }
            break;
        }
        case 5: {  // the three + forms
            const int k = input.byte() % kSlots;
            const char ch = static_cast<char>(input.byte());
            if (models[j].size() + models[k].size() + 1 <= kLongest) {
                check_same(values[j] + values[k], models[j] + models[k]);
                check_same(ch + values[j], std::string(1, ch) + models[j]);
                a = values[j] + ch;
                m = models[j] + ch;
            }
            break;
        }
        case 6: {  // substr with any position and length
            const int pos = input.number();
            const int len = input.number();
            std::string expected;
            const long long from = pos < 0 ? 0 : pos;
            if (from < static_cast<long long>(m.size()) && len > 0) {
                expected = m.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(len));
            }
            check_same(a.substr(pos, len), expected);
            break;
        }
        case 7: {  // find a value and a character
            const std::string::size_type at = view(m).find(view(models[j]));
            check(a.find(values[j]) == (at == std::string::npos ? npos : static_cast<int>(at)), "find value");
            const char ch = static_cast<char>(input.byte());
            const std::string::size_type ch_at = ch == '\0' ? std::string::npos : view(m).find(ch);
            check(a.find(ch) == (ch_at == std::string::npos ? npos : static_cast<int>(ch_at)), "find char");
            break;
        }
        case 8: {  // the six comparisons, by unsigned bytes
            const int order = view(m).compare(view(models[j]));
            const apstring& b = values[j];
            check((a == b) == (order == 0) && (a != b) == (order != 0), "equality");
            check((a < b) == (order < 0) && (a > b) == (order > 0), "order");
            check((a <= b) == (order <= 0) && (a >= b) == (order >= 0), "order or equal");
            break;
        }
        case 9:  // element access inside the text
            if (!m.empty()) {
                const int k = input.byte() % static_cast<int>(m.size());
                const apstring& constant = a;
                check(constant[k] == m[static_cast<std::size_t>(k)], "read []");
                const char ch = static_cast<char>(input.byte());
                a[k] = ch;
                m[static_cast<std::size_t>(k)] = ch;
            }
            break;
        case 10: {  // output with a width and a fill
            const int width = input.byte() % 40;
            const char fill = static_cast<char>(input.byte());
            std::ostringstream got;
            std::ostringstream want;
            got << std::setw(width) << std::setfill(fill) << a << '|';
            want << std::setw(width) << std::setfill(fill) << view(m).c_str() << '|';
            check(got.str() == want.str(), "output");
            break;
        }
        case 11: {  // word input
            const std::string text = input.text(80) + (input.byte() % 2 ? std::string(1500, 'w') : "");
            const int width = input.byte() % 4 == 0 ? input.byte() % 20 : 0;
            const bool skip = input.byte() % 4 != 0;
            std::istringstream got(text);
            std::istringstream want(text);
            got.width(width);
            if (!skip) {
                got >> std::noskipws;
            }
            for (int word = 0; word < 3; word++) {
                got >> a;
                m = reference_word(want, word == 0 ? width : 0, skip);
                check_same(a, view(m));
                check(got.width() == 0, "width reset");
                check(got.rdstate() == want.rdstate(), ">> state");
            }
            m = view(m);
            check(rest(got) == rest(want), "stream after >>");
            break;
        }
        case 12: {  // line input
            const std::string text = input.text(80) + (input.byte() % 2 ? std::string(1100, 'l') + "\n" : "");
            std::istringstream got(text);
            std::istringstream want(text);
            for (int line = 0; line < 3; line++) {
                getline(got, a);
                m = reference_getline(want);
                check_same(a, view(m));
                check(got.rdstate() == want.rdstate(), "getline state");
            }
            m = view(m);
            check(rest(got) == rest(want), "stream after getline");
            break;
        }
        default:  // a copy is an exact fit of the same text
            check_same(apstring(a), m);
            break;
        }
        for (int k = 0; k < kSlots; k++) {
            check_same(values[k], models[k]);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    run(input);
    return 0;
}
