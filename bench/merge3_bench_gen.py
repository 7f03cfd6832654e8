#!/usr/bin/python3
"""Writes the three tables of the three-way merge benchmark.

FOLDER/base/bench.dbf: the comparison benchmark's Table #1 (RECORDS
records, 12 fields, no memo).  FOLDER/ours/bench.dbf: its Table #2 (NAME
changed in every 100th record, 100 records appended).  FOLDER/theirs/
bench.dbf: REMARK changed in every 100th record (others than ours
changed), the same 100 records appended.  The merge is clean: every
change comes from one side, and the appended records are equal.

usage: merge3_bench_gen.py FOLDER [RECORDS]
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_bench_gen import record, write  # noqa: E402

REMARK = slice(1 + 4 + 10 + 30 + 20 + 8 + 10 + 8 + 8 + 8 + 1 + 8, None)


def theirs(i, count):
    if i >= count:
        return record(i, i % 100 == 50)  # appended as ours appended them
    r = record(i)
    if i % 100 != 75:
        return r
    return r[:REMARK.start] + (b"theirs %d" % i).ljust(40)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    extra = 100
    for side in ("base", "ours", "theirs"):
        os.makedirs(os.path.join(folder, side), exist_ok=True)
    write(os.path.join(folder, "base", "bench.dbf"), (record(i) for i in range(count)), count)
    write(os.path.join(folder, "ours", "bench.dbf"),
          (record(i, i % 100 == 50) for i in range(count + extra)), count + extra)
    write(os.path.join(folder, "theirs", "bench.dbf"),
          (theirs(i, count) for i in range(count + extra)), count + extra)


if __name__ == "__main__":
    main()
