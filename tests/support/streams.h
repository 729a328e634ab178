#ifndef BLACKJACK_TESTS_STREAMS_H
#define BLACKJACK_TESTS_STREAMS_H

#include <istream>
#include <sstream>
#include <string>

namespace testing_support {

// Everything a stream has not handed out yet, whatever its state.
inline std::string rest_of(std::istream& is) {
    is.clear();
    std::ostringstream rest;
    rest << is.rdbuf();
    return rest.str();
}

}  // namespace testing_support

#endif
