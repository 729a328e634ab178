#ifndef BLACKJACK_CONSOLE_KEY_DECODER_H
#define BLACKJACK_CONSOLE_KEY_DECODER_H

// Turns the bytes a terminal sends into key codes. Pure: it sees only the
// bytes read so far and whether the short gap after the last one has passed.

#include <cstddef>

namespace console {

struct DecodedKey {
    enum class Kind {
        kNeedMore,  // the bytes so far may be the start of a longer key
        kKey,       // a key: code, and maybe a second code
        kIgnored,   // a sequence with no code of its own, to be dropped whole
    };
    Kind kind;
    std::size_t consumed;  // bytes that belong to this key or sequence
    int code;              // kKey only
    int second;            // kKey only: the code the next getch returns, or -1
};

// Bytes of one sequence arrive together; a longer gap after Esc means the Esc
// key itself.
constexpr int kSequenceGapMs = 100;

// Decodes the key at the front of bytes[0, size). With gap_passed, nothing
// more is coming soon, so kNeedMore comes only for size 0, and the start of a
// sequence is no sequence: its Esc is a key, and so are the bytes after it.
// Never looks past size; consumed is at most size, and more than 0 unless
// kNeedMore.
DecodedKey decode_key(const unsigned char* bytes, std::size_t size, bool gap_passed);

}  // namespace console

#endif
