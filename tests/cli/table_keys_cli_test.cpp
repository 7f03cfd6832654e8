// The table's own key: a container's primary key, a structural index's
// candidate tag, position when neither can pair; tables --long lists them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "foxpro/index/cdx_writer.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/write/atomic_file.h"
#include "support/cli_runner.h"
#include "support/python_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::CliRun;
using test::TableBuilder;
using ::testing::HasSubstr;
using ::testing::Not;

foxpro::TagDefinition tag(std::string name, std::string expression, bool candidate = false) {
    foxpro::TagDefinition t;
    t.name = std::move(name);
    t.keyExpression = std::move(expression);
    t.candidate = candidate;
    return t;
}

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
                   {tag("CUSTID", "UPPER(CUSTID)", true), tag("NAME", "NAME")});
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
    writeIndex(dir.path(), "items", {tag("ITEMKEY", "STR(ID,5)+ALLTRIM(CODE)", true)});
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
    writeIndex(dir.path(), "items", {tag("ITEMKEY", "LEFT(CODE,2)", true)});
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

namespace quorvel::cli {
namespace {

class DiffSourcesCliTest : public TableKeysCliTest {
  protected:
    // a: customers (primary key CUSTID), orders, region; b: customers with
    // c2 deleted and c4 renamed, orders alike, extra.
    void writeSources() {
        writeShop(dir.file("a"), {{"c1", "Ann"}, {"c2", "Bob"}, {"c3", "Cy"}, {"c4", "Di"}});
        writeShop(dir.file("b"), {{"c1", "Ann"}, {"c3", "Cy"}, {"c4", "Dora"}, {"c5", "Eve"}});
        for (const char* folder : {"a", "b"}) {
            TableBuilder orders(0x30);
            orders.field("NO", 'I', 4).record({Cell::integer32(1)});
            orders.write(dir.file(std::string(folder) + "/orders.dbf"));
        }
        TableBuilder other(0x30);
        other.field("X", 'C', 2).record({Cell::text("r")});
        other.write(dir.file("a/region.dbf"));
        other.write(dir.file("b/extra.dbf"));
    }
};

TEST_F(DiffSourcesCliTest, EveryTableByItsOwnKeyInTextJsonAndSummary) {
    writeSources();
    CliRun r = run({"diff", dir.file("a"), dir.file("b")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out,
              "Table \"customers\": 1 changed, 1 added, 1 deleted, 0 missing fields (paired by "
              "primary key CUSTID)\n"
              "Record 2 deleted from customers\n"
              "Record 4, Field \"NAME\" has changed from \"Di        \" to \"Dora      \"\n"
              "Record 4 added to customers\n"
              "Table \"orders\": identical\n"
              "Table \"region\" is only in source #1\n"
              "Table \"extra\" is only in source #2\n")
        << r.out;

    r = run({"diff", "--summary", "--tables", "customers,ORDERS", "--format", "json", dir.file("a"),
             dir.file("b")});
    EXPECT_EQ(r.out,
              "{\"kind\":\"table\",\"table\":\"customers\",\"status\":\"different\",\"pairing\":"
              "\"key\",\"key\":[\"CUSTID\"],\"key_source\":\"primary key\",\"changed\":1,"
              "\"added\":1,\"deleted\":1,\"missing_field\":0,\"message\":null}\n"
              "{\"kind\":\"table\",\"table\":\"orders\",\"status\":\"identical\",\"pairing\":"
              "\"position\",\"key\":null,\"key_source\":null,\"changed\":0,\"added\":0,"
              "\"deleted\":0,\"missing_field\":0,\"message\":null}\n");
    EXPECT_EQ(
        run({"diff", "--exclude", "customers,region,extra", dir.file("a"), dir.file("b")}).status,
        0);

    // A table that cannot be read fails alone: exit 2, the others reported.
    test::truncateTo(dir.file("b/orders.dbf"), 20);
    r = run({"diff", "--format", "csv", dir.file("a"), dir.file("b")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.out, HasSubstr("table,kind,record1,record2,field,old,new\r\n"
                                 "customers,deleted,2,,,,\r\n"));
    EXPECT_THAT(r.out, Not(HasSubstr("orders")));
    r = run({"diff", "--summary", dir.file("a"), dir.file("b")});
    EXPECT_THAT(r.out, HasSubstr("Table \"orders\": could not be compared: "));
}

TEST_F(DiffSourcesCliTest, IndependentReaderAgreesOnTheCounts) {
    if (!test::pythonCanImport("dbfread")) GTEST_SKIP() << "python3 with dbfread is not installed";
    writeSources();
    const CliRun r = run({"diff", "--summary", "--format", "json", "--tables", "customers",
                          dir.file("a"), dir.file("b")});
    // Paired by UPPER(CUSTID), told to it; counts of changed fields,
    // added and deleted records.
    bool ok = false;
    const std::string counts =
        test::runPython(R"(
import sys, dbfread
def rows(path):
    return [dict(r) for r in dbfread.DBF(path)]
a, b = rows(sys.argv[1]), rows(sys.argv[2])
key = lambda r: r["CUSTID"].strip().upper()
kb = {key(r): r for r in b}
ka = {key(r) for r in a}
changed = sum(1 for r in a if key(r) in kb for f in r if r[f] != kb[key(r)][f])
print(changed, sum(1 for k in kb if k not in ka), sum(1 for r in a if key(r) not in kb))
)",
                        &ok, {dir.file("a/customers.dbf"), dir.file("b/customers.dbf")});
    ASSERT_TRUE(ok) << counts;
    int changed = -1, added = -1, deleted = -1;
    ASSERT_EQ(std::sscanf(counts.c_str(), "%d %d %d", &changed, &added, &deleted), 3) << counts;
    EXPECT_THAT(r.out, HasSubstr("\"changed\":" + std::to_string(changed) +
                                 ",\"added\":" + std::to_string(added) +
                                 ",\"deleted\":" + std::to_string(deleted) + ","))
        << r.out << counts;
}

}  // namespace
}  // namespace quorvel::cli
