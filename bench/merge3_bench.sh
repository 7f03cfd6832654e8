#!/bin/sh
# The three-way merge benchmark: quorvel-cli merge3 of three 1,000,000-
# record, 12-field tables (each side changed another field in every 100th
# record, both appended the same 100), by key and by content, side by side
# in one hyperfine run with cat of the three files; median of 5 runs each.
#
# usage: bench/merge3_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data/merge3)
# RUNS=n sets the runs per command; COLD=s waits s seconds before each run,
# as a merge run now and then does: on a virtual machine that gives freed
# memory back to its host, memory taken again after a pause costs far more
# than memory a run just before let go of.
set -eu
build=${1:?usage: bench/merge3_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data/merge3}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-5}
prepare=${COLD:+sleep $COLD}

if [ ! -f "$data/theirs/bench.dbf" ]; then
    echo "writing the tables to $data ..."
    /usr/bin/python3 "$here/merge3_bench_gen.py" "$data"
fi
tables="$data/base/bench.dbf $data/ours/bench.dbf $data/theirs/bench.dbf"

hyperfine --warmup 1 --runs "$runs" ${prepare:+--prepare "$prepare"} \
    --export-json "$data/hyperfine.json" \
    -n "merge3 --key ID" "$cli merge3 $tables --key ID --force -o $data/out.dbf > /dev/null" \
    -n "merge3 by content" "$cli merge3 $tables --force -o $data/out.dbf > /dev/null" \
    -n "cat" "cat $tables > /dev/null"

/usr/bin/python3 - "$data/hyperfine.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
print("medians: " + ", ".join("%s %.3f s" % (k, v) for k, v in results.items()))
for name in ("merge3 --key ID", "merge3 by content"):
    print("%s: %.2fx the time of cat" % (name, results[name] / results["cat"]))
PY
