#!/bin/sh
# The pairing benchmark: quorvel-cli diff with --align and --key on
# 1,000,000-record, 12-field tables, beside cat of the same two files (read
# bandwidth), in one hyperfine run (no shell between, -N), median of 7 runs
# each; then the peak memory of every run.  The ratios to cat are what
# counts on a shared machine: goals --key ID on the compare pair and
# --align on packed at most 2x cat, --align on the compare pair at most 4x,
# position pairing as before; --key ID on packed (one record removed) and
# the other way round (one added) at most 2x cat too: the keys part there
# and pair again in key order.
#
#   packed   Table #2 is Table #1 less record 10: --align must give the one
#            line "Record 10 deleted from bench"
#   compare  the comparison benchmark's pair (1% of records changed, 100
#            added): --key ID must give the lines of position pairing
#   changed  every record changed: neither pairing may go quadratic
#   reversed Table #2 in reverse order: --key reads it out of order
#   sparse   every record changed but every 1000th: --align weighs stretches
#            of 999 records a side until its budget is spent
#
# usage: bench/pairing_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data)
set -eu
build=${1:?usage: bench/pairing_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-7}
p=$data/pairing
c=$data/compare

if [ ! -f "$p/sparse/bench.dbf" ]; then
    echo "writing the pairing tables to $p ..."
    /usr/bin/python3 "$here/pairing_bench_gen.py" "$p"
fi
if [ ! -f "$c/1/bench.dbf" ] || [ ! -f "$c/2/bench.dbf" ]; then
    echo "writing the comparison tables to $c ..."
    /usr/bin/python3 "$here/compare_bench_gen.py" "$c/1" "$c/2"
fi

# The lines first: what the timings are worth depends on them.
"$cli" diff "$p/1" bench "$p/packed" bench --align > "$p/align-packed.txt" || true
printf 'packed, --align: %s line(s): %s\n' "$(wc -l < "$p/align-packed.txt")" "$(head -1 "$p/align-packed.txt")"
"$cli" diff "$p/1" bench "$p/packed" bench --key ID > "$p/key-packed.txt" || true
printf 'packed, --key ID: %s line(s): %s\n' "$(wc -l < "$p/key-packed.txt")" "$(head -1 "$p/key-packed.txt")"
"$cli" diff "$c/1" bench "$c/2" bench > "$c/position.txt" || true
"$cli" diff "$c/1" bench "$c/2" bench --key ID > "$c/key.txt" || true
if cmp -s "$c/position.txt" "$c/key.txt"; then same=yes; else same=NO; fi
echo "compare pair, --key ID: $(wc -l < "$c/key.txt") lines, the same as position pairing: $same"

# quorvel-cli diff exits with 1 when it finds differences: -i keeps hyperfine
# going; hyperfine itself sends the output to /dev/null.
hyperfine -N -i --warmup 1 --runs "$runs" --export-json "$data/pairing-hyperfine.json" \
    -n "cat packed" "cat $p/1/bench.dbf $p/packed/bench.dbf" \
    -n "align packed" "$cli diff $p/1 bench $p/packed bench --align" \
    -n "key packed" "$cli diff $p/1 bench $p/packed bench --key ID" \
    -n "key added" "$cli diff $p/packed bench $p/1 bench --key ID" \
    -n "cat compare" "cat $c/1/bench.dbf $c/2/bench.dbf" \
    -n "position compare" "$cli diff $c/1 bench $c/2 bench" \
    -n "key compare" "$cli diff $c/1 bench $c/2 bench --key ID" \
    -n "align compare" "$cli diff $c/1 bench $c/2 bench --align" \
    -n "position changed" "$cli diff $p/1 bench $p/changed bench" \
    -n "key changed" "$cli diff $p/1 bench $p/changed bench --key ID" \
    -n "align changed" "$cli diff $p/1 bench $p/changed bench --align" \
    -n "key reversed" "$cli diff $p/1 bench $p/reversed bench --key ID" \
    -n "align reversed" "$cli diff $p/1 bench $p/reversed bench --align" \
    -n "position sparse" "$cli diff $p/1 bench $p/sparse bench" \
    -n "align sparse" "$cli diff $p/1 bench $p/sparse bench --align"

/usr/bin/python3 - "$data/pairing-hyperfine.json" <<'PY'
import json, sys
m = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
print("medians: " + ", ".join("%s %.3f s" % (k, v) for k, v in m.items()))
print("align packed: %.2fx cat of the pair (goal 2x)" % (m["align packed"] / m["cat packed"]))
print("key packed: %.2fx cat of the pair (goal 2x)" % (m["key packed"] / m["cat packed"]))
print("key added: %.2fx cat of the pair (goal 2x)" % (m["key added"] / m["cat packed"]))
print("key compare: %.2fx cat of the pair, goal 2x (position: %.2fx)"
      % (m["key compare"] / m["cat compare"], m["position compare"] / m["cat compare"]))
print("align compare: %.2fx cat of the pair (goal 4x)" % (m["align compare"] / m["cat compare"]))
print("every record changed: key %.2fx, align %.2fx the time of position pairing"
      % (m["key changed"] / m["position changed"], m["align changed"] / m["position changed"]))
print("all but every 1000th changed: align %.2fx the time of position pairing"
      % (m["align sparse"] / m["position sparse"]))
PY

peak() {
    /usr/bin/time -v "$cli" diff "$@" > /dev/null 2> "$data/time.txt" || true
    printf '%-44s %s\n' "$*" "$(grep 'Maximum resident' "$data/time.txt")"
}
peak "$p/1" bench "$p/packed" bench --align
peak "$p/1" bench "$p/packed" bench --key ID
peak "$p/packed" bench "$p/1" bench --key ID
peak "$c/1" bench "$c/2" bench --key ID
peak "$c/1" bench "$c/2" bench --align
peak "$p/1" bench "$p/changed" bench --key ID
peak "$p/1" bench "$p/changed" bench --align
peak "$p/1" bench "$p/reversed" bench --key ID
peak "$p/1" bench "$p/reversed" bench --align
peak "$p/1" bench "$p/sparse" bench --align
