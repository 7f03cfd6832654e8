#!/usr/bin/python3
"""Writes the Tables #2 of the shapes benchmark beside the comparison
benchmark's Table #1 (compare_bench_gen.py), each with the same changes
(one field in every 100th record, 100 extra records) but another layout:

  FOLDER/dropped/bench.dbf   without the REMARK field
  FOLDER/reordered/bench.dbf the fields in reverse order
  FOLDER/packed/bench.dbf    Table #1 less record 10 (position pairing then
                             finds every later record changed)

usage: shapes_bench_gen.py FOLDER [RECORDS]
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import compare_bench_gen as gen  # noqa: E402


def write_shape(path, fields, records, count):
    """A table of the given fields (a sub-list of gen.FIELDS in any order)."""
    saved = gen.FIELDS, gen.RECORD_LENGTH
    gen.FIELDS, gen.RECORD_LENGTH = fields, 1 + sum(f[2] for f in fields)
    try:
        head = gen.header(count)
    finally:
        gen.FIELDS, gen.RECORD_LENGTH = saved
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(head)
        batch = []
        for raw in records:
            values = fields_of_all(raw)
            batch.append(b" " + b"".join(values[name] for name, *_ in fields))
            if len(batch) == 10000:
                f.write(b"".join(batch))
                batch = []
        f.write(b"".join(batch))
        f.write(b"\x1a")
    os.replace(tmp, path)


ALL_FIELDS = list(gen.FIELDS)


def fields_of_all(raw):
    out, at = {}, 1
    for name, _letter, width, _decimals in ALL_FIELDS:
        out[name] = raw[at:at + width]
        at += width
    return out


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    for sub in ("dropped", "reordered", "packed"):
        os.makedirs(os.path.join(folder, sub), exist_ok=True)

    def changed():
        return (gen.record(i, i % 100 == 50) for i in range(count + 100))

    write_shape(os.path.join(folder, "dropped", "bench.dbf"),
                [f for f in ALL_FIELDS if f[0] != "REMARK"], changed(), count + 100)
    write_shape(os.path.join(folder, "reordered", "bench.dbf"),
                list(reversed(ALL_FIELDS)), changed(), count + 100)
    gen.write(os.path.join(folder, "packed", "bench.dbf"),
              (gen.record(i) for i in range(count) if i != 9), count - 1)


if __name__ == "__main__":
    main()
