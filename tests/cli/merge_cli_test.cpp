#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

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
using ::testing::Not;

using test::CliRun;

class MergeCliTest : public ::testing::Test {
  protected:
    test::TempFolder dir;

    CliRun run(std::vector<std::string> args) {
        args.insert(args.begin(), "merge");
        return test::runCli(args, dir);
    }

    // Table #1 with two records; Table #2 changes a name and a quantity,
    // holds CODE as text ("1   " is taken back as the number 1),
    // puts text where Table #1 has a number in record 2, and adds a record.
    void writePair() {
        TableBuilder t1(0x30);
        t1.field("NAME", 'C', 8).field("QTY", 'N', 5, 1).field("CODE", 'N', 4);
        t1.record({Cell::text("Ann"), Cell::number("1.5"), Cell::number("1")});
        t1.record({Cell::text("Bob"), Cell::number("2.0"), Cell::number("2")});
        t1.write(dir.file("t1.dbf"));
        TableBuilder t2(0x30);
        t2.field("NAME", 'C', 8).field("QTY", 'N', 5, 1).field("CODE", 'C', 4);
        t2.record({Cell::text("Anne"), Cell::number("1.5"), Cell::text("1")});
        t2.record({Cell::text("Bob"), Cell::number("2.5"), Cell::text("two")});
        t2.record({Cell::text("Cy"), Cell::number("3.0"), Cell::text("3")});
        t2.write(dir.file("t2.dbf"));
    }
};

TEST_F(MergeCliTest, KeyPairingUpdatesThePairedRecord) {
    // Table #2 sorted the other way: by key, Ann's record 1 takes 9.5 from
    // Table #2's record 2; by position every field would change.
    TableBuilder t1(0x30), t2(0x30);
    for (auto* t : {&t1, &t2}) t->field("NAME", 'C', 8).field("QTY", 'N', 5, 1);
    t1.record({Cell::text("Ann"), Cell::number("1.5")})
        .record({Cell::text("Bob"), Cell::number("2.0")});
    t2.record({Cell::text("Bob"), Cell::number("2.0")})
        .record({Cell::text("Ann"), Cell::number("9.5")});
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    CliRun r = run({dir.path(), "t1", dir.path(), "t2", "t1new", "--key", "name"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "t1new: 1 fields updated, 0 records added, 0 failed\n");
    r = test::runCli({"show", dir.path(), "t1new"}, dir);
    EXPECT_EQ(r.out, "NAME,QTY\r\nAnn     ,9.5\r\nBob     ,2\r\n");

    r = run({dir.path(), "t1", dir.path(), "t2", "t1new2", "--key", "QTYX"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "quorvel-cli merge: could not compare: key field QTYX not found in Table #1 (t1)\n");
}

TEST_F(MergeCliTest, OptionsDecideWhichDifferencesAreApplied) {
    writePair();
    // NAME is left out and QTY within the tolerance: only CODE changes, and
    // the added record comes whole from Table #2.
    const CliRun merged = run({dir.path(), "t1", dir.path(), "t2", "new", "--ignore", "name",
                               "--tolerance", "0.5", "--changes-only"});
    EXPECT_EQ(merged.out, "new: 1 fields updated, 0 records added, 1 failed\n") << merged.err;
    const CliRun shown = test::runCli({"show", dir.path(), "new"}, dir);
    EXPECT_EQ(shown.out, "NAME,QTY,CODE\r\nAnn     ,1.5,1\r\nBob     ,2,2\r\n") << shown.err;
}

TEST_F(MergeCliTest, SummaryCountsAndExitStatusOneWhenALineFails) {
    writePair();
    const CliRun r = run({dir.path(), "t1", dir.path(), "t2", "t1new"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "t1new: 3 fields updated, 1 records added, 1 failed\n");
    // The failure names its line and the value that could not be written.
    EXPECT_THAT(r.err, HasSubstr("Record 2, Field \"CODE\""));
    EXPECT_THAT(r.err, HasSubstr("two"));
    EXPECT_THAT(r.err, Not(HasSubstr("Please email")));
}

TEST_F(MergeCliTest, OneListOnlyAndExitZeroWhenEverythingApplied) {
    writePair();
    CliRun r = run({dir.path(), "t1", dir.path(), "t2", "added", "--added-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "added: 0 fields updated, 1 records added, 0 failed\n");
    EXPECT_EQ(r.err, "");

    // Comparing the result with Table #1 shows only the added record.
    r = run({dir.path(), "t1", dir.path(), "added", "check", "--changes-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "check: 0 fields updated, 0 records added, 0 failed\n");

    r = run({dir.path(), "t1", dir.path(), "t2", "changes", "--changes-only"});
    EXPECT_EQ(r.out, "changes: 3 fields updated, 0 records added, 1 failed\n");
}

TEST_F(MergeCliTest, ChangesOnlyAppliesChangedValuesThatSayAddedOrDeleted) {
    TableBuilder t1(0x30), t2(0x30);
    t1.field("CITY", 'C', 8).field("NOTE", 'M', 4);
    t2.field("CITY", 'C', 8).field("NOTE", 'M', 4);
    t1.record({Cell::text("Paris"), Cell::memo("open")});
    t2.record({Cell::text("Readded"), Cell::memo("order deleted")});
    t1.write(dir.file("t1.dbf"));
    t2.write(dir.file("t2.dbf"));
    CliRun r = run({dir.path(), "t1", dir.path(), "t2", "t1new", "--changes-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "t1new: 2 fields updated, 0 records added, 0 failed\n");
    r = test::runCli({"diff", dir.path(), "t1new", dir.path(), "t2"}, dir);
    EXPECT_EQ(r.status, 0) << r.out;
}

TEST_F(MergeCliTest, AFolderNamedLikeAContainerIsAFolder) {
    // The rule of every verb: an existing file is a container, anything else
    // a folder, whatever the name ends in.
    writePair();
    const std::string folder = dir.file("tables.DBC");
    std::filesystem::create_directory(folder);
    std::filesystem::copy_file(dir.file("t1.dbf"), folder + "/t1.dbf");
    const CliRun r = run({folder, "t1", dir.path(), "t2", "t1new", "--added-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(folder + "/t1new.dbf"));
}

TEST_F(MergeCliTest, NoTableMadeIsExitTwo) {
    writePair();
    // Onto a source table, whatever --force says, told before the comparison.
    CliRun r = run({dir.path(), "t1", dir.path(), "t2", "t1", "--force"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quorvel-cli merge: t1 is Table #1: choose another name for the new table.\n");
    r = run({dir.path(), "t1", dir.path(), "t2", "T2.dbf", "--force"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "quorvel-cli merge: T2.dbf is Table #2: choose another name for the new table.\n");

    r = run({dir.path(), "t1", dir.path(), "missing", "x"});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("missing"));

    r = run({dir.path(), "t1", dir.path(), "t2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("Usage: quorvel-cli merge"));

    r = run({dir.path(), "t1", dir.path(), "t2", "x", "--added-only", "--changes-only"});
    EXPECT_EQ(r.status, 2);
    std::ifstream made(dir.file("x.dbf"));
    EXPECT_FALSE(made.good());
}

TEST_F(MergeCliTest, AnExistingTableIsReplacedOnlyWithForce) {
    writePair();
    TableBuilder old(0x30);
    old.field("X", 'C', 1);
    old.write(dir.file("orders.dbf"));
    const auto bytes = test::readFile(dir.file("orders.dbf"));

    CliRun r = run({dir.path(), "t1", dir.path(), "t2", "orders"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "quorvel-cli merge: " + dir.file("orders.dbf") + " exists; --force replaces it\n");
    EXPECT_EQ(test::readFile(dir.file("orders.dbf")), bytes);

    r = run({dir.path(), "t1", dir.path(), "t2", "orders", "--force", "--added-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "orders: 0 fields updated, 1 records added, 0 failed\n");
}

// Any file of the new table's set counts as the table: without --force a
// lone memo file, index or .cpg is named and left as it was; with it the
// whole set goes; a member that is no regular file stays, --force or not.
TEST_F(MergeCliTest, LoneFilesOfTheNewSetAreReplacedOnlyWithForceAndOnlyIfRegular) {
    writePair();
    const std::vector<std::uint8_t> precious{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's', '\n'};
    for (const char* file : {"n.fpt", "N.CDX", "n.cpg"}) test::writeFile(dir.file(file), precious);

    CliRun r = run({dir.path(), "t1", dir.path(), "t2", "n"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quorvel-cli merge: " + dir.file("N.CDX") + ", " + dir.file("n.cpg") + ", " +
                         dir.file("n.fpt") + " exist; --force replaces them\n");
    for (const char* file : {"n.fpt", "N.CDX", "n.cpg"})
        EXPECT_EQ(test::readFile(dir.file(file)), precious) << file;
    EXPECT_FALSE(std::filesystem::exists(dir.file("n.dbf")));

    r = run({dir.path(), "t1", dir.path(), "t2", "n", "--force", "--added-only"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Table #1 has no memo field: nothing of the old set is left.
    for (const char* file : {"n.fpt", "N.CDX", "n.cpg"})
        EXPECT_FALSE(std::filesystem::exists(dir.file(file))) << file;
    EXPECT_TRUE(std::filesystem::exists(dir.file("n.dbf")));

#ifndef _WIN32
    ASSERT_EQ(::mkfifo(dir.file("p.cdx").c_str(), 0600), 0);
    r = run({dir.path(), "t1", dir.path(), "t2", "p", "--force"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "quorvel-cli merge: " + dir.file("p.cdx") +
                         " is not a regular file: choose another name for the new table.\n");
    EXPECT_TRUE(std::filesystem::is_fifo(dir.file("p.cdx")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("p.dbf")));
#endif
}

}  // namespace
}  // namespace quorvel::cli
