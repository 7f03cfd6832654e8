#!/bin/sh
# Kills quorvel-cli merge at random moments and looks at what the new
# table's name shows afterwards.  The pair has 200,000 records with memos
# (bench/merge_kill_gen.py); the name holds an older table that the merge
# replaces (--force).  Every try starts from a fresh folder, starts the
# merge, sends SIGKILL (odd tries) or SIGINT (even tries) after a random
# delay between 0 and 1.2 times the length of an undisturbed merge, and
# compares out.dbf and out.fpt byte for byte with the older table and with
# the result of an undisturbed merge:
#   - right after the signal (the name may show no table: a killed
#     replacement is finished by the next run that writes into the folder),
#   - after such a run (a one-record copy under another name, removed
#     again), when only old or new may show.
# After SIGINT no hidden file may remain; after SIGKILL the next merge into
# the folder must remove what the killed one left.
#
# usage: bench/merge_kill.sh BUILD_FOLDER [DATA_FOLDER] [TRIES]
# (run from the repository root; DATA_FOLDER defaults to bench-data/kill)
set -eu
build=${1:?usage: bench/merge_kill.sh BUILD_FOLDER [DATA_FOLDER] [TRIES]}
data=${2:-bench-data/kill}
tries=${3:-40}
here=$(dirname "$0")
cli=$build/src/cli/quorvel-cli
src=$data/source
work=$data/work

if [ ! -f "$src/t2.fpt" ]; then
    echo "writing the tables to $src ..."
    /usr/bin/python3 "$here/merge_kill_gen.py" "$src"
fi

fresh() {
    rm -rf "$work"
    mkdir -p "$work"
    cp "$src/t1.dbf" "$src/t1.fpt" "$src/t2.dbf" "$src/t2.fpt" "$src/out.dbf" "$src/out.fpt" "$work/"
}

merge() {
    "$cli" merge "$work" t1 "$work" t2 out --force
}

# What the name shows: old, new, none (no out.dbf) or mixed.
shows() {
    if [ ! -e "$work/out.dbf" ]; then
        echo none
    elif cmp -s "$work/out.dbf" "$src/out.dbf" && cmp -s "$work/out.fpt" "$src/out.fpt"; then
        echo old
    elif cmp -s "$work/out.dbf" "$data/new.dbf" && cmp -s "$work/out.fpt" "$data/new.fpt"; then
        echo new
    else
        echo mixed
    fi
}

hidden() {
    find "$work" -name '~quorvel-*' | wc -l
}

fresh
start=$(date +%s.%N)
merge > /dev/null
end=$(date +%s.%N)
cp "$work/out.dbf" "$data/new.dbf"
cp "$work/out.fpt" "$data/new.fpt"
length=$(/usr/bin/python3 -c "print('%.3f' % ($end - $start))")
echo "an undisturbed merge takes $length s; $tries tries"

bad=0
nones=0
summary=""
try=1
while [ "$try" -le "$tries" ]; do
    if [ $((try % 2)) -eq 1 ]; then signal=KILL; else signal=INT; fi
    delay=$(/usr/bin/python3 -c "import random; print('%.3f' % (random.random() * 1.2 * $length))")
    fresh
    # Started directly (the shell's pid of a function would be a subshell's),
    # with SIGINT at its default: sh starts background commands ignoring it.
    env --default-signal=INT "$cli" merge "$work" t1 "$work" t2 out --force > /dev/null 2>&1 &
    pid=$!
    sleep "$delay"
    kill -s "$signal" "$pid" 2> /dev/null || true
    status=0
    wait "$pid" || status=$?
    now=$(shows)
    left=$(hidden)
    # A later run writes into the folder (one that only reads changes nothing).
    "$cli" sql "$work" "SELECT * FROM t1 WHERE RECNO() = 1 INTO TABLE probe" > /dev/null
    rm -f "$work"/probe.*
    later=$(shows)
    verdict=ok
    case "$now/$later" in
        old/old | new/new | none/new | none/old) ;;
        *) verdict=BAD ;;
    esac
    if [ "$signal" = INT ] && [ "$left" -ne 0 ]; then verdict=BAD; fi
    if [ "$verdict" = BAD ]; then bad=$((bad + 1)); fi
    echo "try $try: SIG$signal after $delay s, exit $status, name shows $now, after a later run $later, $left hidden files: $verdict"
    summary="$summary $signal:$later"
    if [ "$now" = none ]; then nones=$((nones + 1)); fi
    if [ "$signal" = KILL ]; then
        merge > /dev/null 2>&1 || true
        if [ "$(hidden)" -ne 0 ] || [ "$(shows)" != new ]; then
            echo "  the next merge did not clear what the killed one left"
            bad=$((bad + 1))
        fi
    fi
    try=$((try + 1))
done
for signal in KILL INT; do
    for state in old new; do
        n=$(echo "$summary" | tr ' ' '\n' | grep -c "^$signal:$state$" || true)
        echo "SIG$signal: $n tries ended with the $state table"
    done
done
echo "tries right after which the name showed no table (finished by the later run): $nones"
echo "tries in which the name showed anything but the old table or the whole new one: $bad of $tries"
[ "$bad" -eq 0 ]
