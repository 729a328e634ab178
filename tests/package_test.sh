#!/bin/sh
# Builds the Debian package from the build and checks its fields, its files,
# its hardening (unless the build is plain, as the sanitizer build is) and
# what lintian says.
#   package_test.sh BUILD_DIR hardened|plain
set -eu
build=$1
hardening=$2
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

files="./usr/games/blackjack ./usr/share/man/man6/blackjack.6.gz ./usr/share/doc/blackjack/copyright
./usr/share/doc/blackjack/changelog.gz"
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for file in $files; do
  echo "$contents" | grep -qx "$file" || { echo "missing from the package: $file"; fail=1; }
done
extra=$(echo "$contents" | grep -v -x -e './' -e './usr/' -e './usr/games/' -e './usr/share/' -e './usr/share/man/' \
  -e './usr/share/man/man6/' -e './usr/share/doc/' -e './usr/share/doc/blackjack/' $(printf -- '-e %s ' $files) || true)
[ -z "$extra" ] || { echo "unexpected files in the package:"; echo "$extra"; fail=1; }

# Hardened as Debian builds are: a position-independent executable with
# full RELRO.
unpacked="$out/unpacked"
dpkg-deb -x "$deb" "$unpacked"
if [ "$hardening" = hardened ] && command -v readelf >/dev/null; then
  readelf -h "$unpacked/usr/games/blackjack" | grep -q 'Type: *DYN' || { echo "not position-independent"; fail=1; }
  readelf -l "$unpacked/usr/games/blackjack" | grep -q GNU_RELRO || { echo "no RELRO"; fail=1; }
  readelf -d "$unpacked/usr/games/blackjack" | grep -q BIND_NOW || { echo "no BIND_NOW"; fail=1; }
fi

# What a distribution checks first. Without lintian the rest still counts,
# but the test says it was skipped.
if ! command -v lintian >/dev/null; then
  echo "lintian is not installed (Debian package lintian): the package is not linted"
  [ $fail -eq 0 ] && exit 77
  exit $fail
fi
lint=$(lintian "$deb" 2>/dev/null || true)
if [ -n "$lint" ]; then
  echo "lintian:"
  echo "$lint"
  fail=1
fi
exit $fail
