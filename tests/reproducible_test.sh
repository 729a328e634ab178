#!/bin/sh
# Builds the Debian package twice, from copies of the tree at two different
# paths, with SOURCE_DATE_EPOCH set, and compares the two byte for byte.
#   reproducible_test.sh
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null || echo 1700000000)
export SOURCE_DATE_EPOCH

# The second path has blanks and a letter beyond ASCII, as players' have.
for place in one "second/a place ♠"; do
  mkdir -p "$work/$place"
  (cd "$src" && git ls-files -z | xargs -0 cp --parents -t "$work/$place")
  cmake -S "$work/$place" -B "$work/$place/build" -DBLACKJACK_TESTS=OFF >/dev/null
  cmake --build "$work/$place/build" -j2 >/dev/null
  (cd "$work/$place/build" && cpack -G DEB -B "$work/$place/package" >/dev/null)
done
first=$(ls "$work"/one/package/*.deb)
second=$(ls "$work/second/a place ♠"/package/*.deb)
if ! cmp "$first" "$second"; then
  echo "the packages differ:"
  for deb in "$first" "$second"; do
    dpkg-deb --contents "$deb"
    md5sum "$deb"
  done
  exit 1
fi
echo "the same package from two paths: $(md5sum < "$first" | cut -c1-32)"
