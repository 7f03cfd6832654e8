#!/usr/bin/python3
"""The reference walk for the read benchmark: python3-dbfread iterating every
value of every record of a table.  usage: read_bench_dbfread.py FILE.dbf"""
import sys

from dbfread import DBF

count = 0
for record in DBF(sys.argv[1], encoding="cp1252", ignore_missing_memofile=True):
    for value in record.values():
        pass
    count += 1
print(count, "records")
