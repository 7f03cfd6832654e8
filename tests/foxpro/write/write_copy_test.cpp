#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/sql/connection.h"
#include "foxpro/write/atomic_file.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using writetest::listFolder;
using writetest::readRows;

// A Visual FoxPro table with a memo, a nullable field and deleted records
// between live ones.
TableBuilder calls() {
    TableBuilder t(0x30);
    t.field("NAME", 'C', 8)
        .field("QTY", 'N', 6, 2)
        .field("NOTE", 'M', 4)
        .field("SEEN", 'D', 8, 0, 0x02);
    t.record({Cell::text("Ann"), Cell::number("1.50"), Cell::memo("first memo"),
              Cell::date(2020, 12, 31)});
    t.record({Cell::text("gone"), Cell::number("9"), Cell::memo("deleted memo"), Cell::null()},
             true);
    t.record({Cell::text("Bob"), Cell::number("-2"), Cell::none(), Cell::null()});
    t.record({Cell::text("Cy"), Cell::blank(), Cell::memo(std::string(300, 'x')),
              Cell::date(1999, 1, 2)});
    return t;
}

class WriteCopyTest : public ::testing::Test {
  protected:
    void TearDown() override { setWriteLimitForTesting(std::nullopt); }
    writetest::FolderSource src_;
};

TEST_F(WriteCopyTest, CopiesLiveRecordsWithMemosIntoAFreeTable) {
    calls().write(src_.file("calls.dbf"));
    auto sourceBytes = test::readFile(src_.file("calls.dbf"));
    auto sourceMemo = test::readFile(src_.file("calls.fpt"));
    src_.execute("SELECT *  FROM [CALLS] INTO TABLE [copy]");
    EXPECT_EQ(test::readFile(src_.file("calls.dbf")), sourceBytes);  // only read
    EXPECT_EQ(test::readFile(src_.file("calls.fpt")), sourceMemo);

    auto rows = readRows(src_.file("copy.dbf"));
    EXPECT_EQ(rows, readRows(src_.file("calls.dbf")));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_THAT(rows[2], ElementsAre("Cy      ", "0", std::string(300, 'x'), "1999-01-02"));
    EXPECT_EQ(rows[1][3], "<null>");

    TableReader copy(src_.file("copy.dbf"));
    TableReader orig(src_.file("calls.dbf"));
    EXPECT_EQ(copy.fileType(), 0x30);
    EXPECT_EQ(copy.codePageMark(), orig.codePageMark());
    EXPECT_EQ(copy.tableFlags(), 0x02);  // memo, no index, not a container
    EXPECT_EQ(copy.backlink(), "");
    EXPECT_EQ(copy.storedCount(), 3);
    EXPECT_TRUE(sameLayout(copy.layout(), orig.layout()));
    // The deleted record's memo is not carried over.
    auto fpt = test::readFile(src_.file("copy.fpt"));
    EXPECT_EQ(std::string(fpt.begin(), fpt.end()).find("deleted memo"), std::string::npos);
    EXPECT_EQ(test::readFile(src_.file("copy.dbf")).back(), 0x1A);
    EXPECT_THAT(listFolder(src_.dir().path()),
                ElementsAre("calls.dbf", "calls.fpt", "copy.dbf", "copy.fpt"));
}

TEST_F(WriteCopyTest, OneRecordCopyAndEmptyTable) {
    calls().write(src_.file("calls.dbf"));
    src_.execute("SELECT * FROM calls WHERE RECNO() = 2 INTO TABLE one");
    auto rows = readRows(src_.file("one.dbf"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "Bob     ");  // the second live record, past the deleted one

    TableBuilder empty(0x30);
    empty.field("A", 'I', 4);
    empty.write(src_.file("empty.dbf"));
    src_.execute("SELECT * FROM empty INTO TABLE empty2");
    EXPECT_TRUE(readRows(src_.file("empty2.dbf")).empty());
}

TEST_F(WriteCopyTest, OlderFormatsBecomeVisualFoxProWithTheSameValues) {
    // dBase III with a .dbt memo and no code page mark (437 for this format).
    TableBuilder t(0x83);
    t.codePageMark(0);
    t.field("NAME", 'C', 10).field("PRICE", 'N', 8, 2).field("MEMO", 'M', 10).field("OK", 'L', 1);
    t.record(
        {Cell::text("caf\x82"), Cell::number("12.50"), Cell::memo("dbt memo"), Cell::logical('T')});
    t.record({Cell::text("x"), Cell::number("1"), Cell::none(), Cell::logical('F')}, true);
    t.record({Cell::text("y"), Cell::number("-3.25"), Cell::none(), Cell::logical('?')});
    t.write(src_.file("old.dbf"));
    src_.execute("SELECT * FROM old INTO TABLE new");

    EXPECT_EQ(readRows(src_.file("new.dbf")), readRows(src_.file("old.dbf")));
    EXPECT_EQ(readRows(src_.file("new.dbf"))[0][0], "café      ");
    TableReader copy(src_.file("new.dbf"));
    EXPECT_EQ(copy.fileType(), 0x30);
    EXPECT_EQ(copy.layout().codePage, 437);
    EXPECT_EQ(copy.field(2).width, 4);  // block number, no longer 10 digits
}

// Layouts of other writers that the reader tolerates come out of a copy in
// the form the reader needs no tolerance for (or, for a character field
// longer than 255, in the one form there is).
TEST_F(WriteCopyTest, CopiesOfOddLayoutsReadTheSame) {
    TableBuilder zero(0x30);
    zero.zeroFieldOffsets().field("A", 'C', 2).field("B", 'N', 3);
    zero.record({Cell::text("xy"), Cell::number("7")});
    zero.write(src_.file("zero.dbf"));
    TableBuilder clipper(0x03);
    clipper.field("LONG", 'C', 300).field("B", 'N', 3);
    clipper.record({Cell::text(std::string(300, 'z')), Cell::number("8")});
    clipper.write(src_.file("clipper.dbf"));
    for (const std::string name : {"zero", "clipper"}) {
        src_.execute("SELECT * FROM " + name + " INTO TABLE " + name + "2");
        TableReader copy(src_.file(name + "2.dbf"));
        EXPECT_TRUE(copy.warnings().empty()) << name;
        EXPECT_EQ(readRows(src_.file(name + "2.dbf")), readRows(src_.file(name + ".dbf")));
    }
}

TEST_F(WriteCopyTest, ReplacesAFreeTableOfThatNameWithItsCompanions) {
    calls().write(src_.file("calls.dbf"));
    TableBuilder old(0x30);
    old.field("X", 'M', 4).memoExtension(".FPT");
    old.record({Cell::memo("old")});
    old.write(src_.file("NEW.DBF"));
    test::writeFile(src_.file("NEW.CDX"), {1, 2, 3});

    src_.execute("SELECT * FROM calls INTO TABLE [new]");
    EXPECT_EQ(readRows(src_.file("NEW.DBF")), readRows(src_.file("calls.dbf")));
    EXPECT_THAT(listFolder(src_.dir().path()),
                ElementsAre("NEW.DBF", "NEW.FPT", "calls.dbf", "calls.fpt"));
}

// A lone memo file, index or .cpg of the new name is a file of the table:
// named and left alone unless replacing is allowed, then replaced with the
// rest; one that is no regular file is never replaced.
TEST_F(WriteCopyTest, LoneFilesOfTheNewSetAreReplacedOnlyWhenAllowedAndOnlyIfRegular) {
    calls().write(src_.file("calls.dbf"));
    const std::string folder = src_.dir().path();
    const std::vector<std::uint8_t> precious{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'};
    test::writeFile(src_.file("n.cdx"), precious);
    test::writeFile(src_.file("N.cpg"), precious);
    const auto before = listFolder(folder);
    Connection careful;
    careful.open("Provider=vfpoledb.1;Data Source=" + folder + ";");
    careful.setReplaceTables(false);
    try {
        careful.execute("SELECT * FROM calls INTO TABLE n");
        ADD_FAILURE() << "replaced";
    } catch (const FoxProError& e) {
        EXPECT_EQ(e.description(),
                  "cannot create table n: N.cpg and n.cdx already exist in " + folder);
    }
    EXPECT_EQ(listFolder(folder), before);
    EXPECT_EQ(test::readFile(src_.file("n.cdx")), precious);
    EXPECT_EQ(test::readFile(src_.file("N.cpg")), precious);

    src_.execute("SELECT * FROM calls INTO TABLE n");
    EXPECT_EQ(readRows(src_.file("n.dbf")), readRows(src_.file("calls.dbf")));
    EXPECT_THAT(listFolder(folder), ElementsAre("calls.dbf", "calls.fpt", "n.dbf", "n.fpt"));

#ifndef _WIN32
    ASSERT_EQ(::mkfifo(src_.file("p.fpt").c_str(), 0600), 0);
    EXPECT_EQ(src_.failure("SELECT * FROM calls INTO TABLE p"),
              "cannot create table p: p.fpt in " + folder + " is not a regular file; not replaced");
    EXPECT_TRUE(std::filesystem::is_fifo(src_.file("p.fpt")));
    EXPECT_FALSE(std::filesystem::exists(src_.file("p.dbf")));
#endif
}

TEST_F(WriteCopyTest, RefusalsChangeNothing) {
    calls().write(src_.file("calls.dbf"));
    test::writeFile(src_.file("notes.dbf"), {'h', 'e', 'l', 'l', 'o'});
    TableBuilder member(0x30);
    member.field("A", 'C', 1).backlink("shop.dbc");
    member.write(src_.file("member.dbf"));
    auto before = listFolder(src_.dir().path());
    auto bytes = test::readFile(src_.file("calls.dbf"));

    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE [Calls]"), HasSubstr("reads from"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE []"), HasSubstr("empty"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE [a/b]"), HasSubstr("'/'"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE [..]"), HasSubstr("'..'"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE [a:b]"), HasSubstr("':'"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE [" + std::string(300, 'n') + "]"),
                HasSubstr("too long"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE notes"),
                HasSubstr("not a readable table"));
    EXPECT_THAT(src_.failure("SELECT * FROM calls INTO TABLE member"),
                HasSubstr("belongs to a database container"));
    EXPECT_THAT(src_.failure("SELECT * FROM nothere INTO TABLE x"),
                HasSubstr("no table named nothere"));

    EXPECT_EQ(listFolder(src_.dir().path()), before);
    EXPECT_EQ(test::readFile(src_.file("calls.dbf")), bytes);
}

TEST_F(WriteCopyTest, FullDiskHalfwayLeavesNoTableAndKeepsTheOldOne) {
    TableBuilder big(0x30);
    big.field("NAME", 'C', 200).field("NOTE", 'M', 4);
    for (int i = 0; i < 50; ++i)
        big.record({Cell::text("row " + std::to_string(i)), Cell::memo(std::string(500, 'm'))});
    big.write(src_.file("big.dbf"));
    TableBuilder old(0x30);
    old.field("A", 'C', 3);
    old.record({Cell::text("old")});
    old.write(src_.file("dest.dbf"));
    auto before = listFolder(src_.dir().path());

    for (std::int64_t limit : {0, 100, 5000, 20000}) {
        setWriteLimitForTesting(limit);
        EXPECT_THAT(src_.failure("SELECT * FROM big INTO TABLE dest"),
                    HasSubstr("No space left on device"))
            << limit;
        setWriteLimitForTesting(std::nullopt);
        EXPECT_EQ(listFolder(src_.dir().path()), before) << limit;
        EXPECT_EQ(readRows(src_.file("dest.dbf")),
                  (std::vector<std::vector<std::string>>{{"old"}}));
    }
    setWriteLimitForTesting(std::nullopt);
    src_.execute("SELECT * FROM big INTO TABLE dest");
    EXPECT_EQ(readRows(src_.file("dest.dbf")), readRows(src_.file("big.dbf")));
}

TEST_F(WriteCopyTest, LongRunsCopiedByTheKernelStopAtAFullDiskToo) {
    // More than a megabyte of live records in a row, then a deleted one and
    // a short run.
    TableBuilder t(0x30);
    t.field("ID", 'I', 4).field("PAD", 'C', 250);
    for (int i = 0; i < 5000; ++i)
        t.record({Cell::integer32(i), Cell::text("row " + std::to_string(i))}, i == 4500);
    t.write(src_.file("long.dbf"));
    auto before = listFolder(src_.dir().path());

    setWriteLimitForTesting(600000);  // inside the first run
    EXPECT_THAT(src_.failure("SELECT * FROM long INTO TABLE out"), HasSubstr("No space left"));
    setWriteLimitForTesting(std::nullopt);
    EXPECT_EQ(listFolder(src_.dir().path()), before);

    src_.execute("SELECT * FROM long INTO TABLE out");
    auto rows = readRows(src_.file("out.dbf"));
    ASSERT_EQ(rows.size(), 4999u);
    EXPECT_EQ(rows[4499][0], "4499");
    EXPECT_EQ(rows[4500][0], "4501");
    EXPECT_EQ(rows, readRows(src_.file("long.dbf")));
}

TEST_F(WriteCopyTest, SourceDamagedMidwayLeavesNoTable) {
    TableBuilder t(0x30);
    t.field("NOTE", 'M', 4);
    t.record({Cell::memo("fine")});
    t.record({Cell::memo("fine too")});
    t.write(src_.file("hurt.dbf"));
    // The second record's memo reference points far past the memo file.
    TableReader reader(src_.file("hurt.dbf"));
    std::size_t at = static_cast<std::size_t>(reader.headerLength() + reader.layout().recordLength +
                                              reader.field(0).offset);
    test::setBytes(src_.file("hurt.dbf"), at, {0x00, 0x00, 0x10, 0x00});
    auto before = listFolder(src_.dir().path());

    EXPECT_THAT(src_.failure("SELECT * FROM hurt INTO TABLE healed"), HasSubstr("hurt"));
    EXPECT_EQ(listFolder(src_.dir().path()), before);
}

}  // namespace
}  // namespace quorvel::foxpro
