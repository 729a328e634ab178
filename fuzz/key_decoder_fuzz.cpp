// The key decoder on any bytes: it never reads past what it was given, drops
// unknown sequences whole, and decodes the same keys whether the bytes come
// together or one at a time.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "key_chunks.h"
#include "key_decoder.h"

namespace {

using console::DecodedKey;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Decodes in a copy of exactly size bytes, so that the address sanitizer
// sees any read past them.
DecodedKey decode_exactly(const unsigned char* bytes, std::size_t size, bool gap_passed) {
    const std::unique_ptr<unsigned char[]> copy(new unsigned char[size == 0 ? 1 : size]);
    if (size > 0) {
        std::memcpy(copy.get(), bytes, size);
    }
    const DecodedKey key = console::decode_key(copy.get(), size, gap_passed);
    if (key.kind == DecodedKey::Kind::kNeedMore ? key.consumed != 0 : key.consumed == 0 || key.consumed > size) {
        fail("consumed out of range");
    }
    if (key.kind == DecodedKey::Kind::kNeedMore && gap_passed && size > 0) {
        fail("waits for more after the gap");
    }
    return key;
}

bool is_final(unsigned char byte) {
    return byte >= 0x40 && byte <= 0x7e;
}

bool is_intermediate(unsigned char byte) {
    return byte >= 0x20 && byte <= 0x2f;
}

bool is_parameter(unsigned char byte) {
    return byte >= 0x30 && byte <= 0x3f;
}

// An escape sequence dropped must be dropped whole: it ends at a final byte,
// at the end of what came, or where the next byte cannot continue it.
void check_whole(const unsigned char* bytes, std::size_t size, const DecodedKey& key) {
    if (key.kind != DecodedKey::Kind::kIgnored || bytes[0] != 0x1b || key.consumed < 3 || key.consumed == size) {
        return;
    }
    const std::size_t introducer = bytes[1] == 0x1b ? 2 : 1;  // after an Alt prefix
    if (bytes[introducer] != '[' && bytes[introducer] != 'O') {
        return;  // Alt with a key: no sequence
    }
    if (bytes[introducer] == '[' && bytes[introducer + 1] == 'M') {
        // A mouse report: its three bytes after the M, whatever they are.
        if (key.consumed != introducer + 5) {
            fail("a mouse report was cut in two");
        }
        return;
    }
    // Parameters, then intermediates, then one final byte.
    const unsigned char last = bytes[key.consumed - 1];
    const unsigned char next = bytes[key.consumed];
    const bool could_go_on = is_final(next) || is_intermediate(next) || (is_parameter(next) && !is_intermediate(last));
    if (!is_final(last) && could_go_on && key.consumed < 32) {
        fail("a sequence was cut in two");
    }
}

std::vector<int> keys_of(const std::vector<std::string>& chunks, bool one_at_a_time) {
    return testing_support::decode_chunks(chunks, one_at_a_time, decode_exactly, check_whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A byte 0xfe in the input marks a gap; the chunks lie between.
    std::vector<std::string> chunks(1);
    for (std::size_t i = 0; i < size; i++) {
        if (data[i] == 0xfe) {
            chunks.emplace_back();
        } else {
            chunks.back() += static_cast<char>(data[i]);
        }
    }
    if (keys_of(chunks, false) != keys_of(chunks, true)) {
        fail("bytes together and one at a time decode differently");
    }
    return 0;
}
