// The table's own key: a container's primary key, a structural index's
// candidate tag, position when neither can pair; tables --long lists them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::CliRun;
using test::TableBuilder;
using ::testing::HasSubstr;
using ::testing::Not;

void writeIndex(const std::string& folder, const std::string& table,
                const std::vector<foxpro::TagDefinition>& tags) {
    const foxpro::TableReader reader(folder + "/" + table + ".dbf");
    foxpro::NewFileSet files(folder);
    ASSERT_TRUE(foxpro::writeCompoundIndex(reader, tags, files, table + ".cdx").fileWritten());
    files.commit();
}

class TableKeysCliTest : public ::testing::Test {
  protected:
    test::TempFolder dir;

    CliRun run(std::vector<std::string> args) { return test::runCli(args, dir); }

    // shop.dbc in folder with customers, its primary key CUSTID over
    // UPPER(CUSTID); a CITY tag too.  rows: id, name.
    void writeShop(const std::string& folder,
                   const std::vector<std::pair<std::string, std::string>>& rows,
                   bool indexFromRows = true) {
        std::filesystem::create_directories(folder);
        test::ContainerBuilder container;
        container.table("customers", "customers.dbf")
            .field("custid")
            .field("name")
            .primaryKey("custid")
            .index("custid", true)
            .index("name", false);
        container.write(folder + "/shop.dbc");
        auto write = [&](const std::vector<std::pair<std::string, std::string>>& records) {
            TableBuilder t(0x30);
            t.field("CUSTID", 'C', 6).field("NAME", 'C', 10).backlink("shop.dbc");
            for (const auto& [id, name] : records) t.record({Cell::text(id), Cell::text(name)});
            t.write(folder + "/customers.dbf");
        };
        // A stale index: written for other records than the table holds.
        write(indexFromRows ? rows : std::vector<std::pair<std::string, std::string>>{{"zz", "x"}});
        writeIndex(folder, "customers",
                   {{"CUSTID", "UPPER(CUSTID)", "", false, true}, {"NAME", "NAME", ""}});
        if (!indexFromRows) write(rows);
    }
};

TEST_F(TableKeysCliTest, PrimaryKeyPairsByItsExpressionEvenWithAStaleIndex) {
    writeShop(dir.file("a"), {{"c1", "Ann"}, {"c2", "Bob"}, {"c3", "Cy"}, {"c4", "Di"}});
    // c2 deleted from the middle, C3 in other case (UPPER pairs it), Di renamed.
    writeShop(dir.file("b"), {{"c1", "Ann"}, {"C3", "Cy"}, {"c4", "Dora"}}, false);
    const CliRun r = run({"diff", "--key", "auto", dir.file("a/shop.dbc"), "customers",
                          dir.file("b/shop.dbc"), "customers"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Records paired by primary key CUSTID (container shop.dbc)"));
    EXPECT_EQ(r.out,
              "Record 2 deleted from customers\n"
              "Record 3, Field \"custid\" has changed from \"c3    \" to \"C3    \"\n"
              "Record 4, Field \"name\" has changed from \"Di        \" to \"Dora      \"\n")
        << r.out;
}

TEST_F(TableKeysCliTest, CandidateTagThenPositionWithTheReason) {
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("ID", 'N', 5).field("CODE", 'C', 4).field("QTY", 'N', 3);
    t1.record({Cell::number("1"), Cell::text("a"), Cell::number("5")})
        .record({Cell::number("2"), Cell::text("b"), Cell::number("6")});
    t2.record({Cell::number("2"), Cell::text(" b"), Cell::number("6")})
        .record({Cell::number("1"), Cell::text("a"), Cell::number("7")});
    t1.write(dir.file("items.dbf"));
    t2.write(dir.file("items2.dbf"));
    writeIndex(dir.path(), "items", {{"ITEMKEY", "STR(ID,5)+ALLTRIM(CODE)", "", false, true}});
    CliRun r = run({"diff", "--key", "auto", dir.path(), "items", dir.path(), "items2"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Records paired by candidate index ITEMKEY"));
    // ALLTRIM pairs " b" with "b"; the value still differs.
    EXPECT_EQ(r.out,
              "Record 1, Field \"QTY\" has changed from \"5\" to \"7\"\n"
              "Record 2, Field \"CODE\" has changed from \"b   \" to \" b  \"\n")
        << r.out;

    // A function that is no key function: position, saying why.
    std::filesystem::remove(dir.file("items.cdx"));
    writeIndex(dir.path(), "items", {{"ITEMKEY", "LEFT(CODE,2)", "", false, true}});
    r = run({"diff", "--key", "auto", dir.path(), "items", dir.path(), "items2"});
    EXPECT_THAT(r.err, HasSubstr("Records paired by position (no primary or candidate key)"));
    EXPECT_THAT(r.err, HasSubstr("tag ITEMKEY (LEFT(CODE,2))"));

    // A truncated index: one warning naming it, then position.
    test::truncateTo(dir.file("items.cdx"), 700);
    r = run({"diff", "--key", "auto", dir.path(), "items", dir.path(), "items2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("Records paired by position (no primary or candidate key)"));
    EXPECT_THAT(r.err, HasSubstr("items.cdx"));
}

TEST_F(TableKeysCliTest, TablesLongListsTagsAndTheChosenKey) {
    writeShop(dir.file("a"), {{"c1", "Ann"}});
    const CliRun r = run({"tables", "--long", dir.file("a/shop.dbc")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("customers: Records paired by primary key CUSTID (container "
                                 "shop.dbc)\n  tag CUSTID candidate: UPPER(CUSTID)\n"
                                 "  tag NAME: NAME\n"));
    EXPECT_THAT(r.out, HasSubstr("container index custid (primary key)"));
    // Without --long, the names alone.
    EXPECT_EQ(run({"tables", dir.file("a/shop.dbc")}).out, "customers\n");
}

}  // namespace
}  // namespace quorvel::cli
