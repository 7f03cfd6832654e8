// Copies of the real tables written by other programs read back with the
// same values; a container source (built here) writes free tables beside it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "foxpro/foxpro_error.h"
#include "foxpro/read/table_reader.h"
#include "foxpro/source/data_source.h"
#include "foxpro/sql/connection.h"
#include "support/table_builder.h"
#include "write_helpers_test.h"

namespace quorvel::foxpro {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using writetest::listFolder;
using writetest::readRows;

fs::path publicFixtures() {
    return fs::path(QUORVEL_FIXTURES) / "public";
}

TEST(WriteFixturesTest, CopiesOfFreeTablesKeepTheirValues) {
    if (!fs::exists(publicFixtures())) GTEST_SKIP() << "fixtures not present";
    test::TempFolder dir;
    for (const auto& e : fs::directory_iterator(publicFixtures()))
        if (e.is_regular_file())
            fs::copy_file(e.path(), fs::path(dir.path()) / e.path().filename());
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dir.path() + ";Collating Sequence=general;");
    int copied = 0;
    for (const auto& name : c.tableNames()) {
        SCOPED_TRACE(name);
        std::unique_ptr<TableReader> original;
        try {
            original = c.source().openTable(name);
        } catch (const FoxProError&) {
            continue;  // formats the reader refuses are not copied either
        }
        c.execute("SELECT *  FROM [" + name + "] INTO TABLE [copy_" + name + "]");
        EXPECT_EQ(readRows(dir.file("copy_" + name + ".dbf")), readRows(original->path()));
        ++copied;
    }
    EXPECT_GE(copied, 5);
}

TEST(WriteFixturesTest, ContainerSourceWritesFreeTablesBesideIt) {
    test::TempFolder dir;
    const std::string dbc = test::writeSampleContainer(dir.path());
    auto containerBytes = test::readFile(dbc);
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dbc + ";Collating Sequence=machine;");

    c.execute("SELECT *  FROM [setup] INTO TABLE [merged]");
    EXPECT_EQ(readRows(dir.file("merged.dbf")), readRows(dir.file("setup.dbf")));
    std::string firstField;
    {
        // Closed before the insert: a statement does not write a table that
        // a reader of the same program holds.
        TableReader copy(dir.file("merged.dbf"));
        EXPECT_EQ(copy.backlink(), "");
        EXPECT_EQ(copy.tableFlags() & 0x05, 0);
        firstField = copy.field(0).name;
    }

    // The new free table takes updates and inserts through the same connection.
    c.execute("INSERT INTO [merged] (" + firstField + ") VALUES('x')");
    EXPECT_EQ(readRows(dir.file("merged.dbf")).size(), readRows(dir.file("setup.dbf")).size() + 1);

    // The container's long field names reach the free copy's short ones.
    c.execute("SELECT * FROM [customers] INTO TABLE [people]");
    c.execute("UPDATE [people] SET [company_name] = 'Renamed Ltd' WHERE RECNO() = 1");
    c.execute("INSERT INTO [people] ([company_name]) VALUES('Added Ltd')");
    auto people = readRows(dir.file("people.dbf"));
    TableReader peopleTable(dir.file("people.dbf"));
    int company = peopleTable.findField("COMPANY_NA");
    ASSERT_GE(company, 0);
    EXPECT_EQ(people.front()[static_cast<std::size_t>(company)].substr(0, 11), "Renamed Ltd");
    EXPECT_EQ(people.back()[static_cast<std::size_t>(company)].substr(0, 9), "Added Ltd");

    // The container's own tables are never written.
    auto customersBytes = test::readFile(dir.file("customers.dbf"));
    EXPECT_THAT(
        [&] {
            try {
                c.execute("SELECT * FROM [setup] INTO TABLE [customers]");
            } catch (const FoxProError& e) {
                return e.description();
            }
            return std::string();
        }(),
        HasSubstr("database container"));
    EXPECT_THAT(
        [&] {
            try {
                c.execute("INSERT INTO [customers] (CITY) VALUES('x')");
            } catch (const FoxProError& e) {
                return e.description();
            }
            return std::string();
        }(),
        HasSubstr("database container"));
    EXPECT_EQ(test::readFile(dir.file("customers.dbf")), customersBytes);
    EXPECT_EQ(test::readFile(dbc), containerBytes);
}

// A container's table "out" whose path leads out of its folder, and a free
// out.dbf beside the container: every statement takes "out" for the
// container's table, which is read where the container says and never
// written; the free table is not touched.
TEST(WriteFixturesTest, ANameTheContainerListsIsItsTableInEveryStatement) {
    test::TempFolder dir;
    fs::create_directories(dir.file("db"));
    fs::create_directories(dir.file("outside"));
    test::ContainerBuilder dbc;
    dbc.table("out", "..\\outside\\secret.dbf").field("word");
    dbc.table("other").field("word");
    dbc.write(dir.file("db/shop.dbc"));
    test::TableBuilder t(0x30);
    t.field("WORD", 'C', 6).record({test::Cell::text("secret")});
    t.write(dir.file("outside/secret.dbf"));
    t.write(dir.file("db/other.dbf"));
    test::TableBuilder free(0x30);
    free.field("WORD", 'C', 6).record({test::Cell::text("free")});
    free.write(dir.file("db/out.dbf"));
    const auto secretBytes = test::readFile(dir.file("outside/secret.dbf"));
    const auto freeBytes = test::readFile(dir.file("db/out.dbf"));

    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dir.file("db/shop.dbc") + ";");
    c.setReplaceTables(true);
    auto failure = [&](const std::string& sql) {
        try {
            c.execute(sql);
        } catch (const FoxProError& e) {
            return e.description();
        }
        return std::string();
    };
    EXPECT_EQ(readRows(c.source().tablePath("out"))[0][0], "secret");
    EXPECT_EQ(failure("UPDATE out SET word = 'x' WHERE RECNO() = 1"),
              "out: belongs to the database container shop.dbc and is not written");
    EXPECT_THAT(failure("INSERT INTO [OUT] VALUES('x')"), HasSubstr("database container"));
    EXPECT_THAT(failure("SELECT * FROM other INTO TABLE [Out]"),
                HasSubstr("the database container shop.dbc has a table of that name"));
    EXPECT_EQ(test::readFile(dir.file("outside/secret.dbf")), secretBytes);
    EXPECT_EQ(test::readFile(dir.file("db/out.dbf")), freeBytes);
}

}  // namespace
}  // namespace quorvel::foxpro
