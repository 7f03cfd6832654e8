#!/usr/bin/python3
"""Writes the table pair of the merge kill test, and the older table that
the merge replaces.

FOLDER/t1.dbf (+ t1.fpt): Visual FoxPro free table of RECORDS records with
a name, a number and a memo.  FOLDER/t2.dbf: the same with the number and
the memo changed in every 50th record and EXTRA records appended, so that a
merge applies 2 * RECORDS / 50 field changes and EXTRA inserts, memo blocks
included.  FOLDER/out.dbf (+ out.fpt): a small older table of another
layout under the merge's new name.

usage: merge_kill_gen.py FOLDER [RECORDS] [EXTRA]
"""
import datetime
import os
import struct
import sys

FIELDS = [("NAME", "C", 20), ("QTY", "N", 8), ("NOTE", "M", 4)]
BLOCK = 64


def header(fields, count):
    descriptors = bytearray()
    offset = 1
    for name, letter, width in fields:
        d = bytearray(32)
        d[0:len(name)] = name.encode("ascii")
        d[11] = ord(letter)
        struct.pack_into("<I", d, 12, offset)
        d[16] = width
        descriptors += d
        offset += width
    today = datetime.date.today()
    h = bytearray(32)
    h[0] = 0x30
    h[1:4] = bytes([today.year - 1900, today.month, today.day])
    struct.pack_into("<IHH", h, 4, count, 32 + len(descriptors) + 1 + 263, offset)
    h[28] = 0x02  # has a memo file
    h[29] = 0x03
    return bytes(h) + bytes(descriptors) + b"\x0d" + bytes(263)


class Memo:
    """An .fpt written front to back."""

    def __init__(self):
        self.blocks = [bytes(512)]
        self.next = 512 // BLOCK

    def add(self, text):
        data = struct.pack(">II", 1, len(text)) + text
        data += bytes(-len(data) % BLOCK)
        at = self.next
        self.blocks.append(data)
        self.next += len(data) // BLOCK
        return at

    def write(self, path):
        first = bytearray(self.blocks[0])
        struct.pack_into(">I", first, 0, self.next)
        struct.pack_into(">H", first, 6, BLOCK)
        self.blocks[0] = bytes(first)
        with open(path, "wb") as f:
            f.write(b"".join(self.blocks))


def write_table(stem, rows):
    memo = Memo()
    body = []
    for name, qty, note in rows:
        body.append(b" " + name.ljust(20) + (b"%d" % qty).rjust(8) +
                    struct.pack("<I", memo.add(note)))
    with open(stem + ".dbf", "wb") as f:
        f.write(header(FIELDS, len(body)))
        f.write(b"".join(body))
        f.write(b"\x1a")
    memo.write(stem + ".fpt")


def row(i, changed=False):
    name = b"Customer %07d" % i
    if changed:
        return name, i % 1000 + 1, b"changed memo of record %d" % i
    return name, i % 1000, b"memo of record %d, " % i + b"x" * (i % 200)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 200_000
    extra = int(sys.argv[3]) if len(sys.argv) > 3 else 2_000
    os.makedirs(folder, exist_ok=True)
    write_table(os.path.join(folder, "t1"), (row(i) for i in range(count)))
    write_table(os.path.join(folder, "t2"),
                (row(i, i % 50 == 25) for i in range(count + extra)))
    write_table(os.path.join(folder, "out"), [(b"older table", 1, b"older memo")])


if __name__ == "__main__":
    main()
