#!/bin/sh
# The read benchmark: read_bench (every value of every record of a
# 1,000,000-record, 12-field Visual FoxPro table) against python3-dbfread
# iterating the same table and against cat of the file (read bandwidth), in
# one hyperfine run, median of 5 runs each.
#
# usage: bench/read_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; BUILD_FOLDER configured with
# -DQUORVEL_BENCH=ON; DATA_FOLDER defaults to bench-data/read)
set -eu
build=${1:?usage: bench/read_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data/read}
here=$(dirname "$0")
runs=${RUNS:-5}
records=${RECORDS:-1000000}

mkdir -p "$data"
if [ ! -f "$data/big.dbf" ]; then
    echo "writing $records records to $data/big.dbf ..."
    /usr/bin/python3 "$here/read_bench_gen.py" "$data/big.dbf" "$records"
fi
"$build/bench/read_bench" "$data" big

hyperfine --warmup 1 --runs "$runs" --export-json "$data/hyperfine.json" \
    -n "read_bench" "$build/bench/read_bench $data big" \
    -n "dbfread" "/usr/bin/python3 $here/read_bench_dbfread.py $data/big.dbf" \
    -n "cat" "cat $data/big.dbf > /dev/null"

/usr/bin/python3 - "$data/hyperfine.json" "$records" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
records = int(sys.argv[2])
ours, ref, cat = results["read_bench"], results["dbfread"], results["cat"]
print("median of runs: read_bench %.3f s (%.0f records/s), dbfread %.3f s (%.0f records/s), "
      "cat %.3f s (%.0f records/s)" % (ours, records / ours, ref, records / ref, cat, records / cat))
print("read_bench is %.1fx faster than dbfread (goal >= 30x) and takes %.1fx the time of cat "
      "(goal <= 10x)" % (ref / ours, ours / cat))
PY
