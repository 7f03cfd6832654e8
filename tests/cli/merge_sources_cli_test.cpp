// quorvel-cli merge SOURCE1 SOURCE2 --into FOLDER: a line per table, the
// exit status, and no FOLDER when it cannot be made whole.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "foxpro/read/table_reader.h"
#include "support/cli_runner.h"
#include "support/table_builder.h"

namespace quorvel::cli {
namespace {

namespace fs = std::filesystem;
using test::Cell;
using test::CliRun;
using test::TableBuilder;
using ::testing::HasSubstr;

void writeItems(const std::string& path, const std::vector<std::pair<int, std::string>>& rows,
                std::uint8_t fileType = 0x30) {
    TableBuilder t(fileType);
    t.field("ID", 'N', 5).field("NAME", 'C', 8);
    for (const auto& [id, name] : rows)
        t.record({Cell::number(std::to_string(id)), Cell::text(name)});
    t.write(path);
}

class MergeSourcesCliTest : public ::testing::Test {
  protected:
    test::TempFolder dir;

    void SetUp() override {
        fs::create_directories(dir.file("a"));
        fs::create_directories(dir.file("b"));
        // dBase tables, which the merge writes as Visual FoxPro tables.
        writeItems(dir.file("a/items.dbf"), {{1, "one"}, {2, "two"}}, 0x03);
        writeItems(dir.file("b/items.dbf"), {{1, "uno"}, {2, "two"}, {3, "three"}}, 0x03);
        writeItems(dir.file("a/notes.dbf"), {{1, "n"}});
        writeItems(dir.file("a/same.dbf"), {{1, "s"}});
        writeItems(dir.file("b/same.dbf"), {{1, "s"}});
        writeItems(dir.file("b/fresh.dbf"), {{9, "new"}});
    }

    CliRun merge(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"merge", dir.file("a"), dir.file("b"), "--into",
                                      dir.file("out")};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::runCli(args, dir);
    }

    void expectNoCopy() const {
        EXPECT_FALSE(fs::exists(dir.file("out")));
        for (const auto& entry : fs::directory_iterator(dir.path()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".out.")) << entry.path();
    }
};

TEST_F(MergeSourcesCliTest, LinePerTableAndTheFolderOnlyWhenNew) {
    CliRun r = merge({"--key", "ID"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Table \"items\": merged, 1 fields updated, 1 records added, 0 failed (paired by "
              "key fields: ID)\n"
              "Table \"notes\" is only in source #1: copied\n"
              "Table \"same\": identical, copied\n"
              "Table \"fresh\" is only in source #2: left out (--add-new-tables copies it)\n" +
                  dir.file("out") + ": 4 tables, 1 merged, 0 failed\n")
        << r.out;
    const foxpro::TableReader items(dir.file("out/items.dbf"));
    ASSERT_EQ(items.storedCount(), 3);
    EXPECT_EQ(items.valueAt(0, 1).str(), "uno     ");
    EXPECT_EQ(items.valueAt(2, 1).str(), "three   ");
    EXPECT_TRUE(fs::exists(dir.file("out/notes.dbf")));
    EXPECT_FALSE(fs::exists(dir.file("out/fresh.dbf")));
    EXPECT_EQ(test::readFile(dir.file("out/items.dbf"))[0], 0x30);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("out")), fs::directory_iterator()), 3);

    // Made once: a second run is refused and changes nothing.
    const auto before = test::readFile(dir.file("out/items.dbf"));
    r = merge();
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("exists already"));
    EXPECT_EQ(test::readFile(dir.file("out/items.dbf")), before);
    // Nor into a source's folder, which is only read.
    r = test::runCli({"merge", dir.file("a"), dir.file("b"), "--into", dir.file("b/merged")}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("which is only read"));
    EXPECT_FALSE(fs::exists(dir.file("b/merged")));
}

TEST_F(MergeSourcesCliTest, FailedTableIsListedAndABrokenSourceMakesNothing) {
    // A table of source #2 that cannot be read: the rest is still merged.
    test::writeFile(dir.file("b/notes.dbf"),
                    {'n', 'o', 't', ' ', 'a', ' ', 't', 'a', 'b', 'l', 'e'});
    CliRun r = merge({"--add-new-tables"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Table \"notes\": failed, copied unchanged: "));
    EXPECT_THAT(r.out, HasSubstr("Table \"fresh\" is only in source #2: copied as a free table\n"));
    EXPECT_THAT(r.err, HasSubstr("not all applied: table notes"));
    EXPECT_EQ(test::readFile(dir.file("out/notes.dbf")), test::readFile(dir.file("a/notes.dbf")));
    EXPECT_TRUE(fs::exists(dir.file("out/fresh.dbf")));
    fs::remove_all(dir.file("out"));

    // A container whose table file is missing: the copy fails part way.
    fs::create_directories(dir.file("c"));
    const std::string dbc = test::writeSampleContainer(dir.file("c"));
    fs::remove(dir.file("c/setup.dbf"));
    r = test::runCli({"merge", dbc, dir.file("b"), "--into", dir.file("out")}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("setup"));
    EXPECT_THAT(r.err, HasSubstr("nothing was made"));
    expectNoCopy();
}

}  // namespace
}  // namespace quorvel::cli
