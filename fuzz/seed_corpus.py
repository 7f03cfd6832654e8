#!/usr/bin/env python3
"""Seeds for the fuzz targets, made from a folder of real tables.

usage: fuzz/seed_corpus.py TABLE_FOLDER OUT_FOLDER

Writes OUT_FOLDER/read_table, OUT_FOLDER/compare_tables,
OUT_FOLDER/sql_parse and OUT_FOLDER/journal_recovery (journals, which need
no tables).  Tables are cut to their first records (the header
count set to match) so that seeds stay small; each is paired with its memo
file (same stem, .fpt or .dbt, any letter case).
"""
import hashlib
import os
import struct
import sys

MAX_TABLE = 12000  # bytes of a table kept in a seed


def tables(folder):
    for root, _, files in os.walk(folder):
        lower = {f.lower(): f for f in files}
        for f in sorted(files):
            stem, ext = os.path.splitext(f)
            if ext.lower() != ".dbf":
                continue
            memo = b""
            for memo_ext in (".fpt", ".dbt"):
                if (stem + memo_ext).lower() in lower:
                    memo = open(os.path.join(root, lower[(stem + memo_ext).lower()]), "rb").read()
            yield f, cut(open(os.path.join(root, f), "rb").read()), memo


def cut(table):
    """The header and as many whole records as fit in MAX_TABLE."""
    if len(table) < 32:
        return table
    header, record = struct.unpack_from("<HH", table, 8)
    if record == 0 or header > len(table):
        return table[:MAX_TABLE]
    count = max(1, min(struct.unpack_from("<I", table, 4)[0], (MAX_TABLE - header) // record))
    out = bytearray(table[: header + count * record])
    struct.pack_into("<I", out, 4, count)
    return bytes(out) + b"\x1a"


def changed(table):
    """The table with one byte of its last record changed."""
    out = bytearray(table)
    if len(out) > 40:
        out[-3] = (out[-3] + 1) % 256
    return bytes(out)


def prefixed(piece):
    return struct.pack("<I", len(piece)) + piece


def save(folder, data):
    os.makedirs(folder, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    found = list(tables(sys.argv[1]))
    out = sys.argv[2]
    for _, table, memo in found:
        save(os.path.join(out, "read_table"), prefixed(table) + memo)
        # Itself, itself with a change, and every other table.
        save(os.path.join(out, "compare_tables"), b"\x01" + prefixed(table) + prefixed(memo) + prefixed(b""))
        save(os.path.join(out, "compare_tables"),
             b"\x00" + prefixed(table) + prefixed(memo) + prefixed(changed(table)) + memo)
        for _, other, other_memo in found:
            if other is not table:
                save(os.path.join(out, "compare_tables"),
                     b"\x00" + prefixed(table) + prefixed(memo) + prefixed(other) + other_memo)
    for statement in [
        "SELECT * FROM [t]",
        "SELECT COUNT(*) FROM t",
        "SELECT * FROM [t] WHERE RECNO() = 12",
        "SELECT *  FROM [calls] INTO TABLE [calls2]",
        "UPDATE [t] SET [name] = 'O''Brien' WHERE RECNO() = 3",
        "UPDATE [t] SET [qty] = -12.50 WHERE RECNO() = 1",
        "UPDATE [t] SET [amount] = 1.5e3 WHERE RECNO() = 1",
        "UPDATE [t] SET [seen] = {^2020-12-31} WHERE RECNO() = 2",
        "UPDATE [t] SET [at] = {^2020-12-31 13:02:03} WHERE RECNO() = 2",
        "UPDATE [t] SET [at] = {} WHERE RECNO() = 2",
        "UPDATE [t] SET [ok] = True WHERE RECNO() = 1",
        "UPDATE [t] SET [note] = NULL WHERE RECNO() = 1",
        "INSERT INTO [t] VALUES('a', 1, .F., 0hCAFE, {^1999-01-02}, NULL)",
        "INSERT INTO [t] ([A], [B]) VALUES(False, '2020-01-02')",
    ]:
        save(os.path.join(out, "sql_parse"), statement.encode())
    # journal_recovery_fuzz: a flag byte, then the table name and the lines
    # ("a" aside, else place; digits expand as the target says).
    killed_merge = "3dbf\na3dbf\t2x.old\na3fpt\t2y.old\np2n.fpt\t3fpt\np2n.dbf\t3dbf"
    for flags, lines in [
        (0, killed_merge),
        (1, killed_merge),
        (2, killed_merge),
        (0, "3dbf\na0\t2x.old\na5\t2y.old"),
        (0, "3dbf\np2n.dbf\t4moved.dbf"),
        (0, "3dbf\na1\t2x.old\np2n.dbf\t3dbf"),
        (0, "3dbf\na6x.dbf\t2x.old\np2n.dbf\t3dbf"),
        (0, "3dbf\na3cdx\t2x.old\np2n.dbf\t3dbf"),
        (0, "0\na3dbf\t2x.old"),
        (4, "quorvel replacement\nname\tzz\naside\t../out/important.txt\t~quorvel-x.old\n"
            "aside\tb.dbf\t~quorvel-y.old\nend\n"),
    ]:
        save(os.path.join(out, "journal_recovery"), bytes([flags]) + lines.encode())


if __name__ == "__main__":
    main()
