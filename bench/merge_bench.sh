#!/bin/sh
# The merge benchmark at full size: every one of 1,000,000 records changed
# (one update line each) and 100,000 added records, merged into a copy of
# Table #1 (merge_bench, median of 5 runs), then cat of both tables in the
# same folder for scale (hyperfine, median of 5).  Then quorvel-cli merge
# of the same pair (comparison included) beside cat of the three files
# (Table #1, Table #2, the new table) in one hyperfine run, its peak memory,
# and the system calls it makes (strace -c) when strace is there.
#
# usage: bench/merge_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data/merge)
set -eu
build=${1:?usage: bench/merge_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data/merge}
runs=${RUNS:-5}
mkdir -p "$data"
"$build/bench/merge_bench" "$data" "$runs" 1000000 100000
hyperfine --warmup 1 --runs "$runs" --export-json "$data/cat.json" \
    -n "cat" "cat $data/t1.dbf $data/t2.dbf > /dev/null" > /dev/null
/usr/bin/python3 -c "import json, sys; print('cat of both tables: median %.3f s' % json.load(open(sys.argv[1]))['results'][0]['median'])" "$data/cat.json"

cli=$build/src/cli/quorvel-cli
"$cli" merge "$data" t1 "$data" t2 climerge --force
hyperfine -N -i --warmup 1 --runs "$runs" --export-json "$data/cli.json" \
    -n "cat of the three files" "cat $data/t1.dbf $data/t2.dbf $data/climerge.dbf" \
    -n "quorvel-cli merge" "$cli merge $data t1 $data t2 climerge --force" > /dev/null
/usr/bin/python3 - "$data/cli.json" <<'PY'
import json, sys
m = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
cat, merge = m["cat of the three files"], m["quorvel-cli merge"]
print("quorvel-cli merge: median %.3f s, cat of the three files %.3f s: %.1fx" % (merge, cat, merge / cat))
PY
/usr/bin/time -v "$cli" merge "$data" t1 "$data" t2 climerge --force 2> "$data/time.txt" > /dev/null
grep 'Maximum resident' "$data/time.txt"
if command -v strace > /dev/null; then
    strace -f -c -o "$data/strace.txt" "$cli" merge "$data" t1 "$data" t2 climerge --force > /dev/null
    grep -E 'pread64|pwrite64|newfstatat|fstat' "$data/strace.txt" || true
fi
