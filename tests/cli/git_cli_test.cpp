// The form of a table for git: show --textconv.

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

}  // namespace
}  // namespace quorvel::cli
