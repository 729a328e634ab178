#ifndef BLACKJACK_FUZZ_BYTE_READER_H
#define BLACKJACK_FUZZ_BYTE_READER_H

// Takes values one by one from a fuzzer's input; past its end, zeros.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ == size_; }

    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }

    // Small numbers mostly, and now and then the ends of the int range.
    int number() {
        switch (byte() % 8) {
        case 0: return INT_MIN;
        case 1: return INT_MAX;
        case 2: return -static_cast<int>(byte());
        default: return byte();
        }
    }

    // Up to max_length bytes, the length taken from the input first.
    std::string text(std::size_t max_length) {
        std::size_t length = byte() % (max_length + 1);
        std::string taken;
        while (length-- > 0 && !empty()) {
            taken += static_cast<char>(byte());
        }
        return taken;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

#endif
