#!/usr/bin/env bash
# Unpacks the regex test corpora from Debian 12 packages into <data>/regex:
#   golang-1.19-src:          src/regexp/testdata/re2-search.txt, basic.dat,
#                             nullsubexpr.dat, repetition.dat (RE2 and AT&T)
#   libpython3.11-testsuite:  test/re_tests.py (Python's re tests)
# Only "apt-get download" and "dpkg-deb -x" into a temporary folder; nothing
# is installed. Idempotent: does nothing when the files are there.
set -euo pipefail

DEST="${1:?usage: fetch_data.sh <data-dir>}/regex"
FILES=(re2-search.txt basic.dat nullsubexpr.dat repetition.dat re_tests.py)

have_all=1
for f in "${FILES[@]}"; do
  [ -s "$DEST/$f" ] || have_all=0
done
[ "$have_all" = 1 ] && exit 0

mkdir -p "$DEST"
TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT
chmod 755 "$TMP"  # apt's download user must be able to write there

download() {
  (cd "$TMP" && apt-get download -qq "$@" >/dev/null 2>&1) && return 0
  apt-get update -qq >/dev/null 2>&1 || true
  (cd "$TMP" && apt-get download -qq "$@" >/dev/null 2>&1)
}

download golang-1.19-src libpython3.11-testsuite
for deb in "$TMP"/*.deb; do
  dpkg-deb -x "$deb" "$TMP/x"
done
cp "$TMP"/x/usr/share/go-1.19/src/regexp/testdata/{re2-search.txt,basic.dat,nullsubexpr.dat,repetition.dat} "$DEST/"
cp "$TMP"/x/usr/lib/python3.11/test/re_tests.py "$DEST/"
echo "regex corpora in $DEST"
