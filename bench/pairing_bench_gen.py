#!/usr/bin/python3
"""Writes the tables of the pairing benchmark, built from the records of the
comparison benchmark (compare_bench_gen.py):

  FOLDER/1/bench.dbf        RECORDS records
  FOLDER/packed/bench.dbf   the same less record 10: what packing a table with
                            one deleted record gives
  FOLDER/changed/bench.dbf  the same with NAME changed in every record
  FOLDER/reversed/bench.dbf the records of FOLDER/1 in reverse order
  FOLDER/sparse/bench.dbf   NAME changed in every record but every 1000th:
                            content pairing's stretches at their largest

usage: pairing_bench_gen.py FOLDER [RECORDS]
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from compare_bench_gen import record, write  # noqa: E402


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    for sub in ("1", "packed", "changed", "reversed", "sparse"):
        os.makedirs(os.path.join(folder, sub), exist_ok=True)
    write(os.path.join(folder, "1", "bench.dbf"), (record(i) for i in range(count)), count)
    write(os.path.join(folder, "packed", "bench.dbf"),
          (record(i) for i in range(count) if i != 9), count - 1)
    write(os.path.join(folder, "changed", "bench.dbf"),
          (record(i, True) for i in range(count)), count)
    write(os.path.join(folder, "reversed", "bench.dbf"),
          (record(i) for i in range(count - 1, -1, -1)), count)
    write(os.path.join(folder, "sparse", "bench.dbf"),
          (record(i, i % 1000 != 0) for i in range(count)), count)


if __name__ == "__main__":
    main()
