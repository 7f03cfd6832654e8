#!/usr/bin/env bash
# The bash completion of quorvel-cli, run as bash runs it: verbs, options
# (with and without values), option values, and the table names of the
# source typed before.  Usage: completion_test.sh TOOL COMPLETION SAMPLES
set -u
tool=$1
source "$2"
samples=$3
failures=0
checks=0

# Completes the words (the last one being completed) and prints the
# candidates sorted on one line.
complete_words() {
    COMP_WORDS=("$tool" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _quorvel_cli "$tool"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect() {
    local want=$1
    shift
    local got
    checks=$((checks + 1))
    got=$(complete_words "$@")
    if [[ $got != "$want" ]]; then
        echo "FAIL: quorvel-cli $*: got '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

expect "diff" "di"
expect "--help --version diff help merge show sql tables" ""
expect "--format" diff --for
expect "--null" diff --nu
expect "--encoding" show --enc
expect "--localized" sql "$samples/Samples" --lo
expect "--csv-safe" show --csv
expect "--csv-safe" diff --format csv --cs
expect "csv json text" diff --format ""
expect "customers orders products" diff "$samples/Samples" ""
expect "products" diff --format json "$samples/Samples" pro
# The value of --report is no operand: the next word is still Table #1.
expect "orders" diff --report out.txt "$samples/Samples" or
expect "customers orders products" merge "$samples/Samples" orders -z "$samples/Samples1" ""
expect "" merge "$samples/Samples" orders "$samples/Samples1" orders ""
expect "customers" show -- "$samples/Samples1" cu
expect "merge" help me

passed=$((checks - failures))
echo "$passed passed, $failures failed"
[[ $failures -eq 0 ]]
