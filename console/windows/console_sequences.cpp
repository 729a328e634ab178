#include "windows/console_sequences.h"

#include "characters.h"

namespace console::windows {

namespace {

// The parameters of ESC [ p1 ; p2 ... final; absent or empty ones are 0.
std::vector<int> parameters(std::string_view body) {
    std::vector<int> values(1, 0);
    for (const char c : body) {
        if (c == ';') {
            values.push_back(0);
        } else if (c >= '0' && c <= '9' && values.back() < 100000) {
            values.back() = values.back() * 10 + (c - '0');
        }
    }
    return values;
}

int at_least_one(int value) {
    return value < 1 ? 1 : value;
}

void add_text(std::vector<ConsoleAction>& actions, std::string_view text) {
    if (!actions.empty() && actions.back().kind == ConsoleAction::Kind::kText) {
        actions.back().text.append(text);
    } else {
        actions.push_back({ConsoleAction::Kind::kText, std::string(text)});
    }
}

}  // namespace

std::vector<ConsoleAction> SequenceSplitter::split(std::string_view text) {
    carry_.append(text);
    const std::string_view all = carry_;
    std::vector<ConsoleAction> actions;
    std::size_t at = 0;
    while (at < all.size()) {
        if (all[at] != '\x1b') {
            std::size_t end = at;
            while (end < all.size() && all[end] != '\x1b') {
                const auto lead = static_cast<unsigned char>(all[end]);
                const std::size_t length = 1 + static_cast<std::size_t>(continuation_count(lead));
                if (end + length > all.size()) {
                    break;
                }
                end += length;
            }
            if (end == at) {
                break;  // a character cut off: the rest comes with the next call
            }
            add_text(actions, all.substr(at, end - at));
            at = end;
            continue;
        }
        if (at + 1 >= all.size()) {
            break;
        }
        if (all[at + 1] != '[') {
            at += 2;  // not one of ours
            continue;
        }
        std::size_t final_at = at + 2;
        while (final_at < all.size() && (all[final_at] < 0x40 || all[final_at] > 0x7E)) {
            final_at++;
        }
        if (final_at >= all.size()) {
            break;
        }
        const std::vector<int> p = parameters(all.substr(at + 2, final_at - at - 2));
        switch (all[final_at]) {
        case 'H':
            actions.push_back({ConsoleAction::Kind::kMove, {}, at_least_one(p.size() > 1 ? p[1] : 1), at_least_one(p[0])});
            break;
        case 'J':
            if (p[0] == 2) {
                actions.push_back({ConsoleAction::Kind::kClear, {}});
            }
            break;
        case 'C':
            actions.push_back({ConsoleAction::Kind::kRight, {}, 1, 1, at_least_one(p[0])});
            break;
        default:
            break;
        }
        at = final_at + 1;
    }
    carry_.erase(0, at);
    return actions;
}

}  // namespace console::windows
