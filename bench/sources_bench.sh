#!/bin/sh
# The whole-source benchmark: quorvel-cli diff SOURCE1 SOURCE2 over two
# 40-table sources of 2,000,000 records in all, against the sum of the 40
# single-table comparisons (one process each, run one after another), in
# one hyperfine run, median of 5 runs each; then the peak memory of the
# whole-source run and of one single-table run.
#
# usage: bench/sources_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data)
set -eu
build=${1:?usage: bench/sources_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-5}
s=$data/sources

if [ ! -f "$s/2/t40.dbf" ]; then
    echo "writing the sources to $s ..."
    /usr/bin/python3 "$here/sources_bench_gen.py" "$s"
fi

singles=$s/singles.sh
{
    echo 'for t in $(seq -w 1 40); do'
    echo "  \"$cli\" diff --key auto \"$s/1\" t\$t \"$s/2\" t\$t > /dev/null"
    echo 'done; true'
} > "$singles"
# The cost of starting the tool 40 times, which the single-table runs pay
# and the whole-source run does not: subtract it for the ratio.
mkdir -p "$s/empty"
starts=$s/starts.sh
{
    echo 'for t in $(seq -w 1 40); do'
    echo "  \"$cli\" tables \"$s/empty\" > /dev/null"
    echo 'done'
} > "$starts"

"$cli" diff "$s/1" "$s/2" --summary | head -2 || true

# quorvel-cli diff exits with 1 when it finds differences: -i keeps hyperfine going.
hyperfine -N -i --warmup 1 --runs "$runs" --export-json "$data/sources-hyperfine.json" \
    -n "whole source" "$cli diff $s/1 $s/2" \
    -n "40 single tables" "sh $singles" \
    -n "40 starts" "sh $starts"
/usr/bin/python3 -c '
import json, sys
r = {b["command"]: b["median"] for b in json.load(open(sys.argv[1]))["results"]}
whole, singles, starts = r["whole source"], r["40 single tables"], r["40 starts"]
print("medians: whole %.1f ms, singles %.1f ms, starts %.1f ms; whole / (singles - starts) = %.2f"
      % (whole * 1e3, singles * 1e3, starts * 1e3, whole / (singles - starts)))
' "$data/sources-hyperfine.json"

for run in "$cli diff $s/1 $s/2" "$cli diff --key auto $s/1 t01 $s/2 t01"; do
    /usr/bin/time -f "peak memory %M KiB: $run" $run > /dev/null || true
done
