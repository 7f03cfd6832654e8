#!/bin/sh
# A FoxPro table against its copy in SQLite: quorvel-cli diff of the
# comparison benchmark's 1,000,000-record table with an SQLite table made
# from it (quorvel-cli show, then sqlite3's .import into typed columns), by
# position and by key, side by side in one hyperfine run with sqlite3
# writing the same table as CSV to /dev/null; median of 5 runs each, then
# the peak memory of both diffs.  With PG_URI (a libpq connection URI of a
# database the caller may create tables in, e.g.
# postgresql://me@/bench?host=/run/pg&port=5439) the same table is copied
# into it, once as written and once in another order (bench_shuffled), and
# diff --key ID of both is timed beside psql writing the first as CSV.
#
# usage: bench/side_bench.sh BUILD_FOLDER [DATA_FOLDER]
# (run from the repository root; DATA_FOLDER defaults to bench-data/side)
set -eu
build=${1:?usage: bench/side_bench.sh BUILD_FOLDER [DATA_FOLDER]}
data=${2:-bench-data/side}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
runs=${RUNS:-5}
db=$data/bench.db
uri="sqlite:$db?table=bench"

if [ ! -f "$data/1/bench.dbf" ]; then
    echo "writing the table to $data ..."
    /usr/bin/python3 "$here/compare_bench_gen.py" "$data/1" "$data/2"
    rm -rf "$data/2"
fi
if [ ! -f "$db" ]; then
    echo "copying it into $db ..."
    "$cli" show "$data/1" bench > "$data/bench.csv"
    sqlite3 "$db" <<'SQL'
create table bench(id integer, code varchar(10), name varchar(30), city varchar(20),
  qty numeric(8,0), price numeric(10,2), amount numeric(19,4), created date,
  updated timestamp, active boolean, rate real, remark varchar(40));
SQL
    sqlite3 "$db" ".import --csv --skip 1 $data/bench.csv bench"
    rm -f "$data/bench.csv"
fi

# Any difference would make diff exit with 1: -i keeps hyperfine going, and
# the line counts below show there are none.
hyperfine -i --warmup 1 --runs "$runs" --export-json "$data/hyperfine.json" \
    -n "diff by position" "$cli diff $data/1 bench '$uri' > /dev/null" \
    -n "diff by key" "$cli diff $data/1 bench '$uri' --key ID > /dev/null" \
    -n "sqlite3 csv" "sqlite3 $db '.mode csv' 'select * from bench' > /dev/null"

/usr/bin/python3 - "$data/hyperfine.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
base = results["sqlite3 csv"]
print("medians: " + ", ".join("%s %.3f s" % (k, v) for k, v in results.items()))
for name in ("diff by position", "diff by key"):
    print("%s: %.2fx the time of sqlite3 writing CSV" % (name, results[name] / base))
PY

for how in position key; do
    if [ "$how" = key ]; then key="--key ID"; else key=""; fi
    # shellcheck disable=SC2086
    /usr/bin/time -v "$cli" diff "$data/1" bench "$uri" $key > "$data/lines.txt" 2> "$data/time.txt" || true
    echo "by $how: $(grep -c -v '^Column' "$data/lines.txt") difference lines," \
        "peak memory $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$data/time.txt") kB"
done

if [ -n "${PG_URI:-}" ]; then
    psql="psql -q -X -d $PG_URI"
    if ! $psql -c 'select 1 from bench limit 1' >/dev/null 2>&1; then
        echo "copying it into PostgreSQL ..."
        "$cli" show "$data/1" bench > "$data/bench.csv"
        # double precision: a real (4 bytes) would cut the B field's digits.
        $psql -c "create table bench(id integer primary key, code varchar(10), name varchar(30),
          city varchar(20), qty numeric(8,0), price numeric(10,2), amount numeric(19,4),
          created date, updated timestamp, active boolean, rate double precision,
          remark varchar(40))"
        $psql -c "\\copy bench from '$data/bench.csv' csv header"
        rm -f "$data/bench.csv"
    fi
    # The same rows in another order than the FoxPro table's: the key walk
    # then finds its records all over the table.
    if ! $psql -c 'select 1 from bench_shuffled limit 1' >/dev/null 2>&1; then
        $psql -c "create table bench_shuffled as select * from bench order by md5(id::text)"
    fi
    case "$PG_URI" in *\?*) pg_side="$PG_URI&table=bench" ;; *) pg_side="$PG_URI?table=bench" ;; esac
    hyperfine -N -i --warmup 1 --runs "$runs" --export-json "$data/hyperfine-pg.json" \
        -n "diff by key" "$cli diff $data/1 bench $pg_side --key ID" \
        -n "diff by key, shuffled" "$cli diff $data/1 bench ${pg_side}_shuffled --key ID" \
        -n "psql csv" "$psql -c '\\copy bench to stdout csv'"
    /usr/bin/python3 - "$data/hyperfine-pg.json" <<'PY'
import json, sys
results = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
base = results["psql csv"]
for name in ("diff by key", "diff by key, shuffled"):
    print("PostgreSQL: %s %.3f s, psql csv %.3f s: %.2fx" % (
        name, results[name], base, results[name] / base))
PY
    for table in bench bench_shuffled; do
        /usr/bin/time -v "$cli" diff "$data/1" bench "${pg_side%bench}$table" --key ID \
            > "$data/lines.txt" 2> "$data/time.txt" || true
        echo "PostgreSQL $table by key: $(grep -c -v '^Column' "$data/lines.txt") difference lines," \
            "peak memory $(sed -n 's/.*Maximum resident set size (kbytes): //p' "$data/time.txt") kB"
    done
fi
