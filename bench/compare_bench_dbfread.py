#!/usr/bin/python3
"""The reference walk of the comparison benchmark: reads two tables with
dbfread, pairs records by position and fields by name, and counts the
differences (changed values, added and deleted records).

usage: compare_bench_dbfread.py TABLE1.dbf TABLE2.dbf
"""
import itertools
import sys

import dbfread


def main():
    # B is a double here, not a memo: there is no memo file to look for.
    t1 = dbfread.DBF(sys.argv[1], ignore_missing_memofile=True)
    t2 = dbfread.DBF(sys.argv[2], ignore_missing_memofile=True)
    names = [f.name for f in t1.fields]
    differences = 0
    for a, b in itertools.zip_longest(t1, t2):
        if a is None or b is None:
            differences += 1
            continue
        for name in names:
            if a[name] != b.get(name):
                differences += 1
    print(differences)


if __name__ == "__main__":
    main()
