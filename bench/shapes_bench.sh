#!/bin/sh
# The shapes benchmark: quorvel-cli diff of the comparison benchmark's
# Table #1 against Tables #2 of other layouts (a field dropped, the fields
# reversed) and against itself less record 10 (every later pair differs:
# millions of lines), side by side with cat of both files in one hyperfine
# run, median of 5 runs each; then the peak memory of each diff.
#
# usage: bench/shapes_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data)
set -eu
build=${1:?usage: bench/shapes_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-5}
t1=$data/compare/1

if [ ! -f "$t1/bench.dbf" ]; then
    echo "writing Table #1 to $t1 ..."
    /usr/bin/python3 "$here/compare_bench_gen.py" "$t1" "$data/compare/2"
fi
if [ ! -f "$data/shapes/packed/bench.dbf" ]; then
    echo "writing the Tables #2 to $data/shapes ..."
    /usr/bin/python3 "$here/shapes_bench_gen.py" "$data/shapes"
fi

# quorvel-cli diff exits with 1 when it finds differences: -i keeps hyperfine going.
hyperfine -i --warmup 1 --runs "$runs" --export-json "$data/shapes.json" \
    -n "dropped field" "$cli diff $t1 bench $data/shapes/dropped bench > /dev/null" \
    -n "reordered fields" "$cli diff $t1 bench $data/shapes/reordered bench > /dev/null" \
    -n "record 10 removed" "$cli diff $t1 bench $data/shapes/packed bench > /dev/null" \
    -n "cat" "cat $t1/bench.dbf $data/shapes/dropped/bench.dbf > /dev/null"

/usr/bin/python3 - "$data/shapes.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
cat = results.pop("cat")
print("medians: cat %.3f s" % cat)
for name, median in results.items():
    print("  %-18s %.3f s  %.2fx the time of cat" % (name, median, median / cat))
PY

for shape in dropped reordered packed; do
    /usr/bin/time -f "%M" -o "$data/shapes-time.txt" \
        "$cli" diff "$t1" bench "$data/shapes/$shape" bench > "$data/shapes-lines.txt" || true
    echo "$shape: $(wc -l < "$data/shapes-lines.txt") lines," \
        "peak resident $(($(tail -n 1 "$data/shapes-time.txt") / 1024)) MB"
done
rm -f "$data/shapes-lines.txt" "$data/shapes-time.txt"
