#!/usr/bin/env bash
# git merges a table that two branches changed through quorvel-cli's merge
# driver, configured as the manual page says: changes of both branches
# come through, and a conflicting change stops the merge with the branch's
# table left as it was.  Then the same for a table with a memo file, whose
# two paths git merges one by one (or takes one side's memo file whole).
# Last, a table with a memo file and an index: the index git ends with
# lists the merged records' keys, or the merge stops.
#   git_merge_test.sh QUORVEL_CLI
set -uo pipefail
cli="$1"
command -v git >/dev/null || { echo "git is not installed"; exit 77; }
[ -x /usr/bin/python3 ] || { echo "python3 is not installed"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 2
export GIT_CONFIG_NOSYSTEM=1 HOME="$scratch"
failed=0

# table FILE ID=NAME...: a Visual FoxPro table of ID I, NAME C(8).
table() {
  /usr/bin/python3 - "$@" <<'PY'
import struct, sys
path, rows = sys.argv[1], [r.split('=', 1) for r in sys.argv[2:]]
fields = [(b'ID', b'I', 4), (b'NAME', b'C', 8)]
length = 32 + 32 * len(fields) + 1 + 263
header = bytearray(length)
header[0] = 0x30
header[1:4] = bytes([126, 1, 1])
struct.pack_into('<IHH', header, 4, len(rows), length, 13)
header[29] = 3
offset = 1
for i, (name, kind, width) in enumerate(fields):
    at = 32 + 32 * i
    header[at:at + len(name)] = name
    header[at + 11] = kind[0]
    struct.pack_into('<I', header, at + 12, offset)
    header[at + 16] = width
    offset += width
header[32 + 32 * len(fields)] = 0x0D
records = b''.join(b' ' + struct.pack('<i', int(i)) + n.encode().ljust(8) for i, n in rows)
open(path, 'wb').write(bytes(header) + records + b'\x1a')
PY
}

git init -q -b main repo && cd repo || exit 2
git config user.email test@example.org && git config user.name test
git config merge.quorvel.driver "'$cli' merge3 --git %O %A %B %P --key ID"
echo '*.dbf merge=quorvel' > .gitattributes
table names.dbf 1=Ann 2=Bob 3=Cy
git add . && git commit -qm base
git checkout -qb other
table names.dbf 1=Ann 2=Rob 3=Cy 4=Dee
git commit -qam other
git checkout -q main
table names.dbf 1=Anna 2=Bob
git commit -qam mine

if ! out=$(git merge -q other -m merged 2>&1); then
  echo "the clean merge failed: $out"; failed=1
fi
want=$'ID,NAME\r\n1,Anna    \r\n2,Rob     \r\n4,Dee     \r\n'
got=$("$cli" show names.dbf; printf x)
if [ "${got%x}" != "$want" ]; then
  echo "merged table:"; printf '%s' "${got%x}"; failed=1
fi

# Both branches change Anna: the merge stops, main's table stays.
git checkout -qb again
table names.dbf 1=Anne 2=Rob 4=Dee
git commit -qam again
git checkout -q main
table names.dbf 1=Annie 2=Rob 4=Dee
git commit -qam main2
before=$(od -An -tx1 names.dbf)
if git merge -q again -m merged2 >/dev/null 2>&1; then
  echo "a conflicting merge succeeded"; failed=1
fi
if [ "$(od -An -tx1 names.dbf)" != "$before" ]; then
  echo "the conflicting merge changed the table"; failed=1
fi
git merge --abort

# memotable FILE ID=NAME=NOTE...: the same with NOTE M in FILE's .fpt.
memotable() {
  /usr/bin/python3 - "$@" <<'PY'
import os, struct, sys
path, rows = sys.argv[1], [r.split('=', 2) for r in sys.argv[2:]]
fields = [(b'ID', b'I', 4), (b'NAME', b'C', 8), (b'NOTE', b'M', 4)]
length = 32 + 32 * len(fields) + 1 + 263
header = bytearray(length)
header[0] = 0x30
header[1:4] = bytes([126, 1, 1])
struct.pack_into('<IHH', header, 4, len(rows), length, 17)
header[28], header[29] = int(os.environ.get('FLAGS', '2')), 3
offset = 1
for i, (name, kind, width) in enumerate(fields):
    at = 32 + 32 * i
    header[at:at + len(name)] = name
    header[at + 11] = kind[0]
    struct.pack_into('<I', header, at + 12, offset)
    header[at + 16] = width
    offset += width
header[32 + 32 * len(fields)] = 0x0D
memo, records = bytearray(512), b''
for i, n, note in rows:
    block = len(memo) // 64
    entry = struct.pack('>II', 1, len(note)) + note.encode()
    memo += entry + bytes(-len(entry) % 64)
    records += b' ' + struct.pack('<i', int(i)) + n.encode().ljust(8) + struct.pack('<I', block)
struct.pack_into('>I', memo, 0, len(memo) // 64)
struct.pack_into('>H', memo, 6, 64)
open(path, 'wb').write(bytes(header) + records + b'\x1a')
open(path[:-4] + '.fpt', 'wb').write(bytes(memo))
PY
}
sql() { "$cli" sql . "$1" >/dev/null || { echo "sql failed: $1"; failed=1; }; }
shows() {  # shows WHAT TEXT: notes.dbf reads back as TEXT
  local got; got=$("$cli" show notes.dbf 2>&1; printf x)
  [ "${got%x}" = "$2" ] || { echo "$1:"; printf '%s\n' "${got%x}"; failed=1; }
}

echo '*.fpt merge=quorvel' >> .gitattributes
git add .gitattributes && git commit -qm 'memo files too'
memotable notes.dbf 1=Ann=one 2=Bob=two 3=Cy=three
git add notes.dbf notes.fpt && git commit -qm 'memo base'
tag=$(git rev-parse HEAD)

# Both branches change memo values, of different records: git runs the
# driver for the table and for its memo file.
git checkout -qb memos
sql "UPDATE notes SET note = 'theirs3' WHERE RECNO() = 3"
git commit -qam 'memos: 3'
git checkout -q main
sql "UPDATE notes SET note = 'ours1' WHERE RECNO() = 1"
git commit -qam 'main: 1'
if ! out=$(git merge -q memos -m 'memo merge' 2>&1); then
  echo "the merge of two memo changes failed: $out"; failed=1
fi
shows "two memo changes" $'ID,NAME,NOTE\r\n1,Ann     ,ours1\r\n2,Bob     ,two\r\n3,Cy      ,theirs3\r\n'

# Both branches change C fields only: the memo file stays as it was, and
# the merged table points into it.
git checkout -q -b names2 main
sql "UPDATE notes SET name = 'Cyrus' WHERE RECNO() = 3"
git commit -qam names2
git checkout -q main
sql "UPDATE notes SET name = 'Annie' WHERE RECNO() = 1"
git commit -qam 'main: Annie'
if ! out=$(git merge -q names2 -m 'names merge' 2>&1); then
  echo "the merge of two name changes failed: $out"; failed=1
fi
shows "two name changes" $'ID,NAME,NOTE\r\n1,Annie   ,ours1\r\n2,Bob     ,two\r\n3,Cyrus   ,theirs3\r\n'

# One branch changes a C field only (its memo file stays), the other a
# memo: git takes that memo file as it is, and the merged table points
# into it.  Both ways round.  A decoy commit holds the same table bytes
# (the new memo lands in the same block) beside another memo file: only the
# commit git names tells theirs apart.
git checkout -q -b decoy main
sql "UPDATE notes SET note = 'decoy' WHERE RECNO() = 2"
git commit -qam decoy
for way in theirs ours; do
  git checkout -q -b "name-$way" main
  sql "UPDATE notes SET name = 'Rob' WHERE RECNO() = 2"
  git commit -qam "name-$way"
  git checkout -q -b "memo-$way" main
  sql "UPDATE notes SET note = 'new $way' WHERE RECNO() = 2"
  git commit -qam "memo-$way"
  if [ $way = theirs ]; then git checkout -q "name-$way"; other="memo-$way"
  else other="name-$way"; fi
  if ! out=$(git merge -q "$other" -m "$way merge" 2>&1); then
    echo "the merge of a name and a memo ($way) failed: $out"; failed=1
  fi
  shows "a name and a memo ($way)" \
    $'ID,NAME,NOTE\r\n1,Annie   ,ours1\r\n2,Rob     ,new '"$way"$'\r\n3,Cyrus   ,theirs3\r\n'
done

# A rebase names no merged commit: it applies each commit against its
# parent, as git's state of the rebase says.
git checkout -q -b pick main
sql "UPDATE notes SET note = 'picked' WHERE RECNO() = 2"
git commit -qam pick
git checkout -q main
sql "UPDATE notes SET note = 'main3' WHERE RECNO() = 3"
git commit -qam 'main: 3'
git checkout -q pick
if ! out=$(git rebase -q main 2>&1); then
  echo "the rebase of a memo change failed: $out"; failed=1; git rebase --abort
fi
shows "rebase" $'ID,NAME,NOTE\r\n1,Annie   ,ours1\r\n2,Bob     ,picked\r\n3,Cyrus   ,main3\r\n'
git checkout -q main

# Both branches change one memo: a conflict, and main keeps both files.
git checkout -q -b clash main
sql "UPDATE notes SET note = 'theirs' WHERE RECNO() = 1"
git commit -qam clash
git checkout -q main
sql "UPDATE notes SET note = 'mine' WHERE RECNO() = 1"
git commit -qam 'main: clash'
before=$(od -An -tx1 notes.dbf notes.fpt)
if out=$(git merge -q clash -m clash 2>&1); then
  echo "a conflicting memo merge succeeded"; failed=1
fi
case $out in *"merge3 BASE OURS THEIRS"*) ;; *) echo "no way to merge by hand: $out"; failed=1;; esac
if [ "$(od -An -tx1 notes.dbf notes.fpt)" != "$before" ]; then
  echo "the conflicting memo merge changed main's files"; failed=1
fi
git merge --abort

# A memo rewritten in its own blocks leaves the table's bytes as they were:
# git takes main's table and runs the driver for the memo file only, which
# puts the other branch's memo into the blocks main's table points at.
memotable notes.dbf 1=Ann=one 2=Bob=two 3=Cy=three
git commit -qam 'main: fresh'
git checkout -q -b inplace
memotable notes.dbf 1=Ann=uno 2=Bob=two 3=Cy=three
git commit -qam inplace
git checkout -q main
sql "UPDATE notes SET note = 'drei' WHERE RECNO() = 3"
git commit -qam 'main: drei'
if ! out=$(git merge -q inplace -m inplace 2>&1); then
  echo "the merge of a memo rewritten in place failed: $out"; failed=1
fi
shows "in place" $'ID,NAME,NOTE\r\n1,Ann     ,uno\r\n2,Bob     ,two\r\n3,Cy      ,drei\r\n'

# A cherry-pick of one commit names none, and the decoy's table bytes are
# held beside other memo files too: which memo goes with them cannot be
# told, so nothing is merged and main keeps both files.
before=$(od -An -tx1 notes.dbf notes.fpt)
if out=$(git cherry-pick decoy 2>&1); then
  echo "a cherry-pick of a table whose memo cannot be told succeeded"; failed=1
fi
case $out in *"hold different revisions of its memo file"*) ;;
  *) echo "the cherry-pick did not say why: $out"; failed=1;; esac
if [ "$(od -An -tx1 notes.dbf notes.fpt)" != "$before" ]; then
  echo "the refused cherry-pick changed main's files"; failed=1
fi
git cherry-pick --abort

# An index (.cdx) beside a table with a memo file.  The seed is an empty
# table with a tag NAME on NAME; reindexed gives a table of those records
# the seed's tag rebuilt, as FoxPro keeps it (a merge of the seed with them).
mkdir ../seed ../in
FLAGS=3 memotable ../seed/idx.dbf
/usr/bin/python3 - ../seed/idx.cdx <<'PY'
import struct, sys
def header(root, keylen, options, expr=b''):
    h = bytearray(1024)
    struct.pack_into('<IIIHBB', h, 0, root, 0, 0, keylen, options, 1)
    struct.pack_into('<HHHH', h, 504, len(expr) + 1, 1, 0, len(expr) + 1)
    h[512:512 + len(expr)] = expr
    return h
def leaf(attributes, key=None, record=0, keylen=10):
    p = bytearray(512)
    struct.pack_into('<HHii', p, 0, attributes, 1 if key else 0, -1, -1)
    bits = keylen.bit_length()
    size = (record.bit_length() + 2 * bits + 7) // 8 or 1
    fresh = key.rstrip(b' ') if key else b''
    struct.pack_into('<HIBBBBBB', p, 12, 488 - (size + len(fresh) if key else 0),
                     (1 << (size * 8 - 2 * bits)) - 1, (1 << bits) - 1, (1 << bits) - 1,
                     size * 8 - 2 * bits, bits, bits, size)
    if key:
        entry = record | (len(key) - len(fresh)) << (size * 8 - bits)
        p[24:24 + size] = entry.to_bytes(size, 'little')
        p[512 - len(fresh):] = fresh
    return p
out = header(1024, 10, 0xE0) + leaf(3, b'NAME      ', 1536)
out += header(2560, 8, 0x60, b'NAME') + leaf(7, keylen=8)
open(sys.argv[1], 'wb').write(bytes(out))
PY
reindexed() {  # reindexed DIR ID=NAME=NOTE...: DIR/idx.dbf, .fpt and .cdx
  local dir=$1; shift
  rm -f ../in/* && memotable ../in/idx.dbf "$@"
  mkdir -p "$dir" && rm -f "$dir"/idx.*
  "$cli" merge3 ../seed/idx.dbf ../seed/idx.dbf ../in/idx.dbf -o "$dir/idx.dbf" --key ID \
    >/dev/null || { echo "reindexed failed: $*"; failed=1; }
}
echo '*.cdx merge=quorvel' >> .gitattributes
reindexed . 1=Ann=one 2=Bob=two 3=Cy=three
git add .gitattributes idx.dbf idx.fpt idx.cdx && git commit -qm 'indexed base'

# Both branches change a name and a memo: git runs the driver for all
# three files, and the merged index is the one its records make.
git checkout -q -b idx-theirs
reindexed . 1=Ann=one 2=Bob=two 3=Cyrus=drei
git commit -qam idx-theirs
git checkout -q main
reindexed . 1=Zed=uno 2=Bob=two 3=Cy=three
git commit -qam 'main: Zed'
if ! out=$(git merge -q idx-theirs -m 'index merge' 2>&1); then
  echo "the merge of an indexed table failed: $out"; failed=1
fi
got=$("$cli" show idx.dbf 2>&1; printf x)
want=$'ID,NAME,NOTE\r\n1,Zed     ,uno\r\n2,Bob     ,two\r\n3,Cyrus   ,drei\r\n'
[ "${got%x}" = "$want" ] || { echo "indexed merge:"; printf '%s\n' "${got%x}"; failed=1; }
reindexed ../check 1=Zed=uno 2=Bob=two 3=Cyrus=drei
cmp -s idx.cdx ../check/idx.cdx || { echo "the merged index is not its records'"; failed=1; }

# A branch that changed a name without its index (a program that does not
# keep it): git would take main's index, which lacks that key, so the
# merge stops and main's files stay.
git checkout -q -b stale
reindexed ../check 1=Zed=uno 2=Abe=two 3=Cyrus=drei
cp ../check/idx.dbf ../check/idx.fpt .
git commit -qam 'stale: Abe'
git checkout -q main
reindexed . 1=Zoe=uno 2=Bob=two 3=Cyrus=drei
git commit -qam 'main: Zoe'
before=$(od -An -tx1 idx.dbf idx.fpt idx.cdx)
if out=$(git merge -q stale -m stale 2>&1); then
  echo "a merge keeping a stale index succeeded"; failed=1
fi
case $out in *idx.dbf*"stale"*"merge3 BASE OURS THEIRS"*) ;;
  *) echo "the stale index was not explained: $out"; failed=1;; esac
if [ "$(od -An -tx1 idx.dbf idx.fpt idx.cdx)" != "$before" ]; then
  echo "the stopped merge changed main's indexed table"; failed=1
fi
git merge --abort
exit $failed
