// A table copied, updated and extended by the writing side, read back by
// independent readers (python3-dbfread, python3-dbf).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/python_runner.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::runPython;
using test::TableBuilder;

// Prints every live record as one line of values separated by " | ", null
// as <null>; null bits follow Visual FoxPro's numbering (one per nullable
// field and per V/Q field, in field order), which dbfread leaves to us.
const char kDbfreadScript[] = R"PY(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], encoding='cp1252', char_decode_errors='strict', raw=False)
fields = [f for f in t.fields if f.type != '0']
bits, n = {}, 0
for f in fields:
    if f.type in 'VQ':
        n += 1
    if f.reserved1 & 2:
        bits[f.name] = n
        n += 1
print('count', len(t))
for r in t:
    flags = int.from_bytes(r.get('_NullFlags', b'') or b'', 'little')
    out = []
    for f in fields:
        v = r[f.name]
        if f.name in bits and flags >> bits[f.name] & 1:
            v = '<null>'
        out.append(str(v))
    print(' | '.join(out))
)PY";

const char kDbfScript[] = R"PY(
import sys, dbf
t = dbf.Table(sys.argv[1])
t.open(dbf.READ_ONLY)
print('count', len(t))
for r in t:
    print(r.name.rstrip(), r.qty, r.note.rstrip())
t.close()
)PY";

std::string pythonOn(const char* script, const std::string& module, const std::string& table) {
    bool ok = false;
    std::string probe = runPython("import " + module + "\n", &ok);
    if (!ok) return "<skip>";
    std::string out = runPython(script, &ok, {table});
    EXPECT_TRUE(ok) << out;
    return out;
}

TEST(WriteRoundTripTest, IndependentReadersSeeWhatWasWritten) {
    writetest::FolderSource src;
    TableBuilder t(0x30);
    t.field("NAME", 'C', 10)
        .field("QTY", 'N', 7, 2)
        .field("NOTE", 'M', 4)
        .field("BORN", 'D', 8, 0, 0x02)
        .field("OK", 'L', 1)
        .field("ID", 'I', 4)
        .field("AT", 'T', 8)
        .field("PRICE", 'Y', 8)
        .field("RATE", 'B', 8, 2);
    t.record({Cell::text("Ann"), Cell::number("1.50"), Cell::memo("first"), Cell::date(1980, 5, 6),
              Cell::logical('T'), Cell::integer32(7), Cell::dateTime(2020, 1, 2, 3, 4, 5),
              Cell::currency(125000), Cell::real64(0.25)});
    t.record(
        {Cell::text("gone"), Cell::number("0"), Cell::memo("gone"), Cell::null(),
         Cell::logical('F'), Cell::integer32(0), Cell::blank(), Cell::currency(0), Cell::real64(0)},
        true);
    t.record({Cell::text("Bob"), Cell::number("-2.00"), Cell::none(), Cell::null(),
              Cell::logical('F'), Cell::integer32(-1), Cell::dateTime(1999, 12, 31, 23, 59, 59),
              Cell::currency(-5), Cell::real64(-1e10)});
    t.write(src.file("src.dbf"));

    src.execute("SELECT *  FROM [src] INTO TABLE [out]");
    src.execute("UPDATE [out] SET [NAME] = 'Zoë O''Neil' WHERE RECNO() = 2");
    src.execute("UPDATE [out] SET [NOTE] = 'changed memo' WHERE RECNO() = 1");
    src.execute("UPDATE [out] SET [BORN] = NULL WHERE RECNO() = 1");
    src.execute("UPDATE [out] SET [QTY] = 1234.567 WHERE RECNO() = 2");
    src.execute(
        "INSERT INTO [out] VALUES('Cy', '3', 'a memo', '2000-02-29', True, '42', "
        "'2021-07-08 09:10:11', '3.5', '2.5')");
    src.execute("INSERT INTO [out] (name) VALUES('Di')");

    std::string out = pythonOn(kDbfreadScript, "dbfread", src.file("out.dbf"));
    if (out == "<skip>") GTEST_SKIP() << "python3 dbfread is not installed";
    EXPECT_EQ(out,
              "count 4\n"
              "Ann | 1.5 | changed memo | <null> | True | 7 | 2020-01-02 03:04:05 | 12.5 | 0.25\n"
              "Zoë O'Neil | 1234.57 | None | <null> | False | -1 | 1999-12-31 23:59:59 | -0.0005 | "
              "-10000000000.0\n"
              "Cy | 3.0 | a memo | 2000-02-29 | True | 42 | 2021-07-08 09:10:11 | 3.5 | 2.5\n"
              "Di | None | None | <null> | None | 0 | None | 0 | 0.0\n");

    std::string viaDbf = pythonOn(kDbfScript, "dbf", src.file("out.dbf"));
    if (viaDbf == "<skip>") return;
    EXPECT_EQ(viaDbf,
              "count 4\n"
              "Ann 1.5 changed memo\n"
              "Zoë O'Neil 1234.57 \n"
              "Cy 3.0 a memo\n"
              "Di None \n");
}

}  // namespace
}  // namespace quorvel::foxpro
