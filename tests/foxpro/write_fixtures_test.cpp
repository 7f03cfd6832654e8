// Copies of the real tables written by other programs read back with the
// same values, from a folder source and from a container source.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "foxpro/connection.h"
#include "foxpro/data_source.h"
#include "foxpro/foxpro_error.h"
#include "foxpro/table_reader.h"
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
    fs::path db = publicFixtures() / "foxprodb";
    if (!fs::exists(db)) GTEST_SKIP() << "fixtures not present";
    test::TempFolder dir;
    fs::copy(db, dir.path());
    std::string dbc = dir.file("FOXPRO-DB-TEST.DBC");
    auto containerBytes = test::readFile(dbc);
    Connection c;
    c.open("Provider=vfpoledb.1;Data Source=" + dbc + ";Collating Sequence=machine;");

    c.execute("SELECT *  FROM [calls] INTO TABLE [merged]");
    EXPECT_EQ(readRows(dir.file("merged.dbf")), readRows(dir.file("calls.dbf")));
    TableReader copy(dir.file("merged.dbf"));
    EXPECT_EQ(copy.backlink(), "");
    EXPECT_EQ(copy.tableFlags() & 0x05, 0);

    // The new free table takes updates and inserts through the same connection.
    c.execute("INSERT INTO [merged] (" + copy.field(0).name + ") VALUES(5)");
    EXPECT_EQ(readRows(dir.file("merged.dbf")).size(), readRows(dir.file("calls.dbf")).size() + 1);

    // The container's long field names reach the free copy's short ones.
    c.execute("SELECT * FROM [contacts] INTO TABLE [people]");
    c.execute("UPDATE [people] SET [company_name] = 'Renamed Ltd' WHERE RECNO() = 1");
    c.execute("INSERT INTO [people] ([company_name]) VALUES('Added Ltd')");
    auto people = readRows(dir.file("people.dbf"));
    TableReader peopleTable(dir.file("people.dbf"));
    int company = peopleTable.findField("COMPANY_NA");
    ASSERT_GE(company, 0);
    EXPECT_EQ(people.front()[static_cast<std::size_t>(company)].substr(0, 11), "Renamed Ltd");
    EXPECT_EQ(people.back()[static_cast<std::size_t>(company)].substr(0, 9), "Added Ltd");

    auto callsBytes = test::readFile(dir.file("calls.dbf"));
    EXPECT_THAT(
        [&] {
            try {
                c.execute("SELECT * FROM [contacts] INTO TABLE [calls]");
            } catch (const FoxProError& e) {
                return e.description();
            }
            return std::string();
        }(),
        HasSubstr("database container"));
    EXPECT_THAT(
        [&] {
            try {
                c.execute("INSERT INTO [calls] (" + copy.field(0).name + ") VALUES(5)");
            } catch (const FoxProError& e) {
                return e.description();
            }
            return std::string();
        }(),
        HasSubstr("database container"));
    EXPECT_EQ(test::readFile(dir.file("calls.dbf")), callsBytes);
    EXPECT_EQ(test::readFile(dbc), containerBytes);
}

}  // namespace
}  // namespace quorvel::foxpro
