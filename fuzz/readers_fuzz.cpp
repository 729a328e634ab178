// The console's number and character readers against a reference written
// from their rules, over a text and a run of reads decoded from the input.
// The reference finds the digits by the rules and leaves their value to the
// C library, so that it shares no arithmetic with the reader.

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "byte_reader.h"
#include "console.h"

namespace {

[[noreturn]] void mismatch(const char* what, const std::string& text) {
    std::fprintf(stderr, "mismatch: %s on \"%s\"\n", what, text.c_str());
    std::abort();
}

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The value of a string of digits in base, as its lowest 32 bits: the C
// library's own conversion while the value fits in 64 bits; past that, only
// the last digits can reach the low bits in bases 8 and 16, and decimal
// goes nine digits at a time.
std::uint32_t low_32_bits(const std::string& digits, int base) {
    if (digits.empty()) {
        return 0;
    }
    errno = 0;
    const unsigned long long whole = std::strtoull(digits.c_str(), nullptr, base);
    if (errno != ERANGE) {
        return static_cast<std::uint32_t>(whole);
    }
    if (base != 10) {
        const std::size_t reaching = base == 16 ? 8 : 11;  // 32 bits, or 33 in octal
        return static_cast<std::uint32_t>(std::strtoull(digits.substr(digits.size() - reaching).c_str(), nullptr, base));
    }
    std::uint64_t low = 0;
    for (std::size_t at = 0; at < digits.size(); at += 9) {
        const std::string chunk = digits.substr(at, 9);
        std::uint64_t scale = 1;
        for (std::size_t i = 0; i < chunk.size(); i++) {
            scale *= 10;
        }
        low = (low * scale + std::strtoull(chunk.c_str(), nullptr, 10)) % (std::uint64_t{1} << 32);
    }
    return static_cast<std::uint32_t>(low);
}

// The reference: a cursor over the text, and the stream's two flags.
struct Reference {
    std::string text;
    std::size_t at = 0;
    bool failed = false;
    bool ended = false;

    bool more() const { return at < text.size(); }

    // White space across lines; false (failed, and at the end) when the
    // text runs out first or the stream had already failed.
    bool skip_space() {
        if (failed || ended) {
            failed = true;
            return false;
        }
        while (more() && is_space(text[at])) {
            at++;
        }
        if (!more()) {
            failed = ended = true;
        }
        return !failed;
    }

    // One character: a byte, or a UTF-8 lead byte (C2-DF, E0-EF, F0-F4)
    // with as many of the continuation bytes (80-BF) it announces as follow.
    void read_char(char& c) {
        if (!skip_space()) {
            return;
        }
        c = text[at++];
        const auto lead = static_cast<unsigned char>(c);
        int announced = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            announced = 1;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            announced = 2;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            announced = 3;
        }
        for (; announced > 0 && more() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80; announced--) {
            at++;
        }
    }

    // An optional sign; 0x or 0X hexadecimal, 0 and a digit 0-7 octal, a 0
    // before anything else the value 0, else decimal; digits in 32 bits.
    void read_number(int& value) {
        if (!skip_space()) {
            return;
        }
        bool negative = false;
        if (text[at] == '+' || text[at] == '-') {
            negative = text[at] == '-';
            at++;
        }
        unsigned base = 10;
        bool digits_seen = false;
        bool lone_zero = false;
        if (more() && text[at] == '0') {
            at++;
            digits_seen = true;
            if (more() && (text[at] == 'x' || text[at] == 'X')) {
                at++;
                base = 16;
                digits_seen = false;
            } else if (more() && text[at] >= '0' && text[at] <= '7') {
                base = 8;
            } else {
                lone_zero = true;
            }
        }
        std::string digits;
        while (!lone_zero && more()) {
            const std::string of_base = std::string("0123456789abcdef").substr(0, base);
            const char lower = text[at] >= 'A' && text[at] <= 'F' ? static_cast<char>(text[at] - 'A' + 'a') : text[at];
            if (of_base.find(lower) == std::string::npos) {
                break;
            }
            digits += lower;
            digits_seen = true;
            at++;
        }
        const std::uint32_t total = low_32_bits(digits, static_cast<int>(base));
        if (!more()) {
            ended = true;
        }
        if (!digits_seen) {
            failed = true;
            return;
        }
        value = static_cast<int>(negative ? 0u - total : total);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader input(data, size);
    const std::uint8_t plan = input.byte();  // one bit a read: number or character
    Reference reference;
    reference.text = input.text(255);
    std::istringstream stream(reference.text);
    for (int read = 0; read < 8; read++) {
        if (read == 4 && (plan & 0x80) != 0) {  // now and then, start afresh
            stream.clear();
            reference.failed = reference.ended = false;
        }
        if ((plan >> read) & 1) {
            int got = 77;
            int want = 77;
            console::read_number(stream, got);
            reference.read_number(want);
            if (got != want) {
                mismatch("number", reference.text);
            }
        } else {
            char got = 'q';
            char want = 'q';
            console::read_char(stream, got);
            reference.read_char(want);
            if (got != want) {
                mismatch("character", reference.text);
            }
        }
        if (stream.fail() != reference.failed || stream.eof() != reference.ended) {
            mismatch("state", reference.text);
        }
        const std::streampos at = stream.rdstate() == std::ios::goodbit ? stream.tellg() : std::streampos(-1);
        if (at != std::streampos(-1) && static_cast<std::size_t>(at) != reference.at) {
            mismatch("position", reference.text);
        }
    }
    return 0;
}
