#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/text/text_form.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;
using writetest::readRows;

// One field of one type, one literal, and what the field reads back as
// ("" expected text) or the failure ("!" + part of the message).
struct Conversion {
    char letter;
    int width;
    int decimals;
    std::uint8_t flags;
    std::string literal;
    std::string expected;
};

void PrintTo(const Conversion& c, std::ostream* os) {
    *os << c.letter << "(" << c.width << "," << c.decimals << ") = " << c.literal;
}

class WriteConversionTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(WriteConversionTest, UpdateStoresOrRefuses) {
    const Conversion& c = GetParam();
    writetest::FolderSource src;
    TableBuilder t(0x32);
    t.codePageMark(0x03);
    t.field("KEEP", 'C', 3).field("F", c.letter, c.width, c.decimals, c.flags);
    t.record({Cell::text("one"), Cell::blank()});
    t.write(src.file("t.dbf"));
    auto before = test::readFile(src.file("t.dbf"));

    std::string error = src.failure("UPDATE [t] SET [f] = " + c.literal + " WHERE RECNO() = 1");
    if (c.expected.rfind("!", 0) == 0) {
        EXPECT_THAT(error, HasSubstr(c.expected.substr(1)));
        EXPECT_THAT(error, HasSubstr("F (" + std::string(1, c.letter)));  // names the field
        EXPECT_EQ(test::readFile(src.file("t.dbf")), before);             // record as it was
    } else {
        ASSERT_EQ(error, "");
        auto rows = readRows(src.file("t.dbf"));
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][1], c.expected);
        EXPECT_EQ(rows[0][0], "one");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, WriteConversionTest,
    ::testing::Values(
        // Character: padded, encoded into 1252, refused when too long or unmappable.
        Conversion{'C', 5, 0, 0, "'ab'", "ab   "}, Conversion{'C', 5, 0, 0, "'it''s'", "it's "},
        Conversion{'C', 5, 0, 0, "'café'", "café "}, Conversion{'C', 5, 0, 0, "12.5", "12.5 "},
        Conversion{'C', 5, 0, 0, "'toolong'", "!longer than the field"},
        Conversion{'C', 5, 0, 0, "'Ωmega'", "!cannot hold Ω"},
        Conversion{'C', 5, 0, 0, "{^2020-01-01}", "!a date is no text"},
        Conversion{'C', 5, 0, 0, "NULL", "!cannot hold null"},
        Conversion{'C', 5, 0, 0x02, "NULL", "<null>"},
        // Varchar keeps its length, trailing blanks included.
        Conversion{'V', 6, 0, 0, "'ab '", "ab "}, Conversion{'V', 3, 0, 0, "'abc'", "abc"},
        Conversion{'V', 6, 0, 0, "''", ""}, Conversion{'V', 6, 0, 0x02, "NULL", "<null>"},
        // Numeric: rounded to the decimals, refused when wider than the field.
        Conversion{'N', 5, 2, 0, "12.345", "12.35"}, Conversion{'N', 5, 2, 0, "-9.99", "-9.99"},
        Conversion{'N', 5, 2, 0, "99.99", "99.99"}, Conversion{'N', 5, 2, 0, "100", "!too wide"},
        Conversion{'N', 5, 2, 0, "-10.5", "!too wide"}, Conversion{'N', 5, 2, 0, "1e1", "10"},
        Conversion{'N', 5, 0, 0, "'42'", "42"}, Conversion{'N', 5, 0, 0, "'4x'", "!not a number"},
        Conversion{'N', 5, 0, 0, "True", "!not a number"}, Conversion{'N', 5, 0, 0, "-0.4", "0"},
        Conversion{'F', 10, 3, 0, "1.5e-2", "0.015"},
        // Integer, currency, double.
        Conversion{'I', 4, 0, 0, "-2147483648", "-2147483648"},
        Conversion{'I', 4, 0, 0, "2147483648", "!out of range"},
        Conversion{'I', 4, 0, 0, "2.5", "3"}, Conversion{'Y', 8, 0, 0, "12.34567", "12.3457"},
        Conversion{'Y', 8, 0, 0, "-0.5", "-0.5"}, Conversion{'Y', 8, 0, 0, "1e30", "!out of range"},
        Conversion{'B', 8, 2, 0, "-1.5e3", "-1500"},
        Conversion{'B', 8, 2, 0, "1e999", "!out of range"}, Conversion{'B', 8, 2, 0, "1e-999", "0"},
        // Dates and datetimes, from literals or ISO texts.
        Conversion{'D', 8, 0, 0, "{^2020-12-31}", "2020-12-31"},
        Conversion{'D', 8, 0, 0, "'2024-02-29'", "2024-02-29"},
        Conversion{'D', 8, 0, 0, "'2023-02-29'", "!not a date"},
        Conversion{'D', 8, 0, 0, "'tomorrow'", "!not a date"},
        Conversion{'D', 8, 0, 0, "{^2020-12-31 10:00:00}", "!no time of day"},
        Conversion{'D', 8, 0, 0, "{}", "<null>"},
        Conversion{'T', 8, 0, 0, "{^2020-12-31 13:02:03}", "2020-12-31 13:02:03"},
        Conversion{'T', 8, 0, 0, "'1970-01-01'", "1970-01-01 00:00:00"},
        Conversion{'T', 8, 0, 0, "5", "!not a date"},
        // Logicals.
        Conversion{'L', 1, 0, 0, "True", "True"}, Conversion{'L', 1, 0, 0, ".F.", "False"},
        Conversion{'L', 1, 0, 0, "'T'", "True"}, Conversion{'L', 1, 0, 0, "1", "!not a logical"},
        // Memo text and binary fields.
        Conversion{'M', 4, 0, 0, "'long ''memo'' text'", "long 'memo' text"},
        Conversion{'M', 4, 0, 0, "''", ""}, Conversion{'Q', 4, 0, 0, "0hCAFE", "0hCAFE"},
        Conversion{'Q', 4, 0, 0, "'0hBEEF'", "0hBEEF"},
        Conversion{'Q', 2, 0, 0, "0h010203", "!longer than the field"},
        Conversion{'W', 4, 0, 0, "0h00FF", "0h00FF"}));

class WriteUpdateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 6).field("NOTE", 'M', 4).field("QTY", 'N', 4, 0, 0x02);
        t.record({Cell::text("gone1"), Cell::memo("x"), Cell::number("1")}, true);
        t.record({Cell::text("first"), Cell::memo("memo 1"), Cell::number("2")});
        t.record({Cell::text("gone2"), Cell::none(), Cell::null()}, true);
        t.record({Cell::text("gone3"), Cell::none(), Cell::null()}, true);
        t.record({Cell::text("second"), Cell::none(), Cell::null()});
        t.write(src_.file("t.dbf"));
    }
    writetest::FolderSource src_;
};

TEST_F(WriteUpdateTest, RecnoCountsOnlyLiveRecords) {
    src_.execute("UPDATE t SET name = 'two' WHERE RECNO() = 2");
    src_.execute("update [T] set [Qty] = 7 where recno() = 1");
    auto rows = readRows(src_.file("t.dbf"));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "first ");
    EXPECT_EQ(rows[0][2], "7");
    EXPECT_EQ(rows[1][0], "two   ");
    // The deleted records are untouched.
    TableReader t(src_.file("t.dbf"));
    EXPECT_EQ(t.storedCount(), 5);
    EXPECT_EQ(textForm(t.value(t.storedRecord(0), 0), TextLocale::c()), "gone1 ");
    EXPECT_EQ(textForm(t.value(t.storedRecord(3), 0), TextLocale::c()), "gone3 ");
}

TEST_F(WriteUpdateTest, MemoGoesToTheNextFreeBlockAndNullsClear) {
    auto fptBefore = test::readFile(src_.file("t.fpt"));
    src_.execute("UPDATE t SET note = 'replaced' WHERE RECNO() = 1");
    src_.execute("UPDATE t SET note = 'new one' WHERE RECNO() = 2");
    src_.execute("UPDATE t SET qty = NULL WHERE RECNO() = 1");
    src_.execute("UPDATE t SET qty = 5 WHERE RECNO() = 2");
    auto rows = readRows(src_.file("t.dbf"));
    EXPECT_EQ(rows[0][1], "replaced");
    EXPECT_EQ(rows[1][1], "new one");
    EXPECT_EQ(rows[0][2], "<null>");
    EXPECT_EQ(rows[1][2], "5");

    auto fpt = test::readFile(src_.file("t.fpt"));
    ASSERT_GT(fpt.size(), fptBefore.size());
    // The old memo stays as garbage; the header's next free block lies at the end.
    EXPECT_TRUE(std::equal(fptBefore.begin() + 512, fptBefore.end(), fpt.begin() + 512));
    std::uint32_t next = (fpt[0] << 24) | (fpt[1] << 16) | (fpt[2] << 8) | fpt[3];
    EXPECT_EQ(next * 64u, fpt.size());
}

TEST_F(WriteUpdateTest, RefusalsNameTheProblemAndChangeNothing) {
    auto before = test::readFile(src_.file("t.dbf"));
    EXPECT_THAT(src_.failure("UPDATE t SET name = 'x' WHERE RECNO() = 3"),
                HasSubstr("no record 3"));
    EXPECT_THAT(src_.failure("UPDATE t SET name = 'x' WHERE RECNO() = 0"),
                HasSubstr("no record 0"));
    EXPECT_THAT(src_.failure("UPDATE t SET nosuch = 'x' WHERE RECNO() = 1"),
                HasSubstr("t.dbf: no field named nosuch"));
    EXPECT_THAT(src_.failure("UPDATE other SET name = 'x' WHERE RECNO() = 1"),
                HasSubstr("no table named other"));
    EXPECT_THAT(src_.failure("UPDATE t SET name = 'x' WHERE name = 'first'"),
                HasSubstr("unsupported statement"));
    EXPECT_EQ(test::readFile(src_.file("t.dbf")), before);
}

TEST_F(WriteUpdateTest, TablesThatMustNotBeWrittenAreRefused) {
    TableBuilder indexed(0x30);
    indexed.field("A", 'C', 1).record({Cell::text("a")});
    indexed.write(src_.file("indexed.dbf"));
    test::setByte(src_.file("indexed.dbf"), 28, 0x01);  // structural .cdx
    TableBuilder member(0x30);
    member.field("A", 'C', 1).backlink("shop.dbc").record({Cell::text("a")});
    member.write(src_.file("member.dbf"));
    TableBuilder cut(0x30);
    cut.field("A", 'C', 1).headerRecordCount(5).record({Cell::text("a")});
    cut.write(src_.file("cut.dbf"));

    EXPECT_THAT(src_.failure("UPDATE indexed SET a = 'b' WHERE RECNO() = 1"), HasSubstr(".cdx"));
    EXPECT_THAT(src_.failure("INSERT INTO member VALUES('b')"), HasSubstr("database container"));
    EXPECT_THAT(src_.failure("INSERT INTO cut VALUES('b')"), HasSubstr("header says 5 records"));
}

}  // namespace
}  // namespace quorvel::foxpro

namespace quorvel::foxpro {
namespace {

class WriteMemoFormatTest : public ::testing::TestWithParam<std::uint8_t> {};

// Each memo file kind gets memos it can read back: .fpt with 4-byte or
// 10-digit references, dBase III .dbt ending in 0x1A 0x1A, dBase IV .dbt
// with its length header.
TEST_P(WriteMemoFormatTest, UpdateAndInsertMemos) {
    writetest::FolderSource src;
    TableBuilder t(GetParam());
    t.field("NAME", 'C', 4).field("NOTE", 'M', GetParam() == 0x30 ? 4 : 10);
    t.record({Cell::text("a"), Cell::memo("old memo")});
    t.record({Cell::text("b"), Cell::none()});
    t.write(src.file("m.dbf"));
    std::string big(700, 'z');  // more than one 512-byte .dbt block

    src.execute("UPDATE m SET note = 'new memo' WHERE RECNO() = 2");
    src.execute("UPDATE m SET note = '" + big + "' WHERE RECNO() = 1");
    src.execute("INSERT INTO m VALUES('c', 'third')");
    auto rows = readRows(src.file("m.dbf"));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], big);
    EXPECT_EQ(rows[1][1], "new memo");
    EXPECT_EQ(rows[2][1], "third");
    // A second round lands after the first, not over it.
    src.execute("INSERT INTO m VALUES('d', 'fourth')");
    EXPECT_EQ(readRows(src.file("m.dbf"))[1][1], "new memo");
    EXPECT_EQ(readRows(src.file("m.dbf"))[3][1], "fourth");
}

INSTANTIATE_TEST_SUITE_P(Formats, WriteMemoFormatTest, ::testing::Values(0x30, 0xF5, 0x83, 0x8B),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

}  // namespace
}  // namespace quorvel::foxpro
