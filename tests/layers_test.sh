#!/usr/bin/env bash
# The layer check passes on this project's sources and fails, naming the
# file, on a copy of them with one include that runs back up.
#   layers_test.sh CHECK SRC
set -uo pipefail
check="$1"
src="$2"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failed=0

if ! out=$("$check" "$src"); then
  echo "the project's own sources fail the check:"; echo "$out"; failed=1
fi

# expect_refused FILE LINE WORDS: a copy with LINE added to FILE fails, and
# the message names FILE and WORDS.
expect_refused() {
  rm -rf "$scratch/src"
  cp -r "$src" "$scratch/src"
  mkdir -p "$(dirname "$scratch/src/$1")"
  printf '%s\n' "$2" >>"$scratch/src/$1"
  local out status
  out=$("$check" "$scratch/src")
  status=$?
  if [ "$status" -ne 1 ] || ! grep -qF "$1: includes" <<<"$out" || ! grep -qF "$3" <<<"$out"; then
    echo "not refused as it should be ($1: $2): status $status, output:"; echo "$out"; failed=1
  fi
}

expect_refused foxpro/format/generated.h '#include "foxpro/sql/sql.h"' "foxpro/sql/ stands above foxpro/format/"
expect_refused foxpro/read/table_reader.cpp '#include "foxpro/write/atomic_file.h"' "foxpro/write/ stands above foxpro/read/"
expect_refused foxpro/platform/generated.h '#include "foxpro/read/file_names.h"' "foxpro/read/ stands above foxpro/platform/"
expect_refused frame/generated.h '#include "compare/compare.h"' "a folder above frame/"
expect_refused compare/generated.cpp '#include <QString>' "Qt outside the windows"
expect_refused data/generated.cpp '#include <unistd.h>' "a system header above the platform part"
exit "$failed"
