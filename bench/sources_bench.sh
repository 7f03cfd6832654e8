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

"$cli" diff "$s/1" "$s/2" --summary | head -2 || true

# quorvel-cli diff exits with 1 when it finds differences: -i keeps hyperfine going.
hyperfine -N -i --warmup 1 --runs "$runs" --export-json "$data/sources-hyperfine.json" \
    -n "whole source" "$cli diff $s/1 $s/2" \
    -n "40 single tables" "sh $singles"

for run in "$cli diff $s/1 $s/2" "$cli diff --key auto $s/1 t01 $s/2 t01"; do
    /usr/bin/time -f "peak memory %M KiB: $run" $run > /dev/null || true
done
