#!/bin/sh
# Installs the build into a new prefix, then checks that the game there
# plays a piped game to its farewell and that its manual page is in place
# and clean.
#   install_test.sh BUILD_DIR PRELOAD_HOOKS_LIBRARY
set -eu
build=$1
hooks=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
game="$prefix/games/blackjack"
page="$prefix/share/man/man6/blackjack.6.gz"
[ -x "$game" ] || { echo "not installed: $game"; exit 1; }
[ -f "$page" ] || { echo "not installed: $page"; exit 1; }

# The hooks only run the clock fast, so the farewell's wait passes quickly.
out=$(printf 'n\n' | FAKE_CLOCK_SPEED=50 LD_PRELOAD="$hooks" ASAN_OPTIONS=verify_asan_link_order=0 "$game")
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
