// What the C library knows of characters. A terminal on this system counts
// columns with the same knowledge (tmux asks wcwidth), so a character the
// C library does not know gets no picture there.

#include "platform.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <cwchar>

namespace console::platform {

namespace {

bool is_utf8(locale_t locale) {
    const char* codeset = nl_langinfo_l(CODESET, locale);
    return codeset != nullptr && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

// The player's character set when it is UTF-8; else the C library's own
// UTF-8 one, as the game writes UTF-8 whatever the player's locale says.
// Asked aside (uselocale), so the program's own locale stays "C".
locale_t utf8_locale() {
    for (const char* name : {"", "C.UTF-8", "C.utf8", "UTF-8"}) {
        const locale_t found = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
        if (found != static_cast<locale_t>(nullptr) && is_utf8(found)) {
            return found;
        }
        if (found != static_cast<locale_t>(nullptr)) {
            freelocale(found);
        }
    }
    return static_cast<locale_t>(nullptr);
}

}  // namespace

bool knows_character(long c) {
    static const locale_t utf8 = utf8_locale();
    if (utf8 == static_cast<locale_t>(nullptr) || c < 0 || c > WCHAR_MAX) {
        return true;  // nothing to ask: the game's table alone
    }
    const locale_t before = uselocale(utf8);
    const int width = wcwidth(static_cast<wchar_t>(c));
    uselocale(before);
    return width >= 0;
}

}  // namespace console::platform
