#!/bin/sh
# The largest tables: quorvel-cli diff of two tables of the comparison
# benchmark's records (RECORDS, default 12,000,000: 1.87 GB each, near the
# 2 GB a table file may hold; one record in 100 changed, 100 appended),
# side by side with cat of both files in one hyperfine run (median of 5),
# then the peak memory of the diff.  Needs twice the tables' size on disk:
# check with df first, and remove DATA_FOLDER afterwards.
#
# usage: bench/large_bench.sh BUILD_FOLDER [DATA_FOLDER] [RECORDS]
# (run from the repository root; DATA_FOLDER defaults to bench-data/large)
set -eu
build=${1:?usage: bench/large_bench.sh BUILD_FOLDER [DATA_FOLDER] [RECORDS]}
data=${2:-bench-data/large}
records=${3:-12000000}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-5}

if [ ! -f "$data/1/bench.dbf" ] || [ ! -f "$data/2/bench.dbf" ]; then
    echo "writing the tables to $data ..."
    /usr/bin/python3 "$here/compare_bench_gen.py" "$data/1" "$data/2" "$records" 100
fi
ls -l "$data/1/bench.dbf" "$data/2/bench.dbf"

hyperfine -i --warmup 1 --runs "$runs" --export-json "$data/hyperfine.json" \
    -n "quorvel-cli diff" "$cli diff $data/1 bench $data/2 bench > /dev/null" \
    -n "cat" "cat $data/1/bench.dbf $data/2/bench.dbf > /dev/null" > /dev/null

/usr/bin/python3 - "$data/hyperfine.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
ours, cat = results["quorvel-cli diff"], results["cat"]
print("medians: quorvel-cli diff %.3f s, cat %.3f s: %.2fx the time of cat" % (ours, cat, ours / cat))
PY

# Peak resident memory split into anonymous memory (what the comparison
# holds) and mapped table pages (which the kernel may take back any time).
/usr/bin/python3 - "$cli" "$data" <<'PY'
import subprocess, sys, threading, time
cli, data = sys.argv[1], sys.argv[2]
p = subprocess.Popen([cli, "diff", data + "/1", "bench", data + "/2", "bench"],
                     stdout=subprocess.PIPE)
count = [0]
def read():
    for chunk in iter(lambda: p.stdout.read(1 << 20), b""):
        count[0] += chunk.count(b"\n")
reader = threading.Thread(target=read)
reader.start()
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
    time.sleep(0.01)
reader.join()
print("difference lines: %d; sampled peak: anonymous %d kB, mapped table pages %d kB"
      % (count[0], anon, mapped))
PY
