#!/usr/bin/python3
"""Writes the two sources of the whole-source benchmark: FOLDER/1 and
FOLDER/2, each with TABLES tables t01.dbf ... of RECORDS records in all,
built from the records of the comparison benchmark (compare_bench_gen.py);
in FOLDER/2 every 100th record of each table has NAME changed.

usage: sources_bench_gen.py FOLDER [TABLES [RECORDS]]
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_bench_gen import record, write  # noqa: E402


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    tables = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    total = int(sys.argv[3]) if len(sys.argv) > 3 else 2_000_000
    each = total // tables
    for side in ("1", "2"):
        os.makedirs(os.path.join(folder, side), exist_ok=True)
    for t in range(tables):
        name = "t%02d.dbf" % (t + 1)
        write(os.path.join(folder, "1", name), (record(i) for i in range(each)), each)
        write(os.path.join(folder, "2", name),
              (record(i, i % 100 == 7) for i in range(each)), each)


if __name__ == "__main__":
    main()
