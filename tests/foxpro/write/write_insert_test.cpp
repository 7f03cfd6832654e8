#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>

#include "foxpro/foxpro_error.h"
#include "foxpro/platform/local_date.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using writetest::readRows;

class WriteInsertTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t(0x32);
        t.field("NAME", 'C', 6)
            .field("NICK", 'V', 6, 0, 0x02)
            .field("QTY", 'N', 5, 1)
            .field("OK", 'L', 1)
            .field("NOTE", 'M', 4, 0, 0x02)
            .field("WHEN", 'T', 8);
        t.record({Cell::text("old"), Cell::text("o"), Cell::number("1.0"), Cell::logical('F'),
                  Cell::memo("old memo"), Cell::dateTime(2001, 2, 3, 4, 5, 6)});
        t.record({Cell::text("dead"), Cell::null(), Cell::blank(), Cell::blank(), Cell::none(),
                  Cell::blank()},
                 true);
        t.write(src_.file("t.dbf"));
    }
    void TearDown() override { setWriteLimitForTesting(std::nullopt); }
    writetest::FolderSource src_;
};

TEST_F(WriteInsertTest, AppendsOneLiveRecordAfterTheDeletedOnes) {
    // As the merge sends it: every value quoted, logicals bare, empty ones NULL.
    src_.execute("INSERT INTO [t] VALUES('Smith', NULL, '12.5', True, 'new memo', '')");
    src_.execute("INSERT INTO t VALUES('Jo', 'J ', 3, .F., NULL, {^2020-12-31 13:02:03})");
    auto rows = readRows(src_.file("t.dbf"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_THAT(rows[1], ElementsAre("Smith ", "<null>", "12.5", "True", "new memo", "<null>"));
    EXPECT_THAT(rows[2],
                ElementsAre("Jo    ", "J ", "3", "False", "<null>", "2020-12-31 13:02:03"));

    TableReader t(src_.file("t.dbf"));
    EXPECT_EQ(t.storedCount(), 4);  // header count includes the deleted record
    auto bytes = test::readFile(src_.file("t.dbf"));
    EXPECT_EQ(bytes.size(),
              static_cast<std::size_t>(t.headerLength() + 4 * t.layout().recordLength + 1));
    EXPECT_EQ(bytes.back(), 0x1A);
    const foxpro::platform::LocalDate today = foxpro::platform::localToday();
    EXPECT_EQ(bytes[1], today.year - 1900);  // last update: today
    EXPECT_EQ(bytes[2], today.month);
    EXPECT_EQ(bytes[3], today.day);
}

TEST_F(WriteInsertTest, ColumnListLeavesTheRestBlankOrNull) {
    src_.execute("INSERT INTO t ([when], name) VALUES('2022-06-01 08:00', 'Ann')");
    auto rows = readRows(src_.file("t.dbf"));
    ASSERT_EQ(rows.size(), 2u);
    // NICK and NOTE are nullable; QTY is blank (reads as 0), OK blank (False).
    EXPECT_THAT(rows[1],
                ElementsAre("Ann   ", "<null>", "0", "False", "<null>", "2022-06-01 08:00:00"));
}

TEST_F(WriteInsertTest, BadValuesOrCountsAppendNothing) {
    auto before = test::readFile(src_.file("t.dbf"));
    auto memoBefore = test::readFile(src_.file("t.fpt"));
    EXPECT_THAT(src_.failure("INSERT INTO t VALUES('a', 'b', 1, True, 'm')"),
                HasSubstr("5 values for 6 fields"));
    EXPECT_THAT(src_.failure("INSERT INTO t (name, qty) VALUES('a')"),
                HasSubstr("1 values for 2 columns"));
    EXPECT_THAT(src_.failure("INSERT INTO t (name, nope) VALUES('a', 1)"),
                HasSubstr("no field named nope"));
    EXPECT_THAT(src_.failure("INSERT INTO t (name, NAME) VALUES('a', 'b')"),
                HasSubstr("listed twice"));
    EXPECT_THAT(src_.failure("INSERT INTO t VALUES('a', 'b', 1, True, 'memo', 'noon')"),
                HasSubstr("WHEN (T 8)"));
    EXPECT_THAT(src_.failure("INSERT INTO t VALUES(NULL, 'b', 1, True, 'm', '')"),
                HasSubstr("NAME (C 6): the field cannot hold null"));
    EXPECT_EQ(test::readFile(src_.file("t.dbf")), before);
    EXPECT_EQ(test::readFile(src_.file("t.fpt")), memoBefore);
}

TEST_F(WriteInsertTest, FailedAppendPutsTheOldEndBack) {
    auto before = test::readFile(src_.file("t.dbf"));
    for (std::int64_t limit : {0, 10}) {
        setWriteLimitForTesting(limit);
        EXPECT_THAT(src_.failure("INSERT INTO t (name) VALUES('x')"), HasSubstr("No space left"));
        setWriteLimitForTesting(std::nullopt);
        EXPECT_EQ(test::readFile(src_.file("t.dbf")), before) << limit;
    }
}

TEST_F(WriteInsertTest, AutoincrementTakesTheNextValue) {
    TableBuilder t(0x31);
    t.field("ID", 'I', 4, 0, 0x0C).field("NAME", 'C', 4);
    t.write(src_.file("auto.dbf"));
    // Next value 1, step 1 (descriptor bytes 19..23).
    std::size_t desc = 32;
    test::setBytes(src_.file("auto.dbf"), desc + 19, {1, 0, 0, 0, 1});
    src_.execute("INSERT INTO auto (name) VALUES('a')");
    src_.execute("INSERT INTO auto (name) VALUES('b')");
    src_.execute("INSERT INTO auto VALUES(10, 'c')");
    auto rows = readRows(src_.file("auto.dbf"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0], "1");
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[2][0], "10");
    TableReader r(src_.file("auto.dbf"));
    EXPECT_EQ(r.descriptors()[0].autoNext, 3u);
}

TEST_F(WriteInsertTest, AHeldTableTakesABatchOfStatementsAsSeparateOnesWould) {
    for (const char* ext : {".dbf", ".fpt"})
        std::filesystem::copy_file(src_.file(std::string("t") + ext),
                                   src_.file(std::string("u") + ext));
    TableBuilder a(0x31);
    a.field("ID", 'I', 4, 0, 0x0C).field("NAME", 'C', 4);
    a.write(src_.file("auto.dbf"));
    test::setBytes(src_.file("auto.dbf"), 32 + 19, {1, 0, 0, 0, 1});

    // Updates after inserts reach the records the inserts appended (after
    // a deleted one); memo blocks and autoincrement values carry on.
    const auto batch = [&](const std::string& table) {
        src_.execute("INSERT INTO [" + table + "] VALUES('a', NULL, 1, True, 'memo a', '')");
        src_.execute("UPDATE [" + table + "] SET [NAME] = 'b' WHERE RECNO() = 2");
        src_.execute("UPDATE [" + table + "] SET [NOTE] = 'longer memo' WHERE RECNO() = 1");
        src_.execute("INSERT INTO [" + table + "] (name, note) VALUES('c', 'memo c')");
        src_.execute("UPDATE [" + table + "] SET [QTY] = '7.5' WHERE RECNO() = 3");
    };
    batch("t");
    src_.connection().holdTable("U");
    batch("u");
    src_.connection().holdTable("auto");
    src_.execute("INSERT INTO auto (name) VALUES('a')");
    src_.execute("INSERT INTO auto (name) VALUES('b')");
    src_.connection().releaseTable();
    EXPECT_EQ(test::readFile(src_.file("u.dbf")), test::readFile(src_.file("t.dbf")));
    EXPECT_EQ(test::readFile(src_.file("u.fpt")), test::readFile(src_.file("t.fpt")));
    EXPECT_THAT(readRows(src_.file("u.dbf"))[2],
                ElementsAre("c     ", "<null>", "7.5", "False", "memo c", "<null>"));
    // Let go: another connection writes it, and the count it left is right.
    EXPECT_EQ(
        writetest::runOnNewConnection(src_.dir().path(), "INSERT INTO auto (name) VALUES('c')"),
        "");
    auto rows = readRows(src_.file("auto.dbf"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[2][0], "3");
}

TEST_F(WriteInsertTest, ABufferedHeldTableWritesItsBatchWhenFinishedAndDropsItWhenLetGo) {
    for (const char* name : {"u", "v"})
        for (const char* ext : {".dbf", ".fpt"})
            std::filesystem::copy_file(src_.file(std::string("t") + ext),
                                       src_.file(std::string(name) + ext));
    const auto untouched = test::readFile(src_.file("t.dbf"));
    const auto batch = [&](const std::string& table) {
        src_.execute("INSERT INTO [" + table + "] VALUES('a', NULL, 1, True, 'memo a', '')");
        src_.execute("UPDATE [" + table + "] SET [NAME] = 'b' WHERE RECNO() = 2");
        src_.execute("UPDATE [" + table + "] SET [NOTE] = 'longer memo' WHERE RECNO() = 1");
        src_.execute("INSERT INTO [" + table + "] (name, note) VALUES('c', 'memo c')");
        src_.execute("UPDATE [" + table + "] SET [QTY] = '7.5' WHERE RECNO() = 3");
    };
    src_.connection().holdTable("u", true);
    batch("u");
    EXPECT_EQ(test::readFile(src_.file("u.dbf")), untouched);
    src_.connection().finishTable();
    batch("t");
    EXPECT_EQ(test::readFile(src_.file("u.dbf")), test::readFile(src_.file("t.dbf")));
    EXPECT_EQ(test::readFile(src_.file("u.fpt")), test::readFile(src_.file("t.fpt")));

    src_.connection().holdTable("v", true);
    src_.execute("INSERT INTO v (name) VALUES('x')");
    src_.connection().releaseTable();
    EXPECT_EQ(test::readFile(src_.file("v.dbf")), untouched);
}

}  // namespace
}  // namespace quorvel::foxpro
