#!/bin/sh
# The merge benchmark at full size: every one of 1,000,000 records changed
# (one update line each) and 100,000 added records, merged into a copy of
# Table #1 (merge_bench, median of 5 runs), then cat of both tables in the
# same folder for scale (hyperfine, median of 5).
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
