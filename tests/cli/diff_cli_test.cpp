#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace {

using quorvel::test::Cell;
using quorvel::test::TableBuilder;
using quorvel::test::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Outcome = quorvel::test::CliRun;

// Runs quorvel-cli diff with standard output and error going to files
// (not a terminal: no progress line).
Outcome diff(std::vector<std::string> args, const TempFolder& scratch) {
    args.insert(args.begin(), "diff");
    return quorvel::test::runCli(args, scratch);
}

class DiffCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TableBuilder t1(0x30), t2(0x30);
        for (auto* t : {&t1, &t2}) t->field("NAME", 'C', 5).field("NOTE", 'M', 4);
        t1.record({Cell::text("Ann"), Cell::memo("one line")});
        t2.record({Cell::text("Ann"), Cell::memo("two\nlines")});
        t1.record({Cell::text("Bob"), Cell::memo("")});
        t2.record({Cell::text("Bo"), Cell::memo("")});
        t2.record({Cell::text("Cy"), Cell::memo("")});
        t1.write(folder1_.file("people.dbf"));
        t2.write(folder2_.file("people.dbf"));
        t1.write(folder2_.file("same.dbf"));
    }

    TempFolder folder1_, folder2_, scratch_;
};

TEST_F(DiffCliTest, ExitStatusTellsIdenticalFromDifferentFromNotCompared) {
    const Outcome same = diff({folder1_.path(), "people", folder2_.path(), "same"}, scratch_);
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(same.err, "");

    const Outcome different =
        diff({folder1_.path(), "people", folder2_.path(), "people"}, scratch_);
    EXPECT_EQ(different.status, 1);
    EXPECT_EQ(different.out,
              "Record 1, Field \"NOTE\" has changed from \"one line\" to \"two\nlines\"\n"
              "Record 2, Field \"NAME\" has changed from \"Bob  \" to \"Bo   \"\n"
              "Record 3 added to people\n");
    EXPECT_EQ(different.err, "");  // no progress line on a file

    const Outcome missing = diff({folder1_.path(), "people", folder2_.path(), "absent"}, scratch_);
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.out, "");
    EXPECT_THAT(missing.err, HasSubstr("absent"));
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
}

TEST_F(DiffCliTest, NulTerminatedLinesKeepTheLineBreaksOfMemos) {
    const Outcome z = diff({"-z", folder1_.path(), "people", folder2_.path(), "people"}, scratch_);
    EXPECT_EQ(z.status, 1);
    std::vector<std::string> lines;
    std::istringstream in(z.out);
    for (std::string line; std::getline(in, line, '\0');) lines.push_back(line);
    EXPECT_THAT(
        lines,
        ElementsAre("Record 1, Field \"NOTE\" has changed from \"one line\" to \"two\nlines\"",
                    "Record 2, Field \"NAME\" has changed from \"Bob  \" to \"Bo   \"",
                    "Record 3 added to people"));
}

TEST_F(DiffCliTest, ReportPutsFieldDifferencesFirstWithCrLf) {
    const std::string report = scratch_.file("report.txt");
    Outcome run =
        diff({folder2_.path(), "people", folder1_.path(), "people", "--report", report}, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(quorvel::test::readText(report),
              "Record 1, Field \"NOTE\" has changed from \"two\nlines\" to \"one line\"\r\n"
              "Record 2, Field \"NAME\" has changed from \"Bo   \" to \"Bob  \"\r\n"
              "Record 3 deleted from people\r\n");

    // A changed value that reads "deleted" is a field difference all the same.
    TableBuilder t1(0x30), t2(0x30);
    t1.field("WORD", 'C', 7).record({Cell::text("kept")}).record({Cell::text("Bob")});
    t2.field("WORD", 'C', 7).record({Cell::text("deleted")}).record({Cell::text("Bo")});
    t1.write(folder1_.file("words.dbf"));
    t2.write(folder2_.file("words.dbf"));
    run = diff({folder1_.path(), "words", folder2_.path(), "words", "--report", report}, scratch_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "Record 1, Field \"WORD\" has changed from \"kept   \" to \"deleted\"\n"
              "Record 2, Field \"WORD\" has changed from \"Bob    \" to \"Bo     \"\n");
    EXPECT_EQ(quorvel::test::readText(report),
              "Record 1, Field \"WORD\" has changed from \"kept   \" to \"deleted\"\r\n"
              "Record 2, Field \"WORD\" has changed from \"Bob    \" to \"Bo     \"\r\n");
}

TEST_F(DiffCliTest, UsageAndReportErrorsExitWithTwo) {
    Outcome run = diff({folder1_.path(), "people", folder2_.path()}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("Usage: quorvel-cli diff"));

    run = diff({folder1_.path(), "people", scratch_.file("nowhere"), "people"}, scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("nowhere"));

    const std::string badReport = scratch_.file("no/such/folder/report.txt");
    run = diff({folder1_.path(), "people", folder2_.path(), "people", "--report", badReport},
               scratch_);
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err, HasSubstr("report.txt"));
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
}

TEST_F(DiffCliTest, FolderNamesReachTheTablesByteForByte) {
    // "data " (a trailing blank) beside "data": each side reads its own folder.
    const std::string blank = scratch_.file("data "), plain = scratch_.file("data");
    const std::string odd = scratch_.file("p\";Data Source=other;x=\"");
    for (const auto& folder : {blank, plain, odd}) std::filesystem::create_directory(folder);
    TableBuilder one(0x30), two(0x30);
    one.field("NAME", 'C', 3).record({Cell::text("Ann")});
    two.field("NAME", 'C', 3).record({Cell::text("Bob")});
    one.write(blank + "/t.dbf");
    two.write(plain + "/t.dbf");
    one.write(odd + "/t.dbf");
    Outcome run = diff({blank, "t", plain, "t"}, scratch_);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.out, "Record 1, Field \"NAME\" has changed from \"Ann\" to \"Bob\"\n");

    // A folder whose name reads like more of a connection string reads itself.
    run = diff({odd, "t", blank, "t"}, scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

TEST_F(DiffCliTest, TheReportNeverReplacesAFileOfTheComparedTables) {
    const auto table = quorvel::test::readFile(folder2_.file("people.dbf"));
    const auto memo = quorvel::test::readFile(folder2_.file("people.fpt"));
    std::filesystem::create_symlink(folder2_.file("people.dbf"), scratch_.file("link.txt"));
    for (const std::string& report :
         {folder2_.file("people.dbf"), folder2_.file("people.fpt"), scratch_.file("link.txt")}) {
        const Outcome run = diff(
            {folder1_.path(), "people", folder2_.path(), "people", "--report", report}, scratch_);
        EXPECT_EQ(run.status, 2) << report;
        EXPECT_THAT(run.err, HasSubstr("a file of a compared table")) << report;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
    }
    EXPECT_EQ(quorvel::test::readFile(folder2_.file("people.dbf")), table);
    EXPECT_EQ(quorvel::test::readFile(folder2_.file("people.fpt")), memo);
}

TEST_F(DiffCliTest, ContainerSourceAgainstAFolder) {
    const std::string dbc = quorvel::test::writeSampleContainer(scratch_.path());
    std::filesystem::copy_file(scratch_.file("setup.dbf"), folder2_.file("setup.dbf"));
    const Outcome run = diff({dbc, "setup", folder2_.path(), "setup"}, scratch_);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
}

}  // namespace
