#!/bin/sh
# Builds the page, build-web/blackjack.html, with emscripten. With "test",
# also plays it in headless chromium, beside the Linux build, through the
# terminal tests that every build must pass, and measures it. Installs what
# it needs first, as ./test does. Extra arguments go to CMake's configure
# steps (.ci/run passes -DBLACKJACK_WERROR=ON).
#   scripts/web.sh [test [CMAKE_ARGS...]]
set -eu
cd "$(dirname "$0")/.."
. scripts/need.sh
testing=
if [ "${1:-}" = test ]; then
  testing=1
  shift
  need_web_test_tools
else
  need_web_tools
fi
emcmake cmake -S . -B build-web "$@" >/dev/null
cmake --build build-web -j2
[ -n "$testing" ] || exit 0

(cd web && npm ci --no-audit --no-fund)
# The launcher's path goes into a shell command line, quoted.
here=$(pwd | sed "s/'/'\\\\''/g")
cmake -S . -B build-browser -DBLACKJACK_TESTS=ON -DBLACKJACK_GAME_LAUNCHER="node '$here/tests/support/page_in_browser.mjs'" \
  -DBLACKJACK_GAME_UNDER_TEST="$PWD/build-web/blackjack.html" "$@" >/dev/null
cmake --build build-browser --target blackjack_game_terminal_test -j2
# The terminal tests that hold for a page as for a terminal: no job control,
# no terminal settings, no shell behind it.
ctest --test-dir build-browser --output-on-failure -j2 -R \
  '^(GameOnAnotherSystem\.|GameScreens\.(Welcome|BothDeal|AResize)|GameKeys\.(DuringTheBustMessageAKey|DuringATie|DuringTheDealers|LinePrompts))'
BLACKJACK_PAGE="$PWD/build-web/blackjack.html" node --test tests/page_test.mjs
node bench/page_bench.mjs build-web/blackjack.html build-browser/blackjack build-browser/tests/libpreload_hooks.so
