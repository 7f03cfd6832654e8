#!/usr/bin/env bash
# git merges a table that two branches changed through quorvel-cli's merge
# driver, configured as the manual page says: changes of both branches
# come through, and a conflicting change stops the merge with the branch's
# table left as it was.
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
exit $failed
