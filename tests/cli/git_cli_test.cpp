// The forms of a table for git: show --textconv and git-diff (the script in
// tests/git runs them under a real repository).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

using test::Cell;
using test::TableBuilder;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kZeros = "0000000000000000000000000000000000000000";

TableBuilder People(const std::string& name, const std::string& memo) {
    TableBuilder t(0x30);
    t.field("ID", 'I', 4)
        .field("NAME", 'C', 6, 0, 0x02)
        .field("CITY", 'C', 4)
        .field("NOTE", 'M', 4);
    t.record({Cell::integer32(1), Cell::text(name), Cell::text("Rome"), Cell::memo(memo)});
    t.record({Cell::integer32(2), Cell::null(), Cell::text("Oslo"), Cell::none()},
             /*deleted=*/true);
    return t;
}

// One line per record whatever its text holds; a memo file that is gone
// marks the memos that refer to it, not the one that has none.
TEST(TextForm, EscapesSeparatorsAndMarksWhatIsUnknown) {
    test::TempFolder dir;
    People("a|b\\c", "one\r\ntwo\tend").write(dir.file("p.dbf"));
    const test::CliRun run = test::runCli({"show", "--textconv", dir.file("p.dbf")}, dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "# code page 1252; ID I | NAME C(6) null | CITY C(4) | NOTE M\n"
              "  1 | a\\|b\\\\c  | Rome | one\\r\\ntwo\\tend\n"
              "* 2 | \\NULL | Oslo | \n");

    std::filesystem::remove(dir.file("p.fpt"));
    const test::CliRun lone = test::runCli({"show", "--textconv", dir.file("p.dbf")}, dir);
    EXPECT_EQ(lone.status, 0) << lone.err;
    EXPECT_THAT(lone.out, HasSubstr("  1 | a\\|b\\\\c  | Rome | \\(memo not available)\n"
                                    "* 2 | \\NULL | Oslo | \n"));
    EXPECT_THAT(lone.err, HasSubstr("p.dbf: memo file not found"));
}

// Working-tree sides (zero hashes) read their memo files in place; an added
// table is shown whole; a side git copied out whose revision no repository
// here knows, or a working-tree table without its memo file, keeps its memos
// out of the comparison and says so.
TEST(GitDiff, SidesOfTheWorkingTreeAddedAndUnknown) {
    test::TempFolder dir;
    std::filesystem::create_directory(dir.file("old"));
    std::filesystem::create_directory(dir.file("new"));
    People("Ann", "old memo").write(dir.file("old/p.dbf"));
    People("Ann", "new memo").write(dir.file("new/p.dbf"));
    const test::CliRun both = test::runCli({"git-diff", "p.dbf", dir.file("old/p.dbf"), kZeros,
                                            "100644", dir.file("new/p.dbf"), kZeros, "100644"},
                                           dir);
    EXPECT_EQ(both.status, 0) << both.err;
    EXPECT_THAT(both.out, ::testing::StartsWith("diff --quorvel a/p.dbf b/p.dbf\n"
                                                "--- a/p.dbf\n+++ b/p.dbf\n"));
    EXPECT_THAT(both.out, HasSubstr("\"old memo\" to \"new memo\""));

    const test::CliRun added = test::runCli(
        {"git-diff", "p.dbf", "/dev/null", ".", ".", dir.file("new/p.dbf"), kZeros, "100644"}, dir);
    EXPECT_EQ(added.status, 0) << added.err;
    EXPECT_THAT(added.out, HasSubstr("--- /dev/null\n+++ b/p.dbf\n+# code page"));
    EXPECT_THAT(added.out, HasSubstr("\n+  1 | Ann    | Rome | new memo\n"));

    People("Bob", "new memo").write(dir.file("new/p.dbf"));
    const std::string blob(40, 'e');
    const test::CliRun unknown = test::runCli({"git-diff", "p.dbf", dir.file("old/p.dbf"), blob,
                                               "100644", dir.file("new/p.dbf"), kZeros, "100644"},
                                              dir);
    EXPECT_EQ(unknown.status, 0) << unknown.err;
    EXPECT_THAT(unknown.out, HasSubstr("# memo values of a/p.dbf are not available"));
    EXPECT_THAT(unknown.out, HasSubstr("# memo fields not compared: NOTE"));
    EXPECT_THAT(unknown.out, HasSubstr("\"Ann   \" to \"Bob   \""));
    EXPECT_THAT(unknown.out, Not(HasSubstr("memo\" to")));

    std::filesystem::remove(dir.file("old/p.fpt"));
    const test::CliRun lone = test::runCli({"git-diff", "p.dbf", dir.file("old/p.dbf"), kZeros,
                                            "100644", dir.file("new/p.dbf"), kZeros, "100644"},
                                           dir);
    EXPECT_EQ(lone.status, 0) << lone.err;
    EXPECT_THAT(lone.out, HasSubstr("# memo values of a/p.dbf are not available: no memo file"));
    EXPECT_THAT(lone.out, HasSubstr("\"Ann   \" to \"Bob   \""));
}

}  // namespace
}  // namespace quorvel::cli
