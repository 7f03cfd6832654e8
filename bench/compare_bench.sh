#!/bin/sh
# The comparison benchmark: quorvel-cli diff of two 1,000,000-record,
# 12-field tables (1% of records with one changed field, 100 extra records
# in Table #2), side by side in one hyperfine run with the dbfread walk and
# with cat of both files (read bandwidth); median of 5 runs each, then the
# peak memory of quorvel-cli diff.
#
# usage: bench/compare_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data/compare)
set -eu
build=${1:?usage: bench/compare_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data/compare}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-5}

if [ ! -f "$data/1/bench.dbf" ] || [ ! -f "$data/2/bench.dbf" ]; then
    echo "writing the tables to $data ..."
    /usr/bin/python3 "$here/compare_bench_gen.py" "$data/1" "$data/2"
fi

# quorvel-cli diff exits with 1 when it finds differences: -i keeps hyperfine going.
hyperfine -i --warmup 1 --runs "$runs" --export-json "$data/hyperfine.json" \
    -n "quorvel-cli diff" "$cli diff $data/1 bench $data/2 bench > /dev/null" \
    -n "dbfread walk" "/usr/bin/python3 $here/compare_bench_dbfread.py $data/1/bench.dbf $data/2/bench.dbf > /dev/null" \
    -n "cat" "cat $data/1/bench.dbf $data/2/bench.dbf > /dev/null"

/usr/bin/python3 - "$data/hyperfine.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
ours = results["quorvel-cli diff"]
print("medians: " + ", ".join("%s %.3f s" % (k, v) for k, v in results.items()))
print("quorvel-cli diff: %.0fx faster than the dbfread walk, %.2fx the time of cat"
      % (results["dbfread walk"] / ours, ours / results["cat"]))
print("record pairs per second: quorvel-cli diff %.0f, dbfread walk %.0f"
      % (1_000_100 / ours, 1_000_100 / results["dbfread walk"]))
PY

/usr/bin/time -v "$cli" diff "$data/1" bench "$data/2" bench > "$data/lines.txt" 2> "$data/time.txt" || true
echo "difference lines: $(wc -l < "$data/lines.txt") ($(wc -c < "$data/lines.txt") bytes)"
grep "Maximum resident" "$data/time.txt"

# Maximum resident counts the pages of the two memory-mapped tables; split
# it into anonymous memory (what the comparison holds) and mapped file pages.
/usr/bin/python3 - "$cli" "$data" <<'PY'
import subprocess, sys
cli, data = sys.argv[1], sys.argv[2]
p = subprocess.Popen([cli, "diff", data + "/1", "bench", data + "/2", "bench"], stdout=subprocess.DEVNULL)
anon = mapped = 0
while p.poll() is None:
    try:
        status = open("/proc/%d/status" % p.pid).read()
    except OSError:
        break
    for line in status.splitlines():
        if line.startswith("RssAnon:"):
            anon = max(anon, int(line.split()[1]))
        elif line.startswith("RssFile:"):
            mapped = max(mapped, int(line.split()[1]))
print("sampled peak: anonymous %d kB, mapped file pages %d kB" % (anon, mapped))
PY
