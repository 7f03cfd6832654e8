#!/usr/bin/python3
"""Writes the sample folders Samples and Samples1 and the hand pointer
HAND-M.CUR into samples/ (or the folder given as the only argument).

The tables are Visual FoxPro free tables (file type 0x30, code page 1252)
with character, numeric, date, datetime, logical, integer, currency and memo
fields and a few nulls.  The bytes are written here with struct because the
usual Python writers cannot store nulls.  Samples1 holds the same tables
with a handful of changed values, the last two orders removed, three
products added and the RATING field of customers left out, so that
comparing the two folders shows every kind of difference.

Run it again after changing the data below; the output is deterministic.
"""

import datetime as dt
import os
import struct
import sys
from decimal import Decimal

MEMO_BLOCK = 64
CODE_PAGE_MARK = 0x03  # 1252
LAST_UPDATE = dt.date(2024, 5, 17)  # fixed, so that the files do not change from run to run


class Field:
    def __init__(self, name, kind, length=0, decimals=0, nullable=False):
        self.name, self.kind, self.decimals, self.nullable = name, kind, decimals, nullable
        self.length = {"D": 8, "T": 8, "L": 1, "I": 4, "Y": 8, "M": 4}.get(kind, length)


def julian_day(d):
    return d.toordinal() + 1721425  # 1970-01-01 is day 2440588


class MemoFile:
    def __init__(self):
        self.blocks = bytearray()
        self.next_block = 512 // MEMO_BLOCK

    def add(self, text):
        data = text.encode("cp1252")
        block = self.next_block
        chunk = struct.pack(">II", 1, len(data)) + data
        chunk += b"\0" * (-len(chunk) % MEMO_BLOCK)
        self.blocks += chunk
        self.next_block += len(chunk) // MEMO_BLOCK
        return block

    def bytes(self):
        header = struct.pack(">I", self.next_block) + b"\0\0" + struct.pack(">H", MEMO_BLOCK)
        return header + b"\0" * (512 - len(header)) + bytes(self.blocks)


def encode(field, value, memo):
    k, n = field.kind, field.length
    if k == "C":
        return value.encode("cp1252")[:n].ljust(n, b" ")
    if k == "N":
        text = f"{value:.{field.decimals}f}" if field.decimals else str(int(value))
        if len(text) > n:
            raise ValueError(f"{field.name}: {value} does not fit in N({n},{field.decimals})")
        return text.rjust(n).encode("ascii")
    if k == "D":
        return value.strftime("%Y%m%d").encode("ascii")
    if k == "T":
        ms = ((value.hour * 60 + value.minute) * 60 + value.second) * 1000
        return struct.pack("<ii", julian_day(value.date()), ms)
    if k == "L":
        return b"T" if value else b"F"
    if k == "I":
        return struct.pack("<i", value)
    if k == "Y":
        return struct.pack("<q", int(Decimal(value) * 10000))
    if k == "M":
        return struct.pack("<i", memo.add(value) if value else 0)
    raise ValueError(k)


def empty(field):
    # What a null leaves in the record: blanks for text forms, zeros for binary ones.
    return (b" " if field.kind in "CND" else b"\0") * field.length


def write_table(folder, name, fields, rows):
    nullable = [f for f in fields if f.nullable]
    all_fields = list(fields)
    if nullable:
        flags = Field("_NullFlags", "0", (len(nullable) + 7) // 8)
        all_fields.append(flags)
    has_memo = any(f.kind == "M" for f in fields)
    memo = MemoFile()

    header_length = 32 + 32 * len(all_fields) + 1 + 263
    record_length = 1 + sum(f.length for f in all_fields)
    out = bytearray()
    out += struct.pack("<B3BIHH16xBB2x", 0x30, LAST_UPDATE.year - 1900, LAST_UPDATE.month,
                       LAST_UPDATE.day, len(rows), header_length, record_length,
                       0x02 if has_memo else 0x00, CODE_PAGE_MARK)
    offset = 1
    for f in all_fields:
        flag = 0x05 if f.kind == "0" else (0x02 if f.nullable else 0x00)
        out += struct.pack("<11scIBBB13x", f.name.encode("ascii"), f.kind.encode("ascii"), offset,
                           f.length, f.decimals, flag)
        offset += f.length
    out += b"\r" + b"\0" * 263
    assert len(out) == header_length

    for row in rows:
        record = bytearray(b" ")
        bits = 0
        for f in fields:
            value = row.get(f.name)
            if value is None:
                if not f.nullable:
                    raise ValueError(f"{name}.{f.name} is not nullable")
                bits |= 1 << nullable.index(f)
                record += empty(f)
            else:
                record += encode(f, value, memo)
        if nullable:
            record += bits.to_bytes(all_fields[-1].length, "little")
        assert len(record) == record_length
        out += record
    out += b"\x1a"

    with open(os.path.join(folder, name + ".dbf"), "wb") as fh:
        fh.write(out)
    if has_memo:
        with open(os.path.join(folder, name + ".fpt"), "wb") as fh:
            fh.write(memo.bytes())


# --- the data -----------------------------------------------------------------

D, T = dt.date, dt.datetime

CUSTOMER_FIELDS = [
    Field("CUSTID", "I"),
    Field("NAME", "C", 30),
    Field("CITY", "C", 20, nullable=True),
    Field("SINCE", "D"),
    Field("ACTIVE", "L"),
    Field("BALANCE", "Y"),
    Field("RATING", "N", 5, 1, nullable=True),
    Field("NOTES", "M", nullable=True),
]

CUSTOMERS = [
    dict(CUSTID=1, NAME="Alder & Sons", CITY="Bristol", SINCE=D(2015, 3, 2), ACTIVE=True,
         BALANCE="1520.5000", RATING=4.5, NOTES="Pays within 30 days.\r\nPrefers e-mail."),
    dict(CUSTID=2, NAME="Café Müller", CITY="Köln", SINCE=D(2017, 11, 20), ACTIVE=True,
         BALANCE="0.0000", RATING=3.0, NOTES="Seasonal orders."),
    dict(CUSTID=3, NAME="Northwind Traders", CITY=None, SINCE=D(2012, 6, 30), ACTIVE=False,
         BALANCE="-75.2500", RATING=None, NOTES=None),
    dict(CUSTID=4, NAME="Osprey Outfitters", CITY="Halifax", SINCE=D(2020, 1, 15), ACTIVE=True,
         BALANCE="310.0000", RATING=5.0, NOTES=""),
    dict(CUSTID=5, NAME="Quayside Books", CITY="Cork", SINCE=D(2019, 8, 8), ACTIVE=True,
         BALANCE="42.1000", RATING=2.5, NOTES="Closed on Mondays."),
    dict(CUSTID=6, NAME="Riverbend Farm Supply", CITY="Ames", SINCE=D(2021, 4, 1), ACTIVE=False,
         BALANCE="0.0000", RATING=None, NOTES=None),
]

ORDER_FIELDS = [
    Field("ORDERID", "I"),
    Field("CUSTID", "I"),
    Field("ORDERED", "T"),
    Field("AMOUNT", "N", 10, 2),
    Field("SHIPPED", "L"),
    Field("SHIPDATE", "D", nullable=True),
    Field("REMARKS", "M"),
]

ORDERS = [
    dict(ORDERID=1001, CUSTID=1, ORDERED=T(2024, 1, 8, 9, 15, 0), AMOUNT=250.00, SHIPPED=True,
         SHIPDATE=D(2024, 1, 10), REMARKS="Standard delivery."),
    dict(ORDERID=1002, CUSTID=2, ORDERED=T(2024, 1, 9, 14, 2, 30), AMOUNT=89.90, SHIPPED=True,
         SHIPDATE=D(2024, 1, 12), REMARKS=""),
    dict(ORDERID=1003, CUSTID=4, ORDERED=T(2024, 2, 1, 8, 0, 0), AMOUNT=1299.00, SHIPPED=False,
         SHIPDATE=None, REMARKS="Awaiting stock of item B-220."),
    dict(ORDERID=1004, CUSTID=5, ORDERED=T(2024, 2, 3, 16, 45, 10), AMOUNT=15.75, SHIPPED=True,
         SHIPDATE=D(2024, 2, 5), REMARKS="Gift wrap."),
    dict(ORDERID=1005, CUSTID=1, ORDERED=T(2024, 2, 20, 11, 30, 0), AMOUNT=480.40, SHIPPED=False,
         SHIPDATE=None, REMARKS=""),
    dict(ORDERID=1006, CUSTID=3, ORDERED=T(2024, 3, 2, 10, 5, 0), AMOUNT=60.00, SHIPPED=True,
         SHIPDATE=D(2024, 3, 4), REMARKS="Invoice to head office."),
    dict(ORDERID=1007, CUSTID=6, ORDERED=T(2024, 3, 15, 13, 20, 0), AMOUNT=742.35, SHIPPED=False,
         SHIPDATE=None, REMARKS="Call before delivery."),
]

PRODUCT_FIELDS = [
    Field("PRODID", "I"),
    Field("CODE", "C", 10),
    Field("DESCR", "C", 40),
    Field("PRICE", "Y"),
    Field("STOCK", "N", 6, 0),
    Field("DISCONT", "L"),
    Field("ADDED", "D"),
    Field("UPDATED", "T", nullable=True),
    Field("DETAILS", "M"),
]

PRODUCTS = [
    dict(PRODID=1, CODE="A-100", DESCR="Canvas tote bag", PRICE="12.5000", STOCK=140,
         DISCONT=False, ADDED=D(2019, 5, 1), UPDATED=T(2024, 1, 3, 8, 30, 0),
         DETAILS="Natural cotton, 38 x 42 cm."),
    dict(PRODID=2, CODE="B-220", DESCR="Enamel camping mug", PRICE="8.9900", STOCK=0,
         DISCONT=False, ADDED=D(2020, 2, 14), UPDATED=None, DETAILS="Holds 350 ml."),
    dict(PRODID=3, CODE="C-310", DESCR="Wool blanket, grey", PRICE="64.0000", STOCK=25,
         DISCONT=False, ADDED=D(2018, 10, 9), UPDATED=T(2023, 12, 1, 17, 0, 0), DETAILS=""),
    dict(PRODID=4, CODE="D-405", DESCR="Brass compass", PRICE="29.9500", STOCK=12, DISCONT=True,
         ADDED=D(2016, 7, 21), UPDATED=None, DETAILS="Discontinued by the maker."),
    dict(PRODID=5, CODE="E-512", DESCR="Beeswax candles (pair)", PRICE="6.2500", STOCK=300,
         DISCONT=False, ADDED=D(2022, 11, 30), UPDATED=T(2024, 2, 28, 9, 45, 0),
         DETAILS="Unscented."),
]

ADDED_PRODUCTS = [
    dict(PRODID=6, CODE="F-600", DESCR="Linen tea towel", PRICE="7.5000", STOCK=80,
         DISCONT=False, ADDED=D(2024, 3, 1), UPDATED=None, DETAILS="Pack of two."),
    dict(PRODID=7, CODE="F-610", DESCR="Oak chopping board", PRICE="34.0000", STOCK=15,
         DISCONT=False, ADDED=D(2024, 3, 1), UPDATED=T(2024, 3, 9, 12, 0, 0), DETAILS=""),
    dict(PRODID=8, CODE="G-700", DESCR="Copper watering can", PRICE="48.5000", STOCK=6,
         DISCONT=False, ADDED=D(2024, 3, 20), UPDATED=None, DETAILS="1.5 litres."),
]


def changed(rows, index, **values):
    rows = [dict(r) for r in rows]
    rows[index].update(values)
    return rows


def write_samples(root):
    first = os.path.join(root, "Samples")
    second = os.path.join(root, "Samples1")
    for folder in (first, second):
        os.makedirs(folder, exist_ok=True)

    write_table(first, "customers", CUSTOMER_FIELDS, CUSTOMERS)
    write_table(first, "orders", ORDER_FIELDS, ORDERS)
    write_table(first, "products", PRODUCT_FIELDS, PRODUCTS)

    customers2 = changed(CUSTOMERS, 1, CITY="Bonn", BALANCE="125.0000")
    customers2 = changed(customers2, 2, CITY="Seattle", ACTIVE=True)
    customers2 = changed(customers2, 4, NOTES="Closed on Mondays and Tuesdays.")
    write_table(second, "customers", [f for f in CUSTOMER_FIELDS if f.name != "RATING"],
                customers2)

    orders2 = changed(ORDERS, 2, SHIPPED=True, SHIPDATE=D(2024, 2, 9))
    orders2 = changed(orders2, 3, AMOUNT=17.25, ORDERED=T(2024, 2, 3, 16, 50, 0))
    write_table(second, "orders", ORDER_FIELDS, orders2[:-2])

    products2 = changed(PRODUCTS, 1, STOCK=48, UPDATED=T(2024, 3, 11, 10, 0, 0))
    products2 = changed(products2, 3, PRICE="24.9500", ADDED=D(2016, 7, 22))
    write_table(second, "products", PRODUCT_FIELDS, products2 + ADDED_PRODUCTS)


# --- the hand pointer ------------------------------------------------------------

# 32 x 32, '.' transparent, 'X' black outline, 'o' white; hot spot at the tip
# of the index finger.
HAND = """
......XX........................
.....XooX.......................
.....XooX.......................
.....XooX.......................
.....XooX.......................
.....XooXXX.....................
.....XooXooXXX..................
.....XooXooXooXX................
.....XooXooXooXoX...............
.XX..XooXooXooXooX..............
.XoX.XooooooooXooX..............
.XooXXoooooooooooX..............
..XooXoooooooooooX..............
...XoXoooooooooooX..............
...XooooooooooooX...............
....XoooooooooooX...............
....XooooooooooX................
.....XoooooooooX................
.....XooooooooX.................
......XoooooooX.................
......XoooooooX.................
......XXXXXXXXX.................
"""
HOT_SPOT = (6, 0)


def cursor_bytes():
    rows = [line for line in HAND.strip("\n").split("\n")]
    rows += ["." * 32] * (32 - len(rows))
    width = height = 32
    xor_rows, and_rows = [], []
    for line in rows:
        line = line.ljust(32, ".")
        xor_bits = "".join("1" if c == "o" else "0" for c in line)
        and_bits = "".join("1" if c == "." else "0" for c in line)
        xor_rows.append(int(xor_bits, 2).to_bytes(4, "big"))
        and_rows.append(int(and_bits, 2).to_bytes(4, "big"))
    palette = struct.pack("<II", 0x000000, 0xFFFFFF)
    info = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    # Bitmaps are stored bottom row first.
    pixels = b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows))
    image = info + palette + pixels
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", width, height, 2, 0, HOT_SPOT[0], HOT_SPOT[1], len(image),
                        6 + 16)
    return header + entry + image


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "samples")
    write_samples(root)
    with open(os.path.join(root, "HAND-M.CUR"), "wb") as fh:
        fh.write(cursor_bytes())


if __name__ == "__main__":
    main()
