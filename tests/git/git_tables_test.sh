#!/bin/bash
# Tables kept in git: a real repository with a table and its memo file,
# changed on two branches; git diff through quorvel-cli git-diff, git log -p
# through show --textconv, and the merge driver when this build has merge3.
# Usage: git_tables_test.sh QUORVEL-CLI SAMPLES-FOLDER
set -u
cli=$1
samples=$2
if ! command -v git >/dev/null 2>&1; then
    echo "git not found: skipped"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# git reads no configuration of this machine's user.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" GIT_CONFIG_NOSYSTEM=1
export GIT_AUTHOR_NAME=Tester GIT_AUTHOR_EMAIL=tester@example.org
export GIT_COMMITTER_NAME=Tester GIT_COMMITTER_EMAIL=tester@example.org
export LC_ALL=C
mkdir -p "$HOME" "$work/repo"
cd "$work/repo" || exit 1

failures=0
check() {  # check NAME TEXT FILE: the file holds the text
    if grep -qF -- "$2" "$3"; then return; fi
    echo "FAIL: $1: no '$2' in:"
    sed 's/^/    /' "$3"
    failures=$((failures + 1))
}
sql() { "$cli" sql . "$1" || { echo "FAIL: sql $1"; exit 1; }; }

git init -q .
git checkout -q -b main
git config diff.quorvel.command "'$cli' git-diff"
git config diff.quorvel.textconv "'$cli' show --textconv"
echo '*.dbf diff=quorvel merge=quorvel' >.gitattributes
cp "$samples/customers.dbf" "$samples/customers.fpt" .
git add . && git commit -q -m base

git checkout -q -b left
sql "UPDATE [customers] SET [name] = 'Left Name Ltd' WHERE RECNO() = 1"
git commit -q -am "left: a name"
git checkout -q main
sql "UPDATE [customers] SET [notes] = 'memo from main
second line' WHERE RECNO() = 2"
git commit -q -am "main: a memo"

# Two commits: both sides are blobs that git copies out; their memo files
# come from the same commits.
git diff left main -- customers.dbf >commits.out
check "diff of two commits: header" "diff --quorvel a/customers.dbf b/customers.dbf" commits.out
check "diff of two commits: header" "+++ b/customers.dbf" commits.out
check "diff of two commits: the name" 'Field "NAME" has changed from "Left Name Ltd' commits.out
check "diff of two commits: the memo" 'Field "NOTES" has changed from "Seasonal orders." to "memo from main' commits.out
if grep -qF "not available" commits.out; then
    echo "FAIL: memo values of committed sides not found:"; cat commits.out
    failures=$((failures + 1))
fi

# The working tree against the index: the new side is read in place.
sql "UPDATE [customers] SET [city] = 'Worktown' WHERE RECNO() = 3"
git diff -- customers.dbf >worktree.out
check "diff of the working tree" 'Field "CITY" has changed from "" to "Worktown' worktree.out
check "diff of the working tree" "--- a/customers.dbf" worktree.out
git checkout -q -- customers.dbf customers.fpt

# An added table: shown whole after '+'.
cp "$samples/orders.dbf" "$samples/orders.fpt" .
git add orders.dbf orders.fpt
git diff --cached -- orders.dbf >added.out
check "added table" "--- /dev/null" added.out
check "added table" "+# code page" added.out
git reset -q

# git log -p reads the text form of each revision.
git log -p left -- customers.dbf >log.out
check "log -p with textconv" "+  1 | Left Name Ltd" log.out
check "log -p with textconv" " # code page" log.out
git log -p main -- customers.dbf >log.out
check "log -p with textconv: the memo of each revision" '| memo from main\nsecond line' log.out
check "log -p with textconv: the memo of each revision" '| Seasonal orders.' log.out
if grep -qF "memo not available" log.out; then
    echo "FAIL: log -p: memo files of committed revisions not found:"; cat log.out
    failures=$((failures + 1))
fi

# git blame reads the working tree's table with its memo file.
git blame customers.dbf >blame.out
check "blame" 'memo from main\nsecond line' blame.out

# The same table bytes in two commits beside two memo files: which memo git
# meant cannot be told, and neither is shown.
git checkout -q -b twice main
printf 'padding' >>customers.fpt
git commit -q -am "memo file only"
sql "UPDATE [customers] SET [city] = 'Newtown' WHERE RECNO() = 4"
git commit -q -am "a city"
git diff HEAD~1 HEAD -- customers.dbf >twice.out
check "one table, two memo files" "# memo values of a/customers.dbf are not available" twice.out
check "one table, two memo files: the other values" 'Field "CITY" has changed from "Halifax' twice.out
if grep -qF 'Field "NOTES"' twice.out; then
    echo "FAIL: a memo shown where its revision cannot be told:"; cat twice.out
    failures=$((failures + 1))
fi
git checkout -q main

# The merge driver on a table with memo fields: left changed a name, main
# a memo, so git takes main's memo file whole and the merged table points
# into it (tests/cli/git_merge_test.sh merges memo files through the driver).
if "$cli" help merge3 >/dev/null 2>&1; then
    git config merge.quorvel.driver "'$cli' merge3 --git %O %A %B %P"
    if ! git merge -q --no-edit left >merge.out 2>&1; then
        echo "FAIL: git merge of a memo table through the driver failed:"; cat merge.out
        failures=$((failures + 1))
        git merge --abort
    else
        "$cli" show --textconv customers.dbf >merged.out 2>&1
        check "merge driver: left's name" "| Left Name Ltd" merged.out
        check "merge driver: main's memo" '| memo from main\nsecond line' merged.out
    fi
    # Memos changed on both sides while the memo file has no driver: git
    # leaves its own conflict there, and the table is not merged either.
    git checkout -q -b memo2 main
    sql "UPDATE [customers] SET [notes] = 'memo two' WHERE RECNO() = 3"
    git commit -q -am "memo2"
    git checkout -q main
    sql "UPDATE [customers] SET [notes] = 'memo main' WHERE RECNO() = 4"
    git commit -q -am "main: memo 4"
    if git merge -q --no-edit memo2 >merge2.out 2>&1; then
        echo "FAIL: a merge of memos without the memo file's driver succeeded"
        failures=$((failures + 1))
    else
        check "merge driver: memo file without it" "merges without this driver" merge2.out
        if ! git show HEAD:customers.dbf | cmp -s - customers.dbf; then
            echo "FAIL: the refused merge changed the working tree's table"
            failures=$((failures + 1))
        fi
        git merge --abort
    fi
else
    echo "quorvel-cli has no merge3: merge driver part skipped"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all git checks passed"
