#ifndef BLACKJACK_TESTS_KEY_CHUNKS_H
#define BLACKJACK_TESTS_KEY_CHUNKS_H

// Runs the key decoder as the key reader does, over bytes that arrive in
// chunks with a gap after each. Shared by the decoder's table test and its
// fuzzer.

#include <string>
#include <vector>

#include "key_decoder.h"

namespace testing_support {

// With one_at_a_time the bytes of a chunk come one by one instead, each as
// soon as the decoder asks for more. decode(bytes, size, gap_passed) stands
// for console::decode_key; seen(bytes, size_left_in_chunk, key) is shown
// every key or dropped sequence. Returns each key's code, then its second
// code when it has one.
template <typename Decode, typename Seen>
std::vector<int> decode_chunks(const std::vector<std::string>& chunks, bool one_at_a_time, Decode decode, Seen seen) {
    using Kind = console::DecodedKey::Kind;
    std::vector<int> codes;
    for (const std::string& chunk : chunks) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(chunk.data());
        std::size_t start = 0;
        std::size_t available = one_at_a_time ? 1 : chunk.size();
        while (start < chunk.size()) {
            console::DecodedKey key = decode(bytes + start, available - start, false);
            if (key.kind == Kind::kNeedMore) {
                if (available < chunk.size()) {
                    available++;
                    continue;
                }
                key = decode(bytes + start, available - start, true);
            }
            seen(bytes + start, chunk.size() - start, key);
            if (key.kind == Kind::kNeedMore || key.consumed == 0 || key.consumed > available - start) {
                break;  // seen() has complained; going on would never end
            }
            start += key.consumed;
            if (available < start + 1 && start < chunk.size()) {
                available = start + 1;
            }
            if (key.kind == Kind::kKey) {
                codes.push_back(key.code);
                if (key.second >= 0) {
                    codes.push_back(key.second);
                }
            }
        }
    }
    return codes;
}

}  // namespace testing_support

#endif
