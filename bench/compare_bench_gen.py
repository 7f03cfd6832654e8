#!/usr/bin/python3
"""Writes the two tables of the comparison benchmark.

FOLDER1/bench.dbf and FOLDER2/bench.dbf: Visual FoxPro free tables of
RECORDS records and 12 fields (no memo).  Table #2 is Table #1 with one
field changed in every 100th record and EXTRA records appended, so a
comparison finds RECORDS / 100 Changed lines and EXTRA Added lines.

usage: compare_bench_gen.py FOLDER1 FOLDER2 [RECORDS] [EXTRA]
"""
import datetime
import os
import struct
import sys

FIELDS = [  # name, letter, width, decimals
    ("ID", "I", 4, 0),
    ("CODE", "C", 10, 0),
    ("NAME", "C", 30, 0),
    ("CITY", "C", 20, 0),
    ("QTY", "N", 8, 0),
    ("PRICE", "N", 10, 2),
    ("AMOUNT", "Y", 8, 4),
    ("CREATED", "D", 8, 0),
    ("UPDATED", "T", 8, 0),
    ("ACTIVE", "L", 1, 0),
    ("RATE", "B", 8, 2),
    ("REMARK", "C", 40, 0),
]
RECORD_LENGTH = 1 + sum(f[2] for f in FIELDS)
CITIES = [b"Lisbon", b"Oslo", b"Krakow", b"Valencia", b"Turku", b"Ghent", b"Brno"]
JULIAN_1970 = 2440588


def header(count):
    fields = bytearray()
    offset = 1
    for name, letter, width, decimals in FIELDS:
        d = bytearray(32)
        d[0:len(name)] = name.encode("ascii")
        d[11] = ord(letter)
        struct.pack_into("<I", d, 12, offset)
        d[16] = width
        d[17] = decimals
        fields += d
        offset += width
    header_length = 32 + len(fields) + 1 + 263
    today = datetime.date.today()
    h = bytearray(32)
    h[0] = 0x30
    h[1:4] = bytes([today.year - 1900, today.month, today.day])
    struct.pack_into("<IHH", h, 4, count, header_length, RECORD_LENGTH)
    h[29] = 0x03
    return bytes(h) + bytes(fields) + b"\x0d" + bytes(263)


def record(i, changed=False):
    city = CITIES[i % len(CITIES)]
    day = datetime.date(2000, 1, 1) + datetime.timedelta(days=i % 9000)
    name = b"Customer %07d" % i
    if changed:
        name = b"Changed %07d" % i
    r = b"".join([
        b" ",
        struct.pack("<i", i + 1),
        (b"C%08d" % i).ljust(10),
        name.ljust(30),
        city.ljust(20),
        (b"%d" % (i % 1000)).rjust(8),
        (b"%.2f" % ((i % 100000) / 100)).rjust(10),
        struct.pack("<q", (i % 1000000) * 125),
        day.strftime("%Y%m%d").encode(),
        struct.pack("<ii", JULIAN_1970 + 10000 + i % 20000, (i * 1000) % 86400000),
        b"T" if i % 3 else b"F",
        struct.pack("<d", i / 7.0),
        (b"remark %d" % (i % 5000)).ljust(40),
    ])
    assert len(r) == RECORD_LENGTH
    return r


def write(path, records, count):
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(header(count))
        batch = []
        for r in records:
            batch.append(r)
            if len(batch) == 10000:
                f.write(b"".join(batch))
                batch = []
        f.write(b"".join(batch))
        f.write(b"\x1a")
    os.replace(tmp, path)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder1, folder2 = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 1_000_000
    extra = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    os.makedirs(folder1, exist_ok=True)
    os.makedirs(folder2, exist_ok=True)
    write(os.path.join(folder1, "bench.dbf"), (record(i) for i in range(count)), count)
    write(os.path.join(folder2, "bench.dbf"),
          (record(i, i % 100 == 50) for i in range(count + extra)), count + extra)


if __name__ == "__main__":
    main()
