#!/bin/sh
# Installs the build into a new prefix, stripped, then checks that the game
# there plays a piped game to its farewell and that its manual page and the
# copyright and changelog are in place, the page clean.
#   install_test.sh BUILD_DIR PRELOAD_HOOKS_LIBRARY
set -eu
build=$1
hooks=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

# Building the game alone, as ./play does, builds all that installing needs.
rm -f "$build"/doc/*.gz
cmake --build "$build" --target blackjack >/dev/null
cmake --install "$build" --prefix "$prefix" --strip >/dev/null
game="$prefix/games/blackjack"
page="$prefix/share/man/man6/blackjack.6.gz"
for file in "$game" "$page" "$prefix/share/doc/blackjack/copyright" "$prefix/share/doc/blackjack/changelog.gz"; do
  [ -f "$file" ] || { echo "not installed: $file"; exit 1; }
done
if command -v readelf >/dev/null && readelf -S "$game" | grep -q '\.symtab'; then
  echo "installed with --strip, yet not stripped: $game"
  exit 1
fi

# The hooks only run the clock fast, so the farewell's wait passes quickly.
# The loader splits LD_PRELOAD at blanks: they are named by a link in a
# folder without any.
links=$(mktemp -d /tmp/blackjack-install-XXXXXX)
trap 'rm -rf "$prefix" "$links"' EXIT
ln -s "$hooks" "$links/preload_hooks.so"
out=$(printf 'n\n' | FAKE_CLOCK_SPEED=50 LD_PRELOAD="$links/preload_hooks.so" ASAN_OPTIONS=verify_asan_link_order=0 \
  "$game")
case "$out" in
  *"Thank you for playing pellimo blackjack."*) ;;
  *) echo "the installed game did not reach its farewell:"; echo "$out"; exit 1 ;;
esac

if command -v mandoc >/dev/null; then
  gzip -dc "$page" | mandoc -T lint -W warning
elif command -v groff >/dev/null; then
  warnings=$(gzip -dc "$page" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || { echo "$warnings"; exit 1; }
else
  echo "neither mandoc nor groff is installed to check the manual page"
  exit 77
fi
echo "installed and checked under $prefix"
