// Table files as operands of the verbs that take SOURCE TABLE.

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

TableBuilder Notes(const std::string& memo) {
    TableBuilder t(0x30);
    t.field("ID", 'I', 4).field("NOTE", 'M', 4);
    t.record({Cell::integer32(1), Cell::memo(memo)});
    return t;
}

// A form's memo file takes its extension's last letter as "t", whatever the
// case; a .dbf finds its .fpt; the lines name the file.
TEST(TableFileOperands, MemoFoundByTheTablesOwnRule) {
    test::TempFolder dir;
    Notes("upper form").memoExtension(".SCT").write(dir.file("FORM.SCX"));
    Notes("lower lib").memoExtension(".vct").write(dir.file("lib.vcx"));
    const test::CliRun upper = test::runCli({"show", dir.file("FORM.SCX")}, dir);
    EXPECT_EQ(upper.status, 0) << upper.err;
    EXPECT_EQ(upper.out, "ID,NOTE\r\n1,upper form\r\n");
    const test::CliRun diff =
        test::runCli({"diff", dir.file("FORM.SCX"), dir.file("lib.vcx")}, dir);
    EXPECT_EQ(diff.status, 1) << diff.err;
    EXPECT_THAT(diff.out, HasSubstr("\"upper form\" to \"lower lib\""));
}

// One side a file, the other SOURCE TABLE; a container stays a source even
// under another name, known by its header's flag.
TEST(TableFileOperands, MixedWithSourcesAndContainersStaySources) {
    test::TempFolder dir;
    std::filesystem::create_directory(dir.file("src"));
    Notes("same").write(dir.file("src/a.dbf"));
    Notes("same").write(dir.file("b.dbf"));
    const test::CliRun mixed = test::runCli({"diff", dir.file("b.dbf"), dir.file("src"), "a"}, dir);
    EXPECT_EQ(mixed.status, 0) << mixed.err;
    EXPECT_EQ(mixed.out, "");

    const std::string dbc = test::writeSampleContainer(dir.file("src"));
    std::filesystem::copy_file(dbc, dir.file("src/shop.bin"));
    std::filesystem::copy_file(dir.file("src/shop.dct"), dir.file("src/shop.fpt"));
    test::setByte(dir.file("src/shop.bin"), 28, 0x04);
    const test::CliRun container = test::runCli({"show", dir.file("src/shop.bin"), "setup"}, dir);
    EXPECT_EQ(container.status, 0) << container.err;
    EXPECT_THAT(container.out, HasSubstr("mode"));
    const test::CliRun alone = test::runCli({"show", dbc}, dir);
    EXPECT_EQ(alone.status, 2);
    EXPECT_THAT(alone.err, HasSubstr("missing operand"));
}

}  // namespace
}  // namespace quorvel::cli
