#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using SqlRun = test::CliRun;

class SqlCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t(0x30);
        t.field("NAME", 'C', 5).field("QTY", 'N', 4, 1).field("NOTE", 'M', 4);
        t.record({Cell::text("Ann"), Cell::number("1.5"), Cell::memo("a, \"quoted\" memo")});
        t.record({Cell::text("dead"), Cell::number("0"), Cell::none()}, true);
        t.record({Cell::text("Bob"), Cell::number("-2"), Cell::none()});
        t.write(dir.file("t.dbf"));
    }

    SqlRun sql(std::vector<std::string> args) {
        args.insert(args.begin(), "sql");
        return test::runCli(args, dir);
    }

    test::TempFolder dir;
};

TEST_F(SqlCliTest, CopyGoesToTheFolderAsNamedBlanksIncluded) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows names end in no blank";
#endif
    const std::string blank = dir.file("data "), plain = dir.file("data");
    for (const auto& folder : {blank, plain}) std::filesystem::create_directory(folder);
    std::filesystem::copy_file(dir.file("t.dbf"), blank + "/t.dbf");
    std::filesystem::copy_file(dir.file("t.fpt"), blank + "/t.fpt");
    const SqlRun r = sql({blank, "SELECT * FROM [t] INTO TABLE [made]"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(blank + "/made.dbf"));
    EXPECT_FALSE(std::filesystem::exists(plain + "/made.dbf"));
}

TEST_F(SqlCliTest, SelectsPrintCsv) {
    SqlRun all = sql({dir.path(), "select * from [T]"});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out,
              "NAME,QTY,NOTE\r\n"
              "Ann  ,1.5,\"a, \"\"quoted\"\" memo\"\r\n"
              "Bob  ,-2,\r\n");
    SqlRun one = sql({dir.path(), "SELECT * FROM t WHERE RECNO() = 2"});
    EXPECT_EQ(one.out, "NAME,QTY,NOTE\r\nBob  ,-2,\r\n");
    SqlRun count = sql({dir.path(), "SELECT COUNT(*) FROM t"});
    EXPECT_EQ(count.out, "cnt\r\n2\r\n");
}

TEST_F(SqlCliTest, WritesPrintNothingAndShowUp) {
    for (const char* st :
         {"SELECT *  FROM [t] INTO TABLE [n]", "UPDATE n SET qty = 9.5 WHERE RECNO() = 2",
          "INSERT INTO n (name) VALUES('Cy')"}) {
        SqlRun r = sql({dir.path(), st});
        EXPECT_EQ(r.status, 0) << st << ": " << r.err;
        EXPECT_EQ(r.out, "") << st;
    }
    SqlRun all = sql({dir.path(), "SELECT * FROM n"});
    EXPECT_EQ(all.out,
              "NAME,QTY,NOTE\r\n"
              "Ann  ,1.5,\"a, \"\"quoted\"\" memo\"\r\n"
              "Bob  ,9.5,\r\n"
              "Cy   ,0,\r\n");
}

TEST_F(SqlCliTest, FailuresExitTwoWithTheMessage) {
    SqlRun bad = sql({dir.path(), "DELETE FROM t"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_THAT(bad.err, StartsWith("quorvel-cli sql: unsupported statement: DELETE FROM t"));

    SqlRun wide = sql({dir.path(), "UPDATE t SET qty = 12345 WHERE RECNO() = 1"});
    EXPECT_EQ(wide.status, 2);
    EXPECT_THAT(wide.err, HasSubstr("QTY (N 4,1)"));

    SqlRun missing = sql({dir.file("nowhere"), "SELECT * FROM t"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_THAT(missing.err, HasSubstr("nowhere"));

    SqlRun usage = sql({dir.path()});
    EXPECT_EQ(usage.status, 2);
    SqlRun help = sql({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("RECNO() = n"));
}

TEST_F(SqlCliTest, ACopyReplacesAnExistingTableOnlyWithForce) {
    ASSERT_EQ(sql({dir.path(), "SELECT * FROM t INTO TABLE n"}).status, 0);
    ASSERT_EQ(sql({dir.path(), "UPDATE n SET qty = 7 WHERE RECNO() = 1"}).status, 0);
    const auto made = test::readFile(dir.file("n.dbf"));

    SqlRun again = sql({dir.path(), "SELECT * FROM t INTO TABLE n"});
    EXPECT_EQ(again.status, 2);
    EXPECT_THAT(again.err, HasSubstr("n.dbf already exists"));
    EXPECT_EQ(std::count(again.err.begin(), again.err.end(), '\n'), 1);
    EXPECT_EQ(test::readFile(dir.file("n.dbf")), made);

    again = sql({dir.path(), "SELECT * FROM t INTO TABLE n", "--force"});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(sql({dir.path(), "SELECT * FROM n WHERE RECNO() = 1"}).out,
              "NAME,QTY,NOTE\r\nAnn  ,1.5,\"a, \"\"quoted\"\" memo\"\r\n");
}

}  // namespace
}  // namespace quorvel::cli
