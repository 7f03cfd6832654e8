// Damaged files: every one ends in a FoxProError that names the file and the
// problem; none crashes, hangs or allocates without bound.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "support/table_builder.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;

class TableReadTest : public ::testing::Test {
  protected:
    std::string path() const { return dir_.file("orders.dbf"); }
    std::string memoPath() const { return dir_.file("orders.fpt"); }

    void WriteTable(const TableBuilder& t) { t.write(path()); }

    // Ten records of C(5), N(4,1) and a memo.
    static TableBuilder TenRecords(std::uint8_t type = 0x30) {
        TableBuilder t(type);
        t.field("NAME", 'C', 5).field("QTY", 'N', 4, 1).field("NOTE", 'M', type == 0x30 ? 4 : 10);
        for (int i = 0; i < 10; ++i)
            t.record({Cell::text('n' + std::to_string(i)), Cell::number(std::to_string(i)),
                      Cell::memo("memo " + std::to_string(i))});
        return t;
    }

    // Opens the table and reads every value; returns the error text, "" when
    // none.
    std::string ReadAllError() const {
        try {
            TableReader r(path());
            for (auto i = r.nextLive(0); i < r.storedCount(); i = r.nextLive(i + 1))
                for (int f = 0; f < r.fieldCount(); ++f) r.value(r.storedRecord(i), f);
            return "";
        } catch (const FoxProError& e) {
            EXPECT_EQ(e.number(), kErrorFile);
            return e.description();
        }
    }

    // Offset of descriptor field i's byte at descriptor offset k.
    static std::size_t Descriptor(int i, int k) {
        return 32 + 32 * static_cast<std::size_t>(i) + k;
    }

    test::TempFolder dir_;
};

TEST_F(TableReadTest, IntactTableReads) {
    WriteTable(TenRecords());
    EXPECT_EQ(ReadAllError(), "");
}

TEST_F(TableReadTest, TruncatedHeaderIsReported) {
    WriteTable(TenRecords());
    test::truncateTo(path(), 20);
    EXPECT_EQ(ReadAllError(),
              "orders.dbf: header is truncated (20 bytes, a table header needs 32)");
    test::truncateTo(path(), 0);
    EXPECT_THAT(ReadAllError(), HasSubstr("orders.dbf: header is truncated (0 bytes"));
}

TEST_F(TableReadTest, HeaderLengthPastEndOfFileIsReported) {
    WriteTable(TenRecords());
    test::truncateTo(path(), 100);
    EXPECT_THAT(ReadAllError(), HasSubstr("header bytes but the file has only 100 (truncated)"));
}

TEST_F(TableReadTest, ZeroRecordLengthIsReported) {
    WriteTable(TenRecords());
    test::setBytes(path(), 10, {0, 0});
    EXPECT_EQ(ReadAllError(), "orders.dbf: record length is 0");
}

TEST_F(TableReadTest, FieldOffsetPastTheRecordIsReported) {
    WriteTable(TenRecords());
    test::setBytes(path(), Descriptor(1, 12), {200, 0, 0, 0});
    EXPECT_THAT(ReadAllError(), HasSubstr("orders.dbf: field QTY lies past the end of the"));
    // An offset near the top of the 32-bit range must not wrap round.
    test::setBytes(path(), Descriptor(1, 12), {0xFF, 0xFF, 0xFF, 0x7F});
    EXPECT_THAT(ReadAllError(), HasSubstr("orders.dbf: field QTY lies past the end of the"));
}

TEST_F(TableReadTest, FieldLengthPastTheRecordIsReported) {
    WriteTable(TenRecords());
    test::setByte(path(), Descriptor(0, 16), 250);
    EXPECT_THAT(ReadAllError(), HasSubstr("field NAME lies past the end of the"));
}

TEST_F(TableReadTest, ZeroFieldLengthAndWrongFixedWidthAreReported) {
    WriteTable(TenRecords());
    test::setByte(path(), Descriptor(0, 16), 0);
    EXPECT_EQ(ReadAllError(), "orders.dbf: field NAME has length 0");
    TableBuilder t(0x30);
    t.field("I", 'I', 3).record({Cell::raw("abc")});
    WriteTable(t);
    EXPECT_EQ(ReadAllError(), "orders.dbf: field I of type I has length 3 instead of 4");
}

TEST_F(TableReadTest, UnknownFieldTypeIsReportedWhenOpened) {
    WriteTable(TenRecords());
    test::setByte(path(), Descriptor(1, 11), 'Z');
    EXPECT_EQ(ReadAllError(), "orders.dbf: field QTY has unknown type 'Z'");
}

TEST_F(TableReadTest, UnsupportedFormatsAreNamed) {
    WriteTable(TenRecords());
    test::setByte(path(), 0, 0x02);
    EXPECT_EQ(ReadAllError(), "orders.dbf: dBase II tables are not supported");
    test::setByte(path(), 0, 0x8C);
    EXPECT_EQ(ReadAllError(), "orders.dbf: dBase 7 tables are not supported");
    test::setByte(path(), 0, 0x42);
    EXPECT_THAT(ReadAllError(), HasSubstr("unknown table type 0x42"));
}

TEST_F(TableReadTest, FileEndingInsideARecordIsReported) {
    const TableBuilder t = TenRecords();
    WriteTable(t);
    // Cut the end-of-file mark and half of record 10.
    test::truncateBy(path(), 1 + static_cast<std::size_t>(t.recordLength()) / 2);
    EXPECT_EQ(ReadAllError(), "orders.dbf: header says " + std::to_string(t.recordLength()) +
                                  "-byte records but the file ends inside record 10");
}

// A count that disagrees with the file size happens in the wild: the smaller
// one is trusted, and the reader says so.
TEST_F(TableReadTest, RecordCountLargerThanTheFileReadsWholeRecords) {
    TableBuilder t = TenRecords();
    t.headerRecordCount(0xFFFFFFFFu);
    WriteTable(t);
    TableReader r(path());
    EXPECT_EQ(r.storedCount(), 10);
    EXPECT_EQ(r.liveCount(), 10);
    EXPECT_THAT(
        r.warnings(),
        ::testing::ElementsAre(HasSubstr("header says 4294967295 records but the file holds 10")));
}

TEST_F(TableReadTest, RecordCountSmallerThanTheFileReadsTheCount) {
    TableBuilder t = TenRecords();
    t.headerRecordCount(4);
    WriteTable(t);
    TableReader r(path());
    EXPECT_EQ(r.storedCount(), 4);
    EXPECT_EQ(r.warnings().size(), 1u);
}

TEST_F(TableReadTest, MissingMemoFileFailsOnlyWhenAMemoIsRead) {
    TableBuilder t(0x30);
    t.field("NAME", 'C', 3).field("NOTE", 'M', 4);
    t.record({Cell::text("a"), Cell::none()}).record({Cell::text("b"), Cell::memo("x")});
    WriteTable(t);
    std::remove(memoPath().c_str());
    TableReader r(path());
    EXPECT_EQ(r.value(r.storedRecord(0), 1), Value::text(""));
    EXPECT_EQ(r.value(r.storedRecord(1), 0), Value::text("b  "));
    try {
        r.value(r.storedRecord(1), 1);
        FAIL() << "no error";
    } catch (const FoxProError& e) {
        EXPECT_EQ(e.description(), "orders.dbf: memo file not found");
    }
}

TEST_F(TableReadTest, MemoFileFoundWithoutRegardToCase) {
    TableBuilder t = TenRecords();
    t.memoExtension(".FPT");
    WriteTable(t);
    TableReader r(path());
    EXPECT_EQ(r.value(r.storedRecord(3), 2), Value::text("memo 3"));
}

TEST_F(TableReadTest, MemoBlockPastTheEndOfTheMemoFileIsReported) {
    const TableBuilder t = TenRecords();
    WriteTable(t);
    // Record 1's memo reference (VFP: 4-byte block number) -> block 100000.
    const std::size_t ref = static_cast<std::size_t>(t.headerLength()) + 1 + 5 + 4;
    test::setBytes(path(), ref, {0xA0, 0x86, 0x01, 0x00});
    EXPECT_EQ(ReadAllError(),
              "orders.fpt: memo block 100000 lies past the end of the memo file "
              "(orders.dbf, record 1, field NOTE)");
}

TEST_F(TableReadTest, MemoLengthPastTheEndOfTheMemoFileIsReported) {
    WriteTable(TenRecords());
    // First memo at block 8 (512-byte header, 64-byte blocks): its length.
    test::setBytes(memoPath(), 8 * 64 + 4, {0x7F, 0xFF, 0xFF, 0xFF});
    EXPECT_THAT(
        ReadAllError(),
        HasSubstr("orders.fpt: memo block 8 holds 2147483647 bytes but the memo file ends"));
}

TEST_F(TableReadTest, TruncatedMemoHeaderAndZeroBlockSizeAreReported) {
    WriteTable(TenRecords());
    test::setBytes(memoPath(), 6, {0, 0});
    EXPECT_EQ(ReadAllError(), "orders.fpt: memo file gives a block size of 0");
    test::truncateTo(memoPath(), 100);
    EXPECT_EQ(ReadAllError(), "orders.fpt: memo file header is truncated (100 bytes)");
}

TEST_F(TableReadTest, DbaseMemoReferenceThatIsNoNumberIsReported) {
    const TableBuilder t = TenRecords(0xF5);
    WriteTable(t);
    const std::size_t ref = static_cast<std::size_t>(t.headerLength()) + 1 + 5 + 4;
    test::setBytes(path(), ref, {'x', 'y', 'z'});
    EXPECT_EQ(ReadAllError(),
              "orders.dbf: field NOTE holds a memo reference that is no block number");
}

// dBase III descriptors carry garbage where Visual FoxPro keeps offsets and
// flags; the reader ignores it.
TEST_F(TableReadTest, DbaseDescriptorGarbageIsIgnored) {
    TableBuilder t(0x03);
    t.field("A", 'C', 2).field("B", 'N', 3);
    t.record({Cell::text("xy"), Cell::number("7")});
    WriteTable(t);
    test::setBytes(path(), Descriptor(1, 12), {0xDE, 0xAD, 0xBE, 0xEF});
    test::setByte(path(), Descriptor(1, 18), 0x07);
    TableReader r(path());
    EXPECT_EQ(r.field(1).offset, 3);
    EXPECT_FALSE(r.field(1).nullable);
    EXPECT_EQ(r.value(r.storedRecord(0), 1).str(), "7");
}

TEST_F(TableReadTest, NotAFileIsReported) {
    try {
        TableReader r(dir_.path());
        FAIL() << "no error";
    } catch (const FoxProError& e) {
        EXPECT_THAT(e.description(), HasSubstr("not a regular file"));
    }
    try {
        TableReader r(dir_.file("missing.dbf"));
        FAIL() << "no error";
    } catch (const FoxProError& e) {
        EXPECT_THAT(e.description(), HasSubstr("missing.dbf: cannot open"));
    }
}

}  // namespace
}  // namespace quorvel::foxpro
