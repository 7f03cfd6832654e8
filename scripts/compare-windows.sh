#!/usr/bin/env bash
# Runs the command-line tool's verbs on the samples and the shared fixtures
# with the Linux build (build/) and the Windows build under Wine
# (build-windows/), and compares standard output, standard error and exit
# status byte for byte.  A table merged under Wine must read back the same in
# the Linux build and in python3-dbfread.  Builds neither: run test.sh and
# build-windows.sh first.
# Usage: compare-windows.sh [LINUX_CLI [WINDOWS_CLI]]
set -euo pipefail
cd "$(dirname "$0")/.."

linux=${1:-build/src/cli/quorvel-cli}
windows=${2:-build-windows/src/cli/quorvel-cli.exe}
. scripts/lib/wine.sh
for f in "$linux" "$windows" "$wine"; do
  if [ -z "$f" ] || [ ! -x "$f" ]; then
    echo "compare-windows.sh: missing ${f:-wine64} (build both first)" >&2
    exit 2
  fi
done
export LC_ALL=C.UTF-8 LANG=C.UTF-8

work=$(mktemp -d)
# Wine's server and services are ended with the script, not left behind.
trap 'rm -rf "$work"; wine_end' EXIT
cases=0
failed=0

# Runs one command with both builds; the arguments are the tool's.
same() {
  cases=$((cases + 1))
  local status_l=0 status_w=0
  "$linux" "$@" >"$work/l.out" 2>"$work/l.err" || status_l=$?
  "$wine" "$windows" "$@" >"$work/w.out" 2>"$work/w.err" || status_w=$?
  if ! cmp -s "$work/l.out" "$work/w.out" || ! cmp -s "$work/l.err" "$work/w.err" ||
     [ "$status_l" != "$status_w" ]; then
    failed=$((failed + 1))
    echo "DIFFERS: quorvel-cli $* (exit $status_l / $status_w)"
    diff <(od -c "$work/l.out") <(od -c "$work/w.out") | head -5 || true
    diff "$work/l.err" "$work/w.err" | head -5 || true
  fi
}

samples=samples/Samples
changed=samples/Samples1
fixtures=../shared/fixtures/public
same --version
same tables "$samples"
same tables nonexistent-folder
for table in customers orders products; do
  same show "$samples" "$table"
  same show --localized "$changed" "$table"
  for format in text json csv; do
    same diff --format "$format" "$samples" "$table" "$changed" "$table"
  done
  same diff --align "$samples" "$table" "$changed" "$table"
  same diff --ignore-case --ignore-trailing-blanks --schema "$samples" "$table" "$changed" "$table"
  same diff --report - "$samples" "$table" "$changed" "$table"
done
same sql "$samples" "SELECT * FROM customers"
same sql "$samples" "SELECT * FROM nosuchtable"
if [ -d "$fixtures" ]; then
  same tables "$fixtures"
  for dbf in "$fixtures"/*.dbf "$fixtures"/foxprodb/*.dbf; do
    name=$(basename "$dbf" .dbf)
    same show "$(dirname "$dbf")" "$name"
    same diff --format json "$(dirname "$dbf")" "$name" "$(dirname "$dbf")" "$name"
  done
  for dbc in "$fixtures"/foxprodb/*.DBC "$fixtures"/foxprodb/*.dbc; do
    [ -e "$dbc" ] && same tables "$dbc"
  done
  same show --encoding 866 "$fixtures" cp1251
fi

# merge: each build into a copy of the samples; the new tables are equal,
# and the one made under Wine reads back in the Linux build and in dbfread.
for side in l w; do
  mkdir -p "$work/m$side"
  cp -r "$samples"/. "$work/m$side"
done
cases=$((cases + 1))
"$linux" merge "$work/ml" customers "$changed" customers merged >"$work/l.out" 2>&1 || true
"$wine" "$windows" merge "$work/mw" customers "$changed" customers merged >"$work/w.out" 2>&1 || true
sed -i "s|$work/m[lw]|M|g" "$work/l.out" "$work/w.out"
for ext in dbf fpt; do
  if ! cmp "$work/ml/merged.$ext" "$work/mw/merged.$ext" || ! cmp -s "$work/l.out" "$work/w.out"; then
    failed=$((failed + 1))
    echo "DIFFERS: merge (merged.$ext or its output)"
  fi
done
cases=$((cases + 1))
if ! cmp -s <("$linux" show "$work/ml" merged) <("$linux" show "$work/mw" merged); then
  failed=$((failed + 1))
  echo "DIFFERS: the Linux build reads the merge made under Wine otherwise"
fi
cases=$((cases + 1))
read_back='import sys, dbfread
print([dict(r) for r in dbfread.DBF(sys.argv[1], char_decode_errors="strict")])'
if ! cmp -s <(/usr/bin/python3 -c "$read_back" "$work/ml/merged.dbf") \
            <(/usr/bin/python3 -c "$read_back" "$work/mw/merged.dbf"); then
  failed=$((failed + 1))
  echo "DIFFERS: dbfread reads the merge made under Wine otherwise"
fi

echo "compare-windows.sh: $cases cases, $failed differ"
[ "$failed" -eq 0 ]
