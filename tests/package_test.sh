#!/bin/sh
# Builds the Debian package from the build and checks its fields and files.
#   package_test.sh BUILD_DIR
set -eu
build=$1
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (Debian package dpkg-dev)"; exit 77; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/blackjack_*.deb)
arch=$(dpkg --print-architecture)
field() { dpkg-deb -f "$deb" "$1"; }

fail=0
expect() {
  if [ "$2" != "$3" ]; then
    echo "$1: expected '$3', got '$2'"
    fail=1
  fi
}
expect Package "$(field Package)" blackjack
expect Architecture "$(field Architecture)" "$arch"
expect Section "$(field Section)" games
expect "file name" "$(basename "$deb")" "blackjack_$(field Version)_$arch.deb"
case "$(field Depends)" in
  *libc6*libstdc++6*|*libstdc++6*libc6*) ;;
  *) echo "Depends should name the C and C++ libraries: $(field Depends)"; fail=1 ;;
esac
[ -n "$(field Description)" ] || { echo "no Description"; fail=1; }

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in ./usr/games/blackjack ./usr/share/man/man6/blackjack.6.gz; do
  echo "$contents" | grep -qx "$file" || { echo "missing from the package: $file"; fail=1; }
done
extra=$(echo "$contents" | grep -v -x -e './' -e './usr/' -e './usr/games/' -e './usr/share/' -e './usr/share/man/' \
  -e './usr/share/man/man6/' -e './usr/games/blackjack' -e './usr/share/man/man6/blackjack.6.gz' || true)
[ -z "$extra" ] || { echo "unexpected files in the package:"; echo "$extra"; fail=1; }
exit $fail
